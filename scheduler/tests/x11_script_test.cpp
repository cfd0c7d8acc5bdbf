// Script steps against a real window: the probe window of the tests under Xvfb and openbox, with
// xdotool and the X server's own answers as oracles.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "platform/os/input.h"
#include "platform/os/window_list.h"
#include "platform/rt/text.h"
#include "scheduler/tests/script_fixture.h"

namespace ov::scheduler {
bool capsLockLit();
namespace {

namespace fs = std::filesystem;
using testing::setValue;
using testing::Step;

// The output of a command line run through the shell (an oracle's answer), without its last
// line end.
std::string oracle(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  std::string out;
  char buf[256];
  while (pipe && std::fgets(buf, sizeof buf, pipe.get())) out += buf;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::string unhex(const std::string& hex) {
  std::string out;
  if (hex == "-") return out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}


class ScriptWindows : public ScriptFixture {
 protected:
  void SetUp() override {
    // The test's own application and the probe it starts both on the X display.
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ScriptFixture::SetUp();
    if (!os::haveDisplay()) GTEST_SKIP() << "no X display";
    m_title = "Script Probe " + std::to_string(::getpid());
    m_log = dir() / "probe.log";
    SetVariable(dir().string(), "DIR");
  }
  void TearDown() override {
    if (os::capsLockOn()) (void)os::setCapsLock(false);
    ScriptFixture::TearDown();
  }

  // Ticks, letting real time pass, until the queue is empty (at most 15 seconds).
  void runReal() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (ActiveScriptQueue.RECORDS() > 0 && std::chrono::steady_clock::now() < deadline) {
      run(1);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(ActiveScriptQueue.RECORDS(), 0) << "still queued: " << queuedActions().front();
  }

  std::vector<std::string> probeLines() {
    std::ifstream in(m_log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // Waits until the probe has written a line starting with `prefix`.
  bool probeSaid(const std::string& prefix, int count = 1) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
      int n = 0;
      for (const std::string& l : probeLines()) n += l.starts_with(prefix);
      if (n >= count) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  // The text the probe received from key presses without Ctrl or Alt.
  std::string typed() {
    std::string out;
    for (const std::string& l : probeLines()) {
      char hex[64] = {}, mods[8] = {};
      int key = 0;
      if (std::sscanf(l.c_str(), "key %63s %d %7s", hex, &key, mods) != 3) continue;
      const std::string m = mods, text = unhex(hex);
      if (m.find('C') != std::string::npos || m.find('A') != std::string::npos) continue;
      if (!text.empty() && static_cast<unsigned char>(text[0]) >= 0x20) out += text;
    }
    return out;
  }
  int count(const std::string& line) {
    int n = 0;
    for (const std::string& l : probeLines()) n += l == line;
    return n;
  }

  std::string probeCommand() const {
    return std::string("\"") + OV_SCRIPT_PROBE + "\" \"" + m_title + "\" \"" + m_log.string() + "\" 200 150 400 300";
  }

  std::string m_title;
  fs::path m_log;
};

TEST_F(ScriptWindows, StartWaitFocusTypeClickAndClose) {
  // The program starts; the script waits for its window by a pattern, focuses it, tests it.
  queue({Step("Start Program").command(probeCommand()),
         Step("Wait").seconds(0).name("Both").waitFor("script probe*"),
         Step("Wait").seconds(0).name("Both").waitFor("script probe*").focusOn("probe child"),  // drawn later
         Step("Set Focus").focusOn("*Probe " + std::to_string(::getpid())).waitFor("probe child"),
         Step("If Window...").titleCheck(rt::LOWER(m_title)).existence("Exists"), setValue("EXACT", "found"),
         Step("...End If"),
         Step("If Window...").titleCheck("Probe").existence("Exists"), setValue("PARTIAL", "wrongly found"),
         Step("...End If"),
         Step("If Window...").titleCheck("Script Probe*").focusOn("child").existence("Exists"),
         setValue("CHILD", "found"), Step("...End If"),
         setValue("F", "[FOCUS]"),
         Step("File Actions").kind("Log Windows").command("[DIR]/windows.txt")});
  runReal();
  ASSERT_TRUE(probeSaid("ready "));
  const std::string id = probeLines().front().substr(6);
  EXPECT_EQ(oracle("xdotool search --name '^" + m_title + "$'"), id);
  EXPECT_EQ(oracle("xdotool getactivewindow"), id);
  EXPECT_EQ(var("EXACT"), "found");
  EXPECT_EQ(var("PARTIAL"), "");
  EXPECT_EQ(var("CHILD"), "found");
  EXPECT_EQ(var("F"), m_title);
  std::ifstream windows(dir() / "windows.txt");
  const std::string listed(std::istreambuf_iterator<char>(windows), {});
  EXPECT_NE(listed.find(rt::LEFT(m_title, 40) + rt::LEFT(id, 12)), std::string::npos) << listed;
  EXPECT_NE(listed.find("Probe Child"), std::string::npos) << listed;

  // Text with braces, a letter beyond the layout and named keys with modifiers, under Caps Lock.
  ASSERT_TRUE(os::setCapsLock(true));
  queue({Step("Send Keys").keys("Hello World{|}~\xC3\xA9[ENTER][CTRL-S][^S][+%F5][KEYF5]")});
  runReal();
  EXPECT_TRUE(probeSaid("key - 16777268 -"));
  EXPECT_EQ(typed(), "Hello World{|}~\xC3\xA9");
  EXPECT_EQ(count("key 0d 16777220 -"), 1);  // Enter
  EXPECT_EQ(count("key 13 83 C"), 2);        // Ctrl+S twice
  EXPECT_EQ(count("key - 16777268 SA"), 1);  // Shift+Alt+F5
  EXPECT_EQ(count("key - 16777268 -"), 1);   // F5
  EXPECT_TRUE(capsLockLit());

  // In a target window a key token is pressed there, repeated, and never typed as its name.
  ASSERT_TRUE(os::setCapsLock(false));
  queue({Step("Send Keys").keys("[TARGET " + m_title + "]abc[ENTER 3][TARGET]")});
  runReal();
  EXPECT_TRUE(probeSaid("key 0d 16777220 -", 4));
  EXPECT_EQ(typed(), "Hello World{|}~\xC3\xA9" "abc");

  // The mouse: to the window's corner, on by a relative move, a click and a double click there.
  queue({Step("Send Keys").keys("[MOUSE " + m_title + "][MOUSE X+=60 Y+=70][MOUSELEFT]")});
  runReal();
  ASSERT_TRUE(probeSaid("press 1 "));
  const std::string where = oracle("xdotool getmouselocation --shell | head -2 | cut -d= -f2 | tr '\\n' ' '");
  int x = 0, y = 0;
  ASSERT_EQ(std::sscanf(where.c_str(), "%d %d", &x, &y), 2) << where;
  EXPECT_EQ(count("press 1 " + std::to_string(x) + " " + std::to_string(y)), 1);
  os::WindowRect r;
  ASSERT_TRUE(os::windowRect(std::stoul(id), r));
  EXPECT_EQ(x, r.x + 60);
  EXPECT_EQ(y, r.y + 70);
  queue({Step("Send Keys").keys("[MOUSE X=" + std::to_string(x + 20) + " Y=" + std::to_string(y + 10) + "][MOUSELEFT2]")});
  runReal();
  EXPECT_TRUE(probeSaid("dblclick 1 " + std::to_string(x + 20) + " " + std::to_string(y + 10)));

  // Closing: no window has the command as its title, so the program the script started ends;
  // the wait for its window to be gone and the test that it is ends the script.
  queue({Step("Close Program"), Step("Wait").seconds(0).name("Both").waitFor("~" + m_title),
         Step("If Window...").titleCheck(m_title).existence("Does not exist"), setValue("GONE", "yes"),
         Step("...End If")});
  runReal();
  EXPECT_EQ(var("GONE"), "yes");
  EXPECT_EQ(oracle("xdotool search --name '^" + m_title + "$'"), "");
  EXPECT_TRUE(logWith("Close Program").empty());  // no process was ended by its name
}

}  // namespace
}  // namespace ov::scheduler

// The key code viewer: the key reference the program ships names only keys that Send Keys
// understands; the current folder's reference is preferred over the program's; the viewer shows,
// searches and prints it.
#include "editors/script_keys.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "dialogs/tests/fixture.h"
#include "platform/rt/process.h"
#include "platform/ui/event.h"
#include "platform/ui/print_job.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "scheduler/keystrokes.h"

using namespace ov;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(KeyCodes, ShippedReferenceNamesOnlyKeysThatSendKeysPresses) {
  const std::string path = rt::programFolder() + "/" + editors::kKeyCodesFile;
  const std::string text = readAll(path);
  ASSERT_FALSE(text.empty()) << path;
  int keys = 0;
  const std::regex token(R"(\[([^\]\s<]+)(?: (\d+))?\])");
  for (std::sregex_iterator it(text.begin(), text.end(), token), end; it != end; ++it) {
    const std::string name = (*it)[1];
    if (name == "MOUSE" || name == "TARGET") continue;  // followed by coordinates or a title
    EXPECT_NE(scheduler::ParseKeyToken(name), 0) << "[" << name << "]";
    ++keys;
  }
  EXPECT_GT(keys, 50);
  // The examples with modifiers mean what they say.
  EXPECT_EQ(scheduler::ParseKeyToken("CTRL-S"), scheduler::kCtrl | 'S');
  EXPECT_EQ(scheduler::ParseKeyToken("%F4"), scheduler::kAlt | 115);
}

class KeyCodeViewer : public dialogs::testing::DataFolder {};

TEST_F(KeyCodeViewer, CurrentFolderFirstInAnyCaseThenTheProgramFolder) {
  EXPECT_EQ(editors::keyCodesFile(), rt::programFolder() + "/KEYCODES.TXT");
  std::ofstream(dir() / "keycodes.txt") << "[F1] help\n";
  EXPECT_EQ(editors::keyCodesFile(), (dir() / "keycodes.txt").string());
}

TEST_F(KeyCodeViewer, ShowsSearchesAndPrintsTheReference) {
  std::ofstream(dir() / "KEYCODES.TXT") << "Keys\r\n[ENTER] Enter\r\n[TAB] Tab\r\n[PGDN] Page Down\r\n";
  std::vector<std::string> printed;
  struct SpoolerReset {
    ~SpoolerReset() { ui::setPrintSpooler({}); }
  } reset;
  ui::setPrintSpooler([&](const std::string& file) {
    printed.push_back(file);
    return true;
  });
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] { (void)editors::ViewAscii_ScriptKeys(); });
    WindowDriver w = d.waitWindow("ViewAscii:ScriptKeys");
    EXPECT_TRUE(w.enabled("?Print"));
    EXPECT_TRUE(w.enabled("?Search"));
    host.expectAsk("", std::string("page"));
    w.press("?Search");
    EXPECT_EQ(w.prop("?List", ui::Prop::Selected), "4");
    w.press("?Print");
    w.press("?Close");
    d.waitClosed(w);
  });
  EXPECT_EQ(printed, (std::vector<std::string>{(dir() / "KEYCODES.TXT").string()}));
}

}  // namespace

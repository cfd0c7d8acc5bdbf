// The event-log viewer: the tool tip's split of a line, the line written when logging is off,
// the file dialog, the lines shown, printing and searching.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "dialogs/log_viewer.h"
#include "dialogs/tests/fixture.h"
#include "platform/ui/runtime.h"
#include "platform/ui/text_list.h"

using namespace ov;
using ov::dialogs::logLineTip;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

std::string pad(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

// One event-log line in its columns: date 12, time 10, label 32, text up to 128.
std::string logLine(const std::string& date, const std::string& time, const std::string& label, const std::string& text) {
  return pad(date, 12) + pad(time, 10) + pad(label, 32) + text;
}

TEST(LogLineTip, SplitsAtTheLogColumns) {
  struct Case { const char* name; std::string line; std::string want; };
  const Case kCases[] = {
      {"a full line", logLine("12/10/2026", "09:15", "Task Run", "Backup started"),
       "12/10/2026\r\n09:15\r\nTask Run\r\nBackup started"},
      {"shorter than 55: empty text", logLine("1/2/2026", "9:00", "Start", ""), "1/2/2026\r\n9:00\r\nStart\r\n"},
      {"ends inside the time", "12/10/2026  09:1", "12/10/2026\r\n09:1\r\n\r\n"},
      {"empty", "", "\r\n\r\n\r\n"},
      {"not a log line: cut at the same columns", "The quick brown fox jumps over the lazy dog and then some more text here",
       "The quick br\r\nown fox ju\r\nmps over the lazy dog and then s\r\nome more text here"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(logLineTip(c.line), c.want);
  }
}

class LogViewer : public dialogs::testing::DataFolder {};

TEST_F(LogViewer, ShowsTheChosenFileWithTheCurrentLineAsTip) {
  files::LOG.ACTIVE = 1;
  const std::string file = (dir() / "mine.log").string();
  {
    std::ofstream out(file);
    out << logLine("12/10/2026", "09:15", "Task Run", "Backup started") << "\r\n"
        << logLine("12/10/2026", "09:16", "Task Done", "Backup finished") << "\n"
        << "short line\n";
  }
  std::vector<std::string> printed;
  scheduler::services().runNoWait = [&](std::string_view line) {
    printed.emplace_back(line);
    return 0;
  };
  ScriptedHost host;
  host.expectFile("Select LOG file", {file});
  runScript([&](Driver& d) {
    d.start(dialogs::makeViewAsciiLog);
    WindowDriver w = d.waitWindow("ViewAscii:Log");
    EXPECT_EQ(w.title(), "Event Log");
    w.with([](ui::Window& win) {
      auto* list = win.as<ui::TextList>(win.feq("?List"));
      ASSERT_NE(list, nullptr);
      ASSERT_EQ(list->lines().size(), 3u);
      EXPECT_EQ(list->lines()[2], "short line");
    });
    EXPECT_EQ(w.tip("?List"), "12/10/2026\r\n09:15\r\nTask Run\r\nBackup started") << "no row chosen: line 1";
    EXPECT_TRUE(w.enabled("?Print"));
    EXPECT_TRUE(w.enabled("?Search"));

    w.with([](ui::Window& win) { win.setProp(win.feq("?List"), ui::Prop::Selected, 3); });
    w.post(ui::EVENT::NewSelection, "?List");
    d.settle();
    EXPECT_EQ(w.tip("?List"), "short line\r\n\r\n\r\n");

    // Searching from the current line finds the next line holding the text.
    w.with([](ui::Window& win) { win.setProp(win.feq("?List"), ui::Prop::Selected, 1); });
    host.expectAsk("Find what", std::string("finished"));
    w.press("?Search");
    d.settle();
    EXPECT_EQ(w.tip("?List"), "12/10/2026\r\n09:16\r\nTask Done\r\nBackup finished");

    w.press("?Print");
    d.settle();
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0], "lp \"" + file + "\"");
    w.close();
    d.waitClosed(w);
  });
}

TEST_F(LogViewer, LoggingOffWritesOneLinePerOpeningAndCancelCloses) {
  files::LOG.ACTIVE = 0;
  ScriptedHost host;
  runScript([&](Driver& d) {
    for (int i = 0; i < 2; ++i) {
      host.expectFile("Select LOG file", {});
      d.start(dialogs::makeViewAsciiLog);
      d.settle();
      d.gui([] { EXPECT_TRUE(ui::openWindows().empty()) << "closed with the dialog"; });
    }
  });
  EXPECT_EQ(files::LOG.ACTIVE, 0) << "switched back off";
  scheduler::closeEventLog();
  std::ifstream in(dir() / "OV_EVENT.LOG");
  int lines = 0;
  for (std::string line; std::getline(in, line);) {
    ++lines;
    EXPECT_NE(line.find("View Log - Logging disabled"), std::string::npos);
    EXPECT_NE(line.find("Logging is not enabled in configuration."), std::string::npos);
  }
  EXPECT_EQ(lines, 2);
}

TEST_F(LogViewer, AFileThatCannotBeReadClosesTheWindow) {
  files::LOG.ACTIVE = 1;
  ScriptedHost host;
  host.expectFile("Select LOG file", {(dir() / "missing.log").string()});
  runScript([&](Driver& d) {
    d.start(dialogs::makeViewAsciiLog);
    d.settle();
    d.gui([] { EXPECT_TRUE(ui::openWindows().empty()); });
  });
}

}  // namespace

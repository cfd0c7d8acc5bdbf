// The bug report: the globals dump (order, no passwords, script values, line width), the message
// body (folder listing, the 9999-character cut), and the window sending to a loopback mail server.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "datalib/globals.h"
#include "datalib/queues.h"
#include "dialogs/bug_report.h"
#include "dialogs/register_windows.h"
#include "dialogs/tests/fixture.h"
#include "platform/libs/smtp/tests/smtp_sink.h"
#include "platform/ui/testing/list_driver.h"
#include "scheduler/frame_commands.h"
#include "scheduler/program_body.h"
#include "scheduler/temp_script_execution.h"
#include "scheduler/variables.h"

using namespace ov;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

std::string variable(std::string_view name) {
  for (const files::VarEntry& v : files::VARQ)
    if (v.NAME.str() == name) return v.STRINGVALUE.str();
  return "<unset>";
}

size_t indexOf(const std::vector<std::string>& lines, std::string_view prefix) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind(prefix, 0) == 0) return i;
  return lines.size();
}

class BugReports : public dialogs::testing::DataFolder {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/ov-bugreport-mail-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    s_dir = tmpl;
    s_sink = new smtp::testing::SmtpSink(s_dir + "/mail");
    ASSERT_GT(s_sink->port(), 0) << "the loopback mail server did not start";
  }
  static void TearDownTestSuite() {
    delete s_sink;
    std::error_code ec;
    std::filesystem::remove_all(s_dir, ec);
  }
  void SetUp() override {
    DataFolder::SetUp();
    files::VARQ.FREE();
    scheduler::startupSettings() = {};
    files::PRODUCTNAME = "Orvane";
    files::VERSIONNUMBER = "5.0";
    files::EMAIL.HOST = s_sink->address();
    files::EMAIL.SENDER = "me@example.com";
    files::EMAIL.SENDERNAME = "Me Myself";
  }
  void TearDown() override {
    files::VARQ.FREE();
    scheduler::PresetTaskType().clear();
    scheduler::TempScriptExecution() = 0;
    DataFolder::TearDown();
  }
  static inline std::string s_dir;
  static inline smtp::testing::SmtpSink* s_sink = nullptr;
};

TEST_F(BugReports, DumpListsGlobalsInOrderWithoutPasswords) {
  files::EMAIL.SMTPPASSWORD = "hunter2";
  files::NEWS.PASSWORD = "hunter2";
  files::EMAIL.MAPIPASSWORD = "hunter2";
  scheduler::startupSettings().systemPassword = "hunter2";
  scheduler::startupSettings().systemLock = true;
  files::EMAIL.ORGANIZATION = "Acme";
  files::APP.STARTUPDATE = rt::DATE(10, 31, 2025);
  files::APP.STARTUPTIME = 6300001;  // 17:30
  files::EMAIL.SENDERNAME = std::string(100, 'x');
  scheduler::SetVariable("blue", "colour");
  scheduler::PresetTaskType() = "Reschedule";
  scheduler::TempScriptExecution() = 1;

  std::vector<std::string> lines;
  dialogs::DumpGlobals(lines, false);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "ProductName = Orvane");
  EXPECT_EQ(lines[1], "VersionNumber = 5.0");
  for (const std::string& l : lines) {
    EXPECT_EQ(l.find("hunter2"), std::string::npos) << l;
    EXPECT_LE(l.size(), 80u) << l;
  }
  EXPECT_EQ(lines[indexOf(lines, "EMAIL:Organization")], "EMAIL:Organization = Acme");
  EXPECT_EQ(lines[indexOf(lines, "APP:StartupDate")], "APP:StartupDate = 10/31/25");
  EXPECT_EQ(lines[indexOf(lines, "APP:StartupTime")], "APP:StartupTime = 17:30");
  EXPECT_EQ(lines[indexOf(lines, "GLO:SystemLocked")], "GLO:SystemLocked = 1");
  EXPECT_EQ(lines[indexOf(lines, "EMAIL:SenderName")].size(), 80u) << "cut to the line width";
  EXPECT_LT(indexOf(lines, "CLIP:DefaultAction"), indexOf(lines, "EMAIL:Host"));
  EXPECT_LT(indexOf(lines, "START:ToDo"), indexOf(lines, "TASK:HistoryExpires"));
  EXPECT_EQ(indexOf(lines, "------ Script Values:"), lines.size()) << "asked without script values";
  ASSERT_EQ(lines.size(), 107u) << "every global of the dump is listed";
  EXPECT_EQ(lines[3], "APP:AddScriptSemaphore = 0");
  EXPECT_EQ(lines.back(), "WizardThreadNo = 0");
  EXPECT_EQ(indexOf(lines, "GLO:VBAF::ViewMode") + 1, indexOf(lines, "INI:Filename"));
  EXPECT_EQ(indexOf(lines, "START:ToDo") + 1, indexOf(lines, "OVNTExists"));
  EXPECT_EQ(lines[indexOf(lines, "PASS:TASK:DefaultTaskType")], "PASS:TASK:DefaultTaskType = Reschedule");
  EXPECT_EQ(lines[indexOf(lines, "APP:TempScriptExecution")], "APP:TempScriptExecution = 1");
  EXPECT_EQ(lines[indexOf(lines, "GLO:NextTestDate")], "GLO:NextTestDate = ") << "an empty date stays blank";

  dialogs::DumpGlobals(lines, true);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "------ Script Values:");
  EXPECT_EQ(lines.back(), "[COLOUR] = blue");
}

TEST_F(BugReports, BodyListsTheFolderAndIsCut) {
  {
    std::ofstream f(dir() / "notes.txt");
    f << "x";
  }
  // 5 March 2024, 14:07 local time.
  std::tm tm{};
  tm.tm_year = 124, tm.tm_mon = 2, tm.tm_mday = 5, tm.tm_hour = 14, tm.tm_min = 7, tm.tm_isdst = -1;
  const std::time_t when = std::mktime(&tm);
  const timespec times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (dir() / "notes.txt").c_str(), times, 0), 0);
  const std::string body = dialogs::bugReportBody("It crashed.   ", {"A = 1", "B = 2"});
  EXPECT_EQ(body.rfind("It crashed.\r\n--------------Internal Information------------\r\nA = 1\r\nB = 2\r\n", 0), 0u);
  EXPECT_NE(body.find("notes.txt 03-05-24 14:07\r\n"), std::string::npos) << body;

  const std::string full(9999, 'r');
  EXPECT_EQ(dialogs::bugReportBody(full, {"A = 1"}), full) << "no room is left for the internal information";
}

TEST_F(BugReports, WindowFillsOnItsTimerAndSends) {
  {
    std::ofstream f(dir() / "OV_EVENT.LOG");
    f << "a log line\n";
  }
  const size_t before = s_sink->count();
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBugReport);
    WindowDriver w = d.waitWindow("BugReport");
    EXPECT_EQ(w.title(), "Bug Reporting");
    ui::test::ListDriver info(d, w, "?InfoList");
    EXPECT_EQ(int(info.rows().size()), 0) << "empty until the timer";
    w.tick();
    const int items = int(info.rows().size());
    EXPECT_GT(items, 50);
    EXPECT_EQ(info.texts(1).front(), "ProductName = Orvane");
    // "&Reset" empties the list; the next timer event fills it with fresh values.
    d.gui([] { scheduler::SetVariable("1", "late"); });
    w.press("?Reset");
    EXPECT_EQ(int(info.rows().size()), 0);
    w.tick();
    EXPECT_EQ(int(info.rows().size()), items + 1);
    EXPECT_EQ(info.texts(1).back(), "[LATE] = 1");
    w.type("?ReportText", "The alarm rang twice.");
    w.check("?IncludeLog", true);
    w.press("?Send");
    d.waitClosed(w);
  });
  const auto mails = s_sink->messages(before);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].recipients, std::vector<std::string>{dialogs::kSupportAddress});
  EXPECT_EQ(mails[0]["subject"], "Orvane 2003 5.0.597:  Support for Me Myself");
  EXPECT_NE(mails[0].raw.find("The alarm rang twice."), std::string::npos);
  EXPECT_NE(mails[0].raw.find("[LATE] = 1"), std::string::npos);
  EXPECT_EQ(mails[0].attachments.size(), 1u) << "the log only";
  EXPECT_EQ(variable("MAIL"), "Sent");
  EXPECT_EQ(variable("MAILERROR"), "None");
  EXPECT_EQ(variable("EMAILHOST"), s_sink->address());
}

TEST_F(BugReports, FailedSendKeepsTheReport) {
  files::EMAIL.HOST = "127.0.0.1:1";  // nothing listens there
  ScriptedHost host;
  host.expectMessage("The bug report was not sent.", ui::BUTTON::Ok);
  runScript([&](Driver& d) {
    d.start(dialogs::makeBugReport);
    WindowDriver w = d.waitWindow("BugReport");
    w.type("?ReportText", "Keep me.");
    w.press("?Send");
    d.settle();
    EXPECT_TRUE(w.isOpen());
    EXPECT_EQ(w.text("?ReportText"), "Keep me.");
    w.press("?Close");
    d.waitClosed(w);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(variable("MAIL"), "Error");
  EXPECT_NE(variable("MAILERROR"), "None");
  dialogs::registerWindows();
  EXPECT_TRUE(scheduler::CommandAvailable(scheduler::Command::BugReport));
}

}  // namespace

// The settings dialog: the keys OK writes and their order, the values read back at the next
// start, the floors, the picture samples, the lock passwords, and the window driven as a user
// would (Cancel discards, OK stores, the toolbar event, the SMTP test against a loopback server).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "datalib/config.h"
#include "datalib/globals.h"
#include "dialogs/register_windows.h"
#include "dialogs/settings.h"
#include "dialogs/settings_keys.h"
#include "dialogs/tests/fixture.h"
#include "platform/libs/mapi/tests/recording_sendmail.h"
#include "platform/libs/smtp/tests/smtp_sink.h"
#include "platform/rt/command_line.h"
#include "platform/rt/ini.h"
#include "scheduler/frame_commands.h"
#include "scheduler/globals.h"
#include "scheduler/main_frame.h"
#include "scheduler/program_body.h"
#include "scheduler/program_windows.h"

using namespace ov;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

using Writes = std::vector<std::pair<std::string, std::string>>;

class Settings : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    scheduler::startupSettings() = {};
    scheduler::SchedulerActive = 1;
    files::FORMAT.DATE = "d7";
    files::FORMAT.TIME = "t7b";
    files::TASK.ROUNDING = "Minute";
    files::SCRIPT.DELAYLEN = 10;
    files::KEYS.MAXCHARSPERSEND = 7;
  }
  void TearDown() override {
    scheduler::startupSettings() = {};
    DataFolder::TearDown();
  }

  // Saves with the writes recorded; "ScriptingDelay" and "BurstSize" read back what was written.
  Writes save(dialogs::SettingsDialogState& state, dialogs::SaveOutcome* outcome = nullptr) {
    Writes writes;
    auto put = [&](std::string_view k, std::string_view v) { writes.emplace_back(std::string(k), std::string(v)); };
    auto get = [&](std::string_view k) {
      for (auto it = writes.rbegin(); it != writes.rend(); ++it)
        if (it->first == k) return it->second;
      return std::string();
    };
    const dialogs::SaveOutcome out = dialogs::saveSettings(state, put, get);
    if (outcome) *outcome = out;
    return writes;
  }
};

std::string valueOf(const Writes& w, std::string_view key) {
  for (const auto& [k, v] : w)
    if (k == key) return v;
  return "<not written>";
}

TEST_F(Settings, SaveWritesEveryKeyInItsOrder) {
  dialogs::SettingsDialogState state = dialogs::openSettingsState();
  const Writes writes = save(state);
  const std::vector<std::string> want = {
      "SysLock", "SysPwd", "Rounding", "NewProc16", "LogExitCodes", "SkipIfDaysPassed", "HistoryExpires",
      "RemoveUncompleted", "StartUpSchedule", "StartUpToDo", "StartUpClipboardSaver", "StartUpContacts",
      "StartupActive", "StartUpMinimized", "MinimizeOnCloseRequest", "FullSchedule", "HideToolbar", "RIFO",
      "NoTray", "SaveScripts", "TranslateFilenames", "MaximizeOnRun", "UseExternalMessage", "UseOVMsg",
      "MultiUser", "UserID", "LogEvents", "MonitorClipboard", "UseModalMessage", "MaxClipboardEntries",
      "ActiveOnly", "ExclHidden", "Sender", "SenderName", "Host", "Org", "NPassword", "NUser", "NSender",
      "NSenderName", "NHost", "NOrg", "NoSplash", "RepeatAlarmInterval", "MaxAlarmTime", "SnoozeInterval",
      "ScriptingDelay", "BurstSize", "UseMAPI", "UseMAPINoBCC", "UseNTEventLog", "MAPIName", "MAPIPassword",
      "SMTPName", "SMTPPassword", "AltFmt", "CM:Mode", "CM:OnTop", "CM:UseEx", "MaxLogSize"};
  std::vector<std::string> keys;
  for (const auto& [k, v] : writes) keys.push_back(k);
  EXPECT_EQ(keys, want) << "nothing changed: every key but DateFormat and TimeFormat";
}

TEST_F(Settings, FlagsAndComplementsAreStoredAsDecimalText) {
  files::START.SCHEDULE = 0;
  scheduler::SchedulerActive = 0;
  files::MSG.USEEXTERNAL = 1;
  files::TASK.HISTORYEXPIRES = -1;
  files::CLIP.MAXENTRIES = 50;
  dialogs::SettingsDialogState state = dialogs::openSettingsState();
  const Writes writes = save(state);
  EXPECT_EQ(valueOf(writes, "StartUpSchedule"), "1");
  EXPECT_EQ(valueOf(writes, "StartupActive"), "1");
  EXPECT_EQ(valueOf(writes, "UseExternalMessage"), "1");
  EXPECT_EQ(valueOf(writes, "UseOVMsg"), "1");
  EXPECT_EQ(valueOf(writes, "HistoryExpires"), "-1");
  EXPECT_EQ(valueOf(writes, "MaxClipboardEntries"), "50");
  EXPECT_EQ(valueOf(writes, "GSA"), "<not written>");
}

TEST_F(Settings, FloorsApplyOnSave) {
  struct Case {
    const char* name;
    int32_t repeat, wantRepeat, sendInterval, wantDelay, burst, wantBurst;
  };
  const Case kCases[] = {
      {"repeat 0 stays, burst 0 is 7", 0, 0, 25, 25, 0, 7},
      {"repeat 1 is 5, interval 3 is 10", 1, 5, 3, 10, 12, 12},
      {"repeat 4 is 5, interval 9 is 10", 4, 5, 9, 10, 255, 255},
      {"repeat 5 stays", 5, 5, 10, 10, 1, 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    files::MSG.REPEATALARMINTERVAL = c.repeat;
    dialogs::SettingsDialogState state = dialogs::openSettingsState();
    state.sendInterval = c.sendInterval;
    state.burstSize = c.burst;
    const Writes writes = save(state);
    EXPECT_EQ(valueOf(writes, "RepeatAlarmInterval"), std::to_string(c.wantRepeat));
    EXPECT_EQ(files::MSG.REPEATALARMINTERVAL, c.wantRepeat);
    EXPECT_EQ(files::SCRIPT.DELAYLEN, c.wantDelay);
    EXPECT_EQ(files::KEYS.MAXCHARSPERSEND, c.wantBurst);
  }
}

TEST_F(Settings, PictureSamples) {
  struct Case {
    const char* code;
    const char* sample;
  };
  const Case kDates[] = {{"d17", "Windows Default"}, {"d4", "October 31, 1959"}, {"d6", "31/10/1959"},
                         {"d18", "Windows Default 2"}, {"d13", "10/59"},       {"n4b", "Year Only"},
                         {"d9", "d9"}};
  for (const Case& c : kDates) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(dialogs::dateSampleFor(c.code), c.sample);
  }
  EXPECT_EQ(dialogs::dateCodeFor("31 OCT 1959", "d1"), "d8");
  EXPECT_EQ(dialogs::dateCodeFor("d9", "d9"), "d9") << "a text that is no sample keeps the code";
  EXPECT_EQ(dialogs::offeredDateSamples().size(), 10u);
  EXPECT_EQ(dialogs::timeSampleFor("t06b"), "05:30:00PM");
  EXPECT_EQ(dialogs::timeSampleFor("t9"), "Windows Default");
  EXPECT_EQ(dialogs::timeCodeFor("Windows Default (Long)"), "t8b");
  EXPECT_EQ(dialogs::timeCodeFor("nonsense"), "t7b");
}

TEST_F(Settings, PicturesAreWrittenOnlyWhenChosen) {
  files::FORMAT.DATE = "n4b";
  files::FORMAT.TIME = "t9";
  dialogs::SettingsDialogState state = dialogs::openSettingsState();
  EXPECT_EQ(state.dateSample, "Year Only");
  EXPECT_EQ(state.timeSample, "Windows Default");
  Writes writes = save(state);
  EXPECT_EQ(valueOf(writes, "DateFormat"), "<not written>");
  EXPECT_EQ(valueOf(writes, "TimeFormat"), "<not written>");
  EXPECT_EQ(files::FORMAT.DATE.str(), "n4b");
  EXPECT_EQ(files::FORMAT.TIME.str(), "t9");

  state = dialogs::openSettingsState();
  state.dateSample = "31/10/59";
  state.timeSample = "Windows Default (Long)";
  dialogs::SaveOutcome out;
  writes = save(state, &out);
  EXPECT_TRUE(out.dateChanged && out.timeChanged);
  EXPECT_EQ(valueOf(writes, "DateFormat"), "d5");
  EXPECT_EQ(valueOf(writes, "TimeFormat"), "t8b");
  EXPECT_EQ(writes.back().first, "MaxLogSize");
}

TEST_F(Settings, LockPasswords) {
  struct Case {
    const char* name;
    bool locked;
    const char* password;
    const char* confirm;
    dialogs::LockCheck want;
  };
  using dialogs::LockCheck;
  const Case kCases[] = {
      {"equal", true, "Secret", "Secret", LockCheck::Ok},
      {"trailing blanks do not count", true, "Secret  ", "Secret", LockCheck::Ok},
      {"case counts", true, "Secret", "secret", LockCheck::Mismatch},
      {"a leading blank counts", true, " Secret", "Secret", LockCheck::Mismatch},
      {"lock without a password", true, "", "", LockCheck::BlankPassword},
      {"lock off: anything", false, "a", "b", LockCheck::Ok},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dialogs::checkLockPasswords(c.locked, c.password, c.confirm), c.want);
  }
}

TEST_F(Settings, MismatchWritesNothingAndLockOffKeepsThePassword) {
  scheduler::startupSettings().systemLock = true;
  scheduler::startupSettings().systemPassword = "old";
  dialogs::SettingsDialogState state = dialogs::openSettingsState();
  state.password = "new";
  state.confirm = "New";
  dialogs::SaveOutcome out;
  EXPECT_TRUE(save(state, &out).empty());
  EXPECT_EQ(out.lock, dialogs::LockCheck::Mismatch);
  EXPECT_EQ(scheduler::startupSettings().systemPassword, "old");

  scheduler::startupSettings().systemLock = false;
  const Writes writes = save(state, &out);
  EXPECT_EQ(valueOf(writes, "SysLock"), "0");
  EXPECT_EQ(valueOf(writes, "SysPwd"), "old") << "the typed password is ignored with the lock off";
}

TEST_F(Settings, ToolbarChangeIsReportedOnce) {
  dialogs::SettingsDialogState state = dialogs::openSettingsState();
  dialogs::SaveOutcome out;
  (void)save(state, &out);
  EXPECT_FALSE(out.toolbarChanged);
  files::GLO.HIDETOOLBAR = 1;
  (void)save(state, &out);
  EXPECT_TRUE(out.toolbarChanged);
}

// What OK stores is what the next start loads.
TEST_F(Settings, SavedSettingsLoadAtTheNextStart) {
  scheduler::startupSettings().systemLock = true;
  scheduler::startupSettings().explorerScheduleView = true;
  scheduler::SchedulerActive = 0;
  files::START.SCHEDULE = 0;
  files::START.TODO = 1;
  files::MSG.USEEXTERNAL = 0;
  files::MSG.SNOOZEINTERVAL = 15;
  files::EMAIL.HOST = "mail.example.com";
  files::EMAIL.SMTPPASSWORD = "pw";
  files::NEWS.ORGANIZATION = "Acme";
  files::CLIP.DEFAULTACTION = "Paste";
  files::LOG.MAXSIZE = 123456;
  files::TASK.ROUNDING = "Second";
  dialogs::SettingsDialogState state = dialogs::openSettingsState();
  state.password = state.confirm = "Key";
  state.sendInterval = 40;
  state.burstSize = 30;
  state.dateSample = "10/31/1959";
  ASSERT_EQ(dialogs::saveSettings(state).lock, dialogs::LockCheck::Ok);

  files::clearGlobals();
  scheduler::startupSettings() = {};
  scheduler::SchedulerActive = 1;
  scheduler::LoadConfiguration();
  EXPECT_TRUE(scheduler::startupSettings().systemLock);
  EXPECT_EQ(scheduler::startupSettings().systemPassword, "Key");
  EXPECT_TRUE(scheduler::startupSettings().explorerScheduleView);
  EXPECT_EQ(scheduler::SchedulerActive, 0);
  EXPECT_EQ(files::START.SCHEDULE, 0);
  EXPECT_EQ(files::START.TODO, 1);
  EXPECT_EQ(files::MSG.USEEXTERNAL, 0);
  EXPECT_EQ(files::MSG.SNOOZEINTERVAL, 15);
  EXPECT_EQ(files::EMAIL.HOST.str(), "mail.example.com");
  EXPECT_EQ(files::EMAIL.SMTPPASSWORD.str(), "pw");
  EXPECT_EQ(files::NEWS.ORGANIZATION.str(), "Acme");
  EXPECT_EQ(files::CLIP.DEFAULTACTION.str(), "Paste");
  EXPECT_EQ(files::LOG.MAXSIZE, 123456);
  EXPECT_EQ(files::TASK.ROUNDING.str(), "Second");
  EXPECT_EQ(files::SCRIPT.DELAYLEN, 40);
  EXPECT_EQ(files::KEYS.MAXCHARSPERSEND, 30);
  EXPECT_EQ(files::FORMAT.DATE.str(), "d2");
}

TEST_F(Settings, CancelDiscardsAndOkStores) {
  files::PUTCONFIG("HideToolbar", "0");
  files::PUTCONFIG("MaxClipboardEntries", "50");
  scheduler::LoadConfiguration();
  std::vector<std::pair<int, int>> posts;
  scheduler::services().post = [&](int event, int thread) { posts.emplace_back(event, thread); };
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] { dialogs::Setup(); });
    WindowDriver w = d.waitWindow("Setup");
    EXPECT_EQ(w.title(), "Options");
    w.selectTab("General");
    w.check("?GLO:HIDETOOLBAR", true);
    d.gui([] { EXPECT_EQ(files::GLO.HIDETOOLBAR, 1) << "an edit takes effect at once"; });
    w.press("?Cancel");
    d.waitClosed(w);
    d.gui([] { EXPECT_EQ(files::GLO.HIDETOOLBAR, 0) << "Cancel reloads the stored settings"; });
    EXPECT_TRUE(posts.empty());

    d.later([] { dialogs::Setup(); });
    w = d.waitWindow("Setup");
    w.selectTab("General");
    w.check("?GLO:HIDETOOLBAR", true);
    w.selectTab("Clipboard");
    w.enter("?CLIP:MAXENTRIES", "75");
    w.press("?OK");
    d.waitClosed(w);
  });
  EXPECT_EQ(files::GETCONFIG("HideToolbar"), "1");
  EXPECT_EQ(files::GETCONFIG("MaxClipboardEntries"), "75");
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0], std::make_pair(int(scheduler::EVENT::ToolbarChanged), scheduler::kFrameThread));
}

TEST_F(Settings, ControlsFollowTheirSwitches) {
  files::LOG.ACTIVE = 0;
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] { dialogs::Setup(); });
    WindowDriver w = d.waitWindow("Setup");
    EXPECT_FALSE(w.enabled("?LOG:MAXSIZE"));
    EXPECT_FALSE(w.enabled("?Password"));
    w.selectTab("History");
    w.check("?LOG:ACTIVE", true);
    EXPECT_TRUE(w.enabled("?LOG:MAXSIZE"));
    EXPECT_TRUE(w.enabled("?LOG:ALLEXITCODES"));
    w.check("?LOG:USENTEVENT", true);
    EXPECT_FALSE(w.enabled("?LOG:MAXSIZE"));
    EXPECT_EQ(w.tabs("?CurrentTab").size(), 9u);
    w.selectTab("E-mail");
    w.check("?EMAIL:USEMAPI", true);
    EXPECT_TRUE(w.shown("?EMAIL:MAPINAME"));
    EXPECT_FALSE(w.shown("?EMAIL:HOST"));
    EXPECT_EQ(w.tabs("?CurrentTab").size(), 8u) << "the News tab goes with MAPI";
    w.selectTab("Security");
    w.check("?GLO:SystemLocked", true);
    EXPECT_TRUE(w.enabled("?Password"));
    // A lock without a password is refused.
    host.expectMessage("The system lock needs a password.", ui::BUTTON::Ok);
    w.press("?OK");
    d.settle();
    EXPECT_TRUE(w.isOpen());
    w.type("?Password", "abc");
    w.type("?Confirm", "abd");
    host.expectMessage("The system lock passwords do not match.", ui::BUTTON::Ok);
    w.press("?OK");
    d.settle();
    EXPECT_TRUE(w.isOpen());
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(Settings, InactiveStartWarnsUnlessConfiguring) {
  struct Case {
    std::vector<std::string> args;
    bool warns;
  };
  const Case kCases[] = {{{"ov98", "/I"}, true}, {{"ov98", "/I", "/CONFIG"}, false}, {{"ov98"}, false}};
  for (const Case& c : kCases) {
    std::string line;
    for (const std::string& a : c.args) line += a + " ";
    rt::setCommandLine(line);
    ScriptedHost host;
    if (c.warns) host.expectMessage("inactivated", ui::BUTTON::Ok);
    runScript([&](Driver& d) {
      d.later([] { dialogs::Setup(); });
      WindowDriver w = d.waitWindow("Setup");
      w.press("?Cancel");
      d.waitClosed(w);
    });
    EXPECT_EQ(host.messages().size(), c.warns ? 1u : 0u);
  }
  rt::setCommandLine("ov98");
}

TEST_F(Settings, RefusedLockPromptOpensNothing) {
  scheduler::startupSettings().systemLock = true;
  scheduler::startupSettings().systemPassword = "Key";
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] { dialogs::Setup(); });
    WindowDriver prompt = d.waitWindow("fPasswordValidation");
    prompt.press("?Cancel");
    d.waitClosed(prompt);
    d.settle();
    for (ui::Window* w : ui::openWindows()) EXPECT_NE(w->manager()->procedureName(), "Setup");
  });
}

TEST_F(Settings, FrameCommandOpensTheDialog) {
  EXPECT_FALSE(scheduler::CommandAvailable(scheduler::Command::Setup) && !scheduler::programWindowRegistered("Setup"));
  dialogs::registerWindows();
  EXPECT_TRUE(scheduler::CommandAvailable(scheduler::Command::Setup));
  EXPECT_TRUE(scheduler::CommandAvailable(-114)) << "the toolbar's Options";
}

// The mail sender program sends its own test message; the profile typed for the test is not kept.
TEST_F(Settings, MapiTestRunsTheMailSenderAndKeepsTheStoredProfile) {
  mapi::testing::RecordingSendmail sendmail;
  files::PUTCONFIG("Sender", "me@example.com");
  files::PUTCONFIG("SenderName", "Me Myself");
  files::PUTCONFIG("UseMAPI", "1");
  files::PUTCONFIG("MAPIName", "Profile A");
  files::PUTCONFIG("Host", "mail.example.com");
  scheduler::LoadConfiguration();
  ScriptedHost host;
  host.expectMessage("Test message sent.", ui::BUTTON::Ok);
  runScript([&](Driver& d) {
    d.later([] { dialogs::Setup(); });
    WindowDriver w = d.waitWindow("Setup");
    w.selectTab("E-mail");
    EXPECT_FALSE(w.shown("?EMAIL:HOST"));
    w.enter("?EMAIL:MAPINAME", "Profile B");
    w.press("?TestSettings");
    d.settle();
    EXPECT_EQ(files::GETCONFIG("MAPIName"), "Profile A") << "given back after the test";
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_FALSE(host.pending());
  ASSERT_EQ(sendmail.runs(), 1);
  EXPECT_EQ(mapi::testing::addresses(mapi::testing::header(sendmail.message(1), "To")),
            std::vector<std::string>{"me@example.com"});
  EXPECT_EQ(files::GETCONFIG("MAPIName"), "Profile A");
}

// The service program is looked for beside this program, both when the scheduler is switched on
// and when OK stamps its INI file in the data folder.
TEST_F(Settings, ServiceProgramBesideTheProgram) {
  const std::filesystem::path programs = dir() / "programs";
  std::filesystem::create_directories(programs);
  files::EXEPATH = programs.string();
  scheduler::SchedulerActive = 0;
  ASSERT_EQ(rt::PUTINI("Main", "Next Task", "12/24/2025 9:00", ".\\OVNT.INI"), rt::Err::None);
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] { dialogs::Setup(); });
    WindowDriver w = d.waitWindow("Setup");
    w.check("?APP:TaskExecutionActive", true);  // not installed: no warning
    w.press("?OK");
    d.waitClosed(w);
  });
  EXPECT_TRUE(host.messages().empty());
  EXPECT_EQ(rt::GETINI("Main", "Last Update", "", ".\\OVNT.INI"), "");

  { std::ofstream(programs / "OVNT.EXE") << "x"; }
  scheduler::SchedulerActive = 0;
  rt::setTestClock(rt::DATE(12, 24, 2025), 4500001);  // 12:30
  host.expectMessage("You have just enabled the main UI scheduler.", ui::BUTTON::Ok);
  runScript([&](Driver& d) {
    d.later([] { dialogs::Setup(); });
    WindowDriver w = d.waitWindow("Setup");
    w.check("?APP:TaskExecutionActive", true);
    w.press("?OK");
    d.waitClosed(w);
  });
  EXPECT_FALSE(host.pending());
  // The short date of the system (MM/dd/yy in this test) and the time with seconds.
  EXPECT_EQ(rt::GETINI("Main", "Last Update", "", ".\\OVNT.INI"), "12/24/25 12:30:00");
}

class SmtpTest : public Settings {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/ov-settings-mail-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    s_dir = tmpl;
    s_sink = new smtp::testing::SmtpSink(s_dir + "/mail", "tester", "s3cret");
    ASSERT_GT(s_sink->port(), 0) << "the loopback mail server did not start";
  }
  static void TearDownTestSuite() {
    delete s_sink;
    std::error_code ec;
    std::filesystem::remove_all(s_dir, ec);
  }
  static inline std::string s_dir;
  static inline smtp::testing::SmtpSink* s_sink = nullptr;
};

TEST_F(SmtpTest, TestMessageGoesToTheSenderAndIsLogged) {
  files::PRODUCTNAME = "Orvane";
  files::VERSIONNUMBER = "5.0";
  files::EMAIL.HOST = s_sink->address();
  files::EMAIL.SENDER = "me@example.com";
  files::EMAIL.SENDERNAME = "Me Myself";
  files::EMAIL.SMTPNAME = "tester";
  files::EMAIL.SMTPPASSWORD = "s3cret";
  const size_t before = s_sink->count();
  ScriptedHost host;
  host.expectMessage("Test message sent without errors.", ui::BUTTON::Ok);
  runScript([&](Driver& d) {
    d.later([] { dialogs::Setup(); });
    WindowDriver w = d.waitWindow("Setup");
    w.selectTab("E-mail");
    w.press("?TestSettings");
    d.settle();
    EXPECT_TRUE(w.isOpen()) << "the dialog stays open";
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_FALSE(host.pending());
  const auto mails = s_sink->messages(before);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].recipients, std::vector<std::string>{"me@example.com"}) << "no blind copy to anyone else";
  EXPECT_EQ(mails[0]["subject"], "Test E-mail");
  EXPECT_EQ(mails[0]["from"], "Me Myself <me@example.com>");
  EXPECT_EQ(mails[0].login, "tester");
  EXPECT_NE(mails[0].raw.find("This is a test e-mail from Me Myself using Orvane 5.0 Build 597"), std::string::npos);
  const std::string log = (dir() / "SMTPTEST.LOG").string();
  EXPECT_EQ(rt::GETINI("E-mail", "Host", "", log), s_sink->address());
  EXPECT_EQ(rt::GETINI("E-mail", "User", "", log), "tester");
  EXPECT_EQ(rt::GETINI("E-mail", "Pwd", "", log), "6") << "the password's length, never the password";
  EXPECT_EQ(rt::GETINI("E-mail", "From", "", log), "\"Me Myself\" <me@example.com>");
  EXPECT_EQ(rt::GETINI("E-mail", "To", "", log), "Me Myself: me@example.com");
  EXPECT_EQ(rt::GETINI("E-mail", "Error", "", log), "No error");
}

TEST_F(SmtpTest, FailureAndMissingSettingsAreReported) {
  ScriptedHost host;
  host.expectMessage("You must enter your reply to address and mail host.", ui::BUTTON::Ok);
  runScript([&](Driver& d) {
    d.later([] { dialogs::Setup(); });
    WindowDriver w = d.waitWindow("Setup");
    w.selectTab("E-mail");
    w.press("?TestSettings");
    d.settle();
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_FALSE(std::filesystem::exists(dir() / "SMTPTEST.LOG")) << "nothing sent, nothing logged";

  files::EMAIL.HOST = s_sink->address();
  files::EMAIL.SENDER = "me@example.com";
  files::EMAIL.SMTPNAME = "tester";
  files::EMAIL.SMTPPASSWORD = "wrong";
  host.expectMessage("Test message not sent.", ui::BUTTON::Ok);
  EXPECT_NE(dialogs::sendSmtpTestMessage(), 0);
  EXPECT_FALSE(host.pending());
  EXPECT_NE(rt::GETINI("E-mail", "Error", "No error", (dir() / "SMTPTEST.LOG").string()), "No error");
}

}  // namespace

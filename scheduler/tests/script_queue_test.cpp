// The interpreter: due moments, dispatch, If blocks, loops, waits, values, messages, system steps.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/os/system_control.h"
#include "platform/rt/ini.h"
#include "platform/rt/text.h"
#include "scheduler/globals.h"
#include "scheduler/tests/script_fixture.h"

namespace ov::scheduler {
namespace {

namespace fs = std::filesystem;
using testing::Step;
using testing::setValue;

using Interpreter = ScriptFixture;

TEST_F(Interpreter, HeadRunsOnlyAfterItsMomentAndBlocksTheRest) {
  queue({setValue("A", "1")}, false);
  ScriptStep();  // due this very hundredth: not yet
  EXPECT_EQ(ActiveScriptQueue.RECORDS(), 1);
  rt::advanceTestClock(1);
  ScriptStep();
  EXPECT_EQ(ActiveScriptQueue.RECORDS(), 0);
  EXPECT_EQ(var("A"), "1");

  // A head due later holds back an entry behind it that is due already.
  queue({setValue("B", "1")}, false);
  ActiveScriptQueue.GET(1);
  ActiveScriptQueue.buf.TIME = rt::CLOCK() + 6000;
  ActiveScriptQueue.PUT();
  queue({setValue("C", "1")}, false);
  rt::advanceTestClock(100);
  ScriptStep();
  EXPECT_EQ(queuedActions(), (std::vector<std::string>{"Set Value", "Set Value"}));
  EXPECT_EQ(var("C"), "");
}

TEST_F(Interpreter, BlankAndUnknownActionsAreLoggedAndRemoved) {
  prompts.expectMessage("Invalid script option:  \"Foo\".", ui::BUTTON::Ok)
      .expectMessage("Invalid script option:  \"display message\".", ui::BUTTON::Ok);
  queue({Step(""), Step("Foo"), Step("display message"), setValue("AFTER", "yes")});
  run();
  EXPECT_TRUE(ActiveScriptQueue.RECORDS() == 0);
  EXPECT_EQ(var("AFTER"), "yes");
  ASSERT_EQ(prompts.messages().size(), 2u);  // the wrong-case name is not an action either
  EXPECT_EQ(prompts.messages()[0].title, "Script Error");
  EXPECT_EQ(prompts.messages()[1].text, "Invalid script option:  \"display message\".");
  const std::vector<std::string> lines = logWith("Script:");
  ASSERT_GE(lines.size(), 5u);
  EXPECT_TRUE(lines[0].starts_with("Script:|")) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("Script:  Foo|")) << lines[1];
}

TEST_F(Interpreter, CommentShowsItsExpandedVariables) {
  queue({Step("Comment").command("on [DAYOFWEEKTEXT] at [TIME]"), Step("Comment").command("plain note"),
         Step("Comment").command("[=1+1] and a text far too long to fit the status")});
  run();
  const std::vector<std::string> lines = logWith("Script:  Comment");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[0].ends_with(" *on Sun at 120001*")) << lines[0];
  EXPECT_EQ(lines[1].find('*'), std::string::npos) << lines[1];
  EXPECT_TRUE(lines[2].ends_with(" *2 and a text far too long to fi")) << lines[2];
}

TEST_F(Interpreter, FailedIfSkipsItsBlockWithNestedBlocks) {
  struct Case {
    const char* x;
    const char* want;
  };
  for (const Case& c : {Case{"", "d"}, Case{"1", "abcd"}}) {
    SCOPED_TRACE(c.x);
    SetVariable(c.x, "X");
    SetVariable("", "T");
    queue({Step("If Value...").condition("X", "=", "1"), setValue("T", "[T]a"),
           Step("If Window...").titleCheck("No Such Window 4711").existence("Does not exist"), setValue("T", "[T]b"),
           Step("...End If"), setValue("T", "[T]c"), Step("...End If"), setValue("T", "[T]d")});
    run();
    EXPECT_EQ(var("T"), c.want);
  }
  // The failed test and its closing "...End If" carry *FALSE*; the explanation follows it.
  const std::string log = allLog();
  EXPECT_NE(log.find("Script:  If Value...|"), std::string::npos);
  EXPECT_NE(log.find("*FALSE* Numeric comparison failed: 0=1"), std::string::npos) << log;
  EXPECT_NE(log.find("Script:  ...End If|"), std::string::npos);
}

TEST_F(Interpreter, FailedIfAtTheEndOfTheQueueStops) {
  queue({Step("If Value...").condition("X", "=", "1"), setValue("T", "never")}, false);
  run();
  EXPECT_EQ(ActiveScriptQueue.RECORDS(), 0);
  EXPECT_EQ(var("T"), "");
}

TEST_F(Interpreter, LoopsRunTheirBodies) {
  const fs::path files = dir() / "loop files";
  fs::create_directories(files);
  for (const char* n : {"c.txt", "a.txt", "b.txt", "x.log"}) std::ofstream(files / n) << n;
  const std::string canonical = fs::canonical(files).string();

  const Step count3 = Step("Start Loop").kind("Count").seconds(3);
  const Step count2 = Step("Start Loop").kind("Count").seconds(2);
  const Step end = Step("...End Loop");
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::string want;
  };
  const Case cases[] = {
      {"count 3 counts down", {count3, setValue("T", "[T][OVLoopCount]"), end}, "321"},
      {"while false never runs", {Step("Start Loop").kind("While").condition("N", ">", "0"), setValue("T", "[T]x"), end}, ""},
      {"while runs while true",
       {setValue("N", "3"), Step("Start Loop").kind("While").condition("N", ">", "0"), setValue("T", "[T][N]"),
        setValue("N", "=[N]-1"), end},
       "321"},
      {"until runs once at least",
       {Step("Start Loop").kind("Until").condition("T", "<>", ""), setValue("T", "[T]u"), end}, "u"},
      {"nested loops come back whole",
       {count2, count3, setValue("T", "[T]x"), end, setValue("T", "[T]|"), end}, "xxx|xxx|"},
      {"exit loop leaves the innermost loop",
       {Step("Start Loop").kind("Forever"), setValue("N", "=[N]+1"), Step("If Value...").condition("N", "=", "3"),
        Step("Exit Loop"), Step("...End If"), end, setValue("T", "[N] after")},
       "3 after"},
      {"files in ascending order",
       {Step("Start Loop").kind("Files").command(files.string() + "/*.txt"), setValue("T", "[T][FILENAME]|"), end},
       canonical + "/a.txt|" + canonical + "/b.txt|" + canonical + "/c.txt|"},
      {"files: no match, no pass",
       {Step("Start Loop").kind("Files").command(files.string() + "/*.none"), setValue("T", "[T]x"), end,
        setValue("T", "[T]done")},
       "done"},
      {"exit loop outside a loop does nothing", {Step("Exit Loop"), setValue("T", "on")}, "on"},
      {"end loop outside a loop does nothing", {Step("...End Loop"), setValue("T", "on")}, "on"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetVariable("", "T");
    SetVariable("0", "N");
    queue(c.steps);
    run();
    EXPECT_EQ(ActiveScriptQueue.RECORDS(), 0);
    EXPECT_EQ(ScriptLoopStack.RECORDS(), 0);
    EXPECT_EQ(var("T"), c.want);
  }
  const std::vector<std::string> tests = logWith("Script:  Test Loop End");
  ASSERT_GE(tests.size(), 3u);
  EXPECT_EQ(tests[0], "Script:  Test Loop End|Not Done, 2 loop(s) left");
}

TEST_F(Interpreter, ExitScriptEndsOnlyTheRunningScript) {
  queue({setValue("T", "a"), Step("Exit Script"), setValue("T", "b")});
  queue({setValue("U", "c")});
  run();
  EXPECT_EQ(var("T"), "a");
  EXPECT_EQ(var("U"), "c");
}

TEST_F(Interpreter, WaitForTimeWindowOrEither) {
  struct Case {
    const char* name;
    Step wait;
    int32_t doneAfter;  // seconds after noon when the next step ran
  };
  const Case cases[] = {
      {"both: the time first", Step("Wait").seconds(10).name("Both"), 12},
      {"either: no window ends at once", Step("Wait").seconds(10).name("Either"), 2},
      {"either: the time when the window never comes",
       Step("Wait").seconds(5).name("Either").waitFor("No Such Window 4711*"), 7},
      {"both: a window already gone", Step("Wait").seconds(0).name("Both").waitFor("~No Such Window 4711*"), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rt::setTestClock(testing::kToday, testing::kNoon);
    queue({c.wait, setValue("DONE", "[TIME]")});
    run(60);
    EXPECT_EQ(ActiveScriptQueue.RECORDS(), 0);
    EXPECT_EQ(rt::textToNumber(var("DONE")), 120000 + c.doneAfter);
  }
}

TEST_F(Interpreter, SetValueFromAndIntoIniFiles) {
  const std::string ini = (dir() / "values.ini").string();
  std::ofstream(ini) << "[Main]\nKey=From the file\n";
  queue({Step("Set Value").kind("Set value from INI").path("V").topic("Main").command("key").name(ini),
         Step("Set Value").kind("Set value from INI").path("MISSING").topic("Main").command("Nope").name(ini),
         Step("Set Value").kind("Set INI from value").path("[V] again").topic("Out").command("K").name(ini),
         Step("Set Value").kind("Something else").path("PLAIN").command("=6*7").name(ini).topic("Main")});
  SetVariable("not empty", "MISSING");
  run();
  EXPECT_EQ(var("V"), "From the file");
  EXPECT_EQ(var("MISSING"), "");
  EXPECT_EQ(rt::GETINI("Out", "K", "", ini), "From the file again");
  EXPECT_EQ(var("PLAIN"), "42");
}

TEST_F(Interpreter, MessagesQuestionsAndReminders) {
  SetVariable("5", "X");
  std::vector<ReminderText> reminders;
  services().showReminder = [&](const ReminderText& r) { reminders.push_back(r); };
  prompts.expectMessage("Continue with 5?", 3).expectMessage("Just so", ui::BUTTON::Ok);
  queue({Step("Display Message").name("Continue with [X]?").topic("Ask").seconds(1).focusOn("&Yes|&No|&Later"),
         Step("Message").name("Just so").topic("Note").seconds(1),
         Step("Display").name("Remember [X]").topic("Title [X]").seconds(0)});
  run();
  EXPECT_EQ(var("RESPONSE"), "3");
  EXPECT_EQ(logWith("User Response"), std::vector<std::string>{"User Response|3"});
  ASSERT_EQ(prompts.messages().size(), 2u);
  EXPECT_EQ(prompts.messages()[0].icon, ui::Icon::Question);
  EXPECT_EQ(prompts.messages()[0].custom, (std::vector<std::string>{"&Yes", "&No", "&Later"}));
  ASSERT_EQ(reminders.size(), 1u);
  EXPECT_EQ(reminders[0].title, "Title 5");
  EXPECT_EQ(reminders[0].message, "Remember 5");
}

TEST_F(Interpreter, SystemStepsAskTheSessionAndLogRefusals) {
  systemAnswer = false;
  queue({Step("System").kind("Logoff"), Step("System").kind("Shutdown"), Step("System").kind("Desktop").command("D2"),
         Step("DDE").name("Excel").topic("Sheet1").ddeCommand("[Run]"), setValue("T", "went on")});
  run();
  EXPECT_EQ(systemRequests, (std::vector<SystemAction>{SystemAction::LogOff, SystemAction::ShutDown}));
  EXPECT_EQ(logWith("Logoff failed"), std::vector<std::string>{"Logoff failed|Check privileges"});
  EXPECT_EQ(logWith("Shutdown failed"), std::vector<std::string>{"Shutdown failed|Check privileges"});
  EXPECT_EQ(logWith("Reboot failed").size(), 0u);
  EXPECT_EQ(logWith("Desktop"), std::vector<std::string>{"Desktop|Not available on this system"});
  EXPECT_EQ(logWith("DDE"), std::vector<std::string>{"DDE|Not available on this system: Excel Sheet1"});
  EXPECT_EQ(var("T"), "went on");

  // Without a replacement the request goes to the session manager (recorded here).
  scriptServices().systemRequest = {};
  std::vector<os::SystemRequest> recorded;
  os::setSystemRequestRecorder([&](os::SystemRequest r) { recorded.push_back(r); });
  queue({Step("System").kind("Reboot")});
  run();
  os::setSystemRequestRecorder({});
  EXPECT_EQ(recorded, std::vector<os::SystemRequest>{os::SystemRequest::Reboot});
  EXPECT_EQ(logWith("Reboot failed").size(), 0u);
}

}  // namespace
}  // namespace ov::scheduler

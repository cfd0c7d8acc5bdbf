// The viewer of pending script steps over the live queue: the list and the details text, the
// queue shrinking under it, Delete, "&Details" writing back to the right step while the tick
// consumed another, and the hidden spot that starts the bug report.
#include <gtest/gtest.h>

#include <string>

#include "datalib/globals.h"
#include "dialogs/register_windows.h"
#include "dialogs/script_queue_viewer.h"
#include "dialogs/tests/fixture.h"
#include "platform/ui/testing/list_driver.h"
#include "scheduler/frame_commands.h"
#include "scheduler/program_windows.h"
#include "scheduler/script_queue.h"

using namespace ov;
using scheduler::ActiveScriptQueue;
using ui::test::Driver;
using ui::test::ListDriver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

void queueStep(int32_t id, int32_t seq, const char* action, const std::string& command, int32_t date = 0,
               int32_t time = 0) {
  ActiveScriptQueue.buf = {};
  ActiveScriptQueue.buf.RECORD.ID = id;
  ActiveScriptQueue.buf.RECORD.Sequence = seq;
  ActiveScriptQueue.buf.RECORD.Action = action;
  ActiveScriptQueue.buf.RECORD.Command = command;
  ActiveScriptQueue.buf.DATE = date;
  ActiveScriptQueue.buf.TIME = time;
  ActiveScriptQueue.ADD();
}

// Stands in for the script item form: checks the request, edits the step, and meanwhile lets the
// tick take the head of the queue.
class ScriptFormStandIn : public ui::WindowManager {
 public:
  ScriptFormStandIn() : ui::WindowManager("UpdateScripting") {}
  using ui::WindowManager::Run;
  int Run() override {
    EXPECT_EQ(files::GLOBALREQUEST, ui::ViewRecord);
    seenId = files::SCR.ID;
    files::SCR.Command = "edited";
    (void)ActiveScriptQueue.GET(1);
    (void)ActiveScriptQueue.DELETE();
    files::GLOBALRESPONSE = ui::RequestCompleted;
    return ui::RequestCompleted;
  }
  static inline int32_t seenId = 0;
};

class QueueViewer : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    ActiveScriptQueue.FREE();
  }
  void TearDown() override {
    ActiveScriptQueue.FREE();
    DataFolder::TearDown();
  }
};

TEST_F(QueueViewer, ListsStepsAndFollowsTheQueue) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeViewQueueScript);
    WindowDriver w = d.waitWindow("ViewQueue:Script");
    EXPECT_EQ(w.title(), "Current Script");
    ListDriver list(d, w, "?List");
    EXPECT_TRUE(list.rows().empty()) << "an empty queue shows an empty list";
    EXPECT_EQ(w.text("?DetailsText"), "");
    EXPECT_FALSE(w.enabled("?Details") || w.enabled("?Delete")) << "no step to act on";

    d.gui([] {
      queueStep(7, 1, "Comment", "first", rt::DATE(3, 5, 2025), 6300001);
      queueStep(7, 2, "Comment", std::string(120, 'y'));
      queueStep(0, 3, "Comment", "third");
    });
    w.tick();
    ASSERT_EQ(list.rows().size(), 3u);
    EXPECT_EQ(list.texts(3), (std::vector<std::string>{"Comment", "Comment", "Comment"}));
    list.select(1);
    EXPECT_TRUE(w.enabled("?Details") && w.enabled("?Delete"));
    EXPECT_NE(w.text("?DetailsText").find("5:30:00PM\r\nComment\r\nfirst"), std::string::npos) << w.text("?DetailsText");
    list.select(2);
    EXPECT_NE(w.text("?DetailsText").find("yyyy"), std::string::npos);

    // The tick takes the head: the list follows at the viewer's next timer event.
    d.gui([] {
      (void)ActiveScriptQueue.GET(1);
      (void)ActiveScriptQueue.DELETE();
    });
    w.tick();
    EXPECT_EQ(list.rows().size(), 2u);

    // Delete removes the selected step and keeps the selection at its place.
    list.select(1);
    w.press("?Delete");
    ASSERT_EQ(ActiveScriptQueue.RECORDS(), 1);
    EXPECT_EQ(ActiveScriptQueue.at(1).RECORD.Command.str(), "third");
    EXPECT_EQ(list.selected(), 1);
    w.close();
    d.waitClosed(w);
  });
}

TEST_F(QueueViewer, DeleteRemovesTheSelectedStepAfterATick) {
  for (int seq = 1; seq <= 4; ++seq) queueStep(7, seq, "Comment", "step " + std::to_string(seq));
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeViewQueueScript);
    WindowDriver w = d.waitWindow("ViewQueue:Script");
    ListDriver list(d, w, "?List");
    EXPECT_EQ(list.prop(ui::Prop::Immediate), "1");
    // The keys past the list's ends move the selection through the message box list.
    list.select(2);
    list.key(ui::Key::End);
    EXPECT_EQ(list.selected(), 4);
    list.key(ui::Key::Home);
    EXPECT_EQ(list.selected(), 1);

    list.select(3);
    // The frame's tick runs the head step before the viewer's own timer notices.
    d.gui([] {
      (void)ActiveScriptQueue.GET(1);
      (void)ActiveScriptQueue.DELETE();
    });
    w.press("?Delete");
    std::vector<std::string> left;
    for (int i = 1; i <= ActiveScriptQueue.RECORDS(); ++i) left.push_back(ActiveScriptQueue.at(i).RECORD.Command.str());
    EXPECT_EQ(left, (std::vector<std::string>{"step 2", "step 4"})) << "the selected step 3 goes, not the one now at row 3";

    // A step the tick has already taken is not there to delete: nothing else goes in its place.
    list.select(1);
    d.gui([] {
      (void)ActiveScriptQueue.GET(1);
      (void)ActiveScriptQueue.DELETE();
    });
    w.press("?Delete");
    ASSERT_EQ(ActiveScriptQueue.RECORDS(), 1);
    EXPECT_EQ(ActiveScriptQueue.at(1).RECORD.Command.str(), "step 4");
    w.close();
    d.waitClosed(w);
  });
}

TEST_F(QueueViewer, DetailsTextOfAStep) {
  files::FORMAT.DATE = "d2";
  rt::setSystemFormats({"MM/dd/yyyy", "dddd, MMMM d, yyyy", "HH:mm", "HH:mm:ss"});
  scheduler::ScriptEntry e;
  e.RECORD.Action = "Comment";
  e.RECORD.Command = "first";
  e.DATE = rt::DATE(3, 5, 2025);
  e.TIME = 6300001;  // 17:30
  EXPECT_EQ(dialogs::scriptStepDetails(e), "03/05/2025\r\n 5:30:00PM\r\nComment\r\nfirst\r\n");
  e.RECORD.Command = std::string(120, 'y');
  const std::string cut = dialogs::scriptStepDetails(e);
  EXPECT_EQ(cut.size(), 80u) << "a long description shows only the first 80 characters";
  EXPECT_EQ(cut.substr(cut.size() - 5), "yyyyy");
}

TEST_F(QueueViewer, DetailsWritesBackToTheSameStep) {
  scheduler::registerProgramWindow("UpdateScripting", [] { return std::make_unique<ScriptFormStandIn>(); });
  queueStep(7, 1, "Comment", "head");
  queueStep(0, 2, "Comment", "shown");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeViewQueueScript);
    WindowDriver w = d.waitWindow("ViewQueue:Script");
    ListDriver list(d, w, "?List");
    list.select(2);
    w.press("?Details");
    w.close();
    d.waitClosed(w);
  });
  EXPECT_EQ(ScriptFormStandIn::seenId, -1) << "a step without a script shows as -1";
  ASSERT_EQ(ActiveScriptQueue.RECORDS(), 1);
  EXPECT_EQ(ActiveScriptQueue.at(1).RECORD.Command.str(), "edited");
  EXPECT_EQ(ActiveScriptQueue.at(1).RECORD.Sequence, 2) << "the step shown, not the one now at its place";
}

TEST_F(QueueViewer, HiddenSpotStartsTheBugReportWithDebugging) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeViewQueueScript);
    WindowDriver w = d.waitWindow("ViewQueue:Script");
    w.press("?HotRegion");
    WindowDriver report = d.waitWindow("BugReport");
    d.gui([] { EXPECT_EQ(files::DEBUG.ACTIVE, 1); });
    report.press("?Close");
    d.waitClosed(report);
    w.close();
    d.waitClosed(w);
  });
  dialogs::registerWindows();
  EXPECT_TRUE(scheduler::CommandAvailable(scheduler::Command::ScriptQueue));
}

}  // namespace

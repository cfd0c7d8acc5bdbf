// The viewer of pending script steps over the live queue: the list and the details text, the
// queue shrinking under it, Delete, "&Details" writing back to the right step while the tick
// consumed another, and the hidden spot that starts the bug report.
#include <gtest/gtest.h>

#include <functional>
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

    d.gui([] {
      queueStep(7, 1, "Comment", "first", rt::DATE(3, 5, 2025), 6300001);
      queueStep(7, 2, "Comment", std::string(120, 'y'));
      queueStep(0, 3, "Comment", "third");
    });
    w.tick();
    ASSERT_EQ(list.rows().size(), 3u);
    EXPECT_EQ(list.texts(3), (std::vector<std::string>{"Comment", "Comment", "Comment"}));
    list.select(1);
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

// The list takes no step by itself: wheel, page and end keys move it through the queue box, kept
// within the queue, and the details follow.
TEST_F(QueueViewer, ListMovesThroughTheQueueBox) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.gui([] {
      for (int i = 1; i <= 20; ++i) queueStep(9, i, "Comment", "step " + std::to_string(i), rt::DATE(3, 5, 2025), 6000000 + i * 6001);
    });
    d.start(dialogs::makeViewQueueScript);
    WindowDriver w = d.waitWindow("ViewQueue:Script");
    ListDriver list(d, w, "?List");
    ASSERT_EQ(list.rows().size(), 20u);
    list.select(1);
    const int page = list.items();
    ASSERT_GT(page, 1);
    ASSERT_LT(page, 19);
    struct Move { const char* name; std::function<void()> act; int row; };
    const Move moves[] = {
        {"wheel towards the user", [&] { list.wheel(-1); }, 2},
        {"wheel away", [&] { list.wheel(1); }, 1},
        {"wheel away at the top stays", [&] { list.wheel(1); }, 1},
        {"page down", [&] { list.key(ui::Key::PgDn); }, 1 + page},
        {"end", [&] { list.key(ui::Key::End); }, 20},
        {"page down at the end stays", [&] { list.key(ui::Key::PgDn); }, 20},
        {"home", [&] { list.key(ui::Key::Home); }, 1},
    };
    for (const Move& m : moves) {
      m.act();
      d.settle();
      EXPECT_EQ(list.selected(), m.row) << m.name;
      std::string expected;
      d.gui([&] { expected = dialogs::scriptStepDetails(ActiveScriptQueue.at(m.row)); });
      EXPECT_EQ(w.text("?DetailsText"), expected) << m.name;
    }
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

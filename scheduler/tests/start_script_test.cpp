// "Start Script": loading a script file into the running queue in modes I, A and J.
#include <gtest/gtest.h>

#include "datalib/script_exchange.h"
#include "scheduler/start_script.h"
#include "scheduler/tests/script_fixture.h"

namespace ov::scheduler {
namespace {

using testing::kDelay;
using testing::kNoon;
using testing::setValue;
using testing::Step;

// A queued step's action and due time.
struct Due {
  std::string action;
  int32_t time;
  friend bool operator==(const Due&, const Due&) = default;
  friend std::ostream& operator<<(std::ostream& o, const Due& d) { return o << d.action << "@" << d.time; }
};

class StartScriptTest : public ScriptFixture {
 protected:
  // Writes an exchange file of `steps`, plus lines for the extra actions named.
  std::string file(const std::vector<Step>& steps, const std::vector<std::string>& unknown = {}) {
    std::vector<files::ExportRec> lines;
    for (const Step& s : steps) {
      files::ExportRec rec;
      EXPECT_EQ(files::exportScriptRecord(s.r, rec), 1) << s.r.Action.str();
      lines.push_back(rec);
    }
    for (const std::string& action : unknown) {
      files::ExportRec rec;
      rec.Type = action;
      lines.push_back(rec);
    }
    const std::string path = (dir() / ("s" + std::to_string(++m_files) + ".ovs")).string();
    EXPECT_EQ(files::writeExchangeFile(path, lines), rt::Err::None);
    return path;
  }
  static Step startScript(const std::string& path, const char* mode) { return Step("Start Script").command(path).path(mode); }

  static std::vector<Due> dueList() {
    std::vector<Due> out;
    for (const ScriptEntry& e : ActiveScriptQueue) out.push_back({actionOf(e), e.TIME});
    return out;
  }
  const std::vector<Step> loaded{Step("Send Keys").keys("x"), Step("If Value...").condition("X", "=", "1"),
                                 Step("...End If")};

 private:
  int m_files = 0;
};


TEST_F(StartScriptTest, InsertGoesBehindTheRunningStepAndDelaysTheRest) {
  queue({startScript(file(loaded), "I"), setValue("X1", "1"), setValue("X2", "1")});
  rt::advanceTestClock(100);
  const int32_t now = rt::CLOCK();
  ScriptStep();
  const std::vector<Due> want{{"Send Keys", now + 3 * kDelay},     {"If Value...", now + 3 * kDelay},
                              {"...End If", now + 3 * kDelay},     {"Set Value", kNoon + 2 * kDelay},
                              {"Set Value", kNoon + 3 * kDelay},   {"**End**", kNoon + 4 * kDelay}};
  EXPECT_EQ(dueList(), want);
  EXPECT_EQ(logWith("Script:  Start Script").size(), 1u);
}

TEST_F(StartScriptTest, AppendGoesBehindTheLastStepWithAnEndMarker) {
  queue({startScript(file(loaded), "a"), setValue("LATER", "1")}, false);
  ActiveScriptQueue.GET(2);
  ActiveScriptQueue.buf.TIME = kNoon + 360000;
  ActiveScriptQueue.PUT();
  rt::advanceTestClock(100);
  ScriptStep();
  const int32_t last = kNoon + 360000;
  const std::vector<Due> want{{"Set Value", last},
                              {"Send Keys", last + 2 * kDelay},
                              {"If Value...", last + 2 * kDelay},
                              {"...End If", last + 2 * kDelay},
                              {"**End**", last + 2 * kDelay}};
  EXPECT_EQ(dueList(), want);
}

TEST_F(StartScriptTest, ReplaceTakesOverTheWholeQueue) {
  queue({startScript(file({setValue("Y", "j"), Step("Wait").seconds(2).name("Both"), setValue("Z", "after wait")}), "J"),
         setValue("T", "lost")});
  queue({setValue("U", "lost too")});
  ScriptLoopStack.buf = {};
  ScriptLoopStack.ADD();
  rt::advanceTestClock(100);
  const int32_t now = rt::CLOCK();
  ScriptStep();
  EXPECT_EQ(ScriptLoopStack.RECORDS(), 0);
  const std::vector<Due> want{{"Set Value", now + 3 * kDelay}, {"Wait", now + 3 * kDelay + 200},
                              {"Set Value", now + 4 * kDelay + 200}};
  EXPECT_EQ(dueList(), want);
  run();
  EXPECT_EQ(var("Y"), "j");
  EXPECT_EQ(var("Z"), "after wait");
  EXPECT_EQ(var("T"), "");
  EXPECT_EQ(var("U"), "");

  queue({startScript(file({Step("Comment").command("a"), Step("Comment").command("b")}), "J"), setValue("T", "x")});
  run();
  EXPECT_EQ(ActiveScriptQueue.RECORDS(), 0);
  EXPECT_EQ(var("T"), "");
}

TEST_F(StartScriptTest, BadFilesAndLinesAreReportedAndNothingIsLost) {
  prompts.expectMessage("Unrecognized script action: Teleport", ui::BUTTON::Ok);
  queue({startScript(file({setValue("V", "loaded")}, {"Teleport"}), "I"), setValue("T", "kept")});
  run();
  EXPECT_EQ(var("V"), "loaded");
  EXPECT_EQ(var("T"), "kept");
  EXPECT_EQ(prompts.messages().at(0).title, "Import Error");

  // A file that can't be read leaves the queue as it was: the script goes on.
  prompts.expectMessage("missing.ovs", ui::BUTTON::Ok);
  queue({startScript((dir() / "missing.ovs").string(), "J"), setValue("T", "still here")});
  run();
  EXPECT_EQ(var("T"), "still here");
}

}  // namespace
}  // namespace ov::scheduler

// A data folder with the event log on (DataFixture), a fixed clock, empty script queues and
// variables, the scripted interaction host, and helpers that build steps and run them tick by tick.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/queues.h"
#include "datalib/records.h"
#include "platform/rt/date_time.h"
#include "platform/rt/process.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "scheduler/keystrokes.h"
#include "scheduler/program_runner.h"
#include "scheduler/script_queue.h"
#include "scheduler/script_services.h"
#include "scheduler/tests/data_fixture.h"
#include "scheduler/variables.h"

namespace ov::scheduler::testing {

// 15 March 2026, a Sunday, 12:00:00.
constexpr int32_t kToday = 82257;  // DATE(3, 15, 2026), checked in SetUp
constexpr int32_t kNoon = 12 * 360000 + 1;
constexpr int32_t kDelay = 10;  // SCRIPT.DELAYLEN in the tests

// A step with its action and the fields a test sets.
struct Step {
  files::ScriptingRec r{};
  explicit Step(std::string_view action) { r.Action = action; }
  Step& command(std::string_view v) { r.Command = v; return *this; }
  Step& path(std::string_view v) { r.Path = v; return *this; }
  Step& kind(std::string_view v) { r.DDEType = v; return *this; }
  Step& name(std::string_view v) { r.DDEApplicationName = v; return *this; }
  Step& topic(std::string_view v) { r.DDEApplicationTopic = v; return *this; }
  Step& ddeCommand(std::string_view v) { r.DDECommand = v; return *this; }
  Step& keys(std::string_view v) { r.Keystrokes = v; return *this; }
  Step& seconds(int32_t v) { r.SecondsToWait = v; return *this; }
  Step& elapsed(int32_t v) { r.TimeElapsed = v; return *this; }
  Step& waitFor(std::string_view v) { r.WaitForWindow = v; return *this; }
  Step& focusOn(std::string_view v) { r.FocusOnWindow = v; return *this; }
  Step& existence(std::string_view v) { r.WindowExistance = v; return *this; }
  Step& titleCheck(std::string_view v) { r.WindowTitleToCheckFor = v; return *this; }
  Step& ifTime(std::string_view v) { r.IfTimeElapsed = v; return *this; }
  // The condition of "If Value..." and of While/Until loops.
  Step& condition(std::string_view left, std::string_view op, std::string_view right) {
    r.Command = left;
    r.WindowTitleToCheckFor = op;
    r.WaitForWindow = right;
    return *this;
  }
};

// "Set value" of `name` to `value` (expanded when the step runs).
inline Step setValue(std::string_view name, std::string_view value) {
  return Step("Set Value").kind("Set value").path(name).command(value);
}

class ScriptFixture : public DataFixture {
 protected:
  void SetUp() override {
    DataFixture::SetUp();
    (void)ui::test::application();  // the steps' windows (Start Script's process window)
    ASSERT_EQ(rt::DATE(3, 15, 2026), kToday);
    rt::setTestClock(kToday, kNoon);
    files::SCRIPT.DELAYLEN = kDelay;
    files::KEYS.MAXCHARSPERSEND = 7;
    files::EXEPATH = rt::programFolder() + "/";
    files::VARQ.FREE();
    StopScripts();
    ProgramExitQueue.FREE();
    ScriptingLock = false;
    scriptState() = ScriptState{};
    TargetWindowTitle.clear();
    m_savedScriptServices = scriptServices();
    scriptServices() = ScriptServices{};
    scriptServices().systemRequest = [this](SystemAction a) {
      systemRequests.push_back(a);
      return systemAnswer;
    };
  }

  void TearDown() override {
    if (scriptState().processHandle != 0) (void)rt::endProgram(scriptState().processHandle, 500);
    StopScripts();
    scriptState() = ScriptState{};
    scriptServices() = m_savedScriptServices;
    DataFixture::TearDown();
  }

  // Queues the steps, the first due now, one SCRIPT.DELAYLEN apart, then an "**End**".
  void queue(const std::vector<Step>& steps, bool withEnd = true) {
    int32_t time = rt::CLOCK();
    for (const Step& s : steps) {
      ActiveScriptQueue.buf = {};
      ActiveScriptQueue.buf.RECORD = s.r;
      ActiveScriptQueue.buf.DATE = rt::TODAY();
      ActiveScriptQueue.buf.TIME = time;
      ActiveScriptQueue.ADD();
      time += kDelay;
    }
    if (!withEnd) return;
    ActiveScriptQueue.buf = {};
    ActiveScriptQueue.buf.RECORD.Action = kEndMarker;
    ActiveScriptQueue.buf.DATE = rt::TODAY();
    ActiveScriptQueue.buf.TIME = time;
    ActiveScriptQueue.ADD();
  }

  // Ticks (advancing the clock by a second each) until the queue is empty or `until` holds;
  // at most `maxTicks`. Returns the number of ticks.
  int run(int maxTicks = 500, const std::function<bool()>& until = {}) {
    int ticks = 0;
    while (ActiveScriptQueue.RECORDS() > 0 && ticks < maxTicks) {
      if (until && until()) break;
      rt::advanceTestClock(100);
      ScriptStep();
      ++ticks;
    }
    return ticks;
  }

  // The actions left in the queue, head first.
  static std::vector<std::string> queuedActions() {
    std::vector<std::string> out;
    for (const ScriptEntry& e : ActiveScriptQueue) out.push_back(actionOf(e));
    return out;
  }

  // Log lines whose label starts with `label`, as "label|text".
  std::vector<std::string> logWith(std::string_view label) {
    std::vector<std::string> out;
    for (const auto& [l, t] : logLines())
      if (l.starts_with(label)) out.push_back(l + "|" + t);
    return out;
  }
  std::string allLog() {
    std::string out;
    for (const auto& [l, t] : logLines()) out += l + "|" + t + "\n";
    return out;
  }

  static std::string var(std::string_view name) { return variableText(name); }

  ui::test::ScriptedHost prompts;  // every prompt must be expected
  std::vector<SystemAction> systemRequests;
  bool systemAnswer = true;

 private:
  ScriptServices m_savedScriptServices;
};

}  // namespace ov::scheduler::testing

using ov::scheduler::testing::ScriptFixture;

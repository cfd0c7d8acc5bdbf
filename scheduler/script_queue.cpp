#include "scheduler/script_queue.h"

#include <functional>
#include <string_view>
#include <utility>

#include "datalib/date_string_functions.h"
#include "datalib/script_actions.h"
#include "datalib/script_status.h"
#include "platform/rt/date_time.h"
#include "platform/rt/err.h"
#include "platform/rt/process.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "scheduler/detail/handlers.h"
#include "scheduler/detail/script_util.h"
#include "scheduler/event_log.h"
#include "scheduler/script_services.h"

namespace ov::scheduler {

rt::Queue<ScriptEntry> ActiveScriptQueue;
rt::Queue<ScriptEntry> ScriptLoopStack;

ScriptState& scriptState() {
  static ScriptState s;
  return s;
}

namespace detail {

ScriptEntry readHead() {
  (void)ActiveScriptQueue.GET(1);  // callers run only while the queue holds entries
  return ActiveScriptQueue.buf;
}

void writeHead(const ScriptEntry& entry) {
  if (ActiveScriptQueue.GET(1) != rt::Err::None) return;
  ActiveScriptQueue.buf = entry;
  (void)ActiveScriptQueue.PUT();  // the entry was just read
}

std::string statusOf(const ScriptEntry& entry) { return rt::CLIP(files::SCRIPTSTATUS(entry.RECORD)); }

}  // namespace detail

namespace {

namespace a = files::action;
using Handler = void (*)();

void nothing() {}

// The end of one task's script: its loops are over, and the program the runner started for it is
// no longer needed by any step.
void endMarkerItem() {
  ScriptLoopStack.FREE();
  if (const uint32_t handle = ActiveScriptQueue.at(1).WINDOWHANDLE; handle != 0)
    rt::closeProgram(rt::ProcessHandle(handle));
}

void invalidItem() {
  const std::string name = actionOf(detail::readHead());
  (void)ui::MESSAGE("Invalid script option:  \"" + name + "\".", "Script Error");
}

// The actions by name, in the order they are tried.
const std::pair<std::string_view, Handler> kActions[] = {
    {a::kDisplayMessage, detail::DisplayMessageItem},
    {a::kDisplay, detail::DisplayMessageItem},
    {a::kMessage, detail::DisplayMessageItem},
    {a::kExitScript, detail::ExitScriptItem},
    {a::kCloseProgram, detail::CloseProgramItem},
    {a::kStartProgram, detail::StartProgramItem},
    {a::kSendKeystrokes, detail::SendKeystrokesItem},
    {a::kSendKeys, detail::SendKeystrokesItem},
    {a::kDDELong, detail::DDEItem},
    {a::kDDE, detail::DDEItem},
    {a::kSystem, detail::SystemActionItem},
    {a::kSetFocus, detail::SetFocusItem},
    {a::kFileActions, detail::FileActionsItem},
    {a::kSendEmail, detail::SendEmailItem},
    {a::kSendEMail, detail::SendEmailItem},
    {a::kSetValue, detail::SetValueItem},
    {a::kIfValue, detail::IfValueItem},
    {a::kStartScript, detail::StartScriptItem},
    {a::kWait, detail::WaitItem},
    {a::kWaitForProgramEnd, detail::WaitForProgramEndItem},
    {a::kIfWindow, detail::IfWindowItem},
    {a::kIfFileExists, detail::IfFileExistsItem},
    {a::kIfTimeElapsed, detail::IfTimeItem},
    {"If Time...", detail::IfTimeItem},
    {a::kEndIf, nothing},
    {a::kStartLoop, detail::StartLoopItem},
    {a::kEndLoop, detail::EndLoopItem},
    {a::kExitLoop, detail::LeaveLoop},
    {"...Exit Loop", detail::LeaveLoop},
    {kEndMarker, endMarkerItem},
    {a::kComment, detail::CommentItem},
};

Handler handlerFor(const files::ScriptingRec& record) {
  for (const auto& [name, handler] : kActions)
    if (rt::compareText(record.Action.view(), name) == 0) return handler;
  return record.Action.isBlank() ? nothing : invalidItem;
}

}  // namespace

void ScriptStep() {
  if (ActiveScriptQueue.GET(1) != rt::Err::None) {
    if (scriptServices().raiseFrame) scriptServices().raiseFrame();
    (void)ui::MESSAGE(rt::ERROR(), "Script Error");
    return;
  }
  const ScriptEntry& head = ActiveScriptQueue.buf;
  if (files::COMPAREDATE(rt::TODAY(), rt::CLOCK(), head.DATE, head.TIME) == 1) ExecuteScriptItem();
}

void ExecuteScriptItem() {
  ScriptState& st = scriptState();
  st.status.clear();
  st.keep = false;
  if (ActiveScriptQueue.RECORDS() == 0) return;
  handlerFor(ActiveScriptQueue.at(1).RECORD)();
  if (st.keep) {
    st.keep = false;
    return;
  }
  if (ActiveScriptQueue.RECORDS() == 0) return;
  const ScriptEntry& head = ActiveScriptQueue.at(1);
  WriteLog(detail::statusOf(head) + " " + std::string(st.status.clipped()), "Script:  " + actionOf(head));
  CompleteScriptStep();
}

void CompleteScriptStep() {
  if (ActiveScriptQueue.GET(1) != rt::Err::None) return;
  const ScriptEntry head = ActiveScriptQueue.buf;
  const std::string action = actionOf(head);
  if (ScriptLoopStack.RECORDS() > 0 && action != files::action::kWaitForProgramEnd) {
    ScriptLoopStack.buf = head;
    ScriptLoopStack.ADD();
    detail::debugLog(detail::statusOf(head) + " " + std::string(scriptState().status.clipped()), "Add Stack: " + action);
  }
  (void)ActiveScriptQueue.DELETE();  // the entry just read
}

void StopScripts() {
  ActiveScriptQueue.FREE();
  ScriptLoopStack.FREE();
}

}  // namespace ov::scheduler

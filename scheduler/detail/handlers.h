// The script action handlers that ExecuteScriptItem dispatches to. Each works on the head entry of
// ActiveScriptQueue and the frame's ScriptState. Internal to scheduler/.
#pragma once

#include <string>
#include <string_view>

#include "scheduler/script_queue.h"

namespace ov::scheduler::detail {

void DisplayMessageItem();
void ExitScriptItem();
void CloseProgramItem();
void StartProgramItem();
void SendKeystrokesItem();
// What "Send Keystrokes" does with its text: typed in paced chunks, bracketed tokens pressed.
void SendKeystrokes(std::string_view keys);
void DDEItem();
void SystemActionItem();
void SetFocusItem();
void FileActionsItem();
void SendEmailItem();
void SetValueItem();
void IfValueItem();
void StartScriptItem();
void WaitItem();
void WaitForProgramEndItem();
void IfWindowItem();
void IfFileExistsItem();
void IfTimeItem();
void StartLoopItem();
void EndLoopItem();
void LeaveLoop();
void CommentItem();

// A copy of the head entry, and writing one back over the head. The queue holds entries.
ScriptEntry readHead();
void writeHead(const ScriptEntry& entry);

// The log text of a step: its SCRIPTSTATUS, clipped.
std::string statusOf(const ScriptEntry& entry);

}  // namespace ov::scheduler::detail

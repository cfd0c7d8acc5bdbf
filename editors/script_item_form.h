// The script item form and the small windows it opens.
//
//   UpdateScripting   the form on the SCR record buffer (the item's task in SCH): request in
//                     GLOBALREQUEST (1 insert, 2 change, 3 delete, 4 view), answer in
//                     GLOBALRESPONSE (1 completed, 2 cancelled). A new item first asks for its
//                     action (the quick action menu when NewScriptItemOwner is -1, else the
//                     picker); a delete request deletes the item without opening the window (the
//                     caller confirms first). One tab per kind of action shows; only its fields
//                     are checked and stored. Actions that need no values complete at once.
//   UpdateScripting_GetAction             the action picker ("Select Script Action"); 1 on OK.
//   UpdateScripting_StartProgram_Advanced the Start Program options ("Advanced...").
//   SelectProgramFile                     picks a program into SCR.Command (and SCR.Path).
//   UpdateScriptingGetChild / ...GetChildFocus   the containing-text pickers ("Advanced Settings")
//                     over SCR.FocusOnWindow and SCR.WaitForWindow.
//
// While the template list is open on the same thread (TemplateModeHere), the options window and the program file dialog work on the
// template item buffer (OVD), copied whole into SCR and back.
//
// Threading: GUI thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/os/window_list.h"
#include "platform/ui/window_manager.h"

namespace ov::editors {

// What the form asks of the desktop for its panel of the window under the mouse and for
// "Wa&tch Mouse": the pointer's screen position, the top-level window and the control (the named
// child window) under it, and their texts and class names. The program's reads the X display;
// tests put their own.
struct PointerHost {
  std::function<bool(int& x, int& y)> position;
  std::function<os::WindowId()> windowUnder;
  std::function<os::WindowId(os::WindowId top, int x, int y)> controlUnder;
  std::function<std::string(os::WindowId)> text;
  std::function<std::string(os::WindowId)> className;
};
PointerHost& pointerHost();

// The frame's events around a mouse capture: it hides for the capture and comes back after it.
constexpr int kEventHideForCapture = 3217;
constexpr int kEventShowAfterCapture = 3218;

std::unique_ptr<ui::WindowManager> makeUpdateScripting();
// Runs the form modally on the current thread; its response.
int UpdateScripting();
// 1 when OK was pressed (SCR.Action and SCR.DDEType then hold the stored action), else 0.
int UpdateScripting_GetAction();
int UpdateScripting_StartProgram_Advanced();
void SelectProgramFile();
int UpdateScriptingGetChild();
int UpdateScriptingGetChildFocus();

}  // namespace ov::editors

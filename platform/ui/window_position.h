// Where windows reopen: each window keeps its position, its size (when it can be resized) and
// whether it was maximised in a section of an INI file named after its procedure ("Main",
// "UpdateSchedule"). The keys and their rules are the INI manager's (rt::INIClass, ini.h); these
// are the window side of them. Positions and sizes are in the window's own units (dialog units
// unless the window works in pixels).
//
// Threading: GUI thread only.
#pragma once

#include <string_view>

#include "platform/rt/err.h"
#include "platform/rt/ini.h"
#include "platform/ui/window.h"
#include "platform/ui/window_manager.h"

namespace ov::ui {

// The INI manager's reader of a window section, called right after the window opens. Nothing is
// changed unless "Maximize" is "Yes" or "No". With "No" a maximised window is first restored;
// when "XPos" has a value the window is moved there (and sized, when it can be resized); last,
// the maximised state is set when it differs. A missing file or section leaves the window where
// it is; a value that is not a number counts as 0. A position off every screen is brought back
// onto the nearest one. Returns whether the section was used.
bool FetchWindowPosition(const rt::INIClass& ini, std::string_view procedure, Window& window);

// The INI manager's writer of a window section: nothing for a minimised window; "Maximize", and
// for a window that is not maximised "XPos", "YPos" and, when it can be resized, "Height" and
// "Width". A maximised window leaves the older position and size in place.
[[nodiscard]] rt::Err UpdateWindowPosition(rt::INIClass& ini, std::string_view procedure, const Window& window);

// Saves a window as it closes: not when it is hidden or minimised, nor when it lies partly above
// or left of the screen without being maximised (the section keeps its last good values).
void SaveWindowPosition(rt::INIClass& ini, const Window& window, std::string_view procedure);

// Called on the moved and sized events: a window that is not maximised and lies above or left of
// the screen's edge is put at 1 on that axis. Does nothing when the command line holds "/NEGXY".
void FixNegativePosition(Window& window);

// The rules above as a part of a window procedure, under the procedure's name: Init (called right
// after the window opened) reads the window's section and adds itself to the procedure; a move or
// resize keeps the window on the screen (and, with `saveOnMove`, saves it); the procedure's Kill
// saves the window.
class WindowPositionKeeper : public WindowComponent {
 public:
  void Init(WindowManager& manager, rt::INIClass& ini, bool saveOnMove = false);
  Level TakeEvent() override;
  void Kill() override;

 private:
  WindowManager* m_manager = nullptr;
  rt::INIClass* m_ini = nullptr;
  bool m_saveOnMove = false;
};

}  // namespace ov::ui

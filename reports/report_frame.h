// The report program's frame: the Reports menu, what the command line selects, the user, the
// status bar's day and time, the About window and the Help links.
//
//   ov_rpts [?UseName] [User=name] [PATH=folder]
//
// A use name from the Reports menu ("?ReportsCalendar") runs that report as soon as the frame is
// open, exactly as if the user had chosen it; anything else leaves the frame open.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/ui/window_manager.h"

namespace ov::reports {

struct ReportMenuItem {
  const char* useName;        // "?ReportsCalendar"
  const char* caption;        // "&Calendar"
  const char* tip;
  const char* submenu;        // "&Schedule", "&To Do List", "&Contacts", or nullptr
  int (*run)();               // nullptr: the separator
  const char* contactOrder;   // set into GLO.ContactOrder first, or nullptr
  int stack;                  // the report thread's stack size, as the menu table gives it
};

// The Reports menu in menu order.
std::span<const ReportMenuItem> reportMenu();
// The item a command-line argument selects: the use names compared in the program's fixed
// order, exactly (trailing blanks ignored); nullptr for anything else.
const ReportMenuItem* matchCommandLine(std::string_view argument);
// Runs the item's report (the contact items set their order first); its response, 0 for none.
int runMenuItem(const ReportMenuItem& item);

// Zone 3 of the status bar: "Sunday, " and the date in the system's short form.
std::string statusDayText(int32_t today);
// A frame timer outside 1..100 hundredths becomes 100.
int clampFrameTimer(int hundredths);

// The current user: the login name, or User= of the command line; a USERS record is added for a
// user who has none (with the current folder as source path).
void IdentifyUser();

// The start of the program: INI manager and preserved criteria, the data library, the product
// name, version and INI file name. Returns false when the data folder could not be opened.
bool startReportProgram();

// The frame window, "Main". It closes when the desktop session ends; `watchSession` false leaves
// the session watch out (tests post the end of the session themselves).
std::unique_ptr<ui::WindowManager> makeMain(bool watchSession = true);
// The About window, modal.
void ReportAbout();

}  // namespace ov::reports

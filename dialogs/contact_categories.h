// The contact categories: the picker, the form of one category, and the two-pane window of the
// categories beside the contacts of the highlighted one.
//
//   SelectContactCategories       the picker of CONTACTCATEGORIES: "&Select" leaves the chosen
//                                 record in the CC buffer and answers completed. Opened without
//                                 the select request it is single-instance.
//   UpdateContactCategories       the form on the CC buffer, requests and answers as every form;
//                                 the name must be entered.
//   BrowseContactCategories2Pane  the categories, and the contacts of the highlighted one, each
//                                 list with its own buttons; single-instance unless selecting.
//                                 Both are explorer lists, each with its own column sort and its
//                                 own layout in .\POSITION.INI ("?Browse:1" and "?List").
//
// Threading: GUI thread only.
#pragma once

#include <memory>

#include "platform/ui/window_manager.h"

namespace ov::dialogs {

std::unique_ptr<ui::WindowManager> makeBrowseContactCategories2Pane();
std::unique_ptr<ui::WindowManager> makeSelectContactCategories();
// Each runs modally on the current thread (request in GLOBALREQUEST); its response.
int SelectContactCategories();
int UpdateContactCategories();
int BrowseContactCategories2Pane();

}  // namespace ov::dialogs

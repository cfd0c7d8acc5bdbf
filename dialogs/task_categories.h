// The task categories: the list and its one-field form.
//
//   BrowseTaskCategories  the list of CATEGORIES by name. Opened with the select request (4) it is
//                         a picker: "&Select" leaves the chosen record in the CAT buffer and
//                         answers completed; otherwise it is the single-instance maintenance list.
//   UpdateCategories      the form on the CAT buffer, requests and answers as every record form.
//                         It requires nothing; what the relations forbid (renaming or deleting a
//                         category that tasks use) the data layer refuses and reports.
//
// Threading: GUI thread only.
#pragma once

#include <memory>

#include "platform/ui/window_manager.h"

namespace ov::dialogs {

std::unique_ptr<ui::WindowManager> makeBrowseTaskCategories();
// Runs the list modally on the current thread (a picker when GLOBALREQUEST is 4); its response.
int BrowseTaskCategories();
// Runs the form modally on the current thread; its response.
int UpdateCategories();

}  // namespace ov::dialogs

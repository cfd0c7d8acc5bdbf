// The clipboard categories: the list with the history entries of the chosen category beside it,
// and the one-field category form.
//
//   BrowseClipboardCategories  the single-instance list of CLIPBOARDCATEGORIES by name; beside it
//                              the CLIPBOARD entries whose category is the highlighted one (case
//                              ignored). The categories' buttons run UpdateClipboardCategories,
//                              the entries' buttons the entry form UpdateClipboard. The entries
//                              are an explorer list: a column sort from the header stays within the
//                              category; the layout is kept in .\POSITION.INI under "?List".
//   UpdateClipboardCategories  the form on the CLC buffer, requests and answers as every record
//                              form. A name is required and unique in any case; renaming a
//                              category carries the new name into its entries, and a category
//                              that entries still use cannot be deleted.
//
// Threading: GUI thread only.
#pragma once

#include <memory>

#include "platform/ui/window_manager.h"

namespace ov::dialogs {

std::unique_ptr<ui::WindowManager> makeBrowseClipboardCategories();
// Runs the list modally on the current thread; its response.
int BrowseClipboardCategories();
// Runs the form modally on the current thread; its response.
int UpdateClipboardCategories();

}  // namespace ov::dialogs

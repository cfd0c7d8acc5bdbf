// The script template list and the deletion of a template's items.
//
//   BrowseScriptTemplates        the templates by description ("Script Templates"); New, Copy,
//                                Edit and Delete edit the template names in the list itself;
//                                "&Print" prints the highlighted template's items. With the select
//                                request it answers the chosen template in the OVT buffer and
//                                GLOBALRESPONSE 1. ScriptTemplateMode is 1 while it is open. An
//                                explorer list: sorted from its heading (the id and file name can
//                                be shown), its layout kept in .\POSITION.INI.
//                                Single-instance unless opened to select.
//   DeleteScriptTemplateDetails  deletes every item of the template in OVT behind a progress
//                                window, in one transaction: a failed delete leaves the items as
//                                they were; Cancel keeps what was deleted so far.
//
// Threading: GUI thread only.
#pragma once

#include <functional>
#include <memory>

#include "datalib/records.h"
#include "platform/rt/err.h"
#include "platform/ui/window_manager.h"

namespace ov::editors {

std::unique_ptr<ui::WindowManager> makeBrowseScriptTemplates();
// Runs the list modally on the current thread; its response.
int BrowseScriptTemplates();
void DeleteScriptTemplateDetails();

// Test hook: called before each template item is deleted; a non-zero result fails that delete.
extern std::function<rt::Err(const files::ScriptingRec&)> templateDetailBeforeDelete;

}  // namespace ov::editors

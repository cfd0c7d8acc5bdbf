#include "dialogs/record_form.h"

#include "platform/ui/event.h"

namespace ov::dialogs {

std::string formTitle(int request, bool viewOnly, std::string_view kind) {
  std::string title;
  if (request == ui::InsertRecord) title = "New " + std::string(kind);
  if (request == ui::ChangeRecord) title = "Edit " + std::string(kind);
  if (viewOnly && !title.empty()) title = "View" + title.substr(title.find(' '));
  return title;
}

}  // namespace ov::dialogs

#include "dialogs/record_form.h"

#include "datalib/requests.h"
#include "platform/ui/event.h"

namespace ov::dialogs {

void takeFormRequest(int& request, bool& viewOnly, bool& deleting) {
  viewOnly = files::GLOBALREQUEST == ui::ViewRecord;
  deleting = files::GLOBALREQUEST == ui::DeleteRecord;
  request = viewOnly ? ui::ChangeRecord : files::GLOBALREQUEST;
  files::GLOBALREQUEST = 0;
  files::GLOBALRESPONSE = 0;
}

std::string formTitle(int request, bool viewOnly, std::string_view kind) {
  std::string title;
  if (request == ui::InsertRecord) title = "New " + std::string(kind);
  if (request == ui::ChangeRecord) title = "Edit " + std::string(kind);
  if (viewOnly && !title.empty()) title = "View" + title.substr(title.find(' '));
  // A form opened to delete a record shows it read-only under the bare kind; never an empty title.
  if (request == ui::DeleteRecord) title = std::string(kind);
  return title;
}

}  // namespace ov::dialogs

#include "scheduler/prepare_task.h"

#include <string>

#include "datalib/globals.h"
#include "platform/rt/date_time.h"
#include "platform/rt/text.h"
#include "datalib/date_string_functions.h"

namespace ov::scheduler {

void PrepareTaskRecord(ScheduleRecord& t, ExceptionStore& store) {
  const bool runsProgram = t.TaskType == "Run Program" || t.TaskType == "Both" || t.TaskType == "Hot Key";
  if (t.Command.isBlank() && runsProgram) t.Command = "N/A";
  if (t.Description.isBlank()) {
    // Each text is cut to the 40 bytes of the field by the assignment.
    if (t.TaskType == "None") {
      t.Description = "Reminder: " + t.Message.str();
    } else if (t.TaskType == "Display Message") {
      t.Description = "Message: " + t.Message.str();
    } else if (t.TaskType == "Run Program") {
      t.Description = rt::UPPER(t.Command.clipped()) == "N/A" ? "Script: " + files::FMTDATE(rt::TODAY())
                                                              : "Run: " + t.Command.str();
    } else if (t.TaskType == "Hot Key") {
      t.Description = "Hot Key " + std::to_string(t.ID);
    } else {
      t.Description = "Message/Run Program";
    }
  }
  if (t.Category.isBlank()) t.Category = "General";
  t.NetworkUser = files::APP.USERID.view();
  t.LastChangeDate = rt::TODAY();
  t.LastChangeTime = rt::CLOCK();
  if (t.OriginalID == 0) t.OriginalID = t.ID;
  ApplyExceptions(t, store, ExceptionPass::SameOccurrence);
}

}  // namespace ov::scheduler

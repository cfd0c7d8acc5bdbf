#include "scheduler/schedule_data.h"

#include "datalib/files.h"
#include "datalib/records.h"
#include "scheduler/detail/keep_place.h"
#include "scheduler/event_log.h"
#include "scheduler/occurrence.h"
#include "scheduler/prepare_task.h"

namespace ov::scheduler {

using files::SCH;
using rt::Err;

bool DataFileExceptionStore::isHoliday(int32_t date) {
  if (files::Access_HOLIDAYS.UseFile() != Err::None) return false;
  detail::KeepPlace keep(files::HOLIDAYS);
  files::HOL.HolidayDate = date;
  return files::HOLIDAYS.get(files::HOL_KeyHolidayDate) == Err::None;
}

bool DataFileExceptionStore::fetchTask(int32_t id, ScheduleRecord& out) {
  if (files::Access_SCHEDULE.UseFile() != Err::None) return false;
  detail::KeepPlace keep(files::SCHEDULE);
  SCH.ID = id;
  if (files::SCHEDULE.get(files::SCH_KeyID) != Err::None) return false;
  out = SCH;
  return true;
}

void DataFileExceptionStore::deleteTask(int32_t id) {
  if (files::Relate_SCHEDULE.Open() != Err::None) return;
  {
    detail::KeepPlace keep(files::SCHEDULE);
    SCH.ID = id;
    // With its script items; a failure is reported by the relation manager.
    if (files::SCHEDULE.get(files::SCH_KeyID) == Err::None) (void)files::Relate_SCHEDULE.Delete();
  }
  (void)files::Relate_SCHEDULE.Close();
}

int32_t DataFileExceptionStore::insertCopy(const ScheduleRecord& copy, int32_t sourceId) {
  if (files::Access_SCHEDULE.UseFile() != Err::None) return 0;
  int32_t newId = 0;
  {
    detail::KeepPlace keep(files::SCHEDULE);
    SCH = copy;
    SCH.ID = 0;  // numbered by SCH:KeyID
    // Apart from a new task that the form saving it has reserved a number for.
    if (files::Access_SCHEDULE.TryInsertApart() != Err::None) return 0;
    newId = SCH.ID;
  }
  if (sourceId != 0) (void)copyScriptItems(sourceId, newId);  // a copy without its script still reminds
  return newId;
}

void DataFileExceptionStore::writeLog(std::string_view text, std::string_view label) { WriteLog(text, label); }

void NextOccurrence(int32_t referenceDate, int32_t referenceTime) {
  NextOccurrence(SCH, referenceDate, referenceTime);
}

bool IsValidScheduleDate(int32_t date, bool useTaskDate) { return IsValidScheduleDate(SCH, date, useTaskDate); }

void ApplyExceptions() {
  DataFileExceptionStore store;
  ScheduleRecord task = SCH;
  ApplyExceptions(task, store, ExceptionPass::NewOccurrence);
  SCH = task;
}

void PrepareTaskRecord() {
  DataFileExceptionStore store;
  ScheduleRecord task = SCH;
  PrepareTaskRecord(task, store);
  SCH = task;
}

Err deleteScriptItems(int32_t task) {
  if (Err err = files::Access_SCRIPTING.UseFile(); err != Err::None) return err;
  detail::KeepPlace keep(files::SCRIPTING);
  const bool ownTransaction = db::LOGOUT(1, {&files::SCRIPTING}) == Err::None;
  Err result = Err::None;
  files::SCR.ID = task;
  files::SCR.Sequence = INT32_MIN;
  Err err = files::SCRIPTING.setFrom(files::SCR_KeyID);
  while (err == Err::None && (err = files::SCRIPTING.next()) == Err::None && files::SCR.ID == task) {
    if (Err d = files::SCRIPTING.deleteRecord(); d != Err::None) {
      result = d;
      break;
    }
  }
  if (ownTransaction) {
    if (result == Err::None)
      result = db::COMMIT();
    else
      (void)db::ROLLBACK();  // nothing half-deleted
  }
  return result;
}

Err copyScriptItems(int32_t sourceTask, int32_t targetTask) {
  if (Err err = files::Access_SCRIPTING.UseFile(); err != Err::None) return err;
  detail::KeepPlace keep(files::SCRIPTING);
  const bool ownTransaction = db::LOGOUT(1, {&files::SCRIPTING}) == Err::None;
  Err result = Err::None;
  // Delete the target's items and read the source's in one sequence: the copies are added after
  // the source items have been read, so they never come back into the reading.
  std::vector<files::ScriptingRec> items;
  for (int32_t id : {targetTask, sourceTask}) {
    files::SCR.ID = id;
    files::SCR.Sequence = INT32_MIN;
    Err err = files::SCRIPTING.setFrom(files::SCR_KeyID);
    while (err == Err::None && (err = files::SCRIPTING.next()) == Err::None && files::SCR.ID == id) {
      if (id == targetTask) {
        if (Err d = files::SCRIPTING.deleteRecord(); d != Err::None) result = d;
      } else if (items.size() < 10000) {
        items.push_back(files::SCR);
      }
    }
    if (result != Err::None) break;
  }
  if (sourceTask == targetTask) items.clear();  // a task copied onto itself is left without items
  for (size_t i = 0; result == Err::None && i < items.size(); ++i) {
    files::SCR = items[i];
    files::SCR.ID = targetTask;
    result = files::SCRIPTING.add();
  }
  if (ownTransaction) {
    if (result == Err::None)
      result = db::COMMIT();
    else
      (void)db::ROLLBACK();
  }
  return result;
}

}  // namespace ov::scheduler

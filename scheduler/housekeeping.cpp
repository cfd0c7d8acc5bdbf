#include "scheduler/housekeeping.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "platform/rt/date_time.h"
#include "platform/rt/paths.h"
#include "scheduler/detail/keep_place.h"
#include "scheduler/event_log.h"
#include "platform/ui/host.h"
#include "scheduler/services.h"

namespace ov::scheduler {

using files::SCH;
using rt::Err;

namespace {

constexpr int kMaxHistoryTasks = 10000;

std::atomic<int32_t> g_historyCheckedOn{0};

void cannotRemoveHistory() {
  ui::MESSAGE(rt::ERROR() + " error while removing history", "Cannot Remove History", ui::Icon::Exclamation);
}

// Ends a pass: commits what it did, or undoes all of it after a failure.
Err finish(bool inTransaction, Err err) {
  if (!inTransaction) return err;
  if (err == Err::None) return db::COMMIT();
  (void)db::ROLLBACK();
  return err;
}

// The first disabled task in SCH:KeyDateEnabled order (disabled, date, time) is read by next().
Err setToDisabledTasks() {
  files::SCHEDULE.clear();
  SCH.Disabled = 1;
  return files::SCHEDULE.setFrom(files::SCH_KeyDateEnabled);
}

// Deletes the current task with its script items, per-user details and contact links.
Err deleteCurrentTask() { return files::Relate_SCHEDULE.Delete(); }

}  // namespace

void resetHistoryCheck() { g_historyCheckedOn = 0; }

bool RemoveExpiredHistory() {
  const int32_t today = rt::TODAY();
  const int32_t days = files::TASK.HISTORYEXPIRES;
  if (days == 0) {
    // Kept history is no reason to leave the holidays unkept: they are looked after once a day.
    if (g_historyCheckedOn.exchange(today) != today && services().initDefaultHolidays)
      services().initDefaultHolidays();
    return false;
  }
  if (g_historyCheckedOn.exchange(today) == today) return false;

  if (files::Relate_SCHEDULE.Open() == Err::None) {
    {
      detail::KeepPlace keep(files::SCHEDULE);
      const bool inTransaction = db::LOGOUT(1, {&files::SCHEDULE, &files::SCRIPTING}) == Err::None;
      Err err = setToDisabledTasks();
      for (int seen = 0; err == Err::None && seen < kMaxHistoryTasks; ++seen) {
        if ((err = files::SCHEDULE.next()) != Err::None || !SCH.Disabled) break;
        const bool expired = int64_t(today) >= int64_t(SCH.Date) + days;
        if (expired && (SCH.Completed || files::TASK.REMOVEUNCOMPLETED)) err = deleteCurrentTask();
      }
      if (err == Err::NotAvailable) err = Err::None;
      if (err != Err::None) cannotRemoveHistory();
      TrimEventLog();
      WriteLog("Checked for tasks needing removal", "History");
      // What was removed before an error stays removed, as each removal stands on its own.
      (void)finish(inTransaction, Err::None);
    }
    (void)files::Relate_SCHEDULE.Close();
  } else {
    cannotRemoveHistory();
  }
  if (services().initDefaultHolidays) services().initDefaultHolidays();
  return true;
}

Err removeDisabledTasks(bool completedOnly) {
  if (Err err = files::Relate_SCHEDULE.Open(); err != Err::None) return err;
  Err err;
  {
    detail::KeepPlace keep(files::SCHEDULE);
    const bool inTransaction = db::LOGOUT(1, {&files::SCHEDULE, &files::SCRIPTING}) == Err::None;
    err = setToDisabledTasks();
    while (err == Err::None && (err = files::SCHEDULE.next()) == Err::None && SCH.Disabled)
      if (!completedOnly || SCH.Completed) err = deleteCurrentTask();
    if (err == Err::NotAvailable) err = Err::None;
    err = finish(inTransaction, err);
  }
  (void)files::Relate_SCHEDULE.Close();
  return err;
}

Err clearToDoList() {
  if (Err err = files::Access_TODO.Open(); err != Err::None) return err;
  const bool inTransaction = db::LOGOUT(1, {&files::TODO}) == Err::None;
  Err err = files::TODO.set();
  while (err == Err::None && (err = files::TODO.next()) == Err::None) err = files::Access_TODO.Delete();
  if (err == Err::NotAvailable) err = Err::None;
  err = finish(inTransaction, err);
  (void)files::Access_TODO.Close();
  return err;
}

Err resetWindowPositions() {
  const std::string path = rt::resolvePath("POSITION.INI");
  std::error_code ec;
  std::filesystem::remove(path, ec);  // none saved yet is fine
  return ec ? Err::NoAccess : Err::None;
}

Err VerifyLinks(const std::function<void(int percent)>& progress, int64_t* removed) {
  if (removed) *removed = 0;
  if (Err err = files::Access_SCRIPTING.Open(); err != Err::None) return err;
  if (Err err = files::Access_SCHEDULE.Open(); err != Err::None) {
    (void)files::Access_SCRIPTING.Close();
    return err;
  }
  Err err;
  {
    detail::KeepPlace keepTasks(files::SCHEDULE);
    const bool inTransaction = db::LOGOUT(1, {&files::SCRIPTING}) == Err::None;
    const int64_t total = files::SCRIPTING.records();
    int64_t done = 0;
    int lastPercent = -1;
    int32_t lastTask = 0;
    bool lastTaskExists = false;
    err = files::SCRIPTING.set(files::SCR_KeyID);
    while (err == Err::None && (err = files::SCRIPTING.next()) == Err::None) {
      if (files::SCR.ID != lastTask || done == 0) {
        lastTask = files::SCR.ID;
        SCH.ID = lastTask;
        lastTaskExists = files::SCHEDULE.get(files::SCH_KeyID) == Err::None;
      }
      if (!lastTaskExists && (err = files::Access_SCRIPTING.Delete()) == Err::None && removed) ++*removed;
      ++done;
      const int percent = total > 0 ? int(done * 100 / total) : 100;
      if (progress && percent != lastPercent) progress(lastPercent = percent);
    }
    if (err == Err::NotAvailable) err = Err::None;
    err = finish(inTransaction, err);
  }
  (void)files::Access_SCHEDULE.Close();
  (void)files::Access_SCRIPTING.Close();
  return err;
}

}  // namespace ov::scheduler

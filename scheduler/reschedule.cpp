#include "scheduler/reschedule.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/records.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "scheduler/event_log.h"
#include "scheduler/occurrence.h"

namespace ov::scheduler {

using files::SCH;
using rt::Err;

namespace {

constexpr int32_t kOfferAhead = 12000;   // two minutes
constexpr int32_t kAcceptAhead = 6000;   // one minute

struct ChosenMoment {
  std::mutex mutex;
  int32_t date = 0, time = 0;
};
ChosenMoment& chosen() {
  static ChosenMoment c;
  return c;
}

bool isLeftAlone(const ScheduleRecord& t) {
  return t.Time == 0 || t.Date == 0 || t.Completed || t.TaskType == "Hot Key" ||
         scheduleKind(t) == ScheduleKind::Once;
}

void logGivenUp(const ScheduleRecord& t) {
  WriteLog("Failed on " + t.ScheduleType.str() + "(" + t.EveryType.str() + "," + rt::FORMAT(double(t.Date), "@d17") +
               "," + rt::FORMAT(double(t.Time), "@t7") + ") " + t.Description.str(),
           "Debug Previous");
}

}  // namespace

Err RescheduleAllTasks(int32_t date, int32_t time, const std::function<void(int percent)>& progress) {
  db::File& file = files::SCHEDULE;
  if (Err err = files::Access_SCHEDULE.Open(); err != Err::None) return err;
  const bool inTransaction = db::LOGOUT(1, {&file}) == Err::None;
  if (progress) progress(0);

  // The tasks in SCH:KeyID order, each written back as soon as it has moved. A write leaves
  // the task's place in that order as it was, so the records read ahead stay valid and the
  // file is read in batches.
  const int64_t total = file.records();
  int64_t visited = 0;
  int lastPercent = 0;
  Err err = file.set(files::SCH_KeyID);
  while (err == Err::None && (err = file.next()) == Err::None) {
    ++visited;
    if (!isLeftAlone(SCH)) {
      const int32_t oldDate = SCH.Date, oldTime = SCH.Time, oldEvery = SCH.Every;
      bool givenUp = false;
      {
        CalculationScope calculation;  // one "Invalid Units" message per task
        givenUp = !ReschedulePreviousOccurrence(SCH, date, time);
        if (givenUp)
          logGivenUp(SCH);
        else
          NextOccurrence(SCH, date, time);
      }
      const bool moved =
          !givenUp && (SCH.Date != oldDate || SCH.Time != oldTime || SCH.Every != oldEvery || SCH.Completed);
      if (moved && (err = files::Access_SCHEDULE.Update()) != Err::None) break;  // reported by the error manager
    }
    const int percent = total > 0 ? int(std::min(visited, total) * 100 / total) : 100;
    if (progress && percent != lastPercent) progress(lastPercent = percent);
  }
  if (err == Err::NotAvailable) err = Err::None;  // the end of the file

  if (inTransaction) {
    if (err == Err::None)
      err = db::COMMIT();
    else
      (void)db::ROLLBACK();  // a failed write undoes the whole pass
  }
  (void)files::Access_SCHEDULE.Close();
  return err;
}

void rescheduleMomentOffered(int32_t& date, int32_t& time) {
  ChosenMoment& c = chosen();
  std::lock_guard lock(c.mutex);
  // The window shows the time to the minute and reads back what it shows: the offer is a whole
  // minute at least two minutes ahead, so that it stays more than a minute ahead for a while.
  int32_t soonDate = rt::TODAY(), soonTime = rt::CLOCK() + kOfferAhead;
  constexpr int32_t kMinute = 6000;
  soonTime = ((soonTime - 1 + kMinute - 1) / kMinute) * kMinute + 1;
  files::FIXDATE(soonDate, soonTime);
  if (files::COMPAREDATE(c.date, c.time, soonDate, soonTime) < 0) {
    c.date = soonDate;
    c.time = soonTime;
  }
  date = c.date;
  time = c.time;
}

bool acceptRescheduleMoment(int32_t date, int32_t time) {
  const int32_t today = rt::TODAY();
  if (!(date > today || (date == today && time >= int64_t(rt::CLOCK()) + kAcceptAhead))) return false;
  ChosenMoment& c = chosen();
  std::lock_guard lock(c.mutex);
  c.date = date;
  c.time = time;
  return true;
}

void forgetRescheduleMoment() {
  ChosenMoment& c = chosen();
  std::lock_guard lock(c.mutex);
  c.date = 0;
  c.time = 0;
}

}  // namespace ov::scheduler

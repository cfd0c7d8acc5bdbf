#include "scheduler/exceptions.h"

#include "datalib/date_string_functions.h"
#include "platform/rt/date_time.h"
#include "scheduler/detail/calendar.h"
#include "scheduler/occurrence.h"

namespace ov::scheduler {

using namespace detail;

namespace {

constexpr int kMaxWindowSteps = 200;
constexpr int kShiftSearchDays = 366;

bool dayRulesInForce(const ScheduleRecord& t) {
  return t.ExceptHolidays || t.ExceptWeekdays || t.ExceptWeekends || !t.ExceptOther.isBlank();
}

bool isExcludedDay(const ScheduleRecord& t, int32_t date, ExceptionStore& store) {
  const int32_t wd = rt::weekday(date);
  if (t.ExceptWeekends && (wd == 0 || wd == 6)) return true;
  if (t.ExceptWeekdays && wd >= 1 && wd <= 5) return true;
  if (t.ExceptHolidays && store.isHoliday(date)) return true;
  return !t.ExceptOther.isBlank() && t.ExceptOther.view()[size_t(wd)] == 'Y';
}

char shiftLetter(const ScheduleRecord& t) {
  const char c = t.ShiftType.view()[0];
  return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// Deletes the copy that `link` names when it is still a pending copy of this task (a "Once" task
// of the same origin that hasn't completed); a copy that has run is history and stays.
void removePendingCopy(const ScheduleRecord& t, int32_t link, ExceptionStore& store) {
  ScheduleRecord copy;
  if (!store.fetchTask(link, copy)) return;  // gone already: nothing to do
  if (copy.ScheduleType == "Once" && !copy.Completed && copy.OriginalID == t.OriginalID) store.deleteTask(link);
}

// Steps the task out of its time window. Returns false when it had to be marked to skip the
// occurrence instead (a window over the whole day).
bool stepOutOfWindow(ScheduleRecord& t) {
  const int32_t savedDate = t.Date, savedTime = t.Time;
  const uint8_t savedCompleted = t.Completed;
  int count = 0;
  while (isInTimeWindow(t, t.Time) && count < kMaxWindowSteps) {
    ++count;
    NextOccurrence(t, t.Date, t.Time + 1);
  }
  if (count < kMaxWindowSteps) return true;

  // Abandoned: back to the occurrence, then to the end of the window on its next occurrence's day.
  t.Date = savedDate;
  t.Time = savedTime;
  t.Completed = savedCompleted;
  if (t.ExceptTimeEnd > t.Time)
    NextOccurrence(t, t.Date, t.Time + 1);
  else
    NextOccurrence(t, t.Date + 1, 1);
  t.Time = t.ExceptTimeEnd + 1;
  files::FIXDATE(t.Date, t.Time);
  if (!isInTimeWindow(t, t.Time)) return true;
  t.SkipNextTime = 1;
  return false;
}

void makeShiftedCopy(ScheduleRecord& t, ExceptionStore& store, ExceptionPass pass, bool forward) {
  if (pass == ExceptionPass::SameOccurrence && t.ExceptionLink != 0) removePendingCopy(t, t.ExceptionLink, store);

  ScheduleRecord copy = t;
  for (int i = 0; i < kShiftSearchDays; ++i) {
    const int64_t day = int64_t(t.Date) + (forward ? i : -i);
    if (!inCalendar(day)) break;
    if (!isExcludedDay(t, int32_t(day), store)) {
      copy.Date = int32_t(day);
      break;
    }
  }
  copy.ExceptionLink = 0;
  copy.ScheduleType = "Once";
  copy.SkipNextTime = 0;
  t.ExceptionLink = store.insertCopy(copy, t.ID);
}

}  // namespace

bool isInTimeWindow(const ScheduleRecord& t, int32_t time) {
  if (!t.ExceptTime) return false;
  const int32_t begin = t.ExceptTimeBegin;
  const int32_t end = t.ExceptTimeEnd == 0 ? rt::kCentisecondsPerDay : t.ExceptTimeEnd;
  if (begin <= end) return begin <= time && time <= end;
  return time > begin || time < end;
}

int exceptionTest(ScheduleRecord& t, ExceptionStore& store) {
  const ScheduleKind kind = scheduleKind(t);
  if (kind == ScheduleKind::Once || kind == ScheduleKind::DayOfWeek) {
    t.ExceptTime = 0;
    t.ExceptWeekends = 0;
    t.ExceptWeekdays = 0;
    t.ExceptHolidays = 0;
    t.ExceptTimeBegin = 0;
    t.ExceptTimeEnd = 0;
    t.ExceptOther.clear();
    return 0;
  }
  int result = 0;
  if (t.ExceptTime) {
    if (t.ExceptTimeEnd == 0) t.ExceptTimeEnd = rt::kCentisecondsPerDay;
    if (isInTimeWindow(t, t.Time)) result |= 1;
  }
  if (dayRulesInForce(t)) {
    if (t.ExceptWeekends) t.ExceptWeekdays = 0;  // weekends win
    if (isExcludedDay(t, t.Date, store)) result |= 2;
  }
  return result;
}

void ApplyExceptions(ScheduleRecord& t, ExceptionStore& store, ExceptionPass pass) {
  CalculationScope calculation;
  int r = exceptionTest(t, store);
  if (r & 1) {
    if (!stepOutOfWindow(t)) return;
    r = exceptionTest(t, store);
  }
  if (r & 2) {
    t.SkipNextTime = 1;
    const char shift = shiftLetter(t);
    if (shift == 'N' || shift == 'P') makeShiftedCopy(t, store, pass, shift == 'N');
    return;
  }
  // Stored again on an occurrence that is no longer excluded: its shift is void.
  if (pass == ExceptionPass::SameOccurrence && t.ExceptionLink != 0) {
    removePendingCopy(t, t.ExceptionLink, store);
    t.ExceptionLink = 0;
    t.SkipNextTime = 0;
  }
}

}  // namespace ov::scheduler

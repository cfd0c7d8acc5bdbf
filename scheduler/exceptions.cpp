#include "scheduler/exceptions.h"

#include <algorithm>
#include <vector>

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

// A copy made by a shift of this task that has not run yet: a "Once" task of the same origin that
// hasn't completed. A copy that has run is history.
bool isPendingCopyOf(const ScheduleRecord& t, const ScheduleRecord& copy) {
  return copy.ScheduleType == "Once" && !copy.Completed && copy.OriginalID == t.OriginalID;
}

// The excluded days a shifted copy may stand for: from the day next to the copy, against the
// direction of its shift, every day that the copy's own exception rules (those of its task when it
// was made) exclude. Empty when the copy no longer carries the rules.
std::vector<int32_t> occurrencesStoodFor(const ScheduleRecord& copy, ExceptionStore& store) {
  std::vector<int32_t> days;
  if (!dayRulesInForce(copy)) return days;
  const int step = shiftLetter(copy) == 'P' ? 1 : -1;
  for (int i = 1; i <= kShiftSearchDays; ++i) {
    const int64_t day = int64_t(copy.Date) + int64_t(step) * i;
    if (!inCalendar(day) || !isExcludedDay(copy, int32_t(day), store)) break;
    days.push_back(int32_t(day));
  }
  return days;
}

// The task's schedule has an occurrence on `day` (its time of day aside). A rule that can't be
// followed back that far counts as having it.
bool occursOn(const ScheduleRecord& t, int32_t day) {
  ScheduleRecord probe = t;
  probe.Completed = 0;
  probe.ExpiryDate = probe.ExpiryTime = 0;
  if (scheduleKind(probe) == ScheduleKind::Once) return probe.Date == day;
  if (scheduleKind(probe) == ScheduleKind::Custom && customUnit(probe) == CustomUnit::Invalid) return true;
  if (!ReschedulePreviousOccurrence(probe, day, 1)) return true;
  NextOccurrence(probe, day - 1, rt::kCentisecondsPerDay);  // the first occurrence on `day` or later
  return probe.Date == day && !probe.Completed;
}

// The task runs by its own schedule at the moment (date, time), before its expiry: a shifted copy
// there would perform it twice at once. False when the rule can't be followed that far.
bool runsItselfAt(const ScheduleRecord& t, int32_t date, int32_t time) {
  const ScheduleKind kind = scheduleKind(t);
  if (kind == ScheduleKind::Once) return false;
  const CustomUnit unit = kind == ScheduleKind::Custom ? customUnit(t) : CustomUnit::Invalid;
  if (kind == ScheduleKind::Custom && unit == CustomUnit::Invalid) return false;
  if (t.ExpiryDate != 0) {
    const int32_t expiryTime = t.ExpiryTime != 0 ? t.ExpiryTime : rt::kCentisecondsPerDay;
    if (date > t.ExpiryDate || (date == t.ExpiryDate && time > expiryTime)) return false;
  }
  ScheduleRecord probe = t;
  probe.Completed = 0;
  probe.ExpiryDate = probe.ExpiryTime = 0;
  if (!ReschedulePreviousOccurrence(probe, date, 1)) return false;
  NextOccurrence(probe, date - 1, rt::kCentisecondsPerDay);  // its first occurrence on `date` or later
  if (probe.Completed || probe.Date != date) return false;
  if (unit != CustomUnit::Minute && unit != CustomUnit::Hour) return probe.Time == time;
  const int64_t step = int64_t(std::max(probe.Every, 1)) * (unit == CustomUnit::Minute ? 6000 : 360000);
  return time >= probe.Time && (int64_t(time) - probe.Time) % step == 0;
}

void logRemovedCopy(const ScheduleRecord& t, const ScheduleRecord& copy, ExceptionStore& store) {
  store.writeLog(t.Description.str() + " (" + files::FMTDATE(copy.Date) + ")", "Shifted copy removed");
}

// What a task stored again finds at the end of its link.
struct LinkedCopy {
  bool pending = false;              // a pending copy of this task, kept so far
  bool forStoredOccurrence = false;  // made for the occurrence the stored task is on
  int32_t storedDate = 0;
  ScheduleRecord copy;
};

// Follows the link of a task that is stored again. A link the stored task doesn't have (a new
// task made from another one carries that one's link) or one that leads to no pending copy of the
// task is dropped, and nothing is deleted for it. A copy for an occurrence that the task has moved
// past still has to run: it is kept, unless the schedule stored now no longer has that occurrence.
LinkedCopy followLink(ScheduleRecord& t, ExceptionStore& store) {
  LinkedCopy linked;
  ScheduleRecord stored;
  const bool known = t.ID != 0 && store.fetchTask(t.ID, stored);
  linked.storedDate = known ? stored.Date : 0;
  t.ExceptionLink = known ? stored.ExceptionLink : 0;
  if (t.ExceptionLink == 0) return linked;
  if (!store.fetchTask(t.ExceptionLink, linked.copy) || !isPendingCopyOf(t, linked.copy)) {
    t.ExceptionLink = 0;
    return linked;
  }
  const std::vector<int32_t> days = occurrencesStoodFor(linked.copy, store);
  linked.pending = true;
  linked.forStoredOccurrence = std::find(days.begin(), days.end(), stored.Date) != days.end();
  if (linked.forStoredOccurrence) return linked;
  bool belongs = days.empty();  // rules no longer on the copy: can't tell, so it stays
  for (int32_t day : days) belongs = belongs || occursOn(t, day);
  if (!belongs) {
    store.deleteTask(t.ExceptionLink);
    logRemovedCopy(t, linked.copy, store);
    t.ExceptionLink = 0;
    linked.pending = false;
  }
  return linked;
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
  // The end itself belongs to a window of the day (begin before end), not to one across midnight.
  t.Time = t.ExceptTimeEnd + (t.ExceptTimeBegin <= t.ExceptTimeEnd ? 1 : 0);
  files::FIXDATE(t.Date, t.Time);
  if (!isInTimeWindow(t, t.Time)) return true;
  t.SkipNextTime = 1;
  return false;
}

// Makes the one-time copy of the excluded occurrence on the nearest valid day and links it. A
// copy whose moment has already passed is not made (it would run at once, late): the occurrence
// is skipped with a line in the log. Nor is one made where the task runs at that moment anyway.
void makeShiftedCopy(ScheduleRecord& t, ExceptionStore& store, bool forward) {
  ScheduleRecord copy = t;
  for (int i = 0; i < kShiftSearchDays; ++i) {
    const int64_t day = int64_t(t.Date) + (forward ? i : -i);
    if (!inCalendar(day)) break;
    if (!isExcludedDay(t, int32_t(day), store)) {
      copy.Date = int32_t(day);
      break;
    }
  }
  if (files::COMPAREDATE(rt::TODAY(), rt::CLOCK(), copy.Date, copy.Time) > 0) {
    store.writeLog(t.Description.str() + " (" + files::FMTDATE(copy.Date) + ")", "Shifted task passed");
    t.ExceptionLink = 0;
    return;
  }
  // The valid day already has the task at that moment: by its own schedule (a daily task whose
  // weekend goes to Monday), or by the copy made for an excluded day next to this one.
  if (copy.Date != t.Date && runsItselfAt(t, copy.Date, copy.Time)) return;
  ScheduleRecord previous;
  if (t.ExceptionLink != 0 && store.fetchTask(t.ExceptionLink, previous) && isPendingCopyOf(t, previous) &&
      previous.Date == copy.Date && previous.Time == copy.Time)
    return;
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
  LinkedCopy linked;
  if (pass == ExceptionPass::SameOccurrence) linked = followLink(t, store);
  int r = exceptionTest(t, store);
  bool windowSkip = false;
  if (r & 1) {
    windowSkip = !stepOutOfWindow(t);
    r = windowSkip ? 0 : exceptionTest(t, store);
  }
  const char shift = shiftLetter(t);
  const bool shifts = (r & 2) && (shift == 'N' || shift == 'P');
  if (linked.pending && linked.forStoredOccurrence) {
    // Stored again with the copy of its occurrence pending: the copy is made anew with what was
    // changed while the task stays on that shifted occurrence; otherwise it goes, and so does the
    // skip that the shift set.
    store.deleteTask(t.ExceptionLink);
    t.ExceptionLink = 0;
    if (!(shifts && t.Date == linked.storedDate)) logRemovedCopy(t, linked.copy, store);
    if (!(r & 2) && !windowSkip) t.SkipNextTime = 0;
  }
  if (r & 2) {
    t.SkipNextTime = 1;
    if (shifts) makeShiftedCopy(t, store, shift == 'N');
  }
}

}  // namespace ov::scheduler

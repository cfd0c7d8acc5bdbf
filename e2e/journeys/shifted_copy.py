"""A holiday exception with "Next day" makes a one-time copy of the occurrence it skips; the copy
has to run even after the task has moved past that occurrence and is saved again."""

import datetime
import time

from harness import check, control, wait_for
from journeys.common import exit_program, first_start, menu
from journeys.schedule_rules import set_check, stored_day
from journeys.tasks import LIST, choose_tab, fill_basics, fill_message, form

HOLIDAY_FORM = "UpdateHolidays"
EXCEPTIONS = "UpdateSchedule:ExceptionsWindow"


def make_holiday(s, p, frame, day, name):
    menu(s, p, frame, "Tools", "Holidays")
    holidays = p.window(procedure="BrowseHolidays")
    s.click_control(holidays, "?Insert")
    f = p.window(procedure=HOLIDAY_FORM)
    s.type_into(f, "?HOL:HolidayDate", day.strftime("%m/%d/%Y"))
    s.key("Tab")
    s.type_into(p.window(procedure=HOLIDAY_FORM, shot=False), "?HOL:Holiday", name)
    p.window(procedure=HOLIDAY_FORM)
    s.click_control(p.window(procedure=HOLIDAY_FORM, shot=False), "?OK")
    p.gone(procedure=HOLIDAY_FORM)
    held = [r for r in s.records("HOLIDAYS") if r["Holiday"].strip() == name]
    check(len(held) == 1 and held[0]["HolidayDate"] == str(stored_day(day)),
          "the holiday is stored for %s: %s" % (day, held))
    s.click_control(p.window(procedure="BrowseHolidays", shot=False), "?Close")
    p.gone(procedure="BrowseHolidays")


def tasks_named(s, description):
    return [r for r in s.records("SCHEDULE") if r["Description"].strip() == description]


def run(s):
    """A weekly task on a holiday, its time today already past, excluding holidays with "Next day":
    saved, it gets a copy for tomorrow; the scheduler then moves it on to next week, past the
    holiday. Opened and saved again with "Skip next regular occurrence" ticked, the task keeps the
    copy and its link, and the skip mark stays."""
    # The time two minutes ago must lie on today.
    while time.gmtime().tm_hour == 0 and time.gmtime().tm_min < 3:
        time.sleep(10)
    past = time.gmtime(time.time() - 120)
    hhmm = "%02d:%02d" % (past.tm_hour, past.tm_min)
    today = datetime.datetime.now(datetime.timezone.utc).date()
    tomorrow, next_week = today + datetime.timedelta(days=1), today + datetime.timedelta(days=7)

    p, frame = first_start(s)
    make_holiday(s, p, frame, today, "Works outing")

    menu(s, p, frame, "File", "New", "Task...")
    form(p, shot=True)
    fill_basics(s, p, "Standup")
    fill_message(s, p, "Stand-up in room 4.")
    f = choose_tab(s, p, "?Tab:Scheduling")
    s.click_control(f, "?SCH:ScheduleType:Custom")
    s.type_into(form(p), "?SCH:Every", "1")
    s.click_control(form(p), "?SCH:EveryType:week(s)")
    s.type_into(form(p), "?SCH:Time", hhmm)
    s.key("Tab")
    s.click_control(form(p), "?Except")
    exceptions = p.window(procedure=EXCEPTIONS)
    s.click_control(exceptions, "?SCH:ShiftType:Radio3")
    if not control(p.window(procedure=EXCEPTIONS, shot=False), "?SCH:ExceptHolidays").get("checked"):
        s.click_control(p.window(procedure=EXCEPTIONS, shot=False), "?SCH:ExceptHolidays")
    wait_for(lambda: control(p.window(procedure=EXCEPTIONS, shot=False), "?SCH:ExceptHolidays").get("checked"),
             5, what="Except holidays to be ticked")
    p.window(procedure=EXCEPTIONS)
    s.click_control(p.window(procedure=EXCEPTIONS, shot=False), "?Close")
    p.gone(procedure=EXCEPTIONS)
    form(p, shot=True)
    s.click_control(form(p), "?OK")
    p.gone(procedure="UpdateSchedule", timeout=10)

    # Saved on the holiday: a copy for tomorrow; the scheduler skips today's (past) occurrence
    # and moves the task on to next week.
    def moved_on():
        found = tasks_named(s, "Standup")
        task = [r for r in found if r["ScheduleType"].strip() == "Custom"]
        return task and task[0]["Date"] == str(stored_day(next_week)) and (task[0], found)
    task, found = wait_for(moved_on, 90, interval=1, what="the scheduler to move the task on to next week")
    for r in found:
        print({k: r.get(k) for k in ("ID", "OriginalID", "ScheduleType", "Date", "Time", "Completed", "ExceptionLink",
                                     "SkipNextTime", "ExceptHolidays", "ShiftType")})
    copies = [r for r in found if r["ScheduleType"].strip() == "Once"]
    check(len(copies) == 1 and copies[0]["Date"] == str(stored_day(tomorrow)) and copies[0]["Completed"] == "0",
          "one pending copy for tomorrow (%s): %s" % (tomorrow, copies))
    copy = copies[0]
    check(copy["ID"] not in ("0", task["ID"]), "the copy is numbered as a task of its own: %s" % copies)
    check(task["ExceptionLink"] == copy["ID"], "the task links its copy: %s" % task["ExceptionLink"])
    check(task["SkipNextTime"] == "0", "the skipped holiday took the task's skip mark with it")

    # Opened from the list and saved with the user's skip mark.
    tasks = p.window(procedure=LIST)
    every = control(tasks, "All by Date")
    s.click(every["x"] + every["w"] // 2, every["y"] + every["h"] // 2)

    def task_row():
        rows = [r for c in p.window(procedure=LIST, shot=False)["controls"] for r in c.get("rows", [])
                if "Standup" in r["cells"]]
        return len(rows) == 2 and rows[-1]  # by date: the copy, then the task
    row = wait_for(task_row, 10, what="the task and its copy in the schedule list")
    s.click(row["x"] + row["w"] // 2, row["y"] + row["h"] // 2)
    s.click_control(p.window(procedure=LIST, shot=False), "Edit")
    form(p, shot=True)
    f = choose_tab(s, p, "?Tab:Scheduling")
    check(control(f, "?SCH:Date")["text"].strip() != "", "the form shows the task's date")
    set_check(s, p, "?SCH:SkipNextTime", True)
    form(p, shot=True)
    s.click_control(form(p), "?OK")
    p.gone(procedure="UpdateSchedule", timeout=10)

    found = tasks_named(s, "Standup")
    for r in found:
        print({k: r.get(k) for k in ("ID", "OriginalID", "ScheduleType", "Date", "Time", "Completed", "ExceptionLink",
                                     "SkipNextTime", "ExceptHolidays", "ShiftType")})
    saved = [r for r in found if r["ID"] == task["ID"]]
    check(len(saved) == 1, "the task is still there: %s" % found)
    saved = saved[0]
    kept = [r for r in found if r["ID"] == copy["ID"]]
    check(len(kept) == 1 and kept[0]["Date"] == copy["Date"] and kept[0]["Completed"] == "0",
          "the copy for the holiday's occurrence is kept, pending: %s" % found)
    check(saved["ExceptionLink"] == copy["ID"], "the task still links its copy: %s" % saved["ExceptionLink"])
    check(saved["SkipNextTime"] == "1", "the user's skip mark stays: %s" % saved["SkipNextTime"])
    check(saved["Date"] == str(stored_day(next_week)), "the task stays on next week: %s" % saved["Date"])
    exit_program(s, p, frame)


def daily_task_needs_no_copy(s):
    """A daily task whose next occurrence falls on a holiday, excluding holidays with "Next day":
    the day after has an occurrence of its own at the same time, so saving the task skips the
    holiday's occurrence and makes no copy that would run the task twice at once."""
    today = datetime.date.today()
    holiday, after = today + datetime.timedelta(days=1), today + datetime.timedelta(days=2)
    p, frame = first_start(s, None, "/I")  # nothing falls due meanwhile
    make_holiday(s, p, frame, holiday, "Works outing")

    menu(s, p, frame, "File", "New", "Task...")
    form(p, shot=True)
    fill_basics(s, p, "Daily round")
    fill_message(s, p, "Check the boiler.")
    f = choose_tab(s, p, "?Tab:Scheduling")
    s.click_control(f, "?SCH:ScheduleType:Custom")
    s.type_into(form(p), "?SCH:Every", "1")
    s.click_control(form(p), "?SCH:EveryType:day(s)")
    s.type_into(form(p), "?SCH:Date", holiday.strftime("%m/%d/%Y"))
    s.key("Tab")
    s.type_into(form(p), "?SCH:Time", "09:00")
    s.key("Tab")
    s.click_control(form(p), "?Except")
    p.window(procedure=EXCEPTIONS)
    s.click_control(p.window(procedure=EXCEPTIONS, shot=False), "?SCH:ShiftType:Radio3")
    set_exception = p.window(procedure=EXCEPTIONS, shot=False)
    if not control(set_exception, "?SCH:ExceptHolidays").get("checked"):
        s.click_control(set_exception, "?SCH:ExceptHolidays")
    wait_for(lambda: control(p.window(procedure=EXCEPTIONS, shot=False), "?SCH:ExceptHolidays").get("checked"),
             5, what="Except holidays to be ticked")
    s.shoot_window(p.window(procedure=EXCEPTIONS, shot=False))
    s.click_control(p.window(procedure=EXCEPTIONS, shot=False), "?Close")
    p.gone(procedure=EXCEPTIONS)
    form(p, shot=True)
    s.click_control(form(p), "?OK")
    p.gone(procedure="UpdateSchedule", timeout=10)

    found = tasks_named(s, "Daily round")
    check(len(found) == 1, "the task alone, no copy for %s where it runs anyway: %s" %
          (after, [(r["ScheduleType"].strip(), r["Date"], r["Time"]) for r in found]))
    task = found[0]
    check(task["Date"] == str(stored_day(holiday)) and task["SkipNextTime"] == "1",
          "the task stays on the holiday (%s), to be skipped once: Date %s, SkipNextTime %s" %
          (holiday, task["Date"], task["SkipNextTime"]))
    check(task["ExceptionLink"] == "0", "no copy linked: %s" % task["ExceptionLink"])
    exit_program(s, p, frame)

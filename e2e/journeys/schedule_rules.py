"""The scheduling rules as the task form's user meets them."""

import datetime

from harness import check, control, wait_for
from journeys.common import exit_program, first_start, menu
from journeys.tasks import choose_tab, fill_basics, fill_message, form, task

ORDINALS = ["1st", "2nd", "3rd", "4th", "Last"]
DAYS = ["Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"]


def set_check(s, p, name, wanted):
    """Ticks or clears a check box of the task form with the mouse, whatever it showed."""
    if bool(control(form(p, shot=False), name).get("checked")) != wanted:
        s.click_control(form(p, shot=False), name)
        wait_for(lambda: bool(control(form(p, shot=False), name).get("checked")) == wanted, 5,
                 what="%s to be %s" % (name, "ticked" if wanted else "cleared"))


def stored_day(d):
    """The day number the tables store for a date (1 January 1801 is day 4)."""
    return (d - datetime.date(1800, 12, 28)).days


def nth_weekday_on_or_after(start, ordinal, weekday):
    """The first date from `start` on that is the `ordinal`-th (0-based) `weekday` of its month."""
    d = start
    while not (d.weekday() == weekday and (d.day - 1) // 7 == ordinal):
        d += datetime.timedelta(days=1)
    return d


def start_date_off_rule(s):
    """A "Day of Month" task whose start date is left on today, a day its rule rejects: OK says so
    with the next valid date, and the task is stored on that date, not on today."""
    p, frame = first_start(s, None, "/I")  # nothing runs while the form is open
    today = datetime.date.today()
    # An ordinal of Tuesday that today is not, so today never fits the rule.
    today_ordinal = (today.day - 1) // 7 if today.weekday() == 1 else -1
    ordinal = (today_ordinal + 1) % 4
    expected = nth_weekday_on_or_after(today, ordinal, 1)
    check(expected != today, "the rule rejects today")

    menu(s, p, frame, "File", "New", "Task...")
    form(p, shot=True)
    fill_basics(s, p, "Team meeting")
    fill_message(s, p, "Room 4, with the figures.")
    f = choose_tab(s, p, "?Tab:Scheduling")
    s.click_control(f, "?SCH:ScheduleType:Day of Month")
    for i, o in enumerate(ORDINALS):
        set_check(s, p, "?SCH:Every" + o, i == ordinal)
    for d in DAYS:
        set_check(s, p, "?SCH:" + d, d == "Tuesday")
    s.type_into(form(p, shot=False), "?SCH:Time", "09:00")
    s.key("Tab")
    form(p, shot=True)
    s.click_control(form(p, shot=False), "?OK")

    def told():
        for w in p.windows():
            if w["class"] == "QMessageBox":
                texts = " ".join(c.get("text", "") for c in w["controls"])
                if "does not match schedule type" in texts:
                    return w, texts
        return None
    box, text = wait_for(told, 10, what="the message that the start date does not match the schedule")
    s.shoot_window(box)
    check("The next valid date would be" in text, "the message names the next valid date: %r" % text)
    s.key("Return", window=box)
    p.gone(procedure="UpdateSchedule", timeout=10)

    stored = task(s, "Team meeting")
    check(stored["Date"] == str(stored_day(expected)),
          "the task is stored for %s (day %d), not %s: Date %s" %
          (expected, stored_day(expected), today, stored["Date"]))
    check(stored["ScheduleType"].strip() == "Day of Month", "the task keeps its rule: %r" % stored["ScheduleType"])
    exit_program(s, p, frame)


def calendar_offers_rule_days(s):
    """A "Day of Month" task on Tuesdays with no week of the month chosen runs every Tuesday: the
    start-date picker offers exactly the Tuesdays, and one picked there is stored without a warning."""
    p, frame = first_start(s, None, "/I")
    menu(s, p, frame, "File", "New", "Task...")
    form(p, shot=True)
    fill_basics(s, p, "Tuesday stand-up")
    fill_message(s, p, "Five minutes each.")
    f = choose_tab(s, p, "?Tab:Scheduling")
    s.click_control(f, "?SCH:ScheduleType:Day of Month")
    for o in ORDINALS:
        set_check(s, p, "?SCH:Every" + o, False)
    for d in DAYS:
        set_check(s, p, "?SCH:" + d, d == "Tuesday")
    s.type_into(form(p, shot=False), "?SCH:Time", "09:00")
    s.key("Tab")

    s.click_control(form(p, shot=False), "?StartDateButton")
    cal = p.window(procedure="Calendar", shot=False)
    s.click_control(cal, "?NextMonth")  # a month wholly ahead: every Tuesday of it may be picked

    def days(w):
        # Buttons run Sunday to Saturday in rows of seven; the shown ones carry their day.
        out = []
        for i in range(1, 43):
            c = control(w, "?Day%d" % i)
            if c.get("visible") and c.get("text"):
                out.append((int(c["text"]), (i - 1) % 7, bool(c.get("enabled"))))
        return out

    today = datetime.date.today()
    month_ahead = (today.replace(day=1) + datetime.timedelta(days=32)).replace(day=1)
    first_column = (month_ahead.weekday() + 1) % 7  # Sunday first

    def next_month_shown():
        w = p.window(procedure="Calendar", shot=False)
        d = days(w)
        return w if d and d[0][:2] == (1, first_column) and len(d) >= 28 else None
    cal = wait_for(next_month_shown, 10, what="the next month in the date picker")
    s.shoot_window(cal)
    from journeys.commands import visual_problems
    problems = visual_problems(s, cal)
    check(not problems, "the date picker shows whole:\n" + "\n".join(problems))
    shown = days(cal)
    wrong = [(d, col, on) for d, col, on in shown if on != (col == 2)]
    check(not wrong, "the picker offers Tuesdays and only Tuesdays (day, column, enabled): %r" % wrong)

    first_tuesday = next(d for d, col, on in shown if col == 2)
    expected = month_ahead.replace(day=first_tuesday)
    check(expected.weekday() == 1, "%s is a Tuesday" % expected)
    i = next(i for i in range(1, 43) if control(cal, "?Day%d" % i).get("text") == str(first_tuesday))
    day, after = control(cal, "?Day%d" % i), control(cal, "?Day%d" % (i + 1))
    # The day buttons overlap their right-hand neighbours: click the part of it left uncovered.
    s.click((day["x"] + min(after["x"], day["x"] + day["w"])) // 2, day["y"] + day["h"] // 2)
    p.gone(procedure="Calendar", timeout=10)
    form(p, shot=True)
    # A warning would hold the form open behind its box.
    s.click_control(form(p, shot=False), "?OK")
    p.gone(procedure="UpdateSchedule", timeout=10)

    stored = task(s, "Tuesday stand-up")
    check(stored["Date"] == str(stored_day(expected)),
          "the task is stored for %s (day %d): Date %s" % (expected, stored_day(expected), stored["Date"]))
    exit_program(s, p, frame)

"""Tasks made and edited through the task form while the scheduler runs and other tasks fall due."""

import datetime
import time

from harness import check, control, wait_for
from journeys.common import exit_program, first_start, menu

FORM = "UpdateSchedule"
LIST = "BrowseSchedule"
REMINDER = "ShowMessageNormal"


def clock_in(seconds):
    """The wall-clock time (UTC, as the programs run here) `seconds` ahead, as "HH:MM", rounded up to
    a whole minute, and the centisecond time the tables store for it."""
    t = time.gmtime(time.time() + seconds + 59)
    return "%02d:%02d" % (t.tm_hour, t.tm_min), (t.tm_hour * 3600 + t.tm_min * 60) * 100 + 1


def seconds_until(hhmm):
    h, m = (int(v) for v in hhmm.split(":"))
    now = time.gmtime()
    return (h * 3600 + m * 60) - (now.tm_hour * 3600 + now.tm_min * 60 + now.tm_sec)


def form(p, shot=False):
    return p.window(procedure=FORM, shot=shot)


def choose_tab(s, p, name):
    tab = control(form(p), name)
    check(tab.get("visible"), "the task form's tab %s shows" % name)
    s.click(tab["x"] + tab["w"] // 2, tab["y"] + tab["h"] // 2)
    wait_for(lambda: control(form(p), name).get("chosen"), 5, what="the tab %s to be chosen" % name)
    return form(p)


def fill_basics(s, p, description):
    f = choose_tab(s, p, "?Tab:Basics")
    s.click_control(f, "?SCH:TaskType:Message")
    s.type_into(form(p), "?SCH:Description", description)
    s.key("Tab")


def fill_message(s, p, message):
    f = choose_tab(s, p, "?Tab:Message")
    s.type_into(f, "?SCH:Message", message)


def fill_scheduling(s, p, hhmm):
    f = choose_tab(s, p, "?Tab:Scheduling")
    s.click_control(f, "?SCH:ScheduleType:Once")
    s.type_into(form(p), "?SCH:Time", hhmm)
    s.key("Tab")


def press_ok(s, p):
    s.click_control(form(p), "?OK")
    p.gone(procedure=FORM, timeout=10)


def new_message_task(s, p, frame, description, message, hhmm):
    menu(s, p, frame, "File", "New", "Task...")
    form(p, shot=True)
    fill_basics(s, p, description)
    fill_message(s, p, message)
    fill_scheduling(s, p, hhmm)
    press_ok(s, p)


def task(s, description):
    found = [r for r in s.records("SCHEDULE") if r["Description"] == description]
    check(len(found) == 1, "one task %r in SCHEDULE, found %d: %s" %
          (description, len(found), [r["Description"] for r in s.records("SCHEDULE")]))
    return found[0]


def check_typed(s, p, description, message):
    """The form still shows what was typed, on every tab."""
    f = choose_tab(s, p, "?Tab:Basics")
    shown = control(f, "?SCH:Description")["text"].strip()
    check(shown == description, "the task form shows description %r, not the typed %r" % (shown, description))
    f = choose_tab(s, p, "?Tab:Message")
    shown = control(f, "?SCH:Message")["text"].strip()
    check(shown == message, "the task form shows message %r, not the typed %r" % (shown, message))


def wait_reminder(s, p, title, due_in):
    return p.window(procedure=REMINDER, title=title, timeout=max(10, due_in + 45))


def reminder_while_editing(s):
    """A reminder made through the form while another task falls due during the editing: the form
    keeps what was typed, the reminder appears on time with it, Snooze brings it back, and the
    other task keeps its own fields."""
    p, frame = first_start(s)
    other_time, other_stored = clock_in(60)
    new_message_task(s, p, frame, "Water the plants", "The ones on the balcony too.", other_time)
    other = task(s, "Water the plants")
    check(other["Time"] == str(other_stored), "the other task is due at %s: %s" % (other_time, other["Time"]))

    # The reminder falls due a minute after the other task; the form is open while that one runs.
    my_time, my_stored = clock_in(120)
    description, message = "Call the dentist", "Ask for an appointment next week."
    menu(s, p, frame, "File", "New", "Task...")
    form(p, shot=True)
    fill_basics(s, p, description)
    fill_message(s, p, message)
    fill_scheduling(s, p, my_time)
    check_typed(s, p, description, message)
    other_reminder = wait_reminder(s, p, "Water the plants", seconds_until(other_time))
    check("balcony" in control(other_reminder, "?Message")["text"], "the other task's reminder shows its text")
    check_typed(s, p, description, message)
    press_ok(s, p)
    s.click_control(p.window(procedure=REMINDER, title="Water the plants", shot=False), "?Close")

    mine = task(s, description)
    check(mine["Message"].strip() == message and mine["Time"] == str(my_stored),
          "the new task holds what was typed: %s" % {k: mine[k] for k in ("Description", "Message", "Time")})
    reminder = wait_reminder(s, p, description, seconds_until(my_time))
    check(control(reminder, "?Message")["text"].strip() == message, "the reminder shows the typed text")
    late = -seconds_until(my_time)
    check(late <= 40, "the reminder came %d s after its time" % late)
    s.click_control(reminder, "?Snooze")
    snoozed = wait_for(lambda: [r for r in s.records("SCHEDULE") if r["Category"] == "Snooze"], 10,
                       what="a snoozed copy of the reminder")
    check(snoozed[0]["Message"].strip() == message, "the snoozed reminder keeps the text")
    other = task(s, "Water the plants")
    check(other["Message"].strip() == "The ones on the balcony too.", "the other task keeps its message")


def edit_while_due(s):
    """Editing one task while a second one falls due: after OK both hold what they should."""
    p, frame = first_start(s)
    a_time, _ = clock_in(3600)
    new_message_task(s, p, frame, "Task A", "Text of A", a_time)
    b_time, _ = clock_in(60)
    new_message_task(s, p, frame, "Task B", "Text of B", b_time)

    tasks = p.window(procedure=LIST)
    every = control(tasks, "All by Date")
    s.click(every["x"] + every["w"] // 2, every["y"] + every["h"] // 2)
    row = wait_for(lambda: [r for c in p.window(procedure=LIST, shot=False)["controls"] for r in c.get("rows", [])
                            if "Task A" in r["cells"]], 10, what="task A in the schedule list")[0]
    s.click(row["x"] + row["w"] // 2, row["y"] + row["h"] // 2)
    s.click_control(p.window(procedure=LIST, shot=False), "Edit")
    form(p, shot=True)
    new_time, new_stored = clock_in(7200)
    fill_basics(s, p, "Task A changed")
    fill_scheduling(s, p, new_time)
    wait_reminder(s, p, "Task B", seconds_until(b_time))
    f = choose_tab(s, p, "?Tab:Basics")
    check(control(f, "?SCH:Description")["text"].strip() == "Task A changed", "the form keeps the typed description")
    press_ok(s, p)

    a = task(s, "Task A changed")
    check(a["Message"].strip() == "Text of A" and a["Time"] == str(new_stored),
          "task A holds its message and the new time: %s" % {k: a[k] for k in ("Message", "Time")})
    b = task(s, "Task B")
    check(b["Message"].strip() == "Text of B", "task B keeps its own message: %r" % b["Message"])
    check(b["Time"] != str(new_stored), "task B did not take task A's new time")


def wav_browse_keeps_form_on_top(s):
    """The task form's WAV file dialog, closed with Esc, gives the form back its place: it stays
    the active window, above the frame, and takes typed keys again."""
    p, frame = first_start(s, None, "/I")
    menu(s, p, frame, "File", "New", "Task...")
    form(p, shot=True)
    f = choose_tab(s, p, "?Tab:Options")
    s.click_control(f, "?SCH:Alarm")
    wait_for(lambda: control(form(p), "?BrowseWav").get("enabled"), 5, what="Browse to follow the Alarm box")
    s.click_control(form(p), "?BrowseWav")
    dialog = p.window(title="Select WAV File for Alarm")
    check(dialog["active"], "the WAV file dialog is the active window")
    s.key("Escape")
    p.gone(title="Select WAV File for Alarm")
    after = wait_for(lambda: [w for w in p.windows() if w["active"]], 5, what="an active window after the dialog")
    s.shoot("after-wav-dialog", 0)
    check(after[0]["procedure"] == FORM,
          "the task form is active after the WAV dialog closes, not %r" % after[0]["title"])
    # Keys typed now reach the form: Esc closes it.
    s.key("Escape")
    p.gone(procedure=FORM, timeout=10)


def sorted_by_time(s):
    """Tasks made at times out of their order are listed by time after a click on the Time header
    of the schedule list, and the other way round after a second click."""
    p, frame = first_start(s)
    # Days a week and more ahead (none falls due), in another order than the times.
    made = [("Sort check noon", "12:05", 7), ("Sort check early", "07:40", 9), ("Sort check late", "21:15", 8),
            ("Sort check morning", "09:30", 10)]
    for description, hhmm, ahead in made:
        day = datetime.date.today() + datetime.timedelta(days=ahead)
        menu(s, p, frame, "File", "New", "Task...")
        form(p)
        fill_basics(s, p, description)
        fill_message(s, p, "Listed by its time.")
        fill_scheduling(s, p, hhmm)
        shown = control(form(p), "?SCH:Date")["text"].strip()
        formats = [f for f in ("%d %b %y", "%m/%d/%Y", "%d/%m/%Y", "%Y-%m-%d", "%d.%m.%Y", "%m/%d/%y")
                   if datetime.date.today().strftime(f).upper() == shown.upper()]
        check(formats, "the form shows today's date as its start date: %r" % shown)
        s.type_into(form(p), "?SCH:Date", day.strftime(formats[0]).upper())
        s.key("Tab")
        press_ok(s, p)
    stored = sorted((r for r in s.records("SCHEDULE") if r["Description"].startswith("Sort check")),
                    key=lambda r: (int(r["Time"]), int(r["ID"])))
    check(len(stored) == len(made), "the tasks are stored: %s" % [r["Description"] for r in stored])
    by_time = [r["Description"].strip() for r in stored]
    check(by_time == ["Sort check early", "Sort check morning", "Sort check noon", "Sort check late"],
          "the stored times order the tasks: %s" % by_time)

    def browse():
        w = p.window(procedure=LIST, shot=False)
        lists = [c for c in w["controls"] if "header_cells" in c]
        found = [c for c in lists if "Time" in [h.strip().lstrip("<>") for h in c["headers"]]]
        check(found, "the schedule list has a Time column: %s" % [c["headers"] for c in lists])
        return found[0]

    def column(b, header):
        return [h.strip().lstrip("<>") for h in b["headers"]].index(header)  # without a sort mark

    def listed():
        b = browse()
        at = column(b, "Description")
        return [r["cells"][at].strip() for r in b.get("rows", []) if r["cells"][at].startswith("Sort check")]

    # The list opens on today's tab; the tasks lie a week ahead.
    tab = next(c for c in p.window(procedure=LIST, shot=False)["controls"] if c.get("text") == "All by Date")
    s.click(tab["x"] + tab["w"] // 2, tab["y"] + tab["h"] // 2)
    wait_for(lambda: sorted(listed()) == sorted(by_time), 10, what="the schedule list to show the tasks")
    # Each click sorts by time, the first one either way, the second the other way round.
    before = listed()
    for click in range(2):
        b = browse()
        cell = b["header_cells"][column(b, "Time")]
        check(cell["w"] > 0, "the Time header is in sight: %s" % cell)
        s.click(cell["x"] + cell["w"] // 2, cell["y"] + cell["h"] // 2)
        wants = (by_time, by_time[::-1]) if click == 0 else (before[::-1],)
        wait_for(lambda: listed() in wants and listed() != before, 10,
                 what="the list sorted by time %s, shows %s" % (wants, listed()))
        before = listed()
        p.window(procedure=LIST)  # a picture of the sorted list
    exit_program(s, p, frame)

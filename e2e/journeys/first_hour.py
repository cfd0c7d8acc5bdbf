"""What a new user does in the first hour, with the keyboard where a user would use it."""

from harness import check, control, wait_for
from journeys.common import bar_item, click_box, first_start
from journeys.tasks import REMINDER, clock_in, form, seconds_until, task, wait_reminder


def focused(w):
    """The names of the visible controls of a window that hold the keyboard focus."""
    return [c.get("name") or c.get("text") for c in w["controls"] if c.get("focused") and c.get("visible")]


def chosen_tab(w):
    return [c["name"] for c in w["controls"] if c.get("chosen")]


def wizard_page(p, tab):
    """Waits until the wizard shows the page `tab`; returns the form."""
    return wait_for(lambda: (lambda f: f if chosen_tab(f) == [tab] else None)(form(p)), 5,
                    what="the wizard's page %s" % tab)


def message_wizard_by_keys(s):
    """The message wizard from the toolbar, filled as a user types: Tab from the description to the
    message (which suggests the description, replaced by what is typed), Tab on out of the message
    box, and Enter through every page to the end, which stores the task. The reminder comes at its
    time, Alt+T adds it to the to-do list and Esc closes it."""
    p, frame = first_start(s)
    click_box(s, bar_item(frame, "Message"))
    f = form(p, shot=True)
    check(f["title"].startswith("Display Message Wizard"), "the message wizard opens: %r" % f["title"])
    description, message = "Call mum", "Ask about Sunday lunch."
    s.type_into(f, "?SCH:Description", description)
    s.key("Tab")
    wait_for(lambda: focused(form(p)) == ["?SCH:Message:Basics"], 5, what="Tab to reach the message box")
    # The description is suggested as the message; what the user types takes its place.
    wait_for(lambda: control(form(p), "?SCH:Message:Basics")["text"] == description, 5,
             what="the description suggested as the message")
    s.type(message)
    s.key("Tab")
    f = wait_for(lambda: (lambda f: f if "?SCH:Message:Basics" not in focused(f) else None)(form(p)), 5,
                 what="Tab to leave the message box")
    shown = control(f, "?SCH:Message:Basics")["text"]
    check(shown == message, "the message box holds what was typed, %r, not %r" % (message, shown))

    s.key("Return")
    f = wizard_page(p, "?Tab:Scheduling")
    check(focused(f) and "?Cancel" not in focused(f),
          "the scheduling page has its first field in focus, not %s" % focused(f))
    s.click_control(f, "?SCH:ScheduleType:Once")
    due, stored = clock_in(60)
    s.type_into(form(p), "?SCH:Time", due)
    s.key("Return")
    wizard_page(p, "?Tab:Users")
    s.key("Return")
    f = wizard_page(p, "?Tab:Options")
    form(p, shot=True)
    check("?Cancel" not in focused(f), "Cancel is not in focus on the wizard's last page: %s" % focused(f))
    s.key("Return")
    p.gone(procedure="UpdateSchedule", timeout=10)

    mine = task(s, description)
    check(mine["Message"].strip() == message and mine["Time"] == str(stored) and mine["ScheduleType"] == "Once",
          "the wizard stored what was typed: %s" % {k: mine[k] for k in ("Message", "Time", "ScheduleType")})
    listed = wait_for(lambda: [r["cells"] for c in p.window(procedure="BrowseSchedule", shot=False)["controls"]
                               for r in c.get("rows", []) if description in r["cells"]], 10,
                      what="the new task in the schedule list")
    check(due in listed[0], "the schedule list shows the task at %s: %s" % (due, listed[0]))

    reminder = wait_reminder(s, p, description, seconds_until(due))
    check(control(reminder, "?Message")["text"].strip() == message, "the reminder shows the typed message")
    # Alt+T puts it on the to-do list (Enter closes the note that says so); Esc closes the reminder,
    # a window whose only way out is its Close button.
    s.key("alt+t", window=reminder)
    note = wait_for(lambda: [w for w in p.windows() if w["class"] == "QMessageBox"], 10,
                    what="the note that the reminder went to the to-do list")[0]
    s.shoot_window(note)
    s.key("Return", window=note)
    wait_for(lambda: not [w for w in p.windows() if w["class"] == "QMessageBox"], 5, what="the note to close")
    todo = [r for r in s.records("TODO") if r["ToDo"].strip() == description]
    check(len(todo) == 1, "the reminder is on the to-do list once: %s" % s.records("TODO"))
    s.key("Escape", window=p.window(procedure=REMINDER, shot=False))
    p.gone(procedure=REMINDER, timeout=5)

"""What a new user does in the first hour, with the keyboard where a user would use it."""

from harness import check, control, wait_for
from journeys.common import bar_item, click_box, first_start, menu
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
    # The frame lays out its toolbar again as the start-up list opens: read it once that is there.
    p.window(procedure="BrowseSchedule", shot=False)
    frame = p.window(procedure=frame["procedure"], shot=False)
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


def list_rows(p, procedure):
    return [r for c in p.window(procedure=procedure, shot=False)["controls"] for r in c.get("rows", [])]


def selected_rows(p, procedure):
    return [r["cells"] for r in list_rows(p, procedure) if r["selected"]]


def new_task_selected(s):
    """A task made from the schedule list's New button shows on its form the category it is stored
    under; a task made from File > New (not from the list) becomes the list's selected row, and
    Enter on the list opens that task."""
    from journeys.tasks import fill_basics, fill_scheduling, press_ok
    p, frame = first_start(s)
    s.click_control(p.window(procedure="BrowseSchedule", shot=False), "?Insert")
    f = form(p, shot=True)
    shown = control(f, "?SCH:Category")["text"]
    check(shown == "General", "the new task's form shows the category it will be stored under: %r" % shown)
    fill_basics(s, p, "Early task")
    fill_scheduling(s, p, clock_in(3600)[0])
    press_ok(s, p)
    check(task(s, "Early task")["Category"] == "General", "the task is stored under General")
    wait_for(lambda: any("Early task" in r for r in selected_rows(p, "BrowseSchedule")), 10,
             what="the task made from the list to be its selected row")

    # Later in the day than the first: the old row sorts first, the new one after it.
    menu(s, p, frame, "File", "New", "Task...")
    form(p, shot=True)
    fill_basics(s, p, "Later task")
    fill_scheduling(s, p, clock_in(5400)[0])
    press_ok(s, p)
    task(s, "Later task")
    wait_for(lambda: len(list_rows(p, "BrowseSchedule")) == 2, 10, what="both tasks in the schedule list")
    p.window(procedure="BrowseSchedule", shot=True)
    selected = wait_for(lambda: selected_rows(p, "BrowseSchedule"), 5, what="a selected row")
    check(len(selected) == 1 and "Later task" in selected[0],
          "the task made from the File menu is the list's selected row, not %s" % selected)
    s.activate(p.window(procedure="BrowseSchedule", shot=False))
    s.key("Return")
    f = form(p, shot=True)
    shown = control(f, "?SCH:Description")["text"].strip()
    check(shown == "Later task", "Enter on the list opens the selected task, not %r" % shown)
    s.key("Escape")
    p.gone(procedure="UpdateSchedule", timeout=5)


def clipboard_capture_note(s):
    """The clipboard history says while capture is off where to switch it on; switched on in the
    options, the note goes."""
    from journeys.records import choose_tab
    p, frame = first_start(s)
    click_box(s, bar_item(frame, "Clipboard"))
    w = p.window(procedure="BrowseClipboard")
    note = control(w, "?CaptureNote")
    check(note["visible"] and "Options" in note["text"] and note.get("fits", True),
          "the clipboard history says capture is off and where to switch it on: %s" % note)
    menu(s, p, frame, "File", "Options...")
    p.window(procedure="Setup")
    w = choose_tab(s, p, "Setup", "?Tab:Clipboard")
    s.click_control(w, "?CLIP:MONITOR")
    wait_for(lambda: control(p.window(procedure="Setup", shot=False), "?CLIP:MONITOR")["checked"], 5,
             what="the check box to be checked")
    s.click_control(p.window(procedure="Setup", shot=False), "?OK")
    p.gone(procedure="Setup")
    wait_for(lambda: not control(p.window(procedure="BrowseClipboard", shot=False), "?CaptureNote")["visible"], 5,
             what="the note to go once capture is on")
    p.window(procedure="BrowseClipboard", shot=True)


RECORD_LISTS = [  # how the list opens (a menu path or a toolbar button), the list's procedure, its file
    (("View", "To Do List"), "BrowseToDoList", "TODO"),
    (("View", "Contacts"), "BrowseContacts", "CONTACT"),
    (("Tools", "Holidays"), "BrowseHolidays", "HOLIDAYS"),
    (("Messages",), "BrowseMessages", "MESSAGES"),
    (("Clipboard",), "BrowseClipboard", "CLIPBOARD"),
]


def record_forms(s):
    """The form behind each record list's New button shows every text whole on every page, and Esc
    closes it without storing anything."""
    from journeys.commands import visual_problems
    p, frame = first_start(s)
    problems = []
    for path, procedure, label in RECORD_LISTS:
        if len(path) == 1:
            click_box(s, bar_item(frame, path[0]))
        else:
            menu(s, p, frame, *path)
        lst = p.window(procedure=procedure)
        held = s.records(label)  # the default holidays are there
        before = {w["winid"] for w in p.windows()}
        s.click_control(lst, "?Insert")
        new = wait_for(lambda: [w for w in p.windows() if w["winid"] not in before], 10,
                       what="the form of %s's New button" % procedure)[0]
        f = p.window(procedure=new["procedure"], title=new["title"])
        for tab in [c for c in f["controls"] if c.get("name", "").startswith("?Tab:") and c.get("visible")]:
            s.click(tab["x"] + tab["w"] // 2, tab["y"] + tab["h"] // 2)
            page = wait_for(lambda: (lambda w: w if control(w, tab["name"]).get("chosen") else None)(
                p.window(procedure=f["procedure"], shot=False)), 5, what="the page %s" % tab["name"])
            s.shoot_window(page)
            problems += ["%s, page %s" % (m, tab["name"]) for m in visual_problems(s, page)]
        s.key("Escape")
        p.gone(procedure=f["procedure"], timeout=5)
        check(s.records(label) == held, "Esc on %s stored nothing: %s" % (f["title"], s.records(label)))
        s.click_control(p.window(procedure=procedure, shot=False), "?Close")
        p.gone(procedure=procedure, timeout=5)
    check(not problems, "the record forms show whole:\n" + "\n".join(problems))


def record_forms_larger_font(s):
    s.env["QT_FONT_DPI"] = "107"  # as the command sweep's larger font
    s.env["QT_ENABLE_HIGHDPI_SCALING"] = "0"
    record_forms(s)


def resized_form_reopens_in_place(s):
    """A form the user made larger reopens where it was and as large, however often it opens."""
    p, frame = first_start(s)
    menu(s, p, frame, "View", "To Do List")
    places = []
    for i in range(3):
        before = {w["winid"] for w in p.windows()}
        s.click_control(p.window(procedure="BrowseToDoList", shot=False), "?Insert")
        new = wait_for(lambda: [w for w in p.windows() if w["winid"] not in before], 10,
                       what="the to-do form")[0]
        f = p.window(procedure=new["procedure"], title=new["title"])
        places.append((f["fx"], f["fy"], f["fw"], f["fh"]))
        if i == 0:  # its bottom right corner dragged out
            x1, y1 = f["fx"] + f["fw"] - 2, f["fy"] + f["fh"] - 2
            s.drag(x1, y1, x1 + 50, y1 + 30)
            wait_for(lambda: p.window(procedure=f["procedure"], shot=False)["fw"] > f["fw"] + 40, 5,
                     what="the form to grow")
        s.key("Escape")
        p.gone(procedure=f["procedure"], timeout=5)
    (x0, y0, w0, h0), later = places[0], places[1:]
    check(all(abs(x - x0) <= 2 and abs(y - y0) <= 2 for x, y, _, _ in later),
          "the form reopens where it was (frame x, y, w, h each time): %s" % places)
    check(all(w >= w0 + 40 and h >= h0 + 20 for _, _, w, h in later),
          "the form reopens as large as the user made it: %s" % places)

"""A program task made through the task form runs on time once the scheduler is active: the
program starts and shows its window."""

import os

from harness import Failure, check, control, wait_for
from journeys.common import exit_program, first_start, start_again
from journeys.tasks import choose_tab, clock_in, fill_scheduling, form, press_ok, seconds_until, task
from journeys.common import menu


def new_probe_task(s, p, frame, description):
    """Opens a new task in the form, due a minute from now, that starts the probe window program;
    the form stays open. Returns the probe's key log, the command line and the due time."""
    probe_log = os.path.join(s.home, "probe.log")
    command = "%s ProbeWindow %s" % (os.path.join(s.bin_dir, "script_probe"), probe_log)
    due, _ = clock_in(60)
    new_program_task(s, p, frame, description)
    f = choose_tab(s, p, "?Tab:Program")
    s.type_into(f, "?SCH:Command", command)
    s.key("Tab")
    return probe_log, command, due


def run(s):
    # Made with the scheduler off ("/I"), so that nothing runs while the form is open.
    p, frame = first_start(s, None, "/I")
    probe_log, command, due = new_probe_task(s, p, frame, "Start the probe")
    fill_scheduling(s, p, due)
    press_ok(s, p)
    check(task(s, "Start the probe")["Command"] == command, "the task holds the command line")
    exit_program(s, p, frame)

    # Started again as usual, the scheduler runs the task at its time.
    p, frame = start_again(s)
    check("Inactive" not in frame["title"], "the scheduler is active: %r" % frame["title"])
    wait_for(lambda: os.path.exists(probe_log) and "ready" in open(probe_log).read(),
             max(10, seconds_until(due) + 45), what="the task's program to start")
    late = -seconds_until(due)
    check(late <= 40, "the program started %d s after its time" % late)
    probe = wait_for(lambda: s.x(["xdotool", "search", "--name", "^ProbeWindow$"]).split(), 10,
                     what="the program's window")
    check(s.is_viewable(probe[0]), "the program's window is mapped")
    exit_program(s, p, frame)


ITEM_FORM = "UpdateScripting"
ACTION_PICKER = "UpdateScripting:GetAction"


def new_program_task(s, p, frame, description, shot=True):
    """Opens a new task from File > New and makes it a program task named `description`; the form
    stays open on its Basics tab."""
    menu(s, p, frame, "File", "New", "Task...")
    form(p, shot=shot)
    f = choose_tab(s, p, "?Tab:Basics")
    s.click_control(f, "?SCH:TaskType:Program")
    s.type_into(form(p), "?SCH:Description", description)
    s.key("Tab")


def new_script_item(s, p, action):
    """The Script page's New button, the action picked in the picker; returns the item form."""
    s.click_control(form(p), "?NewItem")
    picker = p.window(procedure=ACTION_PICKER)
    s.click_control(picker, "?Radio:" + action)
    s.click_control(p.window(procedure=ACTION_PICKER, shot=False), "?OK")
    p.gone(procedure=ACTION_PICKER)
    return p.window(procedure=ITEM_FORM)


def item_ok(s, p):
    s.click_control(p.window(procedure=ITEM_FORM, shot=False), "?OK")
    p.gone(procedure=ITEM_FORM)


def typed_by_keys(log):
    """What the probe window received from key presses, as text."""
    out = ""
    for line in open(log).read().splitlines():
        parts = line.split()
        if len(parts) == 4 and parts[0] == "key" and parts[1] != "-" and "C" not in parts[3]:
            out += bytes.fromhex(parts[1]).decode("utf-8", "replace")
    return out


def script_types_into_program(s):
    """A program task with a script made on the task form's Script page: at its time the program
    starts, and the script waits for its window and types a text into it."""
    p, frame = first_start(s, None, "/I")
    text = "typed by a script"
    probe_log, command, due = new_probe_task(s, p, frame, "Type into the probe")

    choose_tab(s, p, "?Tab:Script")
    item = new_script_item(s, p, "Wait")
    check(control(item, "?Tab:Wait").get("chosen"), "the item form opens on the Wait page")
    # No seconds: the wait lasts until the window is there, and focuses it.
    s.type_into(item, "?SCR:SecondsToWait", "0")
    s.type_into(p.window(procedure=ITEM_FORM, shot=False), "?SCR:WaitForWindow", "ProbeWindow")
    s.key("Tab")
    item_ok(s, p)
    item = new_script_item(s, p, "Send Keys")
    s.type_into(item, "?SCR:Keystrokes", text)
    item_ok(s, p)
    rows = [[cell.strip() for cell in r["cells"]] for r in control(form(p), "?ST:Browse:1").get("rows", [])]
    check([r[0] for r in rows] == ["Wait", "Send Keys"],
          "the Script page lists the two items in order: %s" % rows)
    # An explorer list: a click on the Action header sorts the items by their action.
    listed = control(form(p), "?ST:Browse:1")
    s.click(listed["x"] + 20, listed["y"] + 8)
    wait_for(lambda: [r["cells"][0].strip() for r in control(form(p), "?ST:Browse:1").get("rows", [])]
             == ["Send Keys", "Wait"], 5, what="the Script page sorted by action")

    fill_scheduling(s, p, due)
    press_ok(s, p)
    t = task(s, "Type into the probe")
    check(t["Command"] == command, "the task holds the command line")
    items = sorted((r for r in s.records("SCRIPTING") if r["ID"] == t["ID"]), key=lambda r: int(r["Sequence"]))
    check([r["Action"].strip() for r in items] == ["Wait", "Send Keys"],
          "the task's script holds Wait and Send Keys: %s" % [r["Action"] for r in items])
    exit_program(s, p, frame)

    p, frame = start_again(s)
    check("Inactive" not in frame["title"], "the scheduler is active: %r" % frame["title"])
    wait_for(lambda: os.path.exists(probe_log) and "ready" in open(probe_log).read(),
             max(10, seconds_until(due) + 45), what="the task's program to start")
    probe = wait_for(lambda: s.x(["xdotool", "search", "--name", "^ProbeWindow$"]).split(), 10,
                     what="the program's window")
    s.shoot("probe", 0)
    try:
        wait_for(lambda: typed_by_keys(probe_log) == text, 20, what="the script to type %r into the program" % text)
    except Failure as e:
        raise Failure("%s; it received %r" % (e, typed_by_keys(probe_log)))
    check(s.is_viewable(probe[0]), "the program's window is mapped")
    exit_program(s, p, frame)


def execute_finished_script_task(s):
    """A one-time task that only runs a script is performed at its time, which removes its script;
    Execute/Test on it afterwards says why nothing runs instead of doing nothing."""
    p, frame = first_start(s)
    due, _ = clock_in(45)
    new_program_task(s, p, frame, "Only a script")
    choose_tab(s, p, "?Tab:Script")
    item = new_script_item(s, p, "Wait")
    s.type_into(item, "?SCR:SecondsToWait", "1")
    s.key("Tab")
    item_ok(s, p)
    fill_scheduling(s, p, due)
    press_ok(s, p)
    t = task(s, "Only a script")
    wait_for(lambda: [r for r in s.records("SCHEDULE") if r["ID"] == t["ID"] and r["Completed"] == "1"],
             max(10, seconds_until(due) + 45), what="the task to be performed and completed")
    check(not [r for r in s.records("SCRIPTING") if r["ID"] == t["ID"]], "the completed task's script is removed")

    p.window(procedure="BrowseSchedule")
    rows = wait_for(lambda: [r for r in control(p.window(procedure="BrowseSchedule", shot=False), "?Browse:1")
                             .get("rows", []) if any("Only a script" in c for c in r["cells"])], 10,
                    what="the completed task in the schedule list")
    s.click(rows[0]["x"] + 20, rows[0]["y"] + rows[0]["h"] // 2)
    s.click_control(p.window(procedure="BrowseSchedule", shot=False), "?Execute")
    box = p.window(title="Execute")
    said = " ".join(c.get("text", "") for c in box.get("controls", []))
    check("script was removed" in said, "the box says why nothing runs: %r" % said)
    s.key("Return")
    p.gone(title="Execute")


def picker_reopens_in_place(s):
    """The action picker, a window made above the item form before it shows, opened and closed
    again and again: it opens in the same place each time, with its title bar (it crept up by a
    title bar's height at each opening), and its frame is read whole."""
    p, frame = first_start(s, None, "/I")
    new_probe_task(s, p, frame, "Picker in place")
    choose_tab(s, p, "?Tab:Script")
    places = []
    for _ in range(4):
        s.click_control(form(p), "?NewItem")
        picker = p.window(procedure=ACTION_PICKER, shot=not places)
        check(picker["fw"] > picker["w"] and picker["fh"] > picker["h"],
              "the picker's frame holds its inside: frame %s, inside %s" %
              ((picker["fx"], picker["fy"], picker["fw"], picker["fh"]), (picker["x"], picker["y"], picker["w"], picker["h"])))
        places.append((picker["fx"], picker["fy"]))
        s.key("Escape")
        p.gone(procedure=ACTION_PICKER)
        if [w for w in p.windows() if w["procedure"] == ITEM_FORM]:
            s.key("Escape")
            p.gone(procedure=ITEM_FORM)
    # A dialog unit's rounding may move it a pixel once; a title bar's height is some 20.
    check(max(abs(x - places[0][0]) + abs(y - places[0][1]) for x, y in places) <= 2,
          "the picker opens where it was each time: %s" % places)

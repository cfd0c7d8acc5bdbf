"""The personal records: to-dos, contacts, the clipboard history, holidays and settings; added,
changed, seen again after reopening and after a restart."""

import datetime
import subprocess

from harness import check, control, wait_for
from journeys.common import exit_program, first_start, menu, start_again


def day_number(d):
    """The tables' date: days since 28 December 1800."""
    return (d - datetime.date(1800, 12, 28)).days


def one(s, label, key, value):
    found = [r for r in s.records(label) if r[key] == value]
    check(len(found) == 1, "one %s record with %s %r, found %d: %s" %
          (label, key, value, len(found), [r[key] for r in s.records(label)]))
    return found[0]


def list_rows(p, procedure):
    w = p.window(procedure=procedure, shot=False)
    return [r for c in w["controls"] for r in c.get("rows", [])]


def row_with(p, procedure, text, timeout=10):
    return wait_for(lambda: [r for r in list_rows(p, procedure) if any(text in cell for cell in r["cells"])],
                    timeout, what="%r in the list of %s" % (text, procedure))[0]


def click_row(s, row, double=False):
    s.click(row["x"] + row["w"] // 2, row["y"] + row["h"] // 2, double=double)


def add_todo(s, p, frame, text, priority):
    menu(s, p, frame, "View", "To Do List")
    todos = p.window(procedure="BrowseToDoList")
    s.click_control(todos, "?Insert")
    form = p.window(procedure="UpdateTodo")
    s.type_into(form, "?TDO:ToDo", text)
    s.type_into(form, "?TDO:Priority", str(priority))
    s.key("Tab")
    s.click_control(p.window(procedure="UpdateTodo", shot=False), "?OK")
    p.gone(procedure="UpdateTodo")
    return todos


def todos(s, p, frame):
    add_todo(s, p, frame, "Buy stamps", 3)
    check(one(s, "TODO", "ToDo", "Buy stamps")["Priority"] == "3", "the to-do has priority 3")
    click_row(s, row_with(p, "BrowseToDoList", "Buy stamps"))
    s.click_control(p.window(procedure="BrowseToDoList", shot=False), "?Change")
    form = p.window(procedure="UpdateTodo")
    check(control(form, "?TDO:ToDo")["text"].strip() == "Buy stamps", "the form shows the to-do")
    s.type_into(form, "?TDO:ToDo", "Buy stamps and envelopes")
    s.key("Tab")
    s.click_control(p.window(procedure="UpdateTodo", shot=False), "?OK")
    p.gone(procedure="UpdateTodo")
    check(one(s, "TODO", "ToDo", "Buy stamps and envelopes")["Priority"] == "3", "the change keeps the priority")
    check(len(s.records("TODO")) == 1, "the change added no record")
    # Reopened, the list shows the changed item.
    s.click_control(p.window(procedure="BrowseToDoList", shot=False), "?Close")
    p.gone(procedure="BrowseToDoList")
    menu(s, p, frame, "View", "To Do List")
    p.window(procedure="BrowseToDoList")
    row_with(p, "BrowseToDoList", "Buy stamps and envelopes")
    s.click_control(p.window(procedure="BrowseToDoList", shot=False), "?Close")


def contacts(s, p, frame):
    menu(s, p, frame, "View", "Contacts")
    browse = p.window(procedure="BrowseContacts")
    s.click_control(browse, "?Insert")
    form = p.window(procedure="UpdateContacts")
    s.type_into(form, "?C_:LastName", "Lindqvist")
    s.type_into(form, "?C_:FirstName", "Maja")
    s.type_into(form, "?C_:Email", "maja@example.org")
    s.key("Tab")
    s.click_control(p.window(procedure="UpdateContacts", shot=False), "?OK")
    p.gone(procedure="UpdateContacts")
    c = one(s, "CONTACT", "LastName", "Lindqvist")
    check(c["FirstName"] == "Maja" and c["Email"] == "maja@example.org", "the contact holds what was typed: %s" % c)
    s.click_control(p.window(procedure="BrowseContacts", shot=False), "?Close")


def open_settings(s, p, frame):
    menu(s, p, frame, "File", "Options...")
    return p.window(procedure="Setup")


def choose_tab(s, p, procedure, name):
    tab = control(p.window(procedure=procedure, shot=False), name)
    s.click(tab["x"] + tab["w"] // 2, tab["y"] + tab["h"] // 2)
    return wait_for(lambda: [w for w in [p.window(procedure=procedure, shot=False)] if control(w, name).get("chosen")],
                    5, what="the tab %s" % name)[0]


def settings(s, p, frame):
    """Turns clipboard monitoring on in the settings dialog."""
    open_settings(s, p, frame)
    w = choose_tab(s, p, "Setup", "?Tab:Clipboard")
    check(not control(w, "?CLIP:MONITOR")["checked"], "clipboard monitoring starts off")
    s.click_control(w, "?CLIP:MONITOR")
    wait_for(lambda: control(p.window(procedure="Setup", shot=False), "?CLIP:MONITOR")["checked"], 5,
             what="the check box to be checked")
    s.click_control(p.window(procedure="Setup", shot=False), "?OK")
    p.gone(procedure="Setup")


def settings_kept(s, p, frame):
    open_settings(s, p, frame)
    w = choose_tab(s, p, "Setup", "?Tab:Clipboard")
    check(control(w, "?CLIP:MONITOR")["checked"], "clipboard monitoring is still on after a restart")
    s.click_control(w, "?Cancel")
    p.gone(procedure="Setup")


def clipboard(s, p):
    text = "Clipboard text from another program 4711"
    proc = subprocess.Popen(["xclip", "-selection", "clipboard", "-loops", "3"], stdin=subprocess.PIPE, env=s.env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    proc.stdin.write(text.encode())
    proc.stdin.close()
    try:
        wait_for(lambda: [r for r in s.records("CLIPBOARD") if text in r.get("ClipContents", "")], 20,
                 what="the copied text in the clipboard history (it holds %s)" % s.records("CLIPBOARD"))
    finally:
        proc.kill()
        proc.wait()


def holidays(s, p, frame, day):
    menu(s, p, frame, "Tools", "Holidays")
    browse = p.window(procedure="BrowseHolidays")
    s.click_control(browse, "?Insert")
    form = p.window(procedure="UpdateHolidays")
    s.type_into(form, "?HOL:HolidayDate", day.strftime("%m/%d/%Y"))
    s.type_into(form, "?HOL:Holiday", "Founders Day")
    s.key("Tab")
    s.click_control(p.window(procedure="UpdateHolidays", shot=False), "?OK")
    p.gone(procedure="UpdateHolidays")
    h = one(s, "HOLIDAYS", "Holiday", "Founders Day")
    check(h["HolidayDate"] == str(day_number(day)), "the holiday falls on %s: %s" % (day, h["HolidayDate"]))
    s.click_control(p.window(procedure="BrowseHolidays", shot=False), "?Close")


def run(s):
    p, frame = first_start(s)
    todos(s, p, frame)
    contacts(s, p, frame)
    settings(s, p, frame)
    clipboard(s, p)
    day = datetime.date(datetime.date.today().year + 1, 3, 14)
    holidays(s, p, frame, day)
    exit_program(s, p, frame)

    # A later start sees all of it, in its lists too.
    p, frame = start_again(s)
    menu(s, p, frame, "View", "To Do List")
    p.window(procedure="BrowseToDoList")
    row_with(p, "BrowseToDoList", "Buy stamps and envelopes")
    menu(s, p, frame, "View", "Contacts")
    p.window(procedure="BrowseContacts")
    row_with(p, "BrowseContacts", "Lindqvist")
    one(s, "HOLIDAYS", "Holiday", "Founders Day")
    settings_kept(s, p, frame)
    exit_program(s, p)

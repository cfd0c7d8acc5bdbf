"""Export and import through File > Export/Import while ov98 runs, after a file dialog was opened
and closed on the data folder: ov98 keeps working and sees the imported records."""

import os
import time

from harness import check, control, wait_for
from journeys.common import exit_program, first_start, menu
from journeys.records import add_todo, row_with


def file_dialog_opened_and_closed(s, p, frame):
    """The task form's program chooser: a file dialog the user opens and cancels."""
    menu(s, p, frame, "File", "New", "Task...")
    form = p.window(procedure="UpdateSchedule")
    tab = control(form, "?Tab:Program")
    s.click(tab["x"] + tab["w"] // 2, tab["y"] + tab["h"] // 2)
    wait_for(lambda: control(p.window(procedure="UpdateSchedule", shot=False), "?ChooseProgram")["visible"], 5,
             what="the Program tab")
    s.click_control(p.window(procedure="UpdateSchedule", shot=False), "?ChooseProgram")
    dialog = p.window(cls="QFileDialog")
    # The user goes to the data folder in it (the dialog lists and probes its files), then cancels.
    s.activate(dialog)
    s.type(s.data)
    s.key("Return")
    time.sleep(1.5)  # the dialog fills its list in the background; nothing to wait on from outside
    dialog = p.window(cls="QFileDialog")
    if [w for w in p.windows() if w["class"] == "QListView"]:  # the name completer's popup
        s.key("Escape")
        wait_for(lambda: not [w for w in p.windows() if w["class"] == "QListView"], 5, what="the popup to close")
    s.click_control(p.window(cls="QFileDialog", shot=False), "Cancel")
    p.gone(title=dialog["title"])
    s.click_control(p.window(procedure="UpdateSchedule", shot=False), "?Cancel")
    p.gone(procedure="UpdateSchedule")


def answer_file_dialog(s, program, path):
    dialog = program.window(cls="QFileDialog", timeout=15)
    s.activate(dialog)
    s.key("ctrl+a")
    s.type(path)
    s.key("Return")


def finish(s, program):
    """Waits for a companion to end, confirming a closing message if it shows one."""
    answered = set()

    def ended_or_asks():
        if not program.running():
            return True
        # Each box is answered once: a second Return would reach the window under it and press
        # its default button.
        boxes = [w for w in program.windows() if w["class"] == "QMessageBox" and w["winid"] not in answered]
        if boxes:
            answered.add(boxes[0]["winid"])
            s.shoot_window(boxes[0])
            s.key("Return", window=boxes[0])
        return False
    wait_for(ended_or_asks, 30, interval=0.5, what=program.name + " to finish")


def run(s):
    p, frame = first_start(s)
    add_todo(s, p, frame, "Export me", 2)
    s.click_control(p.window(procedure="BrowseToDoList", shot=False), "?Close")
    file_dialog_opened_and_closed(s, p, frame)

    # Export.
    exported = os.path.join(s.home, "todo.csv")
    menu(s, p, frame, "File", "Export", "To Do...")
    impex = s.attach("ov_impex")
    s.click_control(impex.window(procedure="ExportTodo"), "?OK")
    answer_file_dialog(s, impex, exported)
    finish(s, impex)
    check(os.path.exists(exported), "the export wrote %s" % exported)
    text = open(exported, encoding="utf-8", errors="replace").read()
    check("Export me" in text, "the export holds the to-do: %r" % text[:300])
    for journal in ("RO97.ZEZ-wal", "RO97.ZEZ-shm"):
        check(os.path.exists(os.path.join(s.data, journal)), "%s is still there while ov98 runs" % journal)

    # Import the same lines under another name.
    imported = os.path.join(s.home, "import.csv")
    with open(imported, "w", encoding="utf-8") as f:
        f.write(text.replace("Export me", "Imported from a file"))
    menu(s, p, frame, "File", "Import", "To Do...")
    impex = s.attach("ov_impex")
    answer_file_dialog(s, impex, imported)
    # The window is placed and holds still before its OK is pressed.
    w = impex.window(procedure="ImportTodo", timeout=15)
    s.click_control(w, "?OK")
    finish(s, impex)
    todos = [r["ToDo"] for r in s.records("TODO")]
    check(sorted(todos) == ["Export me", "Imported from a file"], "the to-dos after the import: %s" % todos)

    # ov98 keeps working: its list shows the imported item, and what it adds now reaches the file at once.
    menu(s, p, frame, "View", "To Do List")
    p.window(procedure="BrowseToDoList")
    row_with(p, "BrowseToDoList", "Imported from a file")
    add_todo(s, p, frame, "Added after the import", 4)
    todos = [r["ToDo"] for r in s.records("TODO")]
    check("Added after the import" in todos, "another process sees the to-do added after the import: %s" % todos)
    exit_program(s, p)

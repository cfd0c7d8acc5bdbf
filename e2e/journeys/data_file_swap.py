"""The data file replaced while ov98 runs, as a copy restored by hand: ov98 says so, a to-do typed
meanwhile is not reported as saved and stays in its form, the file now there is left as it was,
and the next start opens it."""

import os
import shutil

from harness import check, control, wait_for
from journeys.common import exit_program, first_start, menu, start_again, wait_records_file
from journeys.records import add_todo, row_with


def said(box):
    return " ".join(c.get("text", "") for c in box.get("controls", []))


def run(s):
    p, frame = first_start(s)
    wait_records_file(s)
    add_todo(s, p, frame, "In the copy", 2)
    exit_program(s, p, frame)
    # The user's copy, restored over the data file later while ov98 runs.
    data = os.path.join(s.data, "RO97.ZEZ")
    copy = os.path.join(s.data, "restored.tmp")
    shutil.copyfile(data, copy)

    p, frame = start_again(s)
    todos = add_todo(s, p, frame, "Not in the copy", 1)
    s.click_control(todos, "?Insert")
    form = p.window(procedure="UpdateTodo")
    s.type_into(form, "?TDO:ToDo", "Typed after the swap")
    os.rename(copy, data)

    box = p.window(title="Data file", timeout=10)
    check(data in said(box) and "replaced by another file" in said(box), "the tick's note names the file: %r" % said(box))
    s.key("Return")
    p.gone(title="Data file")

    s.click_control(p.window(procedure="UpdateTodo", shot=False), "?OK")
    box = wait_for(lambda: [w for w in p.windows() if w["modal"] and w["procedure"] != "UpdateTodo"], 10,
                   what="a message about the failed save")[-1]
    box = p.window(title=box["title"])
    check("replaced by another file" in said(box), "the failed save says why: %r" % said(box))
    s.key("Return")
    form = p.window(procedure="UpdateTodo")
    check(control(form, "?TDO:ToDo")["text"].strip() == "Typed after the swap", "the form keeps what was typed")
    check([r["ToDo"].strip() for r in s.records("TODO")] == ["In the copy"], "the restored copy holds what it held")
    # The user gives up the item and quits, as the note asks.
    s.click_control(form, "?Cancel")
    p.gone(procedure="UpdateTodo")
    s.click_control(p.window(procedure="BrowseToDoList", shot=False), "?Close")
    p.gone(procedure="BrowseToDoList")
    exit_program(s, p)
    check([r["ToDo"].strip() for r in s.records("TODO")] == ["In the copy"], "the restored copy holds what it held")
    p, frame = start_again(s)
    menu(s, p, frame, "View", "To Do List")
    row_with(p, "BrowseToDoList", "In the copy")

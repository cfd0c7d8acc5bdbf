"""Every button of the companion programs' windows shows a result a user can see, as the frame's
windows' buttons do (commands.press_buttons): each companion is started as its user starts it,
from its own command line or from ov98's menus, and every window its menus, toolbar and buttons
open is swept. The mail sender (tessel) shows only a minimised frame without buttons while it
sends, and has nothing to sweep."""

import json
import os
import socket
import threading
import zipfile

from harness import Program, check, control, wait_for
from journeys.commands import (
    KIND_BUTTON, WAIT, back_to, frame_commands, install_opener, press_buttons, shoot_once, sweep_commands,
    visual_problems, window_key)
from journeys.common import first_start, menu
from journeys.impex import answer_file_dialog
from journeys.records import click_row


class Latest(Program):
    """The windows of every running copy of a companion that ov98 starts anew for each command:
    the sweep reopens a window by choosing the command again, which starts another copy."""

    def __init__(self, session, name):
        Program.__init__(self, session, name, None, None, "/dev/null")

    def running(self):
        return True

    def snapshot(self):
        found = []
        folder = self.session.env["OV_INSPECT"]
        for entry in sorted(os.listdir(folder)):
            if not (entry.startswith(self.name + "-") and entry.endswith(".sock")):
                continue
            copy = Program(self.session, self.name, None, os.path.join(folder, entry), "/dev/null")
            try:
                found.extend(copy.snapshot())
            except (OSError, ValueError):  # a copy that is ending
                pass
        return found


def report(problems, opened_nothing):
    lines = []
    if opened_nothing:
        lines.append("commands that showed nothing within %.0f s: %s" % (WAIT, "; ".join(opened_nothing)))
    lines.extend(problems)
    check(not lines, "\n".join(lines))


def sweep_frame(s, p, skip, problems, opened_nothing, prefix, swept=None):
    frame = p.window(procedure="Main")
    problems.extend("%s start-up: %s" % (prefix, m) for m in visual_problems(s, frame))
    commands = [("%s: %s" % (prefix, label), act) for label, act in frame_commands(s, p, frame, skip)]
    sweep_commands(s, p, commands, problems, opened_nothing, swept)


def archiver(s):
    """The archiver from its command line: every command and button with no archive open, then
    with one open (the archive commands are greyed until then)."""
    install_opener(s)
    archive = os.path.join(s.home, "two.zip")
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("alpha.txt", "a" * 3000)
        z.writestr("beta.txt", "b" * 10)
    p = s.start("qmtbacka", cwd=s.home)
    problems, opened_nothing = [], []
    leaves = {("File", "Exit"), ("File", "Close Archive")}
    swept = set()  # a window that both sweeps open has its buttons pressed once
    sweep_frame(s, p, leaves, problems, opened_nothing, "no archive", swept)
    menu(s, p, p.window(procedure="Main", shot=False), "File", "Open Archive...")
    dialog = p.window(title="Open ZIP archive")
    s.activate(dialog)
    s.key("ctrl+a")
    s.type(archive)
    s.key("Return")
    p.window(procedure="DisplayArchive")
    sweep_frame(s, p, leaves | {("File", "New Archive..."), ("File", "Open Archive..."), ("Help", "About...")},
                problems, opened_nothing, "archive open", swept)
    report(problems, opened_nothing)


def report_program(s):
    """The report program from its command line on the data folder ov98 made, with a task category
    made in ov98 and a custom report designed in the report program, so that the lists its
    windows show have a row to act on; then the design form and the preview of a report."""
    install_opener(s)
    p, frame = first_start(s)
    menu(s, p, frame, "Tools", "Task Categories")
    s.click_control(p.window(procedure="BrowseTaskCategories", shot=False), "?Insert")
    form = p.window(procedure="UpdateCategories", shot=False)
    s.type_into(form, "?CAT:Category", "Garden")
    s.key("Tab")
    s.click_control(p.window(procedure="UpdateCategories", shot=False), "?OK")
    p.gone(procedure="UpdateCategories")
    s.click_control(p.window(procedure="BrowseTaskCategories", shot=False), "?Close")
    r = s.start("ov_rpts", "PATH=" + s.data, cwd=s.data)
    problems, opened_nothing = [], []

    def design_form():
        menu(s, r, r.window(procedure="Main", shot=False), "Reports", "Custom Reports")
        s.click_control(r.window(procedure="CustomReports", shot=False), "?New")
        return r.window(procedure="UpdateCustomReport", shot=False)
    form = design_form()
    s.type_into(form, "?Name", "Plants")
    click_row(s, rows_of(r, "UpdateCustomReport", "?Available")[0])
    wait_for(lambda: control(r.window(procedure="UpdateCustomReport", shot=False), "?Add")["enabled"], 5,
             what="Add to be offered once a field is chosen")
    s.click_control(r.window(procedure="UpdateCustomReport", shot=False), "?Add")
    wait_for(lambda: rows_of(r, "UpdateCustomReport", "?Chosen"), 5, what="the field in the printed list")
    s.click_control(r.window(procedure="UpdateCustomReport", shot=False), "?OK")
    r.gone(procedure="UpdateCustomReport")
    s.click_control(r.window(procedure="CustomReports", shot=False), "?Cancel")
    r.gone(procedure="CustomReports")

    sweep_frame(s, r, {("File", "Exit")}, problems, opened_nothing, "ov_rpts")
    desktop = {window_key(w) for w in r.windows()}
    press_buttons(s, r, "design form", design_form, problems, base=desktop)
    back_to(s, r, "after the design form", desktop, problems)

    def preview():
        menu(s, r, r.window(procedure="Main", shot=False), "Reports", "Categories")
        box = r.window(cls="QMessageBox", title="Preview", shot=False)
        s.key("Return", window=box)  # Yes, the default
        return r.window(cls="QDialog", title="Category List", timeout=20, shot=False)
    press_buttons(s, r, "preview", preview, problems, base=desktop, kinds=(KIND_BUTTON, "QPushButton"))
    report(problems, opened_nothing)


def rows_of(p, procedure, name):
    return control(p.window(procedure=procedure, shot=False), name).get("rows", [])


def from_ov98(s, p, label, path, companion, procedure, problems, chosen_file=None):
    """A companion window that an ov98 command opens, its buttons swept; each reopening chooses the
    command again (and names `chosen_file` in the file dialog the companion shows first)."""
    view = Latest(s, companion)

    def reopen():
        menu(s, p, p.window(procedure="Main", shot=False), *path)
        if chosen_file:
            answer_file_dialog(s, view, chosen_file)
        return view.window(procedure=procedure, timeout=20, shot=False)
    opened = reopen()
    shoot_once(s, opened)
    problems.extend("%s: %s" % (label, m) for m in visual_problems(s, opened))
    press_buttons(s, view, label, reopen, problems, opened=opened, base=set())
    back_to(s, view, "after " + label, set(), problems)
    wait_for(lambda: not [w for w in view.windows()], 10, what="%s to end after %s" % (companion, label))


def impex_and_backup(s):
    """Export, import and backup started from ov98's File menu."""
    install_opener(s)
    p, frame = first_start(s)
    problems = []
    for table, procedure in (("To Do", "Todo"), ("Contacts", "Contact")):
        from_ov98(s, p, "Export %s" % table, ("File", "Export", table + "..."), "ov_impex", "Export" + procedure,
                  problems)
    lines = os.path.join(s.home, "todo.csv")
    with open(lines, "w") as f:
        f.write('"TDO:ToDo","TDO:Priority"\n"Water the garden","2"\n"Pay the invoices","1"\n')
    from_ov98(s, p, "Import To Do", ("File", "Import", "To Do..."), "ov_impex", "ImportTodo", problems, lines)
    from_ov98(s, p, "Backup", ("File", "Backup..."), "qmtback", None, problems)
    report(problems, [])


class SilentServer:
    """A server on the loopback that takes connections and never answers: a transfer waits on it
    with its window up for as long as the sweep needs."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(8)
        self.port = self.sock.getsockname()[1]
        self.held = []
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            self.held.append(conn)

    def close(self):
        for c in self.held:
            c.close()
        self.sock.close()


def started_window(s, program, args, procedure, label, problems):
    """A companion started from its command line, its window's buttons swept; each reopening starts
    it again."""
    view = Latest(s, program)

    def reopen():
        s.start(program, *args, cwd=s.home)
        return view.window(procedure=procedure, timeout=20, shot=False)
    opened = reopen()
    shoot_once(s, opened)
    problems.extend("%s: %s" % (label, m) for m in visual_problems(s, opened))
    press_buttons(s, view, label, reopen, problems, opened=opened, base=set())
    back_to(s, view, "after " + label, set(), problems)


def transfers(s):
    """The FTP program and the mail receiver, each on a server that never answers, show their
    progress windows whole, and each one's Cancel ends the run while the server still keeps
    silent: the FTP program asks once, ends at once with its failure code and leaves no file."""
    server = SilentServer()
    problems = []
    try:
        ftp = s.start("ovftp", "D", "/remote.txt", os.path.join(s.home, "local.txt"), "127.0.0.1", "user", "secret",
                      "Y", "Y", str(server.port), cwd=s.home)
        shown = ftp.window(procedure="FTPAction", timeout=20)
        problems.extend("ovftp: %s" % m for m in visual_problems(s, shown))
        s.click_control(shown, "?Cancel")
        box = ftp.window(cls="QMessageBox", timeout=10)
        check("cancel this operation" in json.dumps(box), "ovftp asks before it cancels: %s" % box["title"])
        s.key("y", window=box)
        code = ftp.wait_exit(10)  # well before the connection's time-out of 30 s
        check(code == 255, "ovftp ended with %s after Cancel (its failure is -1)" % code)
        check(not os.path.exists(os.path.join(s.home, "local.txt")), "a cancelled download leaves no file")
        started_window(s, "ov_pop", ["SERVER=127.0.0.1", "PORT=%d" % server.port, "USER=user", "PASSWORD=secret",
                                     "TIMEOUT=60"], "Main", "ov_pop", problems)
    finally:
        server.close()
    report(problems, [])

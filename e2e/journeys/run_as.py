"""A script step that starts a program as another user, made on the task form and its Advanced
window: at the task's time the scheduler runs the command as that user through the run-as
program, whose command line holds no password, and the next step reads the command's exit code."""

import os
import shutil
import tempfile

from harness import check, control, wait_for
from journeys.common import exit_program, first_start
from journeys.program_task import ITEM_FORM, item_ok, new_program_task, new_script_item
from journeys.tasks import choose_tab, clock_in, fill_scheduling, press_ok, seconds_until, task

ADVANCED = "UpdateScripting:StartProgram:Advanced"
PASSWORD = "s3cret pw"


def advanced(s, p):
    s.click_control(p.window(procedure=ITEM_FORM, shot=False), "?StartAdvanced")
    return p.window(procedure=ADVANCED)


def close_advanced(s, p):
    s.click_control(p.window(procedure=ADVANCED, shot=False), "?Close")
    p.gone(procedure=ADVANCED)


def run(s):
    # As root the command runs as "nobody", which needs no password; as anyone else as that user.
    user = "nobody" if os.geteuid() == 0 else os.environ.get("USER", "")
    out = tempfile.mkdtemp(prefix="ov-runas-")
    os.chmod(out, 0o777)  # written by the command, run as the other user
    try:
        p, frame = first_start(s)
        due, _ = clock_in(45)
        new_program_task(s, p, frame, "Run as another user")
        choose_tab(s, p, "?Tab:Script")

        # The command keeps the command line of its parent, the run-as program.
        item = new_script_item(s, p, "Start Program")
        s.type_into(item, "?Start:SCR:Command",
                    '/bin/sh -c "cat /proc/$PPID/cmdline > %s/cmdline; id -un > %s/user; exit 6"' % (out, out))
        s.key("Tab")
        s.click_control(p.window(procedure=ITEM_FORM, shot=False), "?Start:Wait")
        w = advanced(s, p)
        s.click_control(w, "?Tab:User")
        wait_for(lambda: control(p.window(procedure=ADVANCED, shot=False), "?Tab:User").get("chosen"), 5,
                 what="the Start as User page")
        s.click_control(p.window(procedure=ADVANCED, shot=False), "?AsUser")
        for name, text in (("?User", user), ("?Password", PASSWORD), ("?Domain", "DOM4711")):
            s.type_into(p.window(procedure=ADVANCED, shot=False), name, text)
        s.key("Tab")
        s.shoot_window(p.window(procedure=ADVANCED, shot=False))
        close_advanced(s, p)
        item_ok(s, p)

        # The next step writes the exit code the wait read ("Translate command" expands it).
        new_script_item(s, p, "Start Program")
        s.type_into(p.window(procedure=ITEM_FORM, shot=False), "?Start:SCR:Command",
                    '/bin/sh -c "echo [ExitCode] > %s/code"' % out)
        s.key("Tab")
        advanced(s, p)
        s.click_control(p.window(procedure=ADVANCED, shot=False), "?Translate")
        close_advanced(s, p)
        item_ok(s, p)

        fill_scheduling(s, p, due)
        press_ok(s, p)
        t = task(s, "Run as another user")
        items = sorted((r for r in s.records("SCRIPTING") if r["ID"] == t["ID"]), key=lambda r: int(r["Sequence"]))
        check([r["Action"].strip() for r in items] == ["Start Program", "Start Program"],
              "the task's script holds the two steps: %s" % [r["Action"] for r in items])
        check(items[0]["DDEApplicationName"].startswith("1") and items[0]["DDEApplicationName"][4:5] == "1",
              "the first step waits and runs as another user: %r" % items[0]["DDEApplicationName"])

        code_file = os.path.join(out, "code")
        wait_for(lambda: os.path.exists(code_file) and open(code_file).read().strip(),
                 max(10, seconds_until(due) + 45), what="the script to run at the task's time")
        check(open(code_file).read().strip() == "6", "ExitCode holds the command's code: %r" % open(code_file).read())
        check(open(os.path.join(out, "user")).read().strip() == user,
              "the command ran as %s: %r" % (user, open(os.path.join(out, "user")).read()))
        words = open(os.path.join(out, "cmdline"), "rb").read().split(b"\0")
        check(os.path.basename(words[0]).lower() == b"executeas", "the run-as program started it: %r" % words)
        check(words[1] == b"u=" + user.encode(), "the run-as program got the user: %r" % words)
        check(words[2].startswith(b"PASSWORDFILE="), "the password came in a file: %r" % words)
        check(not any(PASSWORD.encode() in w for w in words), "no password on the command line: %r" % words)
        check(not os.path.exists(words[2][len(b"PASSWORDFILE="):]), "the password file is gone")
        exit_program(s, p, frame)
    finally:
        shutil.rmtree(out, ignore_errors=True)

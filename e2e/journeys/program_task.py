"""A program task made through the task form runs on time once the scheduler is active: the
program starts and shows its window."""

import os

from harness import check, wait_for
from journeys.common import exit_program, first_start, start_again
from journeys.tasks import choose_tab, clock_in, fill_scheduling, form, press_ok, seconds_until, task
from journeys.common import menu


def run(s):
    # Made with the scheduler off ("/I"), so that nothing runs while the form is open.
    p, frame = first_start(s, None, "/I")
    probe_log = os.path.join(s.home, "probe.log")
    command = "%s ProbeWindow %s" % (os.path.join(s.bin_dir, "script_probe"), probe_log)
    due, _ = clock_in(60)
    menu(s, p, frame, "File", "New", "Task...")
    form(p, shot=True)
    f = choose_tab(s, p, "?Tab:Basics")
    s.click_control(f, "?SCH:TaskType:Program")
    s.type_into(form(p), "?SCH:Description", "Start the probe")
    s.key("Tab")
    f = choose_tab(s, p, "?Tab:Program")
    s.type_into(f, "?SCH:Command", command)
    s.key("Tab")
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

"""The frame's working icon and its stop-scripts button follow the script queue: a script task run
from the schedule list turns the icon to its script frames and offers Stop; Stop empties the queue
and both go back."""

import re

from harness import check, control, wait_for
from journeys.common import FRAME, exit_program, first_start
from journeys.program_task import item_ok, new_program_task, new_script_item
from journeys.records import click_row, row_with
from journeys.tasks import choose_tab, clock_in, fill_scheduling, press_ok

IDLE = re.compile(r"^~wrk[a-g]\.ico$")
RUNNING = re.compile(r"^~wrk[a-g]s\.ico$")


def frame_state(p):
    """The working icon's picture and whether the stop-scripts button can be pressed."""
    frame = p.window(procedure=FRAME, shot=False)
    return control(frame, "?WorkingIcon")["text"], control(frame, "?TbStopScripts")["enabled"]


def turning(p, pattern):
    """Waits until the working icon has shown two different frames of `pattern`; returns them."""
    seen = set()

    def two_frames():
        icon, _ = frame_state(p)
        if pattern.match(icon):
            seen.add(icon)
        return len(seen) >= 2
    wait_for(two_frames, 10, what="the working icon to turn through frames like %s (seen %s)" % (pattern.pattern, seen))
    return seen


def run(s):
    p, frame = first_start(s)
    turning(p, IDLE)
    check(not frame_state(p)[1], "the stop-scripts button is disabled while no script runs")

    # A task whose script waits for a window that never comes, due an hour from now.
    new_program_task(s, p, frame, "Wait for nothing", shot=False)
    choose_tab(s, p, "?Tab:Script")
    item = new_script_item(s, p, "Wait")
    s.type_into(item, "?SCR:SecondsToWait", "0")
    s.type_into(p.window(procedure="UpdateScripting", shot=False), "?SCR:WaitForWindow", "No Such Window 4711")
    s.key("Tab")
    item_ok(s, p)
    fill_scheduling(s, p, clock_in(3600)[0])
    press_ok(s, p)

    # Execute/Test from the schedule list queues the script.
    row = row_with(p, "BrowseSchedule", "Wait for nothing")
    click_row(s, row)
    s.click_control(p.window(procedure="BrowseSchedule", shot=False), "?Execute")
    wait_for(lambda: RUNNING.match(frame_state(p)[0]) and frame_state(p)[1], 10,
             what="the working icon's script frames and the stop-scripts button enabled")
    turning(p, RUNNING)
    frame = p.window(procedure=FRAME, shot=False)
    s.activate(frame)
    s.shoot_window(p.window(procedure=FRAME, shot=False))

    # Stop empties the queue: the button is disabled again and the icon back to its idle frames.
    s.click_control(p.window(procedure=FRAME, shot=False), "?TbStopScripts")
    wait_for(lambda: IDLE.match(frame_state(p)[0]) and not frame_state(p)[1], 10,
             what="the working icon's idle frames and the stop-scripts button disabled")
    s.shoot_window(p.window(procedure=FRAME, shot=False))
    exit_program(s, p)


def inactive_shows_no_icon(s):
    """With the scheduler off ("/I") and no script running the working icon shows nothing."""
    p, _ = first_start(s, None, "/I")
    wait_for(lambda: frame_state(p)[0] == "~blank.ico", 10, what="the working icon to be blank")
    check(not frame_state(p)[1], "the stop-scripts button is disabled")
    exit_program(s, p)

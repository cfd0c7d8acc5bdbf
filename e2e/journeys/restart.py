"""Quit and start again: windows come back where they were, at the same size; a second start
raises the first instead of running twice."""

from harness import check, wait_for
from journeys.common import FRAME, exit_program, first_start, menu, start_again

TOLERANCE = 1  # pixels


def place(w):
    return (w["fx"], w["fy"], w["fw"], w["fh"])


def same_place(before, after):
    return all(abs(a - b) <= TOLERANCE for a, b in zip(place(before), place(after)))


def second_start_raises_first(s):
    p, frame = first_start(s)
    s.x(["xdotool", "windowminimize", "--sync", frame["winid"]], check_rc=True)
    wait_for(lambda: not s.is_viewable(frame["winid"]), 5, what="the frame to be minimised")
    second = s.start("ov98", wait=False)
    code = second.wait_exit(20)
    check(code == 0, "the second start ended with exit code %s" % code)
    check(p.running(), "the first instance still runs")
    raised = wait_for(lambda: [w for w in p.windows() if w["procedure"] == FRAME and not w["minimized"]
                               and s.is_viewable(w["winid"])], 10, what="the first instance's frame to come back")
    s.shoot_window(raised[0])
    check(raised[0]["active"], "the first instance's frame is the active window")
    exit_program(s, p)


def positions_kept(s):
    p, frame = first_start(s)
    # The user moves and sizes the frame.
    s.x(["xdotool", "windowsize", "--sync", frame["winid"], "1100", "900"], check_rc=True)
    s.x(["xdotool", "windowmove", "--sync", frame["winid"], "60", "40"], check_rc=True)
    frame = wait_for(lambda: [w for w in p.windows() if w["procedure"] == FRAME and w["fw"] >= 1090
                              and abs(w["fx"] - 60) <= 10][0:1], 5, what="the frame to move")[0]
    tasks = p.window(procedure="BrowseSchedule")

    # A window closed and opened again three times comes back where it was.
    again = tasks
    for cycle in range(3):
        s.click_control(again, "Close")
        p.gone(procedure="BrowseSchedule")
        menu(s, p, frame, "View", "Schedule")
        again = p.window(procedure="BrowseSchedule")
        check(same_place(tasks, again), "the schedule list stays at %s, not %s (cycle %d)" %
              (place(tasks), place(again), cycle + 1))

    exit_program(s, p, frame)
    p2, frame2 = start_again(s)
    check(same_place(frame, frame2), "the frame comes back at %s, not %s" % (place(frame), place(frame2)))
    tasks2 = p2.window(procedure="BrowseSchedule")
    check(same_place(tasks, tasks2), "the schedule list comes back at %s, not %s" % (place(tasks), place(tasks2)))
    exit_program(s, p2, frame2)

"""The frame's window area when a child is larger than it: nothing sticks out of reach, the area's
scroll bars bring every part of the child into view, and its buttons can be pressed there."""

from harness import check, wait_for
from journeys.commands import within_reach
from journeys.common import FRAME, exit_program, first_start, menu

LIST = "BrowseSchedule"  # the task list: its least size is larger than the smallest frame's area


def scroll_bars(p):
    frame = p.window(procedure=FRAME, shot=False)
    return {b["orientation"]: b for b in frame["scroll"]}


def scroll_to_end(s, p):
    """Turns the mouse wheel over each shown scroll bar of the area until it is at its end."""
    for side in ("v", "h"):
        bar = scroll_bars(p)[side]
        if not bar["shown"]:
            continue
        s.x(s.move_argv(bar["x"] + bar["w"] // 2, bar["y"] + bar["h"] // 2), check_rc=True)
        for _ in range(10):
            s.x(["xdotool", "click", "--repeat", "10", "--delay", "15", "5"], check_rc=True)
            bar = scroll_bars(p)[side]
            if bar["value"] >= bar["max"]:
                break
        check(bar["value"] >= bar["max"], "the %s scroll bar did not reach its end: %s" % (side, bar))


def reached(s, p, what):
    """The list is larger than the area, all of it within the scroll bars' reach; scrolled to the
    end, its Close button lies in view and closes it."""
    w = p.window(procedure=LIST)
    check(w["fw"] > w["vw"] or w["fh"] > w["vh"], "%s: the list (%d x %d) is larger than the area shows (%d x %d)"
          % (what, w["fw"], w["fh"], w["vw"], w["vh"]))
    check(within_reach(w), "%s: the list at %s lies outside what the area scrolls to %s" %
          (what, (w["fx"], w["fy"], w["fw"], w["fh"]), (w["ax"], w["ay"], w["aw"], w["ah"])))
    bars = scroll_bars(p)
    check(bars["v"]["shown"] or bars["h"]["shown"], "%s: the area shows no scroll bar" % what)
    scroll_to_end(s, p)
    w = p.window(procedure=LIST)
    s.shoot_window(p.window(procedure=FRAME, shot=False))
    s.click_control(w, "?Close")  # checks that the button's middle is in view
    p.gone(procedure=LIST)


def child_larger_than_area(s):
    p, frame = first_start(s)
    p.window(procedure=LIST)
    # The user makes the frame as small as it goes: the list that was open no longer fits.
    s.x(["xdotool", "windowsize", "--sync", frame["winid"], "200", "150"], check_rc=True)
    frame = wait_for(lambda: [w for w in p.windows() if w["procedure"] == FRAME and w["fw"] < frame["fw"]][0:1], 5,
                     what="the frame to shrink")[0]
    reached(s, p, "a list open while the frame shrank")
    # Opened again in the small frame, it comes at the area's top-left, its title bar in view.
    menu(s, p, p.window(procedure=FRAME, shot=False), "View", "Schedule")
    w = p.window(procedure=LIST)
    check((w["fx"], w["fy"]) == (w["vx"], w["vy"]) == (w["ax"], w["ay"]),
          "the list opens at %s, not at the area's top-left %s" % ((w["fx"], w["fy"]), (w["vx"], w["vy"])))
    reached(s, p, "a list opened in the small frame")
    exit_program(s, p)

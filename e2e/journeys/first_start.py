"""First start on an empty folder: the data-folder question, the frame, the start-up window and the
tray icon; then File > Exit ends the program cleanly."""

import collections
import os
import time

from harness import check, read_png, wait_for
from journeys.common import FRAME, app_windows, exit_program, first_start, on_screen, start_again, wait_records_file


def tray_icon(s):
    icons = wait_for(lambda: [i for i in s.tray_icons() if i["cls"] == "ov98"], 15,
                     what="the program's icon in the tray host")
    check(len(icons) == 1, "one tray icon, not %d" % len(icons))
    return icons[0]


def run(s):
    p, frame = first_start(s)
    wait_records_file(s)
    check(frame["title"].startswith("Orvane"), "the frame's title names the product: %r" % frame["title"])
    check(frame["active"] or frame["visible"], "the frame shows")
    check(on_screen(s, frame), "the frame lies on the screen: %s" % frame)
    # The default start-up window is the schedule list, inside the frame.
    tasks = p.window(procedure="BrowseSchedule")
    check(tasks["visible"], "the schedule list shows")
    for w in app_windows(p):
        check(on_screen(s, w), "window %r lies on the screen" % w["title"])

    icon = tray_icon(s)
    check(s.is_viewable(icon["winid"]), "the tray icon is mapped")
    s.shoot("tray-icon", 0, (icon["x"], icon["y"], icon["w"], icon["h"]))

    # The folder question is not asked again, and the data stay where they were chosen.
    exit_program(s, p, frame)
    mutex = open(os.path.join(s.data, "MUTEX.TMP"), encoding="latin-1").read()
    check("normal exit" in mutex.lower() and "true" in mutex.lower(),
          "MUTEX.TMP records a normal exit: %r" % mutex)
    p2 = s.start("ov98")
    frame2 = p2.window(procedure=FRAME, timeout=20)
    check(not [w for w in p2.windows() if w["class"] == "QFileDialog"], "no folder question on the second start")
    exit_program(s, p2, frame2)


def tray_icon_drawn(s):
    """The tray icon shows a picture: more than one colour, and not only the tray's background."""
    first_start(s)
    icon = tray_icon(s)
    path = s.shoot("tray-icon", 0, (icon["x"], icon["y"], icon["w"], icon["h"]))
    _, _, rows = read_png(path)
    colours = collections.Counter(px for row in rows for px in row)
    background, most = colours.most_common(1)[0]
    drawn = sum(colours.values()) - most
    check(len(colours) > 4 and drawn >= 20,
          "the tray icon is blank: %d colours, %d pixels differ from %s" % (len(colours), drawn, background))


def choice_kept_in_program_folder(s):
    """The data-folder choice is kept in the program files folder, not in the folder the program
    was started from; a start from elsewhere finds the data without asking."""
    p, frame = first_start(s)
    exit_program(s, p, frame)
    check(not os.path.exists(os.path.join(s.cwd, "PATHS.INI")),
          "PATHS.INI was written into the folder the program was started from")
    kept = os.path.join(s.env["XDG_DATA_HOME"], "orvane", "PATHS.INI")
    check(os.path.exists(kept) and s.data in open(kept, encoding="latin-1").read(),
          "the program files folder's PATHS.INI names the data folder")
    other = os.path.join(s.tmp, "elsewhere")
    os.makedirs(other)
    p2 = s.start("ov98", cwd=other)
    frame2 = p2.window(procedure=FRAME, timeout=20)
    check(frame2["visible"], "the frame shows")
    exit_program(s, p2, frame2)


def tray_follows_scheduler_state(s):
    """The tray icon shows whether tasks will run: an inactive picture while the scheduler is off
    ("/I"), the clock while it runs; Stop Active Scripts is offered only while a script runs."""
    from journeys.common import bar_item, click_box, open_popup
    from harness import control

    def tray_picture(name):
        icon = tray_icon(s)
        time.sleep(1.5)  # a few ticks of the frame's timer
        path = s.shoot(name, 0, (icon["x"], icon["y"], icon["w"], icon["h"]))
        return read_png(path)[2]

    p, frame = first_start(s, None, "/I")
    wait_for(lambda: "(Inactive)" in p.window(procedure=FRAME, shot=False)["title"], 5,
             what="the title to say the scheduler is off")
    off = tray_picture("tray-inactive")
    s.activate(frame)
    click_box(s, bar_item(frame, "Tools"))
    item = control(open_popup(p), "Stop Active Scripts")
    check(not item["enabled"], "Stop Active Scripts is offered while no script runs")
    s.key("Escape")
    exit_program(s, p, frame)

    p, frame = start_again(s)
    check("Inactive" not in frame["title"], "the scheduler is active: %r" % frame["title"])
    on = tray_picture("tray-active")
    check(on != off, "the tray icon looks the same whether the scheduler runs or not")
    colours = collections.Counter(px for row in off for px in row)
    check(len(colours) > 4, "the inactive tray icon is blank: %d colours" % len(colours))
    exit_program(s, p, frame)

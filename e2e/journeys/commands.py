"""Every command of the frame's menus and toolbar and of the tray popup leads to a visible window
(or a companion program's window) within a few seconds, and every window opened passes the
visual checks: texts whole, controls inside their window, the window on the screen, a modal
window mapped and in front."""

import os
import subprocess
import time

from harness import Failure, check, control, read_png, wait_for
from journeys.common import TRAY_ICON_CLASS, bar_item, click_box, first_start, open_popup

# Commands that end the program or hand the screen to another program's modal flow.
SKIP = {("File", "Exit")}
COMPANIONS = ("ov_rpts", "ov_impex", "qmtback", "qmtbacka", "tessel", "ovftp", "ov_pop")
WAIT = 6.0
KIND_SHEET = 37
# Commands whose result is not a window: stopping scripts clears the script queue; the manual
# opens in the browser.
NO_WINDOW = {("Tools", "Stop Active Scripts"), ("Help", "Contents")}
KIND_IMAGE = 3
PICTURE_ENDINGS = (".jpg", ".jpeg", ".bmp", ".gif")


def menu_paths(s, p, frame):
    """Every command of the menu bar, as paths of item texts, read from the open menus."""
    paths = []
    for top in [b for b in frame["bars"] if b["kind"] == "QAction"]:
        s.activate(frame)
        click_box(s, top)
        popup = open_popup(p)
        walk(s, p, [top["text"].replace("&", "")], popup, {popup["winid"]}, paths)
        close_popups(s, p)
    return paths


def walk(s, p, path, popup, seen, paths):
    for item in popup["controls"]:
        if item["kind"] != "QAction" or not item["visible"]:
            continue
        name = item["text"].split("\t")[0]
        if item.get("submenu"):
            s.click(item["x"] + item["w"] // 2, item["y"] + item["h"] // 2)
            sub = open_popup(p, seen)
            walk(s, p, path + [name], sub, seen | {sub["winid"]}, paths)
            # Back to this menu: the pointer on another item closes the submenu.
            s.x(["xdotool", "key", "Left"])
            wait_for(lambda: sub["winid"] not in [w["winid"] for w in p.windows()], 5, what="a submenu to close")
        else:
            paths.append((path + [name], item["enabled"]))


def close_popups(s, p):
    for _ in range(4):
        if not [w for w in p.windows() if w["class"] == "QMenu"]:
            return
        s.key("Escape")
        time.sleep(0.2)


def choose(s, p, frame, path):
    s.activate(frame)
    click_box(s, bar_item(frame, path[0]))
    seen = set()
    for name in path[1:]:
        popup = open_popup(p, seen)
        seen.add(popup["winid"])
        item = control(popup, name)
        s.click(item["x"] + item["w"] // 2, item["y"] + item["h"] // 2)


def window_key(w):
    return (w["winid"], w["procedure"], w["title"], w["class"], w["fx"], w["fy"]) if w["mdi"] else (w["winid"],)


def sockets(s):
    return set(os.listdir(s.env["OV_INSPECT"]))


def visual_problems(s, w):
    """What a user would see wrong in a window."""
    problems = []
    sw, sh = (int(v) for v in s.screen.split("x")[:2])
    name = "%s %r" % (w["procedure"] or w["class"], w["title"])
    if not (w["fx"] >= 0 and w["fy"] >= 0 and w["fx"] + w["fw"] <= sw and w["fy"] + w["fh"] <= sh):
        problems.append("%s is not fully on the screen: %s" % (name, (w["fx"], w["fy"], w["fw"], w["fh"])))
    if w["mdi"] and not within_reach(w):
        problems.append("%s lies partly outside what its frame's window area shows or scrolls to" % name)
    if w["modal"] and not (s.is_viewable(w["winid"]) and w["active"]):
        problems.append("modal %s is not mapped and in front" % name)
    for c in w["controls"]:
        if c["kind"] == KIND_IMAGE and c.get("visible") and c["text"].lower().endswith(PICTURE_ENDINGS):
            if not picture_drawn(s, c):
                problems.append("%s: the picture %r is empty" % (name, c["text"]))
    for c in w["controls"]:
        if not c.get("visible") or "x" not in c or c["kind"] == "QAction":
            continue
        label = c.get("name") or c.get("text")
        if not c.get("fits", True):
            what = "the tab captions of %r" % label if c["kind"] == KIND_SHEET else "the text %r" % c["text"]
            problems.append("%s: %s needs %d px, has %d" % (name, what, c["need"], c["have"]))
        # Inside the window as drawn: the frame's toolbar lies above the client area.
        if (c["x"] < w["fx"] or c["y"] < w["fy"] or c["x"] + c["w"] > w["fx"] + w["fw"] or
                c["y"] + c["h"] > w["fy"] + w["fh"]) and c["w"] > 0 and c["h"] > 0:
            problems.append("%s: control %r lies outside the window" % (name, label))
    # Buttons drawn over each other hide each other's texts.
    buttons = [c for c in w["controls"] if c.get("visible") and c["kind"] == KIND_BUTTON and "x" in c
               and c["w"] > 0 and c["h"] > 0]
    for i, a in enumerate(buttons):
        for b in buttons[i + 1:]:
            if (min(a["x"] + a["w"], b["x"] + b["w"]) - max(a["x"], b["x"]) > 2 and
                    min(a["y"] + a["h"], b["y"] + b["h"]) - max(a["y"], b["y"]) > 2):
                problems.append("%s: buttons %r and %r lie over each other" %
                                (name, a.get("name") or a["text"], b.get("name") or b["text"]))
    return problems


def picture_drawn(s, c):
    """The picture control shows a drawing on the screen, not one flat colour."""
    if c["w"] < 8 or c["h"] < 8:
        return False
    _, _, rows = read_png(s.shoot("picture", 0, (c["x"], c["y"], c["w"], c["h"])))
    colours = {pixel for row in rows for pixel in row}
    return len(colours) >= 16


def within_reach(w):
    """An MDI child lies whole inside its frame's window area, or inside what the area's scroll
    bars bring into view."""
    return (w["ax"] <= w["fx"] and w["ay"] <= w["fy"] and w["fx"] + w["fw"] <= w["ax"] + w["aw"] and
            w["fy"] + w["fh"] <= w["ay"] + w["ah"])


def hidden_toolbar_buttons(frame):
    """The toolbar's buttons that the frame has no room to show (they went behind the toolbar's
    extension mark)."""
    return [b["text"] or b.get("tip", "") for b in frame["bars"] if b["kind"] == "QToolButton" and not b["visible"]]


def close_window(s, p, w):
    """Closes a window the way its user would: its Cancel or Close button, Return on a message."""
    if w["class"] == "QMessageBox":
        s.key("Return", window=w)
        return
    if w["class"] == "QFileDialog":
        s.key("Escape", window=w)
        return
    for name in ("?Cancel", "?Close", "Cancel", "Close", "?OK", "OK"):
        try:
            c = control(w, name)
        except Failure:
            continue
        if c.get("visible") and c.get("enabled") and "x" in c:
            try:
                s.click_control(w, name)
                return
            except Failure:
                pass
    if not w["mdi"]:
        s.key("alt+F4", window=w)


def settle(p, keys, timeout=WAIT, companions=lambda: []):
    """Waits until new windows stop appearing and hold their places and sizes; returns them, and
    the channels of companion programs that started meanwhile (a command that starts a companion
    opens no window of its own)."""
    end = time.monotonic() + timeout
    last, quiet = None, 0
    while time.monotonic() < end:
        now = [w for w in p.windows() if w["class"] not in (TRAY_ICON_CLASS, "QMenu")
               and window_key(w) not in keys]
        # A window the window manager has not sized yet reads 1 x 1 for a moment.
        shape = [(window_key(w), w["fx"], w["fy"], w["fw"], w["fh"]) for w in now
                 if w["fw"] > 1 and w["fh"] > 1]
        if now and len(shape) == len(now) and shape == last:
            quiet += 1
            if quiet >= 2:
                return now, []
        else:
            quiet = 0
        last = shape
        if not now:
            started = companions()
            if started:
                return [], started
        time.sleep(0.12)
    return now, []


def try_command(s, p, frame, label, act, problems, opened_nothing, visual=True):
    before = {window_key(w) for w in p.windows()}
    companions_before = sockets(s)
    act()
    new, new_companions = settle(p, before, companions=lambda: [
        n for n in sockets(s) - companions_before if n.split("-")[0] in COMPANIONS])
    if not new and not new_companions:
        opened_nothing.append(label)
        close_popups(s, p)
        return []
    for w in new:
        if not s.is_viewable(w["winid"]):
            problems.append("%s: window %r is not mapped" % (label, w["title"]))
            continue
        w = in_front(s, p, w)
        if w["fw"] <= 1 or w["fh"] <= 1:  # X shows it (it is viewable) while the toolkit reads 1 x 1
            w = s.with_x_geometry(w)
        s.shoot_window(w)
        if visual:
            problems.extend("%s: %s" % (label, m) for m in visual_problems(s, w))
    for name in new_companions:
        q = s.attach(name.split("-")[0])
        try:
            wait_for(lambda: [w for w in q.windows() if w["class"] != TRAY_ICON_CLASS], 8, what="%s's window" % q.name)
            shown, _ = settle(q, set())
            for w in shown:
                w = in_front(s, q, w)
                s.shoot_window(w)
                problems.extend("%s: %s" % (label, m) for m in visual_problems(s, w))
        except Failure as e:
            problems.append("%s: %s" % (label, e))
        q.stop(1)  # its windows were all this sweep wanted of it
    # Close what opened, innermost first; what will not close is left to the end of the session.
    for _ in range(3):
        left = [w for w in p.windows() if w["class"] not in (TRAY_ICON_CLASS,) and window_key(w) not in before]
        if not left:
            break
        close_window(s, p, left[-1])
        try:
            wait_for(lambda: window_key(left[-1]) not in [window_key(w) for w in p.windows()], 1.5, what="")
        except Failure:
            pass
    return new


def in_front(s, p, w):
    """A modal window as it is once the window manager has mapped and activated it (a moment
    after it shows); any other window as it was read."""
    if not w["modal"]:
        return w

    def now():
        same = [x for x in p.windows() if x["winid"] == w["winid"]]
        return same[0] if same and same[0]["active"] and s.is_viewable(w["winid"]) else None
    try:
        return wait_for(now, 2, what="")
    except Failure:
        return w


def the_frame(p):
    """The frame as it is now: it was waited for at the start and stays put."""
    return wait_for(lambda: ([w for w in p.windows() if w["procedure"] == "Main"] or [None])[0], 5,
                    what="the frame")


def every_command(s, env=None):
    p, frame = first_start(s)
    problems, opened_nothing = [], []
    for w in p.windows():
        if w["class"] != TRAY_ICON_CLASS:
            problems.extend("start-up: %s" % m for m in visual_problems(s, w))
    hidden = hidden_toolbar_buttons(frame)
    if hidden:
        problems.append("start-up: the frame shows its toolbar without %s" % ", ".join(hidden))
    # The start-up list is closed, so that View > Schedule has a window to open.
    for attempt in range(2):
        s.click_control(p.window(procedure="BrowseSchedule", shot=False), "?Close")
        try:
            p.gone(procedure="BrowseSchedule", timeout=5)
            break
        except Failure:
            problems.append("start-up: a click on the schedule list's Close button %s" %
                            ("did nothing twice" if attempt else "was lost"))
    for path, enabled in menu_paths(s, p, frame):
        if tuple(path) in SKIP or tuple(path) in NO_WINDOW or not enabled:
            continue
        label = " > ".join(path)
        frame = the_frame(p)
        try_command(s, p, frame, label, lambda: choose(s, p, frame, path), problems, opened_nothing)
    frame = p.window(procedure="Main", shot=False)
    buttons = [b for b in frame["bars"] if b["kind"] == "QToolButton" and b["visible"] and b["enabled"]]
    for number, b in enumerate(buttons, 1):
        label = "toolbar button %d %r" % (number, b["text"] or b.get("tip", ""))
        try_command(s, p, frame, label, lambda: click_box(s, b), problems, opened_nothing)
    report = []
    if opened_nothing:
        report.append("commands that showed nothing within %.0f s: %s" % (WAIT, "; ".join(opened_nothing)))
    report.extend(problems)
    check(not report, "\n".join(report))


def close_startup_list(s, p, problems):
    """Closes the schedule list that shows at start-up, so that View > Schedule has a window to open."""
    for attempt in range(2):
        s.click_control(p.window(procedure="BrowseSchedule", shot=False), "?Close")
        try:
            p.gone(procedure="BrowseSchedule", timeout=5)
            return
        except Failure:
            problems.append("start-up: a click on the schedule list's Close button %s" %
                            ("did nothing twice" if attempt else "was lost"))


def frame_commands(s, p, frame, skip=SKIP | NO_WINDOW):
    """Every command of the menus and the toolbar that may open a window: (label, act) pairs."""
    commands = []
    for path, enabled in menu_paths(s, p, frame):
        if tuple(path) in skip or not enabled:
            continue
        commands.append((" > ".join(path), lambda path=path: choose(s, p, p.window(procedure="Main", shot=False),
                                                                     path)))
    frame = p.window(procedure="Main", shot=False)
    buttons = [b for b in frame["bars"] if b["kind"] == "QToolButton" and b["visible"] and b["enabled"]]
    for number, b in enumerate(buttons, 1):
        commands.append(("toolbar button %d %r" % (number, b["text"] or b.get("tip", "")),
                         lambda b=b: click_box(s, b)))
    return commands


def frame_buttons(s):
    """Every button of every window that the frame's menus and toolbar open shows a result a user
    can see (press_buttons). A window that several commands open (a toolbar button and its menu
    command) is swept once, from the opening its first command made; a command that starts a
    companion program is left to every_command, which looks at the companion's windows."""
    install_opener(s)
    p, frame = first_start(s)
    problems, opened_nothing = [], []
    close_startup_list(s, p, problems)
    sweep_commands(s, p, frame_commands(s, p, frame), problems, opened_nothing)
    report = []
    if opened_nothing:
        report.append("commands that showed nothing within %.0f s: %s" % (WAIT, "; ".join(opened_nothing)))
    report.extend(problems)
    check(not report, "\n".join(report))


def sweep_commands(s, p, commands, problems, opened_nothing, swept=None):
    """Does each of `commands` ((label, act) pairs) on the windows `p` shows now, and presses every
    button of the window each opens (press_buttons) unless `swept` (procedures and titles) holds
    it already. A command that shows no window counts as having shown something where it handed
    the browser a page or the clipboard a text; one that shows nothing at all goes to
    `opened_nothing`."""
    swept = set() if swept is None else swept
    desktop = {window_key(w) for w in p.windows()}
    for label, act in commands:
        # A window that showed after its command's windows were closed (a file dialog that
        # follows a viewer) would hold the menus.
        back_to(s, p, "before " + label, desktop, problems)
        before, companions_before = {window_key(w) for w in p.windows()}, sockets(s)
        pages_before, clip_before = opened_page_count(s), clipboard(s)
        act()
        new, started = settle(p, before, companions=lambda: [
            n for n in sockets(s) - companions_before if n.split("-")[0] in COMPANIONS])
        for name in started:
            end_companion(s, name)
        if not new and not started:
            if opened_page_count(s) == pages_before and clipboard(s) == clip_before:
                opened_nothing.append(label)
            close_popups(s, p)
            continue
        own = [w for w in new if w["class"] != "QMessageBox"]
        key = own and (own[-1]["procedure"], own[-1]["title"])
        if not own or key in swept:
            back_to(s, p, label, before, problems)
            continue
        swept.add(key)
        if not s.is_viewable(own[-1]["winid"]):
            problems.append("%s: window %r is not mapped" % (label, own[-1]["title"]))
            back_to(s, p, label, before, problems)
            continue
        started_at = time.monotonic()
        opened = settled_window(p, own[-1])
        shoot_once(s, opened)
        press_buttons(s, p, label, lambda act=act, label=label: open_fresh(p, act, label), problems,
                      opened=opened, base=before)
        print("%s: %.1f s" % (label, time.monotonic() - started_at))
        back_to(s, p, "after " + label, desktop, problems)


def settled_window(p, w):
    """The window `w` once the window manager has mapped it and it holds still."""
    return p.window(procedure=w["procedure"] or None, title=w["title"], cls=w["class"], shot=False)


def shoot_once(s, w):
    """A picture of each window the sweep sees, the first time it shows (by procedure and title)."""
    shot = s.__dict__.setdefault("swept_shots", set())
    key = (w["procedure"] or w["class"], w["title"])
    if key not in shot:
        shot.add(key)
        s.shoot_window(w)


def end_companion(s, name):
    """Ends a companion program that a command or button started: the sweep wanted only that it
    started (every_command looks at its windows). Its windows are gone before the next click."""
    s.attach(name.split("-")[0]).stop(3)


def every_command_larger_font(s):
    """The same at a font one size larger."""
    # 9 points drawn as 10. Without the second setting Qt would scale every pixel by 107/96,
    # and the inspection channel's places would no longer be the screen's.
    s.env["QT_FONT_DPI"] = "107"
    s.env["QT_ENABLE_HIGHDPI_SCALING"] = "0"
    every_command(s)


KIND_BUTTON = 9


def tray_popup(s, p):
    """Right-clicks the program's tray icon; returns the popup menu it opens."""
    icons = wait_for(lambda: [i for i in s.tray_icons() if i["cls"] == "ov98"], 15,
                     what="the program's icon in the tray host")
    icon = icons[0]
    close_popups(s, p)
    s.click(icon["x"] + icon["w"] // 2, icon["y"] + icon["h"] // 2, button=3)
    return open_popup(p)


def choose_in_tray(s, p, name):
    popup = tray_popup(s, p)
    item = control(popup, name)
    check(item["visible"] and item["enabled"], "tray popup item %r is not visible and enabled" % name)
    s.click(item["x"] + item["w"] // 2, item["y"] + item["h"] // 2)


def rows_seen(c):
    """A list's rows as a user sees them: texts, icons and text colours."""
    return tuple((tuple(r["cells"]), tuple(r.get("icons", ())), tuple(r.get("colours", ()))) for r in c.get("rows", []))


def looks(p):
    """What a user sees of the program's windows: titles, and each control's text and state."""
    seen = []
    for w in p.windows():
        if w["class"] == TRAY_ICON_CLASS:
            continue
        seen.append((w["winid"], w["title"], w["fx"], w["fy"], w["fw"], w["fh"]))
        if w["procedure"] == "Main":  # its status bar's clock changes by itself
            continue
        for c in w["controls"]:
            seen.append((c.get("name"), c.get("text"), c.get("visible"), c.get("enabled"), c.get("checked"),
                         c.get("chosen"), rows_seen(c)))
    return seen


# Buttons the sweep leaves alone, by window procedure ("*" for any) and button, with the reason.
SKIP_BUTTONS = {
    ("*", "?Delete"): "deletes the record that the sweep's next windows show",
    # Both show nothing on a list that did not change: reading the same rows again, and going on
    # from a Find that was not made (a beep).
    ("ExploreSchedule", "?Refresh"): "reads the unchanged list again",
    ("ExploreSchedule", "?FindNext"): "goes on from a Find; without one it beeps",
    ("SelectFiles", "Delete", "?OK"): "deletes the archive's members that the sweep's next windows list",
}


def skip_reason(w, name):
    for key in ((w["procedure"], w.get("title"), name), (w["procedure"], name), ("*", name)):
        if key in SKIP_BUTTONS:
            return SKIP_BUTTONS[key]
    return None


def push_buttons(w, kinds=(KIND_BUTTON,)):
    """The buttons a user can press, by name (or text, for a host dialog's Qt buttons)."""
    return [c["name"] or c["text"].replace("&", "") for c in w["controls"] if c["kind"] in kinds and
            c.get("visible") and c.get("enabled") and "x" in c and (c["name"] or c["text"])]


def opened_page_count(s):
    """How many pages the desktop's stand-in browser was handed (install_opener)."""
    try:
        with open(os.path.join(s.tmp, "opened.txt")) as f:
            return len(f.read().split())
    except OSError:
        return 0


def install_opener(s):
    """A stand-in desktop opener on PATH, so that a Help button's page shows as a visible result."""
    bin_dir = os.path.join(s.tmp, "desktop-bin")
    os.makedirs(bin_dir, exist_ok=True)
    opener = os.path.join(bin_dir, "xdg-open")
    with open(opener, "w") as f:
        f.write("#!/bin/sh\nprintf '%%s\\n' \"$1\" >> '%s'\n" % os.path.join(s.tmp, "opened.txt"))
    os.chmod(opener, 0o755)
    s.env["PATH"] = bin_dir + ":" + s.env["PATH"]


def answer_boxes(s, p, label, problems):
    """Answers the message boxes that show, innermost first, by keyboard as a user does: Escape,
    or Enter where Escape does not close it. A box that neither closes is a fault."""
    for _ in range(4):
        boxes = [w for w in p.windows() if w["class"] == "QMessageBox"]
        if not boxes:
            return
        box = boxes[-1]
        for key in ("Escape", "Return"):
            s.key(key, window=box)
            try:
                wait_for(lambda: box["winid"] not in [w["winid"] for w in p.windows()], 3, what="")
                break
            except Failure:
                continue
        else:
            problems.append("%s: the message %r closes neither with Escape nor with Enter" % (label, box["title"]))
            return


def back_to(s, p, label, base, problems):
    """Closes every window that is not in `base` (window keys), innermost and modal first."""
    for _ in range(6):
        answer_boxes(s, p, label, problems)
        left = [x for x in p.windows() if x["class"] not in (TRAY_ICON_CLASS, "QMenu") and window_key(x) not in base]
        if not left:
            return True
        target = ([x for x in left if x["modal"]] or left)[-1]
        close_window(s, p, target)
        try:
            wait_for(lambda: window_key(target) not in [window_key(x) for x in p.windows()], 1.5, interval=0.05,
                     what="")
        except Failure:
            pass
    left = [x for x in p.windows() if x["class"] not in (TRAY_ICON_CLASS, "QMenu") and window_key(x) not in base]
    if left:
        problems.append("%s: %s would not close" % (label, ", ".join(repr(x["title"]) for x in left)))
    return not left


def window_looks(w):
    return (w["title"], w["fx"], w["fy"], w["fw"], w["fh"],
            [(c.get("name"), c.get("text"), c.get("visible"), c.get("enabled"), c.get("checked"), c.get("chosen"),
              rows_seen(c)) for c in w["controls"]])


# Buttons pressed last: each closes its window, which would have to be opened again for the next.
CLOSING = ("?OK", "?Cancel", "?Close")


def clipboard(s):
    """The clipboard's text as a user would paste it ("" when nothing owns it)."""
    try:
        return subprocess.run(["xclip", "-selection", "clipboard", "-o"], env=s.env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=3).stdout
    except (OSError, subprocess.TimeoutExpired):
        return b""


def steady(p, seen, timeout=1.5):
    """Waits until what the program shows holds still for a moment after a change (a second
    window may follow the first)."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        time.sleep(0.12)
        now = looks(p)
        if now == seen:
            return
        seen = now


def press_buttons(s, p, label, reopen, problems, opened=None, base=None, kinds=(KIND_BUTTON,)):
    """Clicks every visible, enabled push button of a window, one per opening: `opened` first
    (else what `reopen()` opens), then what `reopen()` opens whenever a button left the window
    otherwise than it opened. Each must show a result within a few seconds: a page or a text
    changes, a window opens (a message box is answered), the window closes, a companion program
    starts, the clipboard receives a text or the browser is handed a page. A button that shows
    nothing fails with its window's and its own name. `base` is the window keys before the
    window opened; `kinds` the kinds of control pressed (a host dialog's Qt buttons by class)."""
    if base is None:
        base = {window_key(x) for x in p.windows()}
    w = opened or reopen()
    title = w["title"]
    names = push_buttons(w, kinds)
    names = [n for n in names if n not in CLOSING] + [n for n in CLOSING if n in names]
    pressed = []
    for name in names:
        reason = skip_reason(w if w else {"procedure": ""}, name)
        if reason:
            print("%s: %r left alone: %s" % (label, name, reason))
            continue
        w = w or reopen()
        where = "%s: %r of %r" % (label, name, title)
        before, windows_before = looks(p), {window_key(x) for x in p.windows()}
        as_opened = window_looks(w)
        companions_before, pages_before, clip_before = sockets(s), opened_page_count(s), clipboard(s)
        try:
            s.click_control(w, name)
        except Failure as e:  # a button the user cannot reach
            problems.append("%s: %s" % (label, e))
            back_to(s, p, label, base, problems)
            w = None
            continue

        def result():
            now = looks(p)
            started = [n for n in sockets(s) - companions_before if n.split("-")[0] in COMPANIONS]
            if now != before or started or opened_page_count(s) > pages_before or clipboard(s) != clip_before:
                return now or ["all its windows closed"]  # a companion that ended shows none
            return None
        try:
            steady(p, wait_for(result, WAIT, what=""))
        except Failure:
            problems.append("%s changed nothing within %.0f s" % (where, WAIT))
        pressed.append(name)
        for extra in [x for x in p.windows() if window_key(x) not in windows_before
                      and x["class"] not in (TRAY_ICON_CLASS, "QMenu")]:
            try:
                wait_for(lambda: s.is_viewable(extra["winid"]), 5, what="")
                shoot_once(s, extra)
            except Failure:
                problems.append("%s opened %r, which is not mapped" % (where, extra["title"]))
        for started in [n for n in sockets(s) - companions_before if n.split("-")[0] in COMPANIONS]:
            end_companion(s, started)
        if name == names[-1]:
            break  # what it left is closed by the caller
        # Back to the window as it opened, for the next button: what the button opened is closed;
        # a window that shows otherwise than it opened is closed and opened again.
        if not back_to(s, p, where, windows_before, problems):
            break
        same = [x for x in p.windows() if x["winid"] == w["winid"] and window_looks(x) == as_opened]
        if same:
            w = same[0]
            continue
        if not back_to(s, p, where, base, problems):
            break
        w = None
    print("%s: pressed %s" % (label, pressed))
    back_to(s, p, label, base, problems)


def open_fresh(p, act, label):
    """Does `act` and returns the window it opens once the window manager has mapped and placed it."""
    known = {window_key(w) for w in p.windows()}
    act()
    new = wait_for(lambda: ([w for w in p.windows() if w["class"] not in (TRAY_ICON_CLASS, "QMenu")
                             and window_key(w) not in known] or [None])[-1], WAIT,
                   what="%s to open a window" % label)
    return p.window(procedure=new["procedure"] or None, title=new["title"], cls=new["class"], shot=False)


def tray_commands(s, visual=True, buttons=True):
    """Every command of the tray popup leads to a visible window or result that closes again, and
    Exit Orvane ends the program. With visual, the windows pass the visual checks; with buttons,
    every button of the windows they open shows a result a user can see."""
    install_opener(s)
    p, frame = first_start(s)
    popup = tray_popup(s, p)
    s.shoot_window(popup)
    items = [(c["text"].split("\t")[0].replace("&", ""), c["enabled"]) for c in popup["controls"]
             if c["kind"] == "QAction" and c["visible"] and c["text"]]
    close_popups(s, p)
    names = [n for n, _ in items]
    for expected in ("Program Wizard", "Message Wizard", "Scripting Wizard", "New Hot Key", "Reschedule All",
                     "Options", "About", "Exit Orvane"):
        check(expected in names, "the tray popup has %r: %s" % (expected, names))
    check(not dict(items)["Restore"], "Restore is disabled while the frame shows")

    problems, opened_nothing = [], []
    for name, enabled in items:
        if not enabled or name == "Exit Orvane":
            continue
        label = "tray popup > " + name
        frame = p.window(procedure="Main", shot=False)
        before = {window_key(w) for w in p.windows()}
        try_command(s, p, frame, label, lambda: choose_in_tray(s, p, name), problems, opened_nothing, visual)
        if label in opened_nothing or not buttons:
            continue
        if [w for w in p.windows() if window_key(w) not in before]:
            problems.append("%s: its window did not close with Cancel/Close" % label)
            continue
        press_buttons(s, p, label, lambda: open_fresh(p, lambda: choose_in_tray(s, p, name), label), problems)

    report = []
    if opened_nothing:
        report.append("tray commands that showed nothing within %.0f s: %s" % (WAIT, "; ".join(opened_nothing)))
    report.extend(problems)
    check(not report, "\n".join(report))
    choose_in_tray(s, p, "Exit Orvane")
    code = p.wait_exit(20)
    check(code == 0, "ov98 ended with exit code %s after Exit Orvane" % code)


def tray_commands_open_windows(s):
    tray_commands(s, visual=False, buttons=False)


def tray_commands_buttons(s):
    tray_commands(s, visual=False, buttons=True)

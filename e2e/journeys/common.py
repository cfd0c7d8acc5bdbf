"""Steps that many journeys share: the first start, menus, closing the program."""

import os
import time

from harness import Failure, check, control, wait_for

FRAME = "Main"
DATA_DIALOG_TITLE = "Select data directory"


def first_start(s, folder=None, *args):
    """Starts ov98 on an empty data folder as a new user does: the folder question comes first and
    is answered by typing the folder; returns the program and its frame once the frame shows."""
    folder = folder or s.data
    p = s.start("ov98", *args)
    dialog = p.window(title=DATA_DIALOG_TITLE)
    check(dialog["modal"] or dialog["class"] == "QFileDialog", "the data-folder question is a dialog")
    s.activate(dialog)
    s.type(folder)
    s.key("Return")
    p.gone(title=DATA_DIALOG_TITLE)
    frame = p.window(procedure=FRAME, timeout=20)
    return p, frame


def start_again(s, *args):
    """Starts ov98 on the data folder a previous start chose; returns the program and its frame."""
    p = s.start("ov98", *args)
    return p, p.window(procedure=FRAME, timeout=20)


def wait_records_file(s, name="RO97.ZEZ"):
    wait_for(lambda: os.path.exists(os.path.join(s.data, name)), 10, what=name + " in the data folder")


def bar_item(window, text):
    for b in window.get("bars", []):
        if b["text"].replace("&", "").lower() == text.replace("&", "").lower():
            return b
    raise Failure("window %r has no menu or toolbar command %r; it has %s" %
                  (window["title"], text, [b["text"] for b in window.get("bars", [])]))


def click_box(s, box):
    check(box["visible"] and box["enabled"], "%r is not visible and enabled" % box["text"])
    s.click(box["x"] + box["w"] // 2, box["y"] + box["h"] // 2)


def open_popup(p, previous=()):
    """Waits for a popup menu that was not open before; returns it."""
    def newest():
        menus = [w for w in p.windows() if w["class"] == "QMenu" and w["winid"] not in previous]
        return menus[-1] if menus else None
    return wait_for(newest, 5, what="a menu to open")


def menu(s, p, window, *path):
    """Chooses a menu command with the mouse: menu(s, p, frame, "File", "New", "Task...")."""
    s.activate(window)
    click_box(s, bar_item(window, path[0]))
    seen = set()
    for name in path[1:]:
        popup = open_popup(p, seen)
        seen.add(popup["winid"])
        item = control(popup, name)
        check(item["visible"] and item["enabled"], "menu item %r is not visible and enabled" % name)
        if item.get("submenu"):
            s.click(item["x"] + item["w"] // 2, item["y"] + item["h"] // 2)
            time.sleep(0.3)  # a submenu opens after a short delay under the pointer
        else:
            s.click(item["x"] + item["w"] // 2, item["y"] + item["h"] // 2)


def exit_program(s, p, frame=None):
    """File > Exit, as a user ends the program; waits for the process to end."""
    frame = frame or p.window(procedure=FRAME, shot=False)
    menu(s, p, frame, "File", "Exit")
    code = p.wait_exit(20)
    check(code == 0, "ov98 ended with exit code %s" % code)


TRAY_ICON_CLASS = "QSystemTrayIconSys"  # the icon's own window, embedded in the tray host


def app_windows(p):
    """The program's windows, without the tray icon's."""
    return [w for w in p.windows() if w["class"] != TRAY_ICON_CLASS]


def on_screen(s, w):
    sw, sh = (int(v) for v in s.screen.split("x")[:2])
    return w["fx"] >= 0 and w["fy"] >= 0 and w["fx"] + w["fw"] <= sw and w["fy"] + w["fh"] <= sh

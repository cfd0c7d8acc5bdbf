"""The archiver opens a zip archive chosen in its file dialog and lists the members under the
column headers of its archive window."""

import os
import zipfile

from harness import check, control, wait_for
from journeys.common import menu

HEADERS = ["Seq", "Filename", "Date", "Time", "Size", "Ratio", "Packed", "Method", "CRC-32", "Attrb", "Comment"]


def run(s):
    archive = os.path.join(s.home, "two.zip")
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("alpha.txt", "a" * 3000)
        z.writestr("beta.txt", "b" * 10)
    p = s.start("qmtbacka", cwd=s.home)
    frame = p.window(procedure="Main", timeout=20)
    menu(s, p, frame, "File", "Open Archive...")
    dialog = p.window(title="Open ZIP archive")
    s.activate(dialog)
    s.key("ctrl+a")
    s.type(archive)
    s.key("Return")
    p.gone(title="Open ZIP archive")
    shown = p.window(procedure="DisplayArchive")
    members = control(shown, "?List")
    headers = members.get("headers", [])
    check(headers == HEADERS, "the member list's column headers: %s" % headers)
    names = sorted(r["cells"][1].strip() for r in members.get("rows", []))
    check(names == ["alpha.txt", "beta.txt"], "the member list names both members: %s" % names)

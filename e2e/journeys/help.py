"""Help > Contents opens the user manual's contents page in the desktop's browser (a stand-in
opener on PATH records what it is handed)."""

import os

from harness import check, wait_for
from journeys.common import exit_program, first_start, menu


def run(s):
    bin_dir = os.path.join(s.tmp, "desktop-bin")
    os.makedirs(bin_dir)
    log = os.path.join(s.tmp, "opened.txt")
    opener = os.path.join(bin_dir, "xdg-open")
    with open(opener, "w") as f:
        f.write("#!/bin/sh\nprintf '%%s\\n' \"$1\" >> '%s'\n" % log)
    os.chmod(opener, 0o755)
    s.env["PATH"] = bin_dir + ":" + s.env["PATH"]
    p, frame = first_start(s)
    menu(s, p, frame, "Help", "Contents")
    wait_for(lambda: os.path.exists(log), 10, what="the browser to be handed a page")
    pages = open(log).read().split()
    check(len(pages) == 1, "one page opened: %r" % pages)
    check(pages[0].endswith("/help/index.html") and os.path.isfile(pages[0]),
          "the manual's contents page opened, not %r" % pages[0])
    exit_program(s, p)

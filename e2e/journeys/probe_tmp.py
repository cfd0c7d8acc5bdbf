import os, glob
from harness import check
from journeys.common import exit_program, first_start, start_again, wait_records_file, menu, on_screen, FRAME

def run(s):
    p, frame = first_start(s)
    wait_records_file(s)
    exit_program(s, p, frame)
    pos = os.path.join(s.data, "POSITION.INI")
    print(open(pos).read()[:2000])
    cfg = glob.glob(os.path.join(s.env["XDG_CONFIG_HOME"], "orvane", "*"))
    print(cfg)
    text = open(pos).read()
    text = text.replace("XPos=", "XPos=1e300\nJunk=\x00\x01\x02\nXPos=")
    text += "\n[Huge]\nLine=" + "x" * 5000000 + "\n\x00\x00garbage without equals\n[" + "y" * 100000 + "\n"
    open(pos, "w").write(text)
    ini = [c for c in cfg if c.upper().endswith("OV98.INI")]
    if ini:
        t = open(ini[0]).read()
        open(ini[0], "w").write("\x00\xff garbage\n" + t.replace("=", "=\x00", 3) + "\n[Huge]\nK=" + "z" * 3000000 + "\n")
    p, frame = start_again(s)
    check(on_screen(s, frame), "frame on screen: %r" % ((frame["fx"], frame["fy"], frame["fw"], frame["fh"]),))
    menu(s, p, frame, "View", "To Do List")
    w = p.window(procedure="BrowseToDoList")
    check(on_screen(s, w), "todo on screen")
    exit_program(s, p)
    after = open(pos).read()
    check("x" * 5000000 in after, "huge line kept")
    check("garbage without equals" in after, "garbage kept")
    print(len(after))

"""Runs one journey of the end-to-end suite: run.py JOURNEY BUILD_DIR OUT_DIR.

A journey is a function of a module in journeys/: "first_start" runs journeys/first_start.py's
run(session), "first_start:tray_icon_drawn" its function tray_icon_drawn(session). The exit code is 0 when it
passed; on a failure its message, the programs' windows and output, and a picture of the screen
(in OUT_DIR) tell what went wrong.
"""

import importlib
import os
import sys
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Failure, Session  # noqa: E402


def main():
    if len(sys.argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    name, build_dir, out_dir = sys.argv[1:]
    module, _, function = name.partition(":")
    journey = getattr(importlib.import_module("journeys." + module), function or "run")
    try:
        with Session(name, build_dir, out_dir) as session:
            journey(session)
    except Failure as e:
        traceback.print_exc()
        sys.stderr.write("FAILED: %s\npictures: %s\n" % (e, out_dir))
        return 1
    except Exception:
        traceback.print_exc()
        sys.stderr.write("pictures: %s\n" % out_dir)
        return 1
    print("passed; pictures: %s" % out_dir)
    return 0


if __name__ == "__main__":
    sys.exit(main())

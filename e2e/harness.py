"""The end-to-end harness: the built programs on a private X display, driven as a user drives them.

A Session owns, for one test, a private Xvfb (its display number chosen by the server), openbox,
a system-tray host (trayer), a fresh temporary home with its own XDG folders and a fresh data
folder, and every program it starts; it stops them all when the test ends, whatever happens.

Input goes to the screen only as X key and mouse events (xdotool). What the programs show is read
through their inspection channel (OV_INSPECT, platform/ui/inspect.cpp): one local socket per
started program, answering with its windows and controls. Data is read by e2e_records, a separate
process over the table layer. Pictures of every window the test looks at, and of the whole screen
at a failure, go to the test's output folder.
"""

import json
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import zlib

DEFAULT_TIMEOUT = 10.0


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(condition, timeout=DEFAULT_TIMEOUT, interval=0.1, what="a condition"):
    """Polls condition() until it gives a true value, which is returned; fails after timeout."""
    end = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = condition()
            if value:
                return value
        except (OSError, ValueError) as e:  # a program still starting, a socket not there yet
            last_error = e
        if time.monotonic() > end:
            raise Failure("timed out after %.0f s waiting for %s%s" %
                          (timeout, what, " (last error: %s)" % last_error if last_error else ""))
        time.sleep(interval)


def read_png(path):
    """Decodes an 8-bit RGB or RGBA PNG (as Qt writes them) into (width, height, rows of (r,g,b))."""
    with open(path, "rb") as f:
        data = f.read()
    check(data[:8] == b"\x89PNG\r\n\x1a\n", "%s is not a PNG" % path)
    pos, idat, width, height, channels = 8, b"", 0, 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            check(depth == 8 and colour in (2, 6), "%s: unsupported PNG kind" % path)
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev, i = [], bytearray(stride), 0
    for _ in range(height):
        filt, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - channels] if x >= channels else 0
            b = prev[x]
            c = prev[x - channels] if x >= channels else 0
            if filt == 1:
                line[x] = (line[x] + a) & 255
            elif filt == 2:
                line[x] = (line[x] + b) & 255
            elif filt == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif filt == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x:x + 3]) for x in range(0, stride, channels)])
        prev = line
    return width, height, rows


class _Foreign:
    """A process the session did not start itself (a companion a program started), seen by its pid."""

    def __init__(self, pid):
        self.pid, self.returncode = pid, None

    def poll(self):
        try:
            os.kill(self.pid, 0)
            # Ended, but not yet collected by the program that started it.
            with open("/proc/%d/stat" % self.pid) as f:
                if f.read().rsplit(")", 1)[1].split()[0] == "Z":
                    raise ProcessLookupError
            return None
        except (ProcessLookupError, FileNotFoundError):
            self.returncode = self.returncode if self.returncode is not None else -1
            return self.returncode

    def send_signal(self, sig):
        try:
            os.kill(self.pid, sig)
        except ProcessLookupError:
            pass

    def kill(self):
        self.send_signal(signal.SIGKILL)

    def wait(self, timeout=None):
        end = time.monotonic() + (timeout if timeout is not None else 1e9)
        while self.poll() is None:
            if time.monotonic() > end:
                raise subprocess.TimeoutExpired("pid %d" % self.pid, timeout)
            time.sleep(0.05)
        return self.returncode


class Program:
    """One started program: its process, its inspection socket, its output."""

    def __init__(self, session, name, proc, socket_path, log_path):
        self.session, self.name, self.proc = session, name, proc
        self.socket_path, self.log_path = socket_path, log_path

    def running(self):
        return self.proc.poll() is None

    def snapshot(self):
        """The program's windows, as its inspection channel lists them."""
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            s.settimeout(5)
            s.connect(self.socket_path)
            s.sendall(b"windows\n")
            chunks = []
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    break
                chunks.append(chunk)
        return json.loads(b"".join(chunks).decode("utf-8", "replace"))["windows"]

    def windows(self, visible_only=True):
        try:
            return [w for w in self.snapshot() if w["visible"] or not visible_only]
        except (OSError, ValueError):
            check(self.running(), "%s ended (exit code %s); its output:\n%s" %
                  (self.name, self.proc.returncode, self.output()))
            raise

    def window(self, procedure=None, title=None, cls=None, timeout=DEFAULT_TIMEOUT, shot=True):
        """Waits for a visible window by procedure name, title (or title prefix) or Qt class."""
        def matches(w):
            return ((procedure is None or w["procedure"].lower() == procedure.lower()) and
                    (title is None or w["title"].startswith(title)) and
                    (cls is None or w["class"] == cls))

        def find():
            found = [w for w in self.windows() if matches(w)]
            # A window that has its size wins over a 1 x 1 one of the same name (a host the
            # runtime keeps while a modal window of that procedure runs).
            sized = [w for w in found if w["fw"] > 1 and w["fh"] > 1]
            return (sized or found)[-1] if found else None

        desc = " ".join(filter(None, [procedure and "procedure " + procedure,
                                      title and "title %r" % title, cls and "class " + cls]))
        try:
            w = wait_for(find, timeout, what="%s to show %s" % (self.name, desc))
        except Failure as e:
            raise Failure("%s; open: %s" % (e, self.describe()))
        # The window manager maps and places it a moment after Qt shows it: wait for that, and
        # until its place holds still, so that clicks land where the controls are.
        wait_for(lambda: self.session.is_viewable(w["winid"]), 5, what="window %s mapped" % desc)
        last = [None]
        seen = []

        def settled():
            now = find()
            key = now and (now["fx"], now["fy"], now["fw"], now["fh"], now["x"], now["y"])
            # A window the window manager has not sized yet reads 1 x 1 for a moment; Qt has
            # been seen to keep reading 1 x 1 for a modal window that X shows whole, so X's
            # size of it counts too.
            steady = key is not None and key == last[0] and (
                (now["fw"] > 1 and now["fh"] > 1) or min(self.session.x_size(now["winid"])) > 1)
            last[0] = key
            if not seen or seen[-1] != key:
                seen.append(key)
            return now if steady else None
        try:
            w = wait_for(settled, 15, interval=0.15, what="window %s to hold still" % desc)
        except Failure as e:
            raise Failure("%s; its places (frame x, y, w, h, client x, y): %s" % (e, seen[-8:]))
        if w["fw"] <= 1 or w["fh"] <= 1:
            w = self.session.with_x_geometry(w)
        if shot:
            self.session.shoot_window(w)
        return w

    def gone(self, procedure=None, title=None, timeout=DEFAULT_TIMEOUT):
        def none_left():
            return not [w for w in self.windows() if (procedure is None or w["procedure"].lower() == procedure.lower())
                        and (title is None or w["title"].startswith(title))]
        wait_for(none_left, timeout, what="%s to close %s" % (self.name, procedure or title))

    def describe(self):
        try:
            return ", ".join("%s %r" % (w["procedure"] or w["class"], w["title"]) for w in self.windows()) or "nothing"
        except (OSError, ValueError, Failure):
            return "(no answer)"

    def output(self):
        try:
            with open(self.log_path, encoding="utf-8", errors="replace") as f:
                return f.read()[-4000:]
        except OSError:
            return ""

    def stop(self, timeout=8):
        if self.running():
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def wait_exit(self, timeout=DEFAULT_TIMEOUT):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("%s did not end within %.0f s" % (self.name, timeout))


def control(window, name):
    """A control of an inspected window by its name ("?OK") or its text without "&"."""
    key = name.lower()
    for c in window["controls"]:
        if c.get("name", "").lower() == key:
            return c
    for c in window["controls"]:
        if c.get("text", "").replace("&", "").lower() == key:
            return c
    raise Failure("window %r has no control %r; it has %s" %
                  (window["title"], name, [c.get("name") or c.get("text") for c in window["controls"]]))


class Session:
    def __init__(self, name, build_dir, out_dir, screen="1280x1024x24"):
        self.name, self.build_dir, self.out_dir = name, os.path.abspath(build_dir), os.path.abspath(out_dir)
        self.bin_dir = os.path.join(self.build_dir, "bin")
        self.e2e_dir = os.path.join(self.build_dir, "e2e")
        shutil.rmtree(self.out_dir, ignore_errors=True)
        os.makedirs(self.out_dir)
        self.tmp = tempfile.mkdtemp(prefix="ov-e2e-")
        self.home = os.path.join(self.tmp, "home")
        self.data = os.path.join(self.tmp, "data")
        self.cwd = os.path.join(self.tmp, "cwd")
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": self.home,
            "XDG_RUNTIME_DIR": os.path.join(self.tmp, "run"),
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "LANG": os.environ.get("OV_E2E_LANG", "C.UTF-8"),
            "QT_QPA_PLATFORM": "xcb",
            "TZ": os.environ.get("TZ", "UTC"),
        }
        for d in (self.home, self.data, self.cwd, self.env["XDG_RUNTIME_DIR"], self.env["XDG_CONFIG_HOME"],
                  self.env["XDG_DATA_HOME"], self.env["XDG_CACHE_HOME"]):
            os.makedirs(d, exist_ok=True)
        os.chmod(self.env["XDG_RUNTIME_DIR"], 0o700)
        self.env["OV_INSPECT"] = os.path.join(self.env["XDG_RUNTIME_DIR"], "inspect")
        os.makedirs(self.env["OV_INSPECT"])
        self.helpers, self.programs, self.shots = [], [], 0
        self.screen = screen

    # -- the desktop --------------------------------------------------------------------------

    def __enter__(self):
        try:
            self._start_desktop()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, kind, value, tb):
        if kind is not None:
            self.on_failure(value)
        self.close()
        return False

    def _helper(self, argv, log, **kw):
        f = open(os.path.join(self.out_dir, log), "wb")
        p = subprocess.Popen(argv, stdout=f, stderr=subprocess.STDOUT, env=self.env, cwd=self.tmp,
                             start_new_session=True, **kw)
        f.close()
        self.helpers.append(p)
        return p

    def _start_desktop(self):
        r, w = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", self.screen, "-nolisten", "tcp",
                                 "-noreset"], pass_fds=(w,), stdout=subprocess.DEVNULL,
                                stderr=open(os.path.join(self.out_dir, "xvfb.log"), "wb"), start_new_session=True)
        os.close(w)
        self.helpers.append(xvfb)
        number = b""
        end = time.monotonic() + 20
        while not number.endswith(b"\n"):
            check(time.monotonic() < end and xvfb.poll() is None, "Xvfb did not start")
            chunk = os.read(r, 16)
            if not chunk:
                break
            number += chunk
        os.close(r)
        check(number.strip().isdigit(), "Xvfb gave no display number")
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self._helper(["openbox", "--sm-disable"], "openbox.log")
        wait_for(lambda: "window id" in self.x(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]), 10,
                 what="the window manager")
        self._helper(["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                      "--height", "32", "--SetDockType", "true", "--transparent", "false", "--tint", "0x808080",
                      "--expand", "true"], "trayer.log")
        wait_for(lambda: self.tray_window(), 10, what="the system-tray host")

    def x(self, argv, check_rc=False):
        p = subprocess.run(argv, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=20)
        if check_rc and p.returncode != 0:
            raise Failure("%s failed: %s" % (" ".join(argv), p.stderr.decode(errors="replace")))
        return p.stdout.decode(errors="replace")

    def tray_window(self):
        ids = self.x(["xdotool", "search", "--classname", "trayer"]).split()
        return ids[0] if ids else None

    def tray_icons(self):
        """The icons the tray host holds: [{"winid", "cls", "x", "y", "w", "h"}] in screen pixels."""
        panels = self.x(["xdotool", "search", "--name", "^panel$"]).split()
        icons = []
        for panel in panels:
            tree = self.x(["xwininfo", "-tree", "-id", panel])
            for m in re.finditer(r'^\s*(0x[0-9a-f]+) (?:"[^"]*"|\(has no name\)): \("([^"]*)" "([^"]*)"\)\s+'
                                 r'(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)', tree, re.M):
                winid, _, cls, w, h, x, y = m.groups()
                if cls.lower() == "trayer":
                    continue
                icons.append({"winid": winid, "cls": cls, "x": int(x), "y": int(y), "w": int(w), "h": int(h)})
        return icons

    def x_size(self, winid):
        """The width and height X gives the window, (0, 0) when it cannot be read."""
        try:
            info = self.x(["xwininfo", "-id", winid])
        except Exception:
            return (0, 0)
        found = dict(re.findall(r"^\s*(Width|Height):\s*(\d+)", info, re.M))
        return (int(found.get("Width", 0)), int(found.get("Height", 0)))

    def with_x_geometry(self, w):
        """The window with its place and size as X has them: for a window that X shows whole while
        the toolkit still reads it 1 x 1 (its controls' places are right all the same)."""
        try:
            info = self.x(["xwininfo", "-id", w["winid"]])
            extents = self.x(["xprop", "-id", w["winid"], "_NET_FRAME_EXTENTS"])
        except Exception:
            return w
        found = dict(re.findall(r"^\s*(Absolute upper-left X|Absolute upper-left Y|Width|Height):\s*(-?\d+)", info,
                                re.M))
        if len(found) < 4:
            return w
        x, y = int(found["Absolute upper-left X"]), int(found["Absolute upper-left Y"])
        wd, ht = int(found["Width"]), int(found["Height"])
        m = re.search(r"=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", extents)
        left, right, top, bottom = (int(v) for v in m.groups()) if m else (0, 0, 0, 0)
        w = dict(w)
        w.update({"vx": x, "vy": y, "vw": wd, "vh": ht, "fx": x - left, "fy": y - top, "fw": wd + left + right,
                  "fh": ht + top + bottom})
        return w

    def is_viewable(self, winid):
        if not winid:
            return False
        return "IsViewable" in self.x(["xwininfo", "-id", winid])

    def close(self):
        for p in reversed(self.programs):
            p.stop(timeout=5)
        for p in reversed(self.helpers):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                except OSError:
                    pass
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    os.killpg(p.pid, signal.SIGKILL)
                    p.wait()
        self.helpers = []
        for p in self.programs:
            if not os.path.isfile(p.log_path):  # a companion's output is its parent's
                continue
            try:
                shutil.copy(p.log_path, self.out_dir)
            except OSError:
                pass
        shutil.rmtree(self.tmp, ignore_errors=True)

    def on_failure(self, error):
        try:
            self.shoot("failure-screen")
        except Exception:  # the display itself may be what failed
            pass
        for p in self.programs:
            sys.stderr.write("--- %s (%s): windows: %s\n" % (p.name, "running" if p.running() else
                                                            "ended %s" % p.proc.returncode, p.describe()))
            sys.stderr.write(p.output() + "\n")

    # -- programs -------------------------------------------------------------------------------

    def start(self, program, *args, cwd=None, env=None, wait=True):
        """Starts a built program as a user would, with its inspection channel on; with wait, returns
        once the channel answers (or the program has ended)."""
        n = len(self.programs)
        log = os.path.join(self.tmp, "%s-%d.log" % (program, n))
        e = dict(self.env)
        e.update(env or {})
        f = open(log, "wb")
        proc = subprocess.Popen([os.path.join(self.bin_dir, program)] + list(args), cwd=cwd or self.cwd, env=e,
                                stdout=f, stderr=subprocess.STDOUT)
        f.close()
        p = Program(self, program, proc, self.socket_of(program, proc.pid), log)
        self.programs.append(p)
        if wait:
            wait_for(lambda: os.path.exists(p.socket_path) or not p.running(), 20, what=program + " to start")
        return p

    def socket_of(self, program, pid):
        return os.path.join(self.env["OV_INSPECT"], "%s-%d.sock" % (program, pid))

    def attach(self, program, timeout=DEFAULT_TIMEOUT):
        """A program that another one started (a companion from a menu): waits for its channel."""
        known = {p.socket_path for p in self.programs}

        def find():
            for name in os.listdir(self.env["OV_INSPECT"]):
                path = os.path.join(self.env["OV_INSPECT"], name)
                if name.startswith(program + "-") and name.endswith(".sock") and path not in known:
                    return path
            return None
        path = wait_for(find, timeout, what=program + " to start")
        pid = int(path[:-5].rsplit("-", 1)[1])
        p = Program(self, program, _Foreign(pid), path, "/dev/null")
        self.programs.append(p)
        return p

    def records(self, label, folder=None):
        """The records of a data file, read by a separate process through the table layer."""
        p = subprocess.run([os.path.join(self.e2e_dir, "e2e_records"), folder or self.data, label], env=self.env,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        check(p.returncode == 0, "e2e_records %s: %s" % (label, p.stderr.decode(errors="replace")))
        return [json.loads(line) for line in p.stdout.decode("utf-8", "replace").splitlines() if line.strip()]

    # -- pictures ------------------------------------------------------------------------------

    def shoot(self, name, winid=None, rect=None):
        self.shots += 1
        path = os.path.join(self.out_dir, "%02d-%s.png" % (self.shots, name.replace("/", "_").replace(" ", "_")))
        argv = [os.path.join(self.e2e_dir, "e2e_shot"), path]
        if winid or rect:
            argv.append(str(winid or 0))
        if rect:
            argv += [str(v) for v in rect]
        self.x(argv, check_rc=True)
        return path

    def shoot_window(self, w):
        # The frame too: a window is shot as the user sees it, from the root window.
        x, y, wd, ht = w["fx"], w["fy"], w["fw"], w["fh"]
        sw, sh = (int(v) for v in self.screen.split("x")[:2])
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(sw, x + wd), min(sh, y + ht)
        if x1 <= x0 or y1 <= y0:
            return None
        return self.shoot(w["procedure"] or w["title"] or w["class"], 0, (x0, y0, x1 - x0, y1 - y0))

    # -- input ---------------------------------------------------------------------------------

    def activate(self, w):
        self.x(["xdotool", "windowactivate", "--sync", w["winid"]])

    def key(self, *keys, window=None):
        """Presses keys ("Return", "alt+f", "Escape") on the focused window or on `window`."""
        if window is not None:
            self.activate(window)
        self.x(["xdotool", "key", "--clearmodifiers", "--delay", "60"] + list(keys), check_rc=True)

    def type(self, text, window=None):
        if window is not None:
            self.activate(window)
        self.x(["xdotool", "type", "--clearmodifiers", "--delay", "20", text], check_rc=True)

    def move_argv(self, x, y):
        """xdotool's words that move the pointer to x, y and wait until it is there. Where it is
        there already, no waiting: xdotool would wait for a motion that never comes."""
        at = (int(x), int(y))
        sync = [] if getattr(self, "_pointer", None) == at else ["--sync"]
        self._pointer = at
        return ["xdotool", "mousemove"] + sync + [str(at[0]), str(at[1])]

    def click(self, x, y, button=1, double=False):
        # One xdotool run: each costs a process start, and "click" pauses after the button
        # even for a single click.
        argv = self.move_argv(x, y)
        if double:
            argv += ["click", "--repeat", "2", "--delay", "80", str(button)]
        else:
            argv += ["mousedown", str(button), "mouseup", str(button)]
        self.x(argv, check_rc=True)

    def drag(self, x0, y0, x1, y1):
        self.x(self.move_argv(x0, y0) + ["mousedown", "1"], check_rc=True)
        for i in range(1, 6):  # in steps, as a hand moves
            self.x(self.move_argv(x0 + (x1 - x0) * i // 5, y0 + (y1 - y0) * i // 5))
        self.x(["xdotool", "mouseup", "1"], check_rc=True)

    def drag_window(self, w, dx, dy):
        """Drags a window by its title bar (an MDI child's too) by dx, dy pixels."""
        x = max(w["vx"], w["fx"]) + 40
        y = max(w["vy"], w["fy"]) + (w["y"] - w["fy"]) // 2
        self.drag(x, y, x + dx, y + dy)

    def click_control(self, window, name, button=1, double=False):
        c = control(window, name)
        check(c["visible"], "control %r of %r is not visible" % (name, window["title"]))
        check(c["enabled"], "control %r of %r is disabled" % (name, window["title"]))
        x, y = c["x"] + c["w"] // 2, c["y"] + c["h"] // 2
        if "checked" in c:  # a check box or radio takes clicks on its box and text only
            x = c["x"] + min(8, c["w"] // 2)
        check(window["vx"] <= x < window["vx"] + window["vw"] and window["vy"] <= y < window["vy"] + window["vh"],
              "control %r of %r lies where the window cannot be seen (%d,%d outside %s)" %
              (name, window["title"], x, y, (window["vx"], window["vy"], window["vw"], window["vh"])))
        if not window["active"]:
            # Brought to the front first, as a user does with a window that another one covers.
            self.activate(window)
        self.click(x, y, button, double)

    def type_into(self, window, name, text, replace=True):
        """Clicks into an entry and types, replacing what it held."""
        self.click_control(window, name)
        if replace:
            self.key("ctrl+a")
        self.type(text)

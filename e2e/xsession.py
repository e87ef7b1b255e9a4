"""A private X display with a window manager, for driving the game as a player would.

Each Session starts Xvfb (it picks a free display itself), openbox on it, and the
programs a test asks for; it ends every one of them by PID, even when the test fails.
Keys go through XTEST (xdotool); pixels are read back with python-xlib.
"""

import ctypes
import os
import select
import signal
import struct
import subprocess
import tempfile
import time
import zlib

from Xlib import X, display as xdisplay
from Xlib.protocol import event
from Xlib.error import XError

SCREEN = (1024, 768)


class Timeout(Exception):
    pass


def poll(condition, deadline, step=0.005):
    """Calls condition() until it returns something true; raises Timeout after deadline s."""
    end = time.monotonic() + deadline
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > end:
            raise Timeout()
        time.sleep(step)


def _die_with_parent():
    # If the harness is killed (a CTest timeout), its X server and clients go too.
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    os.setpgrp()


class Picture:
    """A screen rectangle as 24-bit pixels; (x, y) are relative to its top-left."""

    def __init__(self, width, height, bgrx):
        self.width, self.height, self.bgrx = width, height, bytes(bgrx)
        self._lit = None

    def lit(self):
        """The set of pixels that are not black (any channel above 64)."""
        if self._lit is None:
            marks = bytearray(self.bgrx.translate(bytes(0 if v <= 64 else 1 for v in range(256))))
            marks[3::4] = bytes(len(marks) // 4)  # the pad byte says nothing
            found, w, at = set(), self.width, marks.find(1)
            while at >= 0:
                found.add(((at >> 2) % w, (at >> 2) // w))
                at = marks.find(1, (at | 3) + 1)
            self._lit = found
        return self._lit

    def save_png(self, path):
        rgb = bytearray(self.width * self.height * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = self.bgrx[2::4], self.bgrx[1::4], self.bgrx[0::4]
        stride = self.width * 3
        raw = b"".join(b"\0" + rgb[y * stride:(y + 1) * stride] for y in range(self.height))

        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data
                    + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        with open(path, "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n"
                      + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0))
                      + chunk(b"IDAT", zlib.compress(bytes(raw), 6)) + chunk(b"IEND", b""))


class Session:
    def __init__(self):
        self.procs = []
        self.tmp = tempfile.TemporaryDirectory(prefix="quillfane-e2e-")
        try:
            self._start()
        except BaseException:
            self.close()
            raise

    def _start(self):
        read_end, write_end = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                    "%dx%dx24" % SCREEN, "-nolisten", "tcp", "-noreset"],
                   pass_fds=(write_end,), env=os.environ)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            if not select.select([read_end], [], [], 10)[0]:
                raise RuntimeError("Xvfb did not report a display number")
            more = os.read(read_end, 16)
            if not more:
                raise RuntimeError("Xvfb ended before it reported a display number")
            number += more
        os.close(read_end)
        self.name = ":" + number.decode().strip()
        # The user's own openbox settings must not change what the tests see.
        self.env = {k: v for k, v in os.environ.items() if k not in ("WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
        self.env.update(DISPLAY=self.name, XDG_CONFIG_HOME=self.tmp.name, XDG_CACHE_HOME=self.tmp.name)
        self.d = xdisplay.Display(self.name)
        self.root = self.d.screen().root
        if self.d.screen().root_depth != 24 or self.d.display.info.image_byte_order != X.LSBFirst:
            raise RuntimeError("pictures are read as 24-bit little-endian pixels")
        self.spawn(["openbox", "--sm-disable"])
        # The work area comes last in openbox's start-up: only then is it sure to take new windows.
        poll(lambda: self.prop(self.root, "_NET_WORKAREA") is not None, 10)

    # -- processes -------------------------------------------------------------------
    def spawn(self, argv, pass_fds=(), env=None):
        # Output goes to files, never to a pipe that a chatty program could fill and block on.
        log = open(os.path.join(self.tmp.name, "%d-%s.log" % (len(self.procs), os.path.basename(argv[0]))), "wb")
        with log:
            proc = subprocess.Popen(argv, env=env or self.env, pass_fds=pass_fds, stdin=subprocess.DEVNULL,
                                    stdout=log, stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
        proc.log = log.name
        self.procs.append(proc)
        return proc

    def close(self):
        """Ends everything this session started, newest first; returns their output."""
        if hasattr(self, "d"):
            self.d.close()
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(3)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        logs = []
        for proc in self.procs:
            with open(proc.log, errors="replace") as log:
                text = log.read()[-4000:].strip()
            logs.append("-- %s (pid %d, status %s):\n%s" % (" ".join(proc.args), proc.pid, proc.returncode, text))
        self.tmp.cleanup()
        return logs

    # -- windows ---------------------------------------------------------------------
    def atom(self, name):
        return self.d.intern_atom(name)

    def prop(self, window, name):
        try:
            got = window.get_full_property(self.atom(name), X.AnyPropertyType)
        except XError:
            return None
        return got.value if got else None

    def clients(self):
        return [self.d.create_resource_object("window", w)
                for w in self.prop(self.root, "_NET_CLIENT_LIST") or []]

    def window_of(self, pid=None, title=None, deadline=5):
        """The managed top-level window of that process (or with that title), once the
        window manager has framed it."""
        def find():
            for w in self.clients():
                if self.prop(w, "_NET_FRAME_EXTENTS") is None:
                    continue
                pids = self.prop(w, "_NET_WM_PID")
                if (pid is None or (pids is not None and pids[0] == pid)) and \
                        (title is None or self.title(w) == title):
                    return w
        return poll(find, deadline)

    def title(self, window):
        name = self.prop(window, "_NET_WM_NAME")
        return name.decode() if isinstance(name, bytes) else window.get_wm_name()

    def frame_extents(self, window):
        left, right, top, bottom = self.prop(window, "_NET_FRAME_EXTENTS")
        return left, right, top, bottom

    def client_rect(self, window):
        """(x, y, width, height) of the client area on the screen."""
        geometry = window.get_geometry()
        origin = window.translate_coords(self.root, 0, 0)
        return -origin.x, -origin.y, geometry.width, geometry.height

    def active(self):
        got = self.prop(self.root, "_NET_ACTIVE_WINDOW")
        return got[0] if got is not None and len(got) else 0

    def wm_state(self, window):
        """1 normal, 3 iconic (ICCCM WM_STATE), None when unmanaged."""
        got = self.prop(window, "WM_STATE")
        return got[0] if got is not None else None

    def ping(self, window, deadline):
        """Sends the window manager's ping to the window and waits for its answer: only
        a program whose event loop runs can answer."""
        protocols, ping = self.atom("WM_PROTOCOLS"), self.atom("_NET_WM_PING")
        stamp = int.from_bytes(os.urandom(3), "little") + 1
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)  # where pongs go
        window.send_event(event.ClientMessage(window=window, client_type=protocols,
                                              data=(32, [ping, stamp, window.id, 0, 0])))
        self.d.flush()

        def pong():
            while self.d.pending_events():
                got = self.d.next_event()
                if got.type == X.ClientMessage and list(got.data[1][:2]) == [ping, stamp]:
                    return True
            return False
        try:
            return poll(pong, deadline)
        except Timeout:
            return False
        finally:
            self.root.change_attributes(event_mask=0)

    def capture(self, x, y, width, height):
        """What the screen shows in that rectangle (clipped to the screen)."""
        x0, y0 = max(x, 0), max(y, 0)
        x1, y1 = min(x + width, SCREEN[0]), min(y + height, SCREEN[1])
        image = self.root.get_image(x0, y0, x1 - x0, y1 - y0, X.ZPixmap, 0xFFFFFFFF)
        return Picture(x1 - x0, y1 - y0, image.data)

    def capture_screen(self):
        return self.capture(0, 0, *SCREEN)

    # -- input, through XTEST and the window manager --------------------------------------
    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, timeout=10)

    def key_down(self, *keys):
        # One call for several keys, so that the game sees them in the same frame.
        self.xdotool("keydown", "--delay", 0, *keys)

    def key_up(self, *keys):
        self.xdotool("keyup", "--delay", 0, *keys)

    def activate(self, window):
        """Asks the window manager to activate (and raise, and restore) the window."""
        self.xdotool("windowactivate", window.id)
        poll(lambda: self.active() == window.id, 5)

    def close_button(self, window):
        """Screen position of the close button in the window manager's title bar: the
        rightmost button-sized window in the frame's top strip."""
        frame = window
        while frame.query_tree().parent.id != self.root.id:
            frame = frame.query_tree().parent
        fx, fy, _, _ = self.client_rect(frame)
        top = self.frame_extents(window)[2]
        best = None

        def walk(w, ox, oy):
            nonlocal best
            for child in w.query_tree().children:
                g = child.get_geometry()
                if child.get_attributes().map_state != X.IsViewable:
                    continue
                x, y = ox + g.x, oy + g.y
                if 8 <= g.width <= top and 8 <= g.height <= top and y - fy < top and child.id != window.id:
                    if best is None or x > best[0]:
                        best = (x + g.width // 2, y + g.height // 2)
                walk(child, x, y)
        walk(frame, fx, fy)
        return best

"""A private X display with a window manager: programs started and ended by PID, keys
pressed through XTEST (xdotool), pixels read back (python3-xlib)."""

import ctypes
import os
import re
import select
import signal
import struct
import subprocess
import tempfile
import time
import zlib

from Xlib import X, display
from Xlib.error import XError
from Xlib.protocol import event

SCREEN = (1024, 768)
LIT = bytes(int(v > 64) for v in range(256))  # a channel above 64 counts as lit


class Failed(Exception):
    def __init__(self, expected, saw):
        super().__init__("expected %s; saw %s" % (expected, saw))


def poll(check, deadline):
    """check()'s first true result within deadline seconds, else None."""
    end = time.monotonic() + deadline
    while not (got := check()) and time.monotonic() < end:
        time.sleep(0.005)
    return got or None


def _die_with_parent():
    # A harness killed by a CTest timeout takes its X server and clients with it.
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    os.setpgrp()


class Picture:
    """24-bit pixels of a screen rectangle; lit holds the (x, y) of every pixel not black."""

    def __init__(self, width, height, bgrx):
        self.width, self.height, self.bgrx = width, height, bytes(bgrx)
        marks = re.finditer(b"\1", self.bgrx.translate(LIT))
        self.lit = {(i % width, i // width) for i in {m.start() >> 2 for m in marks if m.start() & 3 != 3}}

    def save_png(self, path):
        rgb, stride = bytearray(self.width * self.height * 3), self.width * 3
        rgb[0::3], rgb[1::3], rgb[2::3] = self.bgrx[2::4], self.bgrx[1::4], self.bgrx[0::4]
        raw = b"".join(b"\0" + rgb[y * stride:(y + 1) * stride] for y in range(self.height))

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        with open(path, "wb") as out:
            header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)  # 8-bit RGB
            out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                      + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


class Session:
    """Xvfb on a display it picks itself, and openbox; close() ends all it started."""

    def __init__(self):
        self.procs, self.last, self.tmp = [], None, tempfile.TemporaryDirectory(prefix="quillfane-e2e-")
        # Output goes to a file: a pipe that nobody reads could fill and block a program.
        self.log = open(os.path.join(self.tmp.name, "log"), "w+b")
        try:
            read_end, write_end = os.pipe()
            self.spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % SCREEN,
                        "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,), env=os.environ)
            os.close(write_end)
            # Xvfb writes the number and the newline apart, and dies if the pipe closes between.
            number = b""
            while not number.endswith(b"\n") and select.select([read_end], [], [], 10)[0]:
                number += os.read(read_end, 16) or b"?\n"  # end of file: Xvfb has ended
            os.close(read_end)
            number = number.decode().strip()
            if not number.isdigit():
                raise RuntimeError("Xvfb reported no display number: %r" % number)
            # The user's own settings must not change what the tests see.
            self.env = {k: v for k, v in os.environ.items() if k not in ("WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
            self.env.update(DISPLAY=":" + number, XDG_CONFIG_HOME=self.tmp.name, XDG_CACHE_HOME=self.tmp.name)
            self.d = display.Display(self.env["DISPLAY"])
            self.root = self.d.screen().root
            self.spawn(["openbox", "--sm-disable"])
            # The work area comes last in openbox's start-up: only then does it take new windows.
            if not poll(lambda: self.prop(self.root, "_NET_WORKAREA"), 10):
                raise RuntimeError("openbox did not start")
        except BaseException:
            self.close()
            raise

    def spawn(self, argv, pass_fds=(), env=None):
        self.procs.append(subprocess.Popen(argv, env=env or self.env, pass_fds=pass_fds, stdin=subprocess.DEVNULL,
                                           stdout=self.log, stderr=subprocess.STDOUT, preexec_fn=_die_with_parent))
        return self.procs[-1]

    def close(self):
        """Ends every process started here, newest first; returns their output."""
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
        self.log.seek(0)
        logs = ["-- %s (pid %d): status %s" % (" ".join(p.args), p.pid, p.returncode) for p in self.procs]
        logs.append(self.log.read()[-8000:].decode(errors="replace").strip())
        self.log.close()
        self.tmp.cleanup()
        return logs

    def prop(self, window, name):
        try:
            got = window.get_full_property(self.d.intern_atom(name), X.AnyPropertyType)
        except XError:
            return None
        return list(got.value) if got and got.format == 32 else got and got.value

    def window_of(self, wanted):
        """The first top-level window the window manager has framed for which wanted(w) holds."""
        def find():
            for w in self.prop(self.root, "_NET_CLIENT_LIST") or []:
                w = self.d.create_resource_object("window", w)
                if self.prop(w, "_NET_FRAME_EXTENTS") and wanted(w):
                    return w
        return poll(find, 5)

    def rect(self, window):
        g, origin = window.get_geometry(), window.translate_coords(self.root, 0, 0)
        return -origin.x, -origin.y, g.width, g.height

    def capture(self, x, y, width, height):
        x0, y0, x1, y1 = max(x, 0), max(y, 0), min(x + width, SCREEN[0]), min(y + height, SCREEN[1])
        self.last = Picture(x1 - x0, y1 - y0, self.root.get_image(x0, y0, x1 - x0, y1 - y0, X.ZPixmap, 0xFFFFFFFF).data)
        return self.last

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True, stdout=subprocess.DEVNULL, timeout=10)

    def keys(self, action, *keys):
        # All in one call, so that the game sees them in the same frame.
        self.xdotool(action, "--delay", 0, *keys)

    def activate(self, window):
        self.xdotool("windowactivate", window.id)
        if not poll(lambda: self.prop(self.root, "_NET_ACTIVE_WINDOW") == [window.id], 5):
            raise Failed("window 0x%x made active" % window.id, self.prop(self.root, "_NET_ACTIVE_WINDOW"))

    def ping(self, window, deadline=3):
        """True when the window's event loop answers the window manager's ping."""
        ping, stamp = self.d.intern_atom("_NET_WM_PING"), int.from_bytes(os.urandom(3), "little") + 1
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)  # where the answer goes
        window.send_event(event.ClientMessage(window=window, client_type=self.d.intern_atom("WM_PROTOCOLS"),
                                              data=(32, [ping, stamp, window.id, 0, 0])))
        self.d.flush()
        got = poll(lambda: any(e.type == X.ClientMessage and list(e.data[1][:2]) == [ping, stamp]
                               for e in [self.d.next_event() for _ in range(self.d.pending_events())]), deadline)
        self.root.change_attributes(event_mask=0)
        return bool(got)

    def close_button(self, window):
        """Centre of the rightmost button-sized window in the title bar of the window's frame."""
        top = self.prop(window, "_NET_FRAME_EXTENTS")[2]
        while window.query_tree().parent.id != self.root.id:
            window = window.query_tree().parent
        frame_y = self.rect(window)[1]

        def below(w):
            for child in w.query_tree().children:
                if child.get_attributes().map_state == X.IsViewable:
                    yield self.rect(child)
                    yield from below(child)
        buttons = [(x + w // 2, y + h // 2) for x, y, w, h in below(window)
                   if 8 <= w <= top and 8 <= h <= top and y - frame_y < top]
        return max(buttons, default=None)

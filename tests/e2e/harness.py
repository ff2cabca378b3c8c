"""A virtual X display for whole-program checks.

XSession starts Xvfb on a display number the server picks itself
(-displayfd, so parallel checks never race for one), optionally a
compositor, and the programs under test. Every process it starts runs in its
own process group and is told to die with the driver (PR_SET_PDEATHSIG), so
nothing is left behind even when the driver is killed outright; close()
stops them all by process id, and runs from `with`, atexit and SIGTERM.
"""

import atexit
import ctypes
import os
import queue
import re
import signal
import subprocess
import threading
import time

_PR_SET_PDEATHSIG = 1
_libc = ctypes.CDLL(None, use_errno=True)


def _die_with_parent():
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)
    os.setpgid(0, 0)


class CheckFailed(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise CheckFailed(message)


def process_alive(pid):
    """True while the process exists and is not a zombie."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (FileNotFoundError, ProcessLookupError, IndexError):
        return False


class Program:
    """A process whose stdout lines are collected by a reader thread."""

    def __init__(self, args, env, stdin=True, pass_fds=()):
        self.args = args
        self.proc = subprocess.Popen(
            args, env=env, stdin=subprocess.PIPE if stdin else subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
            preexec_fn=_die_with_parent, pass_fds=pass_fds)
        self.pid = self.proc.pid
        self.lines = queue.Queue()
        self.seen = []
        self.stderr = []
        threading.Thread(target=self._pump, args=(self.proc.stdout, self.lines), daemon=True).start()
        err = queue.Queue()
        threading.Thread(target=self._pump, args=(self.proc.stderr, err), daemon=True).start()
        self._err = err

    @staticmethod
    def _pump(stream, sink):
        for line in stream:
            sink.put(line.rstrip("\n"))
        sink.put(None)

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def expect_line(self, prefix, timeout=10):
        """The next line starting with `prefix`; earlier lines are kept in seen."""
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            try:
                line = self.lines.get(timeout=max(left, 0.01))
            except queue.Empty:
                line = ""
            if line is None or left <= 0:
                raise CheckFailed(f"{self.args[0]}: no line '{prefix}' (saw {self.seen}, stderr {self.errors()})")
            if line == "":
                continue
            self.seen.append(line)
            if line.startswith(prefix):
                return line[len(prefix):].strip()

    def lines_until(self, stop, timeout=10):
        """Lines up to (not including) the line equal to `stop`."""
        start = len(self.seen)
        self.expect_line(stop, timeout)
        return self.seen[start:-1]

    def errors(self):
        out = []
        while True:
            try:
                line = self._err.get_nowait()
            except queue.Empty:
                return self.stderr + out
            if line is None:
                return self.stderr + out
            out.append(line)

    def stop(self, grace=3):
        if self.proc.poll() is None:
            try:
                os.killpg(self.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                self.proc.wait(grace)
            except subprocess.TimeoutExpired:
                try:
                    os.killpg(self.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                self.proc.wait()
        for stream in (self.proc.stdin, self.proc.stdout, self.proc.stderr):
            if stream:
                try:
                    stream.close()
                except OSError:
                    pass


_live_sessions = []


def _close_all(*_):
    for s in list(_live_sessions):
        s.close()


atexit.register(_close_all)


def _on_term(signum, _frame):
    _close_all()
    os._exit(128 + signum)


signal.signal(signal.SIGTERM, _on_term)


class XSession:
    def __init__(self, width=640, height=480, compositor=False):
        self.programs = []
        self.display = None
        _live_sessions.append(self)
        try:
            self._start_server(width, height)
            if compositor:
                self.compositor = self.start(["xcompmgr"], stdin=False)
                self._wait_for_compositor()
        except BaseException:
            self.close()
            raise

    def _start_server(self, width, height):
        read_end, write_end = os.pipe()
        try:
            server = Program(["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
                              "-nolisten", "tcp", "-br", "-noreset"], dict(os.environ), stdin=False,
                             pass_fds=(write_end,))
        except BaseException:
            os.close(read_end)
            os.close(write_end)
            raise
        self.server = server
        self.programs.append(server)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            number = f.readline().strip()  # written once the server accepts clients
        expect(number.isdigit(), f"Xvfb did not start: {server.errors()}")
        self.display = ":" + number
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("XAUTHORITY", None)

    def _wait_for_compositor(self, timeout=10):
        # A compositor owns the _NET_WM_CM_S0 selection while it runs.
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.compositor.proc.poll() is not None:
                raise CheckFailed(f"xcompmgr ended: {self.compositor.errors()}")
            if self._selection_owned("_NET_WM_CM_S0"):
                return
            time.sleep(0.05)
        raise CheckFailed("the compositor never took _NET_WM_CM_S0")

    def _selection_owned(self, name):
        x11 = ctypes.CDLL("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XGetSelectionOwner.restype = ctypes.c_ulong
        x11.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        dpy = x11.XOpenDisplay(self.display.encode())
        expect(dpy, f"cannot open {self.display}")
        try:
            return x11.XGetSelectionOwner(dpy, x11.XInternAtom(dpy, name.encode(), 0)) != 0
        finally:
            x11.XCloseDisplay(dpy)

    # Processes.

    def start(self, args, stdin=True, env=None):
        """Starts a program on this display; it is stopped by close()."""
        p = Program(args, env or self.env, stdin=stdin)
        self.programs.append(p)
        return p

    def tool(self, args, input=None, check=True, timeout=20):
        """Runs a short X tool to its end and answers its stdout."""
        r = subprocess.run(args, env=self.env, input=input, capture_output=True, text=True, timeout=timeout,
                           preexec_fn=_die_with_parent)
        if check and r.returncode != 0:
            raise CheckFailed(f"{' '.join(args)} failed ({r.returncode}): {r.stderr.strip()}")
        return r.stdout

    def pids(self):
        return [p.pid for p in self.programs]

    def close(self):
        # Clients first, the server last, so no client sees the server go.
        for p in reversed(self.programs):
            p.stop()
        self.programs = []
        if self in _live_sessions:
            _live_sessions.remove(self)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # Inspection.

    def find_window(self, title, timeout=10):
        """The id of the mapped window with exactly this title."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            out = self.tool(["xdotool", "search", "--onlyvisible", "--name", f"^{re.escape(title)}$"], check=False)
            ids = out.split()
            if ids:
                return int(ids[0])
            time.sleep(0.05)
        raise CheckFailed(f"no window titled {title!r}: {self.tool(['xwininfo', '-root', '-tree'], check=False)}")

    def wait_viewable(self, wid, timeout=10):
        """Waits until the window is mapped and viewable; answers its id."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if "IsViewable" in self.tool(["xwininfo", "-id", str(wid)], check=False):
                return wid
            time.sleep(0.05)
        raise CheckFailed(f"window {wid:#x} never became viewable")

    def geometry(self, wid):
        """(x, y, width, height) of the window on the root, from xwininfo."""
        out = self.tool(["xwininfo", "-id", str(wid)])
        field = lambda name: int(re.search(rf"{name}:\s+(-?\d+)", out).group(1))
        return (field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"))

    def shape_extents(self, wid):
        """The bounding shape's extents (x, y, width, height) relative to the window, None when unshaped."""
        out = self.tool(["xwininfo", "-shape", "-id", str(wid)])
        if "No window shape defined" in out:
            return None
        m = re.search(r"Window shape extents:\s+(\d+)x(\d+)([+-]\d+)([+-]\d+)", out)
        expect(m, f"xwininfo -shape printed no window shape: {out}")
        return (int(m.group(3)), int(m.group(4)), int(m.group(1)), int(m.group(2)))

    def stacking(self):
        """Ids of the root's children, bottom to top."""
        out = self.tool(["xwininfo", "-root", "-children"])
        return [int(m, 16) for m in re.findall(r"^\s+(0x[0-9a-f]+)", out, re.M)][::-1]

    def prop(self, wid, name):
        return self.tool(["xprop", "-id", str(wid), name]).strip()

    def screenshot(self, png=None, window="root"):
        """The screen (or one window) as rows of (r, g, b); also saved as PNG when asked."""
        data = subprocess.run(["import", "-window", str(window), "-depth", "8", "ppm:-"], env=self.env,
                              capture_output=True, timeout=20, preexec_fn=_die_with_parent)
        expect(data.returncode == 0, f"import failed: {data.stderr.decode(errors='replace')}")
        if png:
            subprocess.run(["convert", "ppm:-", png], input=data.stdout, check=True, timeout=20)
        return parse_ppm(data.stdout)

    # Input and the clipboard.

    def xdotool(self, *args):
        return self.tool(["xdotool", *map(str, args)])

    def set_clipboard(self, data, target="UTF8_STRING"):
        """xclip keeps serving the selection until another client takes it."""
        p = self.start(["xclip", "-quiet", "-selection", "clipboard", "-target", target, "-i"])
        p.proc.stdin.write(data)
        p.proc.stdin.close()
        p.proc.stdin = None
        # xclip takes the selection some time after it starts; reading it
        # back is the sign that it owns it.
        deadline = time.monotonic() + 10
        while self.get_clipboard(target).splitlines() != data.splitlines():
            expect(time.monotonic() < deadline and p.proc.poll() is None, "xclip never took the clipboard")
            time.sleep(0.02)
        return p

    def get_clipboard(self, target="UTF8_STRING"):
        return self.tool(["xclip", "-selection", "clipboard", "-target", target, "-o"], check=False, timeout=10)


def parse_ppm(data):
    """Rows of (r, g, b) tuples from a binary 8-bit PPM."""
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    expect(fields[0] == b"P6" and fields[3] == b"255", f"not an 8-bit PPM: {fields}")
    w, h = int(fields[1]), int(fields[2])
    px = data[pos:pos + w * h * 3]
    return [[tuple(px[(y * w + x) * 3:(y * w + x) * 3 + 3]) for x in range(w)] for y in range(h)]


def read_png(path):
    data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True, check=True, timeout=20)
    return parse_ppm(data.stdout)


def finish(app):
    """A clean end: the program leaves the display and exits with status 0
    (sanitizer builds fail here on leaks and errors at exit)."""
    app.send("quit")
    app.expect_line("BYE")
    status = app.proc.wait(20)
    expect(status == 0, f"{os.path.basename(app.args[0])} exited with {status}: {app.errors()[-5:]}")


SKIP = 77


def missing_tools(tools):
    """None when every one of `tools` is installed, else the exit status of a
    check that cannot run: a skip, but a failure under CI=true, where the
    install step (tools/install-deps.sh) guarantees every tool, so a missing
    one is a broken install rather than a reason to pass quietly."""
    import shutil
    import sys
    missing = [t for t in tools if not shutil.which(t)]
    if not missing:
        return None
    if os.environ.get("CI") == "true":
        print(f"FAILED: {', '.join(missing)} not installed, yet CI=true promises every tool", file=sys.stderr)
        return 1
    print(f"skipped: {', '.join(missing)} not installed", file=sys.stderr)
    return SKIP


def run_check(namespace, name, tools):
    """Runs check_<name> of a family script: 0 passes, 1 fails, 77 skips when
    one of `tools` is not installed (see missing_tools)."""
    import sys
    status = missing_tools(tools)
    if status is not None:
        return status
    check = namespace.get("check_" + name)
    if not check:
        print(f"no check {name}", file=sys.stderr)
        return 2
    try:
        check()
    except CheckFailed as e:
        print(f"FAILED {name}: {e}", file=sys.stderr)
        return 1
    print(f"passed {name}")
    return 0

#!/usr/bin/python3
"""Whole-program checks: checks.py <check> <path of e2e_app>.

Exit status 0 passes, 1 fails, 77 skips (a tool the check needs is not
installed; tools/install-deps.sh installs them all, so under CI=true a missing
tool fails).
"""

import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import CheckFailed, Program, XSession, expect, finish, process_alive, read_png, run_check  # noqa: E402

TOOLS = ["Xvfb", "xdotool", "xwininfo", "xprop", "xcompmgr", "xclip", "import", "convert"]

APP = None


def headless_env():
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def wait_gone(pids, timeout=10):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        alive = [p for p in pids if process_alive(p)]
        if not alive:
            return
        time.sleep(0.05)
    raise CheckFailed(f"processes left behind: {alive}")


# The harness itself.

def check_harness():
    # A session with a compositor and a clipboard owner serves the
    # clipboard, takes screenshots of a plain root of the asked size and
    # stops every process it started.
    with XSession(320, 200, compositor=True) as x:
        pids = x.pids()
        x.set_clipboard("grün & blue")
        expect(x.get_clipboard() == "grün & blue", "xclip did not round-trip through the session")
        rows = x.screenshot()
        expect(len(rows) == 200 and len(rows[0]) == 320, "screenshot has the wrong size")
        expect(len({px for row in rows for px in row}) == 1, f"the root is not plain: {rows[0][0]} {rows[-1][-1]}")
        pids = x.pids()
        expect(len(pids) == 3, f"expected server, compositor and xclip, have {pids}")
        socket = f"/tmp/.X11-unix/X{x.display[1:]}"
        ours = os.stat(socket)
    wait_gone(pids)
    # Another session may reuse the number at once, so look for our socket.
    try:
        after = os.stat(socket)
        expect((after.st_ino, after.st_ctime_ns) != (ours.st_ino, ours.st_ctime_ns), "the server left its socket")
    except FileNotFoundError:
        pass

    # A driver killed outright (as a timeout does) takes its processes along.
    child = Program([sys.executable, os.path.abspath(__file__), "_abandoned", APP], headless_env())
    pids = [int(p) for p in child.expect_line("PIDS").split()]
    expect(len(pids) == 3 and all(process_alive(p) for p in pids), f"the abandoned session did not start: {pids}")
    os.kill(child.pid, signal.SIGKILL)
    child.stop()
    wait_gone(pids)

    # A check that fails part way still stops what it started.
    child = subprocess.run([sys.executable, os.path.abspath(__file__), "_failing", APP], env=headless_env(),
                           capture_output=True, text=True, timeout=30)
    expect(child.returncode == 1, f"a failing check answered {child.returncode}: {child.stderr}")
    line = [ln for ln in child.stdout.splitlines() if ln.startswith("PIDS")]
    expect(line, f"the failing check printed no PIDS: {child.stdout}")
    wait_gone([int(p) for p in line[0].split()[1:]], timeout=2)


def check__abandoned():
    x = XSession(compositor=True)
    x.set_clipboard("held")
    print("PIDS", *x.pids(), flush=True)
    time.sleep(60)  # killed by the parent long before


def check__failing():
    with XSession() as x:
        x.set_clipboard("held")
        print("PIDS", *x.pids(), flush=True)
        expect(False, "failing on purpose")


# The test program without a display.

def check_programs():
    # Every window the X checks use opens headless, renders to a picture
    # of its size and ends on "quit" and on the end of its input.
    sizes = {"shaped": (200, 160), "layered": (120, 80), "form": (300, 140), "sheet": (360, 240)}
    with tempfile.TemporaryDirectory() as tmp:
        for mode, (w, h) in sizes.items():
            app = Program([APP, mode], headless_env())
            try:
                app.expect_line("READY")
                png = os.path.join(tmp, mode + ".png")
                app.send(f"save {png}")
                app.expect_line("SAVED")
                rows = read_png(png)
                expect((len(rows[0]), len(rows)) == (w, h), f"{mode}: picture is {len(rows[0])}x{len(rows)}")
                if mode == "form":
                    app.proc.stdin.close()
                    app.proc.stdin = None
                else:
                    app.send("quit")
                app.expect_line("BYE")
                expect(app.proc.wait(10) == 0, f"{mode}: exit status {app.proc.returncode}")
            finally:
                app.stop()
        # The program's own clipboard keeps text and a file list.
        app = Program([APP, "form"], headless_env())
        try:
            app.expect_line("READY")
            app.send("copy-text grün text")
            app.send("paste")
            expect(app.lines_until("PASTED") == ["COPIED", "CLIPBOARD grün text"], f"text paste: {app.seen}")
            app.send("copy-files /tmp/a b.avi /tmp/ü.jpg")
            app.send("paste")
            expect(app.lines_until("PASTED") == ["COPIED", "FILE /tmp/a", "FILE b.avi", "FILE /tmp/ü.jpg"],
                   f"file paste: {app.seen}")
            app.send("quit")
            app.expect_line("BYE")
        finally:
            app.stop()


# Checks on X (the program shows its windows as X windows).



def region_rects(app):
    return [tuple(int(v) for v in ln.split()[1:]) for ln in app.lines_until("WINDOW")]


def check_shaped():
    # The window's X shape is its region: pixels the region covers show the
    # form's red on the screen, every other pixel shows the black root.
    with XSession() as x:
        app = x.start([APP, "shaped"])
        rects = region_rects(app)
        wid = x.wait_viewable(int(app.expect_line("XID")))
        app.expect_line("READY")
        gx, gy, gw, gh = x.geometry(wid)
        expect((gw, gh) == (200, 160), f"window is {gw}x{gh}")
        box = (min(r[0] for r in rects), min(r[1] for r in rects), max(r[2] for r in rects), max(r[3] for r in rects))
        ex, ey, ew, eh = x.shape_extents(wid)
        expect((ex, ey, ex + ew, ey + eh) == box, f"shape extents {(ex, ey, ew, eh)}, region box {box}")
        rows = x.screenshot()
        wrong = []
        for y in range(gh):
            for xx in range(gw):
                inside = any(r[0] <= xx < r[2] and r[1] <= y < r[3] for r in rects)
                red = rows[gy + y][gx + xx] == (255, 0, 0)
                if inside != red:
                    wrong.append((xx, y))
        expect(not wrong, f"{len(wrong)} pixels differ from the region, first {wrong[:5]}")
        finish(app)


def layered_pixels(compositor):
    with XSession(compositor=compositor) as x:
        app = x.start([APP, "layered"])
        wid = x.wait_viewable(int(app.expect_line("XID")))
        app.expect_line("READY")
        gx, gy, gw, gh = x.geometry(wid)
        expect((gx, gy, gw, gh) == (60, 50, 120, 80), f"layered window at {(gx, gy, gw, gh)}")
        rows = x.screenshot()
        extents = x.shape_extents(wid)
        finish(app)
        return [(rows[gy + 40][gx + cx]) for cx in (20, 60, 100)], rows[5][5], extents


def check_layered_composited():
    # Blended over what the compositor paints behind: opaque blue, half
    # blue over the background, the background itself.
    (opaque, half, clear), back, _ = layered_pixels(compositor=True)
    expect(opaque == (0, 0, 255), f"opaque part shows {opaque}")
    keep = 1 - 0x80 / 255
    want = tuple(round(b * keep) + add for b, add in zip(back, (0, 0, 0x80)))
    expect(all(abs(h - w) <= 2 for h, w in zip(half, want)), f"half-transparent part shows {half}, want {want}")
    expect(clear == back, f"clear part shows {clear} over {back}")


def check_layered_shaped():
    # Without a compositor the clear third is cut away by the shape.
    (opaque, half, clear), back, extents = layered_pixels(compositor=False)
    expect(extents == (0, 0, 80, 80), f"shape extents {extents}")
    expect(back == (0, 0, 0) and clear == back, f"the clear part shows {clear} over {back}")
    expect(opaque == (0, 0, 255) and half[2] > 0, f"the kept parts show {opaque} and {half}")


def form_session(x):
    app = x.start([APP, "form"])
    wid = x.wait_viewable(int(app.expect_line("XID")))
    app.expect_line("READY")
    points = {ln.split()[0]: tuple(int(v) for v in ln.split()[1:]) for ln in app.seen if ln.split()[0] in
              ("EDIT", "BUTTON")}
    return app, wid, points


def check_typing():
    with XSession() as x:
        app, _, at = form_session(x)
        x.xdotool("mousemove", *at["EDIT"], "click", 1)
        x.xdotool("type", "--delay", 20, "Hello, X1")
        deadline = time.monotonic() + 10
        while app.expect_line("CHANGE", timeout=deadline - time.monotonic()) != "Hello, X1":
            pass
        finish(app)


def check_click():
    with XSession() as x:
        app, _, at = form_session(x)
        x.xdotool("mousemove", *at["EDIT"], "click", 1)
        x.xdotool("type", "--delay", 20, "abc")
        x.xdotool("mousemove", *at["BUTTON"], "click", 1)
        app.expect_line("CLICK")
        expect(app.expect_line("TEXT") == "abc", "OnClick saw another text")
        expect(sum(ln == "CLICK" for ln in app.seen) == 1, f"OnClick fired more than once: {app.seen}")
        finish(app)


def eventually(read, want, what, timeout=10):
    # The program mirrors the X selection as events arrive, a few round trips
    # after another client takes it, so each side is read until it agrees.
    deadline = time.monotonic() + timeout
    while True:
        got = read()
        if got == want or time.monotonic() > deadline:
            expect(got == want, f"{what}: {got!r}, want {want!r}")
            return
        time.sleep(0.05)


def pasted(app):
    def read():
        app.send("paste")
        return app.lines_until("PASTED")
    return read


def check_clipboard_text():
    with XSession() as x:
        app, _, _ = form_session(x)
        app.send("copy-text grün from the program")
        app.expect_line("COPIED")
        eventually(x.get_clipboard, "grün from the program", "xclip read")
        x.set_clipboard("grün from xclip")
        eventually(pasted(app), ["CLIPBOARD grün from xclip"], "the program pasted")
        finish(app)


def check_clipboard_files():
    with XSession() as x:
        app, _, _ = form_session(x)
        app.send("copy-files /tmp/a.avi /tmp/ü.jpg")
        app.expect_line("COPIED")
        eventually(lambda: x.get_clipboard("text/uri-list").split(), ["file:///tmp/a.avi", "file:///tmp/%C3%BC.jpg"],
                   "xclip read")
        x.set_clipboard("file:///tmp/b%20c.png\r\nfile:///tmp/d.txt\r\n", target="text/uri-list")
        eventually(pasted(app), ["FILE /tmp/b c.png", "FILE /tmp/d.txt"], "the program pasted")
        finish(app)


def check_stacking():
    # A window shown later covers an earlier one until that one is brought
    # to the front; the X stacking order and the screen agree. Screen point
    # (100, 120) lies inside the shaped window's ellipse, away from its hole,
    # and under the form.
    with XSession() as x:
        shaped = x.start([APP, "shaped"])
        lower = x.wait_viewable(int(shaped.expect_line("XID")))
        shaped.expect_line("READY")
        app, upper, _ = form_session(x)
        order = x.stacking()
        expect(order.index(upper) > order.index(lower), f"the later window is not above: {order}")
        expect(x.screenshot()[120][100] != (255, 0, 0), "the shaped window shows through the form")
        shaped.send("front")
        shaped.expect_line("FRONT")
        deadline = time.monotonic() + 10
        while x.stacking().index(lower) < x.stacking().index(upper):
            expect(time.monotonic() < deadline, f"bringing to the front did not restack: {x.stacking()}")
            time.sleep(0.05)
        eventually(lambda: x.screenshot()[120][100], (255, 0, 0), "the front window's pixel")
        finish(app)
        finish(shaped)


def check_sheet():
    # The control sheet on X equals the headless rendering pixel for pixel.
    with tempfile.TemporaryDirectory() as tmp:
        headless = Program([APP, "sheet"], headless_env())
        try:
            headless.expect_line("READY")
            reference = os.path.join(tmp, "headless.png")
            headless.send(f"save {reference}")
            headless.expect_line("SAVED")
            headless.send("quit")
        finally:
            headless.stop()
        with XSession() as x:
            app = x.start([APP, "sheet"])
            wid = x.wait_viewable(int(app.expect_line("XID")))
            app.expect_line("READY")
            shown = x.screenshot(os.path.join(tmp, "x11.png"), window=wid)
            finish(app)
        want = read_png(reference)
        expect(len({px for row in want for px in row}) > 8, "the headless sheet is nearly blank")
        expect((len(shown[0]), len(shown)) == (len(want[0]), len(want)), "pictures differ in size")
        diff = [(xx, y) for y, row in enumerate(want) for xx, px in enumerate(row) if shown[y][xx] != px]
        expect(not diff, f"{len(diff)} pixels differ, first {diff[:5]}")


def main():
    global APP
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    name, APP = sys.argv[1], os.path.abspath(sys.argv[2])
    return run_check(globals(), name, TOOLS)


if __name__ == "__main__":
    sys.exit(main())

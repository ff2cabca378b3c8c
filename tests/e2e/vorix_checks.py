#!/usr/bin/python3
"""The program's whole runs: vorix_checks.py <check> <path of vorix> [screenshot folder].

Each check copies the program with its data folders into a fresh folder (the
program writes Capture.ini beside itself), gives it a home of its own, and
starts it on a virtual X display against the simulated capture devices.
Screenshots go to the screenshot folder (default: the current one).

Exit status 0 passes, 1 fails, 77 skips (a tool the check needs is missing; under CI=true that fails).
"""

import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import CheckFailed, XSession, expect, missing_tools, process_alive, run_check  # noqa: E402

MAIN_TITLE = "Vorix Video Capture"
SPLASH_TITLE = "Vorix Video Capture is starting"
PROGRAM = None
SHOTS = "."

# Places on the main window (window coordinates).
HOME_BUTTONS = {"DV": (94, 224), "TV": (242, 224), "OD": (390, 224), "BF": (538, 224)}
START_PAGE_BUTTON = (53, 60)
CLOSE_BUTTON = (619, 17)
MINIMISE_BUTTON = (587, 17)
FOURTH_COMMAND = (560, 420)   # the DV panel's fourth button beside its icon; empty on the TV panel
MOTION_BOX = (420, 462)       # the motion-detection check box of the OD panel
TRACK_BAR = (432, 404)        # the browser's position bar


class Run:
    """The program copied into a folder of its own and started on a display."""

    def __init__(self, session):
        self.folder = tempfile.mkdtemp(prefix="vorix-e2e-")
        source = os.path.dirname(os.path.abspath(PROGRAM))
        for sub in ("skin", "Lang", "AlarmSound", "help"):
            if os.path.isdir(os.path.join(source, sub)):
                shutil.copytree(os.path.join(source, sub), os.path.join(self.folder, sub))
        self.program = os.path.join(self.folder, "vorix")
        try:
            os.link(PROGRAM, self.program)
        except OSError:
            shutil.copy2(PROGRAM, self.program)
        home = os.path.join(self.folder, "home")
        os.makedirs(home)
        env = dict(session.env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"), VORIX_SIM_DEVICES="1")
        self.started = time.monotonic()
        self.app_env = env
        self.app = session.start([self.program], stdin=False, env=env)

    def close(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def pixel(rows, x, y):
    return rows[y][x]


def is_button_face(rgb):
    # The buttons' glass blue against the darker window behind them.
    r, g, b = rgb
    return b >= 80 and b > r + 20


def wait_gone(session, title, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        out = session.tool(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"], check=False)
        if not out.split():
            return time.monotonic()
        time.sleep(0.05)
    raise CheckFailed(f"window {title!r} still there after {timeout} s")


def wait_for(what, probe, timeout=10):
    """Polls probe() -> (done, state) until done; the last state explains a failure."""
    deadline = time.monotonic() + timeout
    while True:
        done, state = probe()
        if done:
            return state
        if time.monotonic() > deadline:
            raise CheckFailed(f"{what} after {timeout} s: {state}")
        time.sleep(0.1)


def main_window(session):
    """The main window once it is mapped, in front and painted: the start
    page's buttons show at their places on the screen."""
    wid = session.find_window(MAIN_TITLE, timeout=20)
    session.wait_viewable(wid)
    geo = session.geometry(wid)

    def start_page():
        rows = shot(session, "first-paint", geo)
        faces = [m for m, at in HOME_BUTTONS.items() if not is_button_face(pixel(rows, *at))]
        return not faces, f"start-page buttons not painted: {faces}"
    wait_for("the main window's first paint", start_page, timeout=20)
    return wid, geo


def click(session, geo, at):
    session.xdotool("mousemove", geo[0] + at[0], geo[1] + at[1])
    session.xdotool("click", "1")


def shot(session, name, geo):
    path = os.path.join(SHOTS, f"vorix-{name}.png")
    rows = session.screenshot(path)
    return [row[geo[0]:geo[0] + geo[2]] for row in rows[geo[1]:geo[1] + geo[3]]]


def check_start():
    """The splash shows for about 1.5 s, then the shaped 640 x 480 main window."""
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            splash = s.find_window(SPLASH_TITLE, timeout=20)
            seen = time.monotonic()
            x, y, w, h = s.geometry(splash)
            expect((w, h) == (496, 193), f"the splash is {w}x{h}")
            s.screenshot(os.path.join(SHOTS, "vorix-splash.png"))
            gone = wait_gone(s, SPLASH_TITLE, 10)
            # Its 1.5 s run from its creation, which a busy machine may show
            # late: it ends no sooner than 1.5 s after the start, and soon
            # after it was seen.
            expect(gone - run.started >= 1.45, f"the splash ended {gone - run.started:.2f} s after the start")
            expect(gone - seen <= 5, f"the splash showed for {gone - seen:.2f} s")
            wid, geo = main_window(s)
            expect(geo[2:] == (640, 480), f"the main window is {geo[2]}x{geo[3]}")
            expect(s.shape_extents(wid) is not None, "the main window has no shape")
            rows = shot(s, "start-page", geo)
            # The rounded outline: the corner belongs to the desktop, the
            # title band to the window.
            root_rows = s.screenshot()
            corner = root_rows[geo[1]][geo[0]]
            expect(corner != (255, 0, 255), "the fuchsia key shows at the corner")
            expect(is_button_face(pixel(rows, *HOME_BUTTONS["OD"])), "the start page's buttons are missing")
            expect(not is_button_face(pixel(rows, *START_PAGE_BUTTON)), "the toolbar shows on the start page")
        finally:
            run.close()


def check_starts():
    """A dozen starts at once, each in a folder and home of its own, all show
    a window: a start whose GUI thread falls asleep while X work waits shows
    nothing and fails here."""
    starts, limit = 12, 60
    with XSession(800, 600) as s:
        runs = []
        try:
            for _ in range(starts):
                runs.append(Run(s))
            waiting = {run.app.pid: run for run in runs}
            deadline = time.monotonic() + limit
            while waiting:
                for pid, run in list(waiting.items()):
                    if s.tool(["xdotool", "search", "--onlyvisible", "--pid", str(pid)], check=False).split():
                        del waiting[pid]
                    elif not process_alive(pid):
                        raise CheckFailed(f"start {pid} ended: {run.app.errors()[-5:]}")
                expect(time.monotonic() < deadline,
                       f"{len(waiting)} of {starts} starts showed no window in {limit} s (pids {sorted(waiting)})")
                time.sleep(0.1)
        finally:
            for run in runs:
                run.app.stop()
                run.close()


def check_no_display():
    """Started where no X server answers (none named, or one that is not
    up yet), the program says so and ends with a failure status instead of
    running on unseen."""
    folder = tempfile.mkdtemp(prefix="vorix-e2e-")
    try:
        program = os.path.join(folder, "vorix")
        shutil.copy2(PROGRAM, program)
        for display in (None, ":65000"):
            env = dict(os.environ, HOME=folder, VORIX_SIM_DEVICES="1")
            env.pop("DISPLAY", None)
            if display:
                env["DISPLAY"] = display
            try:
                r = subprocess.run([program], env=env, capture_output=True, text=True, timeout=20)
            except subprocess.TimeoutExpired:
                raise CheckFailed(f"DISPLAY={display}: still running after 20 s")
            expect(r.returncode != 0, f"DISPLAY={display}: exited with {r.returncode}")
            expect("cannot open display" in r.stderr, f"DISPLAY={display}: said {r.stderr!r}")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def warning_shown(session):
    return bool(session.tool(["xdotool", "search", "--onlyvisible", "--name", "^Warning$"], check=False).split())


def mode_problems(mode, rows):
    """What is wrong with the picture of `mode`'s page; empty when it is right."""
    problems = []
    if not is_button_face(pixel(rows, *START_PAGE_BUTTON)):
        problems.append("no toolbar")
    fourth = is_button_face(pixel(rows, *FOURTH_COMMAND))
    if mode == "DV" and not fourth:
        problems.append("no DV command button")
    elif mode == "TV" and fourth:
        problems.append("a fourth command button")
    elif mode == "OD":
        if not fourth:
            problems.append("no motion settings button")
        if max(pixel(rows, *MOTION_BOX)) >= 80:
            problems.append(f"the motion box area is {pixel(rows, *MOTION_BOX)}")
    elif mode == "BF" and min(pixel(rows, *TRACK_BAR)) <= 150:
        problems.append(f"no position bar ({pixel(rows, *TRACK_BAR)})")
    return problems


def check_modes():
    """The start page's four buttons each open their mode and its panels:
    the simulated DV camcorder and TV card give the DV and TV modes their
    device, so no mode warns of a missing one."""
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            wid, geo = main_window(s)
            for mode in ("DV", "TV", "OD", "BF"):
                click(s, geo, HOME_BUTTONS[mode])
                def shown():
                    problems = mode_problems(mode, shot(s, f"mode-{mode}", geo))
                    if warning_shown(s):
                        problems.append("refused with a warning")
                    return not problems, problems
                wait_for(f"{mode}: its page", shown)
                click(s, geo, START_PAGE_BUTTON)
                def home():
                    rows = shot(s, f"after-{mode}", geo)
                    toolbar = is_button_face(pixel(rows, *START_PAGE_BUTTON))
                    return not toolbar and is_button_face(pixel(rows, *HOME_BUTTONS[mode])), f"toolbar {toolbar}"
                wait_for(f"{mode}: the start page's return", home)
        finally:
            run.close()


def check_drag():
    """Pressing on the window's background and moving the pointer moves the borderless window."""
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            wid, geo = main_window(s)
            for at in ((450, 15), (330, 440)):  # the title band, the start page's panel
                x, y = geo[0] + at[0], geo[1] + at[1]
                s.xdotool("mousemove", x, y)
                s.xdotool("mousedown", "1")
                for step in range(1, 6):
                    s.xdotool("mousemove", x + 12 * step, y + 8 * step)
                    time.sleep(0.05)
                s.xdotool("mouseup", "1")
                want = (geo[0] + 60, geo[1] + 40)
                geo = wait_for(f"pressed at {at}: the window at {want}",
                               lambda: (s.geometry(wid)[:2] == want, s.geometry(wid)))
        finally:
            run.close()


def check_close():
    """The Close button writes Capture.ini (mode 0600) and the program ends with 0."""
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            ini = os.path.join(run.folder, "Capture.ini")
            wid, geo = main_window(s)
            os.remove(ini)  # written at start-up from the defaults; the close writes it again
            click(s, geo, CLOSE_BUTTON)
            status = run.app.proc.wait(20)
            expect(status == 0, f"vorix exited with {status}: {run.app.errors()[-5:]}")
            expect(os.path.exists(ini), "no Capture.ini after Close")
            expect(stat.S_IMODE(os.stat(ini).st_mode) == 0o600, "Capture.ini is readable by others")
            with open(ini) as f:
                text = f.read()
            expect("[General]" in text and "[Device]" in text, "Capture.ini lacks its sections")
            expect(not process_alive(run.app.pid), "vorix still runs")
        finally:
            run.close()


def viewable(session, wid):
    return "IsViewable" in session.tool(["xwininfo", "-id", str(wid)], check=False)


def minimise_and_restore(session, restore):
    """The program's own minimise button hides the window; restore() brings
    it back, in its place and size, painted, and the button works again."""
    wid, geo = main_window(session)
    for round_ in (1, 2):
        click(session, geo, MINIMISE_BUTTON)
        wait_for(f"minimised (round {round_})", lambda: (not viewable(session, wid), "still viewable"))
        restore(wid)
        wait_for(f"restored (round {round_})", lambda: (viewable(session, wid), "not viewable"))
        now = session.geometry(wid)
        expect(now == geo, f"restored at {now}, was {geo}")

        def painted():
            rows = shot(session, f"restored-{round_}", geo)
            faces = [m for m, at in HOME_BUTTONS.items() if not is_button_face(pixel(rows, *at))]
            return not faces, f"start-page buttons not painted: {faces}"
        wait_for("the restored window's paint", painted)


def check_minimise():
    """Without a window manager another client's map restores the window."""
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            minimise_and_restore(s, lambda wid: s.xdotool("windowmap", wid))
        finally:
            run.close()


def check_minimise_wm():
    """Under a window manager (openbox) the manager's restore brings the window back."""
    status = missing_tools(("openbox",))
    if status is not None:
        raise SystemExit(status)
    with XSession(800, 600) as s:
        wm = s.start(["openbox", "--sm-disable"], stdin=False)
        wait_for("openbox managing the screen", lambda: (s._selection_owned("WM_S0"), wm.errors()[-3:]))
        run = Run(s)
        try:
            minimise_and_restore(s, lambda wid: s.xdotool("windowactivate", wid))
        finally:
            run.close()


def program_main(namespace, tools=("Xvfb", "xdotool", "xwininfo", "import"), more_missing=None):
    """The command line of a script of program checks: the check's name, the
    program, the screenshot folder. `more_missing` says (77) when something
    else the checks need is not installed."""
    global PROGRAM, SHOTS
    if len(sys.argv) < 3:
        print(namespace.get("__doc__"))
        return 2
    PROGRAM = os.path.abspath(sys.argv[2])
    SHOTS = sys.argv[3] if len(sys.argv) > 3 else "."
    os.makedirs(SHOTS, exist_ok=True)
    status = missing_tools(tools)
    if status is None and more_missing:
        status = more_missing()
    if status is not None:
        return status
    return run_check(namespace, sys.argv[1], ())


def main():
    return program_main(globals())


# ---- what the user is told at start-up --------------------------------------

def check_notices():
    """Settings that cannot be written are told in a warning over the window."""
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            wid, geo = main_window(s)
            # Close and start again with "Capture.ini" taken by a folder: no
            # save can replace it, whoever runs the program.
            click(s, geo, CLOSE_BUTTON)
            expect(run.app.proc.wait(20) == 0, "vorix did not end after Close")
            ini = os.path.join(run.folder, "Capture.ini")
            os.remove(ini)
            os.mkdir(ini)
            run.app = s.start([run.program], stdin=False, env=run.app_env)
            # Only mapped: the warning may already stand over the start page's
            # buttons, so their first paint is not waited for here.
            s.wait_viewable(s.find_window(MAIN_TITLE, timeout=20))
            warning = s.find_window("Warning", timeout=20)
            s.wait_viewable(warning)
            wx, wy, ww, wh = s.geometry(warning)
            s.screenshot(os.path.join(SHOTS, "vorix-settings-warning.png"))
            expect(ww > 0 and wh > 0, "the warning has no size")
            expect(process_alive(run.app.pid), "vorix ended instead of running on")
        finally:
            run.close()


# ---- the capture preview's display ----------------------------------------------

PREVIEW_PANEL = (232, 86, 398, 300)   # the OD/DV/TV modes' picture panel (window coordinates)
FULL_SCREEN_BUTTON = (405, 60)        # the toolbar's full-screen button
BAR_COLOURS = {(255, 255, 255), (255, 255, 0), (0, 255, 255), (0, 255, 0), (255, 0, 255), (255, 0, 0), (0, 0, 255)}


def bar_colours(rows, left, top, width, height):
    """The simulated camera's bar colours found along a row a third of the way down."""
    y = top + height // 3
    return {tuple(rows[y][x]) for x in range(left + 2, left + width - 2, 4)} & BAR_COLOURS


def check_preview_in_panel():
    """The other-device mode previews the simulated camera inside the program's
    picture panel: its colour bars fill the panel, and nothing else opens."""
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            wid, geo = main_window(s)
            click(s, geo, HOME_BUTTONS["OD"])

            def bars():
                found = bar_colours(shot(s, "preview-panel", geo), *PREVIEW_PANEL)
                return len(found) >= 6, f"bar colours in the panel: {sorted(found)}"
            wait_for("the preview in the panel", bars, timeout=20)
            # The screen's top-level windows: only the main window is large.
            tree = s.tool(["xwininfo", "-root", "-children"], check=False)
            sizes = re.findall(r"^\s+(0x[0-9a-f]+) .*?\s(\d+)x(\d+)\+-?\d+\+-?\d+", tree, re.M)
            big = [w for w, width, height in sizes if int(width) >= 300 and int(w, 16) != int(wid)]
            expect(not big, f"the preview opened windows of its own: {big}")
        finally:
            run.close()


def check_full_screen():
    """The toolbar's full-screen button shows the preview over the whole screen;
    Escape leaves full screen and the preview is back in its panel."""
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            wid, geo = main_window(s)
            click(s, geo, HOME_BUTTONS["OD"])
            wait_for("the preview in the panel",
                     lambda: (len(bar_colours(shot(s, "fs-before", geo), *PREVIEW_PANEL)) >= 6, "no bars"), timeout=20)
            click(s, geo, FULL_SCREEN_BUTTON)

            def covered():
                rows = s.screenshot(os.path.join(SHOTS, "vorix-full-screen.png"))
                corners = [bar_colours(rows, 0, 0, 800, 600), bar_colours(rows, 0, 150, 800, 450)]
                return all(len(c) >= 6 for c in corners), f"bar colours across the screen: {corners}"
            wait_for("the full-screen preview", covered, timeout=10)
            s.xdotool("key", "Escape")

            def back():
                rows = s.screenshot(os.path.join(SHOTS, "vorix-after-full-screen.png"))
                outside = tuple(rows[20][20])
                inside = bar_colours([r[geo[0]:geo[0] + geo[2]] for r in rows[geo[1]:geo[1] + geo[3]]], *PREVIEW_PANEL)
                return outside not in BAR_COLOURS and len(inside) >= 6, f"outside {outside}, panel {sorted(inside)}"
            wait_for("the preview back in its panel", back, timeout=10)
            expect(process_alive(run.app.pid), "vorix ended")
        finally:
            run.close()


def check_full_screen_double_click():
    """A double click on the preview goes full screen; one on the full-screen
    picture comes back: the clicks pass through the video to the program."""
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            wid, geo = main_window(s)
            click(s, geo, HOME_BUTTONS["OD"])
            wait_for("the preview in the panel",
                     lambda: (len(bar_colours(shot(s, "dbl-before", geo), *PREVIEW_PANEL)) >= 6, "no bars"), timeout=20)
            def corner():
                rows = s.screenshot(os.path.join(SHOTS, "vorix-dbl-full-screen.png"))
                return tuple(rows[5][5]), f"top-left pixel {tuple(rows[5][5])}"

            # The mode may still be settling its preview when the first
            # picture shows: a double click that found no picture yet is
            # given again, never sooner than 2 s after the last one.
            last = [0.0]

            def full_screen():
                pixel, state = corner()
                if pixel in BAR_COLOURS:
                    return True, state
                if time.monotonic() - last[0] >= 2:
                    s.xdotool("mousemove", geo[0] + PREVIEW_PANEL[0] + 70, geo[1] + PREVIEW_PANEL[1] + 150)
                    s.xdotool("click", "--repeat", "2", "--delay", "80", "1")
                    last[0] = time.monotonic()
                return False, state
            wait_for("full screen after a double click", full_screen, timeout=15)
            s.xdotool("mousemove", 400, 300)
            s.xdotool("click", "--repeat", "2", "--delay", "80", "1")
            wait_for("back from full screen after a double click", lambda: (corner()[0] not in BAR_COLOURS, corner()[1]))
        finally:
            run.close()



# ---- recording and snapshots in the other-devices mode ----------------------------

OD_START = (380, 414)   # the OD panel's Start/Stop button
OD_SHOT = (478, 414)    # the OD panel's snapshot button
STAMPED = re.compile(r"^(.*)-\d{6}_\d{6}\.(avi|asf|wmv)$")


def open_preview(s, name):
    wid, geo = main_window(s)
    click(s, geo, HOME_BUTTONS["OD"])
    wait_for("the preview in the panel",
             lambda: (len(bar_colours(shot(s, name, geo), *PREVIEW_PANEL)) >= 6, "no bars"), timeout=20)
    return wid, geo


def files_below(folder, suffixes):
    found = []
    for top, _dirs, names in os.walk(folder):
        found += [os.path.join(top, n) for n in names if n.lower().endswith(suffixes)]
    return sorted(found)


def restart_with(s, run, values):
    """Closes the program, puts `values` (key: value) into the Capture.ini
    its close wrote, and starts it again."""
    wid, geo = main_window(s)
    click(s, geo, CLOSE_BUTTON)
    expect(run.app.proc.wait(20) == 0, "vorix did not end after Close")
    ini = os.path.join(run.folder, "Capture.ini")
    with open(ini) as f:
        text = f.read()
    for key, value in values.items():
        expect(f"\n{key}=" in text, f"Capture.ini has no {key}")
        text = re.sub(rf"\n{key}=[^\n]*", f"\n{key}={value}", text)
    with open(ini, "w") as f:
        f.write(text)
    run.app = s.start([run.program], stdin=False, env=run.app_env)


def check_preview_live():
    """The other-devices mode shows the simulated camera live: two pictures of
    the panel a second apart differ, and both show the colour bars."""
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            wid, geo = open_preview(s, "live-0")
            first = shot(s, "live-1", geo)
            time.sleep(1)  # the camera's own clock is what is checked
            second = shot(s, "live-2", geo)
            x0, y0, w, h = PREVIEW_PANEL
            panel = lambda rows: [tuple(p) for r in rows[y0:y0 + h] for p in r[x0:x0 + w]]
            expect(len(bar_colours(first, *PREVIEW_PANEL)) >= 6 and len(bar_colours(second, *PREVIEW_PANEL)) >= 6,
                   "the bars are missing from a picture")
            changed = sum(a != b for a, b in zip(panel(first), panel(second)))
            expect(changed > 0, "the preview did not change in a second")
        finally:
            run.close()


def check_record():
    """Start, about 5 s, Stop: a stamped video with video and audio of 4-6 s
    in the mode's album, with its companion picture."""
    status = missing_tools(("ffprobe",))
    if status is not None:
        raise SystemExit(status)
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            wid, geo = open_preview(s, "record-before")
            click(s, geo, OD_START)
            started = time.monotonic()
            time.sleep(5)  # the length of the recording under test
            click(s, geo, OD_START)
            album = os.path.join(run.folder, "OtherDevices", "Default")

            def stamped():
                videos = [v for v in files_below(run.folder, (".avi", ".asf", ".wmv"))
                          if STAMPED.match(os.path.basename(v))]
                return bool(videos), f"files: {files_below(run.folder, ('',))[-12:]}"
            wait_for("the stamped recording", stamped, timeout=60)
            video = [v for v in files_below(run.folder, (".avi", ".asf", ".wmv"))
                     if STAMPED.match(os.path.basename(v))][0]
            expect(os.path.dirname(video) == album, f"the video is in {os.path.dirname(video)}, not {album}")
            expect(time.monotonic() - started < 60, "too slow")
            probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "stream=codec_type:format=duration",
                                    "-of", "default=nw=1", video], capture_output=True, text=True)
            kinds = re.findall(r"codec_type=(\w+)", probe.stdout)
            duration = float(re.search(r"duration=([\d.]+)", probe.stdout).group(1))
            expect("video" in kinds and "audio" in kinds, f"streams {kinds}: {probe.stderr}")
            expect(4.0 <= duration <= 6.0, f"the recording lasts {duration} s")
            companion = video[:-4] + ".jpg"
            expect(os.path.exists(companion), f"no companion picture {companion}")
            expect(not files_below(run.folder, (".rec",)), "the capture file was left behind")
            expect(process_alive(run.app.pid), "vorix ended")
        finally:
            run.close()


def check_snapshot():
    """The snapshot button writes a JPEG that djpeg decodes at the size the
    settings give: the camera's 160 x 120 at 150 %."""
    status = missing_tools(("djpeg",))
    if status is not None:
        raise SystemExit(status)
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            restart_with(s, run, {"PictrueSize": "150"})
            wid, geo = open_preview(s, "snapshot-before")
            click(s, geo, OD_SHOT)
            wait_for("the snapshot", lambda: (bool(files_below(run.folder, (".jpg",))), "no picture"), timeout=20)
            picture = files_below(run.folder, (".jpg",))[0]
            size = None

            def decoded():
                nonlocal size
                r = subprocess.run(["djpeg", "-pnm", picture], capture_output=True)
                m = re.match(rb"P[56]\s+(\d+)\s+(\d+)", r.stdout)
                size = m and (int(m.group(1)), int(m.group(2)))
                return r.returncode == 0 and bool(size), f"djpeg said {r.returncode} {r.stderr[-200:]}"
            wait_for("a complete JPEG", decoded, timeout=10)
            expect(size == (240, 180), f"the snapshot is {size}")
        finally:
            run.close()


def check_no_space():
    """With less free space than the minimum, Start shows the hint and nothing records."""
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            # More megabytes than any disk holds.
            restart_with(s, run, {"MinFreeSpace": "2000000000"})
            wid, geo = open_preview(s, "no-space-before")
            click(s, geo, OD_START)
            hint = s.find_window("Hint", timeout=10)
            s.wait_viewable(hint)
            s.screenshot(os.path.join(SHOTS, "vorix-no-space-hint.png"))
            time.sleep(2)  # long enough for a recording to have begun
            expect(not files_below(run.folder, (".avi", ".asf", ".rec")), "something was recorded")
            expect(process_alive(run.app.pid), "vorix ended")
        finally:
            run.close()



# ---- the media browser --------------------------------------------------------------

VIEWER = (10, 146, 216, 288)   # the thumbnail column (window coordinates)
BF_PLAY = (481, 368)           # the browser's Play button


def viewer_cell(slot):
    """The centre of a slot's thumbnail (window coordinates): two columns of
    80 x 60 thumbnails, 84 pixels apart, from 4 pixels in."""
    col, row = slot % 2, slot // 2
    return VIEWER[0] + 4 + col * 84 + 40, VIEWER[1] + 4 + row * 80 + 30


def colourful(rows, left, top, width, height):
    """Pixels of strong colour (the camera's bars) in the rectangle."""
    return sum(1 for y in range(top, top + height) for x in range(left, left + width)
               if max(rows[y][x]) - min(rows[y][x]) > 100)


def check_browse():
    """After a recording and a snapshot in the other-devices mode, Browse Files
    shows both thumbnails; Ctrl+C puts them on the clipboard as file URIs in
    the order selected (the video with its companion picture); a double
    click plays the clip in the player."""
    status = missing_tools(("xclip",))
    if status is not None:
        raise SystemExit(status)
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            wid, geo = open_preview(s, "browse-before")
            click(s, geo, OD_START)
            time.sleep(3)  # the length of the clip
            click(s, geo, OD_START)
            album = os.path.join(run.folder, "OtherDevices", "Default")

            def recorded():
                videos = [v for v in files_below(album, (".avi", ".asf", ".wmv")) if STAMPED.match(os.path.basename(v))]
                return bool(videos) and os.path.exists(videos[0][:-4] + ".jpg"), f"files: {files_below(album, ('',))}"
            wait_for("the stamped recording and its picture", recorded, timeout=60)
            wait_for("the preview back",
                     lambda: (len(bar_colours(shot(s, "browse-preview", geo), *PREVIEW_PANEL)) >= 6, "no bars"),
                     timeout=20)
            video = [v for v in files_below(album, (".avi", ".asf", ".wmv")) if STAMPED.match(os.path.basename(v))][0]
            companion = video[:-4] + ".jpg"
            click(s, geo, OD_SHOT)

            def snapped():
                pictures = [p for p in files_below(album, (".jpg",)) if p != companion]
                return bool(pictures), f"pictures: {files_below(album, ('.jpg',))}"
            wait_for("the snapshot", snapped, timeout=20)
            snapshot = [p for p in files_below(album, (".jpg",)) if p != companion][0]

            click(s, geo, START_PAGE_BUTTON)
            click(s, geo, HOME_BUTTONS["BF"])
            # The column lists the album by name; the video shows through its
            # companion picture.
            order = sorted([video, snapshot], key=os.path.basename)

            def thumbnails():
                rows = shot(s, "browse-thumbnails", geo)
                counts = [colourful(rows, viewer_cell(i)[0] - 40, viewer_cell(i)[1] - 30, 80, 60) for i in range(2)]
                return all(c > 500 for c in counts), f"strongly coloured pixels per thumbnail: {counts}"
            wait_for("both thumbnails in the browser", thumbnails, timeout=20)

            # Ctrl+click both, the second first: the clipboard keeps that order.
            second, first = viewer_cell(1), viewer_cell(0)
            s.xdotool("mousemove", geo[0] + second[0], geo[1] + second[1])
            s.xdotool("click", "1")
            s.xdotool("mousemove", geo[0] + first[0], geo[1] + first[1])
            s.xdotool("keydown", "ctrl", "click", "1", "keyup", "ctrl")
            s.xdotool("key", "ctrl+c")
            expected = []
            for f in [order[1], order[0]]:
                expected += [f, f[:-4] + ".jpg"] if f == video else [f]
            uris = ["file://" + f for f in expected]

            def copied():
                got = s.get_clipboard("text/uri-list").split()
                return got == uris, f"clipboard {got}, expected {uris}"
            wait_for("the file URIs on the clipboard", copied, timeout=10)
            pasted = s.get_clipboard("x-special/gnome-copied-files").split("\n")
            expect(pasted == ["copy"] + uris, f"for file managers: {pasted}")

            # A double click on the video plays it: the panel shows the clip's
            # frames changing.
            cell = viewer_cell(order.index(video))
            s.xdotool("mousemove", geo[0] + cell[0], geo[1] + cell[1])
            s.xdotool("click", "--repeat", "2", "--delay", "80", "1")
            x0, y0, w, h = PREVIEW_PANEL
            panel = lambda rows: [tuple(p) for r in rows[y0:y0 + h:4] for p in r[x0:x0 + w:4]]
            previous = [panel(shot(s, "browse-play-0", geo))]

            def playing():
                rows = shot(s, "browse-playing", geo)
                now = panel(rows)
                changed = sum(a != b for a, b in zip(previous[0], now))
                previous[0] = now
                strong = colourful(rows, x0, y0, w, h)
                return changed > 50 and strong > 5000, f"{changed} samples changed, {strong} coloured pixels"
            wait_for("the clip playing in the panel", playing, timeout=20)
            expect(process_alive(run.app.pid), "vorix ended")
        finally:
            run.close()


def check_delete_to_trash():
    """A snapshot joins the other-devices mode's column at once; Delete from
    the column's right-click menu asks, and Yes moves the picture to the
    desktop's trash with its .trashinfo file."""
    with XSession(800, 600) as s:
        run = Run(s)
        try:
            wid, geo = open_preview(s, "trash-before")
            click(s, geo, OD_SHOT)
            album = os.path.join(run.folder, "OtherDevices", "Default")
            wait_for("the snapshot", lambda: (bool(files_below(album, (".jpg",))), "no picture"), timeout=20)
            picture = files_below(album, (".jpg",))[0]
            cell = viewer_cell(0)
            wait_for("the snapshot in the column",
                     lambda: (colourful(shot(s, "trash-column", geo), cell[0] - 40, cell[1] - 30, 80, 60) > 500,
                              "no thumbnail"), timeout=20)
            s.xdotool("mousemove", geo[0] + cell[0], geo[1] + cell[1])
            s.xdotool("click", "1")
            s.xdotool("click", "3")
            time.sleep(0.5)  # the menu maps; its picture is kept for a look
            shot(s, "trash-menu", geo)
            # Open, Copy, then Delete (the hidden Cut is skipped).
            s.xdotool("key", "Down", "Down", "Down", "Return")
            question = s.find_window("Warning", timeout=10)
            s.wait_viewable(question)
            s.screenshot(os.path.join(SHOTS, "vorix-trash-question.png"))
            expect(os.path.exists(picture), "the picture went before the answer")
            s.xdotool("key", "y")
            trash = os.path.join(run.folder, "home", ".local", "share", "Trash")
            name = os.path.basename(picture)
            wait_for("the picture in the trash",
                     lambda: (os.path.exists(os.path.join(trash, "files", name)) and not os.path.exists(picture),
                              f"trash: {files_below(trash, ('',))}"), timeout=10)
            with open(os.path.join(trash, "info", name + ".trashinfo")) as f:
                info = f.read()
            expect(f"\nPath={picture}\n" in info and "\nDeletionDate=" in info, f"trash info: {info!r}")
            wait_for("the column without the picture",
                     lambda: (colourful(shot(s, "trash-after", geo), cell[0] - 40, cell[1] - 30, 80, 60) < 50,
                              "the thumbnail is still there"), timeout=10)
        finally:
            run.close()

def check_alarm():
    """Motion detection on and a box moving in front of the simulated camera:
    alarm pictures appear in the day's alarm folder and in both queue
    folders, the alarm log grows, and the alarm program starts once although
    alarms repeat while it still runs."""
    with XSession(800, 600) as s:
        run = Run(s)
        runs = os.path.join(run.folder, "runs.txt")
        script = os.path.join(run.folder, "alarm.sh")
        with open(script, "w") as f:
            f.write(f"#!/bin/sh\necho \"$$ $1\" >> '{runs}'\nexec sleep 60\n")
        os.chmod(script, 0o755)
        started = []
        try:
            run.app_env["VORIX_SIM_CAMERA_MOTION"] = "box"
            restart_with(s, run, {"isMotionDetector": "1", "AlarmLine": "20", "AlarmDelay": "0.5",
                                  "bSavePicture": "1", "bSendEmail": "1", "bFTPUpload": "1", "bWriteLog": "1",
                                  "bRunProgram": "1", "RunOnce": "0", "RunProgramExeFullFileName": script,
                                  "ProgramRunParameter": "motion", "SaveEachPicture": "1",
                                  "AlternationSavePicureTime": "1", "AlarmPictureSaveFormat": "1"})
            open_preview(s, "alarm-before")
            day = lambda: [p for p in files_below(run.folder, (".jpg",)) if f"{os.sep}AlarmImags{os.sep}" in p]
            queued = lambda sub: files_below(os.path.join(run.folder, sub), (".jpg",))
            wait_for("alarm pictures in the day's folder and both queues",
                     lambda: (bool(day()) and bool(queued("SendMailtempFile")) and bool(queued("UploadTempFile")),
                              f"day {len(day())}, mail {len(queued('SendMailtempFile'))}, "
                              f"upload {len(queued('UploadTempFile'))}"), timeout=40)
            log = os.path.join(run.folder, "Log", "AlarmLogFile.txt")
            wait_for("the alarm log", lambda: (os.path.exists(log) and os.path.getsize(log) > 0, "no log"), timeout=10)
            first_size = os.path.getsize(log)
            wait_for("the log growing", lambda: (os.path.getsize(log) > first_size, "the log stays"), timeout=20)
            with open(log, "rb") as f:
                text = f.read()
            expect(text.startswith(b"-" * 17 + b"begin" + b"-" * 65 + b"\r\n"), f"log starts {text[:100]!r}")
            expect(b"Alarm Mode:     Save Picture.  Send Email.  Run Program.  FTP Upload.  \r\n" in text,
                   "the log's alarm mode line")
            picture = day()[0]
            name = os.path.basename(picture)
            expect(re.match(r"^\d{4}-\d{1,2}-\d{1,2}(-\d{1,3}){4}\.jpg$", name) is not None, f"picture name {name}")
            with open(picture, "rb") as f:
                expect(f.read(3) == b"\xff\xd8\xff", f"{picture} is no JPEG")
            # The pictures are paced: one a second at most while the alarms
            # repeat with every frame.
            blocks = text.count(b"-" * 17 + b"begin")
            expect(len(day()) <= blocks, f"{len(day())} pictures for {blocks} alarms")
            wait_for("the alarm program", lambda: (os.path.exists(runs), "it did not run"), timeout=10)
            with open(runs) as f:
                started = f.read().split("\n")[:-1]
            expect(len(started) == 1 and started[0].endswith(" motion"), f"the program ran as {started}")
            expect(process_alive(run.app.pid), "vorix ended")
        finally:
            if os.path.exists(runs):
                with open(runs) as f:
                    for line in f.read().split("\n")[:-1]:
                        try:
                            os.kill(int(line.split()[0]), 15)
                        except (OSError, ValueError):
                            pass
            run.close()


if __name__ == "__main__":
    sys.exit(main())

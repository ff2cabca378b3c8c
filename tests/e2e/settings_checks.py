#!/usr/bin/python3
"""The settings dialogs in the whole program: settings_checks.py <check> <path of vorix> [screenshot folder].

Runs as vorix_checks.py does: a fresh copy of the program on a virtual X
display against the simulated capture devices. Screenshots of every page of
the dialogs stay in the screenshot folder.

Exit status 0 passes, 1 fails, 77 skips (a tool the check needs is missing).
"""

import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vorix_checks as vc  # noqa: E402
from harness import CheckFailed, XSession, expect, missing_tools, process_alive  # noqa: E402

SETTINGS_BUTTON = (229, 60)        # the toolbar's Settings button (main window coordinates)
# Places on the settings dialog, as client point + the frame (3) and caption (19).
FRAME = (3, 22)
FIRST_TAB = (28, 16)
VIDEO_CODEC = (238, 118)
CODEC_TYPE_AVI = (48, 64)
CODEC_TYPE_ASF = (168, 64)
ASF_BUTTON = (340, 62)
BROWSE_BUTTON = (78, 314)
OK_BUTTON = (282, 380)
# The first video compressors the program lists, by the name ffprobe gives
# their streams; the first is the one a new settings file chooses.
VIDEO_CODECS = ("mpeg4", "msmpeg4v2", "msmpeg4v3")
PAGES = ("codec", "shot-frame", "overlay", "video-effect")


def at(geo, client):
    return (geo[0] + FRAME[0] + client[0], geo[1] + FRAME[1] + client[1])


def press(s, geo, client):
    x, y = at(geo, client)
    s.xdotool("mousemove", x, y)
    s.xdotool("click", "1")


def key(s, name):
    s.xdotool("key", name)


def changed_shot(s, name, geo, before):
    """The dialog's picture once it differs from `before`."""
    rows = []

    def probe():
        rows[:] = [vc.shot(s, name, geo)]
        return rows[0] != before, "the dialog did not repaint"
    vc.wait_for(f"the {name} picture", probe, timeout=10)
    return rows[0]


def codec_of(video):
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                            "stream=codec_name", "-of", "default=nw=1:nk=1", video], capture_output=True, text=True)
    return probe.stdout.strip()


def check_settings_codec():
    """The Settings button opens the dialog over the preview; every page and
    the ASF dialog are photographed; another video compressor chosen there
    and OK make the next recording a video of that codec."""
    status = missing_tools(("ffprobe",))
    if status is not None:
        raise SystemExit(status)
    with XSession(800, 600) as s:
        run = vc.Run(s)
        try:
            wid, geo = vc.open_preview(s, "settings-preview")
            vc.click(s, geo, SETTINGS_BUTTON)
            dlg = s.wait_viewable(s.find_window("Setting", timeout=20))
            dgeo = s.geometry(dlg)
            last = vc.shot(s, "settings-opened", dgeo)

            # The pages, one after another from the first tab.
            press(s, dgeo, FIRST_TAB)
            last = vc.shot(s, f"settings-{PAGES[0]}", dgeo)
            for name in PAGES[1:]:
                key(s, "Right")
                last = changed_shot(s, f"settings-{name}", dgeo, last)
                if name == "overlay":
                    # The picture's file dialog opens above the dialog that
                    # stays on top; Escape leaves it without a picture.
                    press(s, dgeo, BROWSE_BUTTON)
                    opened = s.wait_viewable(s.find_window("Open image file", timeout=10))
                    order = s.stacking()
                    expect(order.index(opened) > order.index(dlg), "the file dialog shows behind the settings")
                    vc.shot(s, "settings-overlay-browse", dgeo)
                    key(s, "Escape")
                    vc.wait_gone(s, "Open image file", 10)
            press(s, dgeo, FIRST_TAB)
            changed_shot(s, "settings-codec-again", dgeo, last)

            # The ASF dialog opens from its button once ASF is the codec type.
            press(s, dgeo, CODEC_TYPE_ASF)
            press(s, dgeo, ASF_BUTTON)
            asf = s.wait_viewable(s.find_window("ASF Setting", timeout=10))
            agem = s.geometry(asf)
            vc.shot(s, "settings-asf", agem)
            order = s.stacking()
            expect(asf in order and order.index(asf) > order.index(dlg), "the ASF dialog shows behind the settings")
            key(s, "Escape")
            vc.wait_gone(s, "ASF Setting", 10)
            press(s, dgeo, CODEC_TYPE_AVI)

            # Another compressor of the list, chosen with the keyboard.
            press(s, dgeo, VIDEO_CODEC)
            key(s, "Down")
            key(s, "Return")
            vc.shot(s, "settings-codec-chosen", dgeo)
            press(s, dgeo, OK_BUTTON)
            vc.wait_gone(s, "Setting", 10)

            vc.click(s, geo, vc.OD_START)
            time.sleep(3)  # the length of the recording under test
            vc.click(s, geo, vc.OD_START)

            def stamped():
                videos = [v for v in vc.files_below(run.folder, (".avi", ".asf", ".wmv"))
                          if vc.STAMPED.match(os.path.basename(v))]
                return bool(videos), f"files: {vc.files_below(run.folder, ('',))[-12:]}"
            vc.wait_for("the stamped recording", stamped, timeout=60)
            video = [v for v in vc.files_below(run.folder, (".avi", ".asf", ".wmv"))
                     if vc.STAMPED.match(os.path.basename(v))][0]
            codec = codec_of(video)
            expect(process_alive(run.app.pid), "vorix ended")
            # The compressor the dialog left chosen, as Close stores it.
            vc.click(s, geo, vc.CLOSE_BUTTON)
            expect(run.app.proc.wait(20) == 0, "vorix did not end after Close")
            with open(os.path.join(run.folder, "Capture.ini")) as f:
                chosen = int(re.search(r"\nVideoCodec=(\d+)", f.read()).group(1))
            expect(chosen != 0, "the dialog left the first compressor chosen")
            expect(chosen < len(VIDEO_CODECS), f"compressor {chosen} is not one of the first of the list")
            expect(codec == VIDEO_CODECS[chosen],
                   f"the recording's video is {codec!r}, not {VIDEO_CODECS[chosen]!r} (compressor {chosen})")
        finally:
            run.close()


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    vc.PROGRAM = os.path.abspath(sys.argv[2])
    vc.SHOTS = sys.argv[3] if len(sys.argv) > 3 else "."
    os.makedirs(vc.SHOTS, exist_ok=True)
    status = missing_tools(("Xvfb", "xdotool", "xwininfo", "import"))
    if status is not None:
        return status
    check = globals().get("check_" + sys.argv[1])
    if not check:
        print(f"no check {sys.argv[1]}")
        return 2
    try:
        check()
    except CheckFailed as e:
        print(f"FAILED: {e}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""The motion-detection settings window in the whole program:
motion_settings_checks.py <check> <path of vorix> [screenshot folder].

Runs as vorix_checks.py does: a fresh copy of the program on a virtual X
display against the simulated capture devices, here with a box moving in
front of the camera. Screenshots of the window stay in the screenshot folder.

Exit status 0 passes, 1 fails, 77 skips (a tool the check needs is missing).
"""

import configparser
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vorix_checks as vc  # noqa: E402
from harness import XSession, expect, process_alive  # noqa: E402

TITLE = "Motion Detection Setting"
MOTION_SETTING_BUTTON = (578, 414)  # the OD panel's fourth button (main window coordinates)
# Places on the window, as client point + the frame (3) and caption (19).
FRAME = (3, 22)
METER = (166, 36, 460, 30)          # the level meter: left, top, width, height
ALARM_MODE_NODE = (70, 52)          # "Alarm Mode" in the left tree
SENSITIVITY_SLIDER = (328, 199)
PICTURE_INTERVAL = (462, 232)       # the picture page's seconds between pictures
OK_BUTTON = (317, 463)
ACTION_NODES = [(230, 35 + 17 * i) for i in range(7)]  # the alarm-mode tree's seven actions
PAGES = ("picture", "email", "sound", "program", "record-video", "ftp", "log")
ALARM_LINE = 500
# The live level's text runs along the meter's bottom edge, a little below it.
LEVEL_BAND = (METER[0] - 4, METER[1] + METER[3] + 4, METER[2] + 10, 14)


def at(geo, client):
    return (geo[0] + FRAME[0] + client[0], geo[1] + FRAME[1] + client[1])


def press(s, geo, client):
    x, y = at(geo, client)
    s.xdotool("mousemove", x, y)
    s.xdotool("click", "1")


def client_pixel(rows, client):
    return tuple(rows[FRAME[1] + client[1]][FRAME[0] + client[0]][:3])


def lit_columns(rows):
    """Columns of the meter's middle row that are not white, the marker's
    two columns left out."""
    left, top, width, height = METER
    marker = METER[0] + METER[2] * ALARM_LINE // 1000
    y = top + height // 2
    return sum(1 for x in range(left + 3, left + width - 3)
               if x not in (marker, marker + 1) and client_pixel(rows, (x, y)) != (255, 255, 255))


def level_text_span(rows):
    """The columns between the first and the last dark pixel of the live
    level's band, or 0 when the band holds no text."""
    left, top, width, height = LEVEL_BAND
    dark = [x for x in range(left, left + width) for y in range(top, top + height)
            if sum(client_pixel(rows, (x, y))) < 300]
    return max(dark) - min(dark) + 1 if dark else 0


def check_motion_settings():
    """The motion settings button opens the window over the live preview; its
    meter moves with the box in front of the camera and the alarm-line marker
    stands at the stored line; a new sensitivity and picture interval, then
    OK, are what Capture.ini holds once the program closes."""
    with XSession(800, 600) as s:
        run = vc.Run(s)
        try:
            run.app_env["VORIX_SIM_CAMERA_MOTION"] = "box"
            vc.restart_with(s, run, {"AlarmLine": str(ALARM_LINE), "Sensitivity": "9",
                                     "AlternationSavePicureTime": "2", "isMotionDetector": "0"})
            wid, geo = vc.open_preview(s, "motion-settings-preview")
            vc.click(s, geo, MOTION_SETTING_BUTTON)
            dlg = s.wait_viewable(s.find_window(TITLE, timeout=20))
            dgeo = s.geometry(dlg)

            # The meter follows the motion: its lit part changes from one
            # picture to the next while the box moves.
            # The level's text moves and changes with it, leaving no older
            # texts beside it: its band holds one short text at a time.
            counts = []
            spans = []

            def moving():
                rows = vc.shot(s, "motion-settings-meter", dgeo)
                counts.append(lit_columns(rows))
                spans.append(level_text_span(rows))
                return len(set(counts)) >= 3 and max(counts) > 0, f"lit columns seen: {counts[-10:]}"
            vc.wait_for("the meter moving with the motion", moving, timeout=30)
            expect(max(spans) > 0, "the live level's text never showed")
            expect(max(spans) < 70, f"old level texts stay on the screen: dark spans {spans}")
            print(f"level text spans: {spans}")
            rows = vc.shot(s, "motion-settings-sensitivity", dgeo)
            marker = (METER[0] + METER[2] * ALARM_LINE // 1000, METER[1] + METER[3] // 2)
            expect(client_pixel(rows, marker) == (255, 0, 0),
                   f"the alarm-line marker is not at {marker}: {client_pixel(rows, marker)}")
            expect(client_pixel(rows, (marker[0] - 6, marker[1])) != (255, 0, 0), "the marker is wider than 2")

            # Sensitivity 4: the slider's first value and three steps right.
            press(s, dgeo, SENSITIVITY_SLIDER)
            s.xdotool("key", "Home")
            for _ in range(3):
                s.xdotool("key", "Right")

            # The alarm-mode page opens on its picture page.
            before = vc.shot(s, "motion-settings-slider", dgeo)
            press(s, dgeo, ALARM_MODE_NODE)

            def page_changed():
                now = vc.shot(s, "motion-settings-picture-page", dgeo)
                return now != before, "the alarm-mode page did not show"
            vc.wait_for("the alarm-mode page", page_changed, timeout=10)
            press(s, dgeo, PICTURE_INTERVAL)
            s.xdotool("key", "End")
            for _ in range(8):
                s.xdotool("key", "BackSpace")
            s.xdotool("type", "4.5")
            time.sleep(0.3)  # lets the window paint the typed text for the picture
            last = vc.shot(s, "motion-settings-picture-interval", dgeo)
            # Each action's page, photographed.
            for node, name in list(zip(ACTION_NODES, PAGES))[1:]:
                press(s, dgeo, node)

                def shown():
                    now = vc.shot(s, f"motion-settings-page-{name}", dgeo)
                    return now != last, f"the {name} page did not show"
                vc.wait_for(f"the {name} page", shown, timeout=10)
                last = vc.shot(s, f"motion-settings-page-{name}", dgeo)
            press(s, dgeo, OK_BUTTON)
            vc.wait_gone(s, TITLE, 10)
            expect(process_alive(run.app.pid), "vorix ended")

            vc.click(s, geo, vc.CLOSE_BUTTON)
            expect(run.app.proc.wait(20) == 0, "vorix did not end after Close")
            ini = configparser.RawConfigParser(strict=False)
            ini.optionxform = str
            ini.read(os.path.join(run.folder, "Capture.ini"), encoding="utf-8")
            stored = ini["Capture"]
            expect(stored.get("Sensitivity") == "4", f"Sensitivity={stored.get('Sensitivity')!r}")
            expect(stored.get("AlternationSavePicureTime") == "4.5",
                   f"AlternationSavePicureTime={stored.get('AlternationSavePicureTime')!r}")
            expect(stored.get("AlarmLine") == str(ALARM_LINE), f"AlarmLine={stored.get('AlarmLine')!r}")
        finally:
            run.close()


def main():
    return vc.program_main(globals())


if __name__ == "__main__":
    sys.exit(main())

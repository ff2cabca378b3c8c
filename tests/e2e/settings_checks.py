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
from harness import XSession, expect, missing_tools, process_alive  # noqa: E402

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


# The capture modes' dialogs (window coordinates of the main window).
DEVICE_SETTING_BUTTON = (317, 60)   # the toolbar's Device Setting button
OD_CAPTURE_SETTING = (282, 414)     # the OD panel's capture-settings button
TV_CAPTURE_SETTING = (282, 414)     # the TV panel's, at the same place
# Places on the capture settings dialog (client coordinates).
CAPTURE_AUTO_SHOT = (35, 232)
CAPTURE_AUDIO_RECORDING = (35, 282)
CAPTURE_VOLUME_RESET = (377, 64)
# Places on the device settings dialog (client coordinates).
DEVICE_TUNER_TAB = (92, 16)
DEVICE_CAMERA_BUTTON = (342, 320)
DEVICE_VIDEO_BUTTON = (470, 320)
DEVICE_SCAN_BUTTON = (337, 316)
DEVICE_CHANNEL_LIST = (284, 42, 258, 250)   # left, top, width, height
# The brightness slider's thumb at the middle of its travel, on the video
# quality dialog (client coordinates), and how far below it to drag.
BRIGHTNESS_THUMB = (42, 119)
QUALITY_AUTO = (18, 242)


def ini_values(run):
    with open(os.path.join(run.folder, "Capture.ini")) as f:
        text = f.read()
    return dict(re.findall(r"^([^=\n]+)=(.*)$", text, re.M))


def panel_luma(rows):
    left, top, width, height = vc.PREVIEW_PANEL
    total, n = 0.0, 0
    for y in range(top + 4, top + height - 4, 6):
        for x in range(left + 4, left + width - 4, 6):
            r, g, b = rows[y][x]
            total += 0.299 * r + 0.587 * g + 0.114 * b
            n += 1
    return total / n


def dark_pixels(rows, client_rect):
    left, top, width, height = client_rect
    x0, y0 = left + FRAME[0], top + FRAME[1]
    return sum(1 for y in range(y0, y0 + height) for x in range(x0, x0 + width) if sum(rows[y][x]) < 200)


def check_capture_settings():
    """The OD panel's capture-settings button opens the dialog over the
    preview; Reset, the switches and OK reach the settings file that Close
    writes."""
    with XSession(800, 600) as s:
        run = vc.Run(s)
        try:
            wid, geo = vc.open_preview(s, "capture-settings-preview")
            vc.click(s, geo, OD_CAPTURE_SETTING)
            dlg = s.wait_viewable(s.find_window("Capture Setting", timeout=20))
            dgeo = s.geometry(dlg)
            vc.shot(s, "capture-settings-opened", dgeo)
            press(s, dgeo, CAPTURE_VOLUME_RESET)
            press(s, dgeo, CAPTURE_AUTO_SHOT)
            press(s, dgeo, CAPTURE_AUDIO_RECORDING)
            vc.shot(s, "capture-settings-changed", dgeo)
            key(s, "Return")
            vc.wait_gone(s, "Capture Setting", 10)
            expect(process_alive(run.app.pid), "vorix ended")
            vc.click(s, geo, vc.CLOSE_BUTTON)
            expect(run.app.proc.wait(20) == 0, "vorix did not end after Close")
            values = ini_values(run)
            expect(values.get("EnableAutoShotFrame") == "1", f"timed snapshots not switched on: {values.get('EnableAutoShotFrame')}")
            expect(values.get("EnableAudioRecording") == "0", f"audio recording not switched off: {values.get('EnableAudioRecording')}")
            expect(values.get("AudioInputLevel") == "32768", f"the volume's reset did not stay: {values.get('AudioInputLevel')}")
        finally:
            run.close()


def check_device_settings():
    """The toolbar's Device Setting button opens the dialog over the OD
    preview; its video-quality dialog changes the camera's picture as the
    brightness slider moves, and Default puts it back. In the TV mode the
    tuner page's scan fills the channel list."""
    with XSession(800, 600) as s:
        run = vc.Run(s)
        try:
            wid, geo = vc.open_preview(s, "device-settings-preview")
            base = panel_luma(vc.shot(s, "device-settings-base", geo))
            vc.click(s, geo, DEVICE_SETTING_BUTTON)
            dlg = s.wait_viewable(s.find_window("Device Setting", timeout=20))
            dgeo = s.geometry(dlg)
            vc.shot(s, "device-settings-general", dgeo)

            press(s, dgeo, DEVICE_CAMERA_BUTTON)
            cam = s.wait_viewable(s.find_window("Camera Setting", timeout=10))
            vc.shot(s, "device-settings-camera", s.geometry(cam))
            key(s, "Escape")
            vc.wait_gone(s, "Camera Setting", 10)

            # The quality dialog's changes stay with the device whatever
            # closes the dialogs; the picture is looked at with them closed.
            def quality_dialog():
                press(s, dgeo, DEVICE_VIDEO_BUTTON)
                vq = s.wait_viewable(s.find_window("Video Quality", timeout=10))
                return s.geometry(vq)

            def close_dialogs():
                key(s, "Escape")
                vc.wait_gone(s, "Video Quality", 10)
                key(s, "Escape")
                vc.wait_gone(s, "Device Setting", 10)

            qgeo = quality_dialog()
            vc.shot(s, "device-settings-quality", qgeo)
            press(s, qgeo, QUALITY_AUTO)
            x, y = at(qgeo, BRIGHTNESS_THUMB)
            s.xdotool("mousemove", x, y)
            s.xdotool("mousedown", "1")
            for step in range(1, 9):
                s.xdotool("mousemove", x, y + step * 8)
            s.xdotool("mouseup", "1")
            vc.shot(s, "device-settings-quality-moved", qgeo)
            close_dialogs()

            def changed():
                now = panel_luma(vc.shot(s, "device-settings-moved", geo))
                return abs(now - base) > 8, f"panel luma {now:.1f} against {base:.1f}"
            vc.wait_for("the picture after the brightness slider", changed, timeout=10)

            vc.click(s, geo, DEVICE_SETTING_BUTTON)
            dlg = s.wait_viewable(s.find_window("Device Setting", timeout=20))
            dgeo = s.geometry(dlg)
            qgeo = quality_dialog()
            key(s, "Return")  # Default
            vc.shot(s, "device-settings-quality-default", qgeo)
            close_dialogs()

            def back():
                now = panel_luma(vc.shot(s, "device-settings-default", geo))
                return abs(now - base) < 3, f"panel luma {now:.1f} against {base:.1f}"
            vc.wait_for("the picture after Default", back, timeout=10)

            # The TV mode: the tuner page and a scan.
            vc.click(s, geo, vc.START_PAGE_BUTTON)
            time.sleep(1)
            vc.click(s, geo, vc.HOME_BUTTONS["TV"])
            time.sleep(2)
            vc.click(s, geo, DEVICE_SETTING_BUTTON)
            dlg = s.wait_viewable(s.find_window("Device Setting", timeout=20))
            dgeo = s.geometry(dlg)
            vc.shot(s, "device-settings-tv-general", dgeo)
            press(s, dgeo, DEVICE_TUNER_TAB)
            empty = vc.shot(s, "device-settings-tuner", dgeo)
            press(s, dgeo, DEVICE_SCAN_BUTTON)
            lines = []

            def listed():
                lines[:] = [dark_pixels(vc.shot(s, "device-settings-scan", dgeo), DEVICE_CHANNEL_LIST)]
                return lines[0] > dark_pixels(empty, DEVICE_CHANNEL_LIST) + 600, f"{lines[0]} dark pixels in the list, {dark_pixels(empty, DEVICE_CHANNEL_LIST)} before"
            vc.wait_for("the scanned channels in the list", listed, timeout=20)
            key(s, "Escape")
            vc.wait_gone(s, "Device Setting", 10)
            expect(process_alive(run.app.pid), "vorix ended")
            expect(empty is not None, "no tuner page")
        finally:
            run.close()


def main():
    return vc.program_main(globals())


if __name__ == "__main__":
    sys.exit(main())

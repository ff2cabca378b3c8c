#!/usr/bin/python3
"""The folder picker and wide dialog checks: uc_checks.py <check> <path of uc_app>.

Exit status 0 passes, 1 fails, 77 skips (a tool the check needs is missing; under CI=true that fails).
Screenshots stay in uc-screenshots/ beside the program.
"""

import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import XSession, expect, finish, run_check  # noqa: E402

APP = None


def shots():
    folder = os.path.join(os.path.dirname(os.path.abspath(APP)), "uc-screenshots")
    os.makedirs(folder, exist_ok=True)
    return folder


def start(x):
    app = x.start([APP])
    x.wait_viewable(int(app.expect_line("XID")))
    app.expect_line("READY")
    return app


def open_picker(x, app, command):
    app.send(command)
    app.expect_line("DIALOG")
    ok = app.expect_line("OK")
    x.wait_viewable(x.find_window("Browse for Folder"))
    return ok


def make_tree(folder):
    root = os.path.join(folder, "media")
    os.makedirs(os.path.join(root, "clips", "today"))
    os.symlink(os.path.join(root, "clips"), os.path.join(root, "shortcut"))
    return root


def check_picker_choose():
    # The browser opens at Path; a click on its first sub-folder and on OK
    # returns that folder without a trailing separator.
    with XSession() as x, tempfile.TemporaryDirectory() as tmp:
        root = make_tree(tmp)
        app = start(x)
        expect(open_picker(x, app, f"pick {root}/clips") == "1", f"OK disabled: {app.seen}")
        cx, cy = map(int, app.expect_line("CHILD").split())
        x.xdotool("mousemove", cx, cy, "click", 1)
        expect(app.expect_line("SELECTED") == f"{root}/clips/today", f"selection: {app.seen}")
        x.screenshot(os.path.join(shots(), "picker.png"))
        x.xdotool("key", "Return")
        expect(app.expect_line("RESULT") == f"1 {root}/clips/today", f"result: {app.seen}")
        finish(app)


def check_picker_cancel():
    # Escape cancels: False, and Path stays as it was although the user
    # moved the selection.
    with XSession() as x, tempfile.TemporaryDirectory() as tmp:
        root = make_tree(tmp)
        app = start(x)
        open_picker(x, app, f"pick {root}")
        cx, cy = map(int, app.expect_line("CHILD").split())
        x.xdotool("mousemove", cx, cy, "click", 1)
        app.expect_line("SELECTED")
        x.xdotool("key", "Escape")
        expect(app.expect_line("RESULT") == f"0 {root}", f"result: {app.seen}")
        finish(app)


def check_picker_file_system_only():
    # An empty Path pre-selects My Computer, which with file-system folders
    # only leaves OK disabled; its first entry, the root "/", enables it.
    with XSession() as x:
        app = start(x)
        expect(open_picker(x, app, "pickfs") == "0", f"OK enabled on My Computer: {app.seen}")
        cx, cy = map(int, app.expect_line("CHILD").split())
        x.screenshot(os.path.join(shots(), "picker-my-computer.png"))
        x.xdotool("mousemove", cx, cy, "click", 1)
        expect(app.expect_line("SELECTED") == "/", f"selection: {app.seen}")
        expect(app.expect_line("OK") == "1", f"OK on /: {app.seen}")
        x.xdotool("key", "Escape")
        expect(app.expect_line("RESULT").strip() == "0", f"result: {app.seen}")
        finish(app)


def check_message_copy():
    # Ctrl+C on the wide message box puts the framed text on the X
    # clipboard as UTF-8; Escape answers No.
    with XSession() as x:
        app = start(x)
        app.send("message")
        app.expect_line("DIALOG")
        x.wait_viewable(x.find_window("Confirm"))
        x.screenshot(os.path.join(shots(), "message.png"))
        x.xdotool("key", "ctrl+c")
        line = "-" * 27
        want = (f"{line}\nConfirm\n{line}\nФайл «中文» — delete?\n{line}\nYes   No   \n{line}\n")
        deadline = time.monotonic() + 10
        got = ""
        while time.monotonic() < deadline:
            got = x.get_clipboard().replace("\r\n", "\n")
            if got == want:
                break
            time.sleep(0.05)
        expect(got == want, f"clipboard: {got!r}")
        x.xdotool("key", "Escape")
        expect(app.expect_line("ANSWER") == "7", f"answer: {app.seen}")
        finish(app)


def main():
    global APP
    check, APP = sys.argv[1], sys.argv[2]
    return run_check(globals(), check, ("Xvfb", "xdotool", "xwininfo", "xclip", "import", "convert"))


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""The alarm pictures leaving the program: alarm_delivery_checks.py <check> <path of vorix> [screenshot folder].

A box moving in front of the simulated camera sets off alarms with Send Mail
and FTP Upload on, configured through Capture.ini to reach a loopback SMTP
server (aiosmtpd) and a loopback FTP server (pyftpdlib). What the servers
received is compared with the pictures the program saved in the day's alarm
folder.

Exit status 0 passes, 1 fails, 77 skips (a tool the check needs is missing; under CI=true that fails).
"""

import email
import email.policy
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vorix_checks as vc  # noqa: E402
from harness import XSession, expect, process_alive  # noqa: E402

SERVER_PYTHON = "/usr/bin/python3"

SMTP_SCRIPT = r"""
import asyncio, os, socket, sys
from aiosmtpd.smtp import SMTP

outdir = sys.argv[1]

class Handler:
    count = 0
    async def handle_DATA(self, server, session, envelope):
        Handler.count += 1
        path = os.path.join(outdir, 'msg%d.eml' % Handler.count)
        with open(path + '.tmp', 'wb') as f:
            f.write(envelope.original_content)
        os.rename(path + '.tmp', path)
        return '250 OK'

async def main():
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.bind(('127.0.0.1', 0))
    sock.listen(8)
    await asyncio.get_running_loop().create_server(lambda: SMTP(Handler(), hostname='localhost'), sock=sock)
    print(sock.getsockname()[1], flush=True)
    await asyncio.Event().wait()

asyncio.run(main())
"""

FTP_SCRIPT = r"""
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

auth = DummyAuthorizer()
auth.add_user('camera', 'secret', sys.argv[1], perm='elradfmwMT')
FTPHandler.authorizer = auth
server = FTPServer(('127.0.0.1', 0), FTPHandler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
"""


class Server:
    """A loopback server under the system's Python, on the port it reports."""

    def __init__(self, folder, name, script, args):
        path = os.path.join(folder, name + ".py")
        with open(path, "w") as f:
            f.write(script)
        self.proc = subprocess.Popen([SERVER_PYTHON, path] + args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        line = self.proc.stdout.readline().strip()
        expect(line.isdigit(), f"the {name} server did not start")
        self.port = int(line)

    def stop(self):
        self.proc.kill()
        self.proc.wait()


def servers_missing():
    """The exit status of a check that cannot run without the servers' modules, else None."""
    probe = subprocess.run([SERVER_PYTHON, "-c", "import aiosmtpd, pyftpdlib"], capture_output=True)
    if probe.returncode == 0:
        return None
    if os.environ.get("CI") == "true":
        print("FAILED: aiosmtpd or pyftpdlib missing, yet CI=true promises them", file=sys.stderr)
        return 1
    print("skipped: aiosmtpd or pyftpdlib not installed", file=sys.stderr)
    return 77


def read(path):
    with open(path, "rb") as f:
        return f.read()


def jpeg_size(data):
    """Width x height of JPEG bytes as an outside decoder reads them."""
    out = subprocess.run(["identify", "-format", "%wx%h", "jpeg:-"], input=data, capture_output=True, check=True)
    return out.stdout.decode()


def check_alarm_delivery():
    """Alarms with Send Mail (own SMTP client) and FTP Upload on: mails
    reach the SMTP server with alarm pictures attached, byte for byte the
    pictures saved in the day's alarm folder, and the FTP server's folder
    receives such pictures too; each picture sent or uploaded leaves its
    queue folder."""
    work = tempfile.mkdtemp(prefix="vorix-delivery-")
    mail_dir = os.path.join(work, "mail")
    ftp_root = os.path.join(work, "ftp")
    os.makedirs(mail_dir)
    os.makedirs(ftp_root)
    smtp = Server(work, "smtpd", SMTP_SCRIPT, [mail_dir])
    ftp = Server(work, "ftpd", FTP_SCRIPT, [ftp_root])
    try:
        with XSession(800, 600) as s:
            run = vc.Run(s)
            try:
                run.app_env["VORIX_SIM_CAMERA_MOTION"] = "box"
                vc.restart_with(s, run, {
                    "isMotionDetector": "1", "AlarmLine": "20", "AlarmDelay": "0.5",
                    "bSavePicture": "1", "bSendEmail": "1", "bFTPUpload": "1",
                    "SaveEachPicture": "1", "AlternationSavePicureTime": "1", "AlarmPictureSaveFormat": "1",
                    "bDefaultSend": "0", "bCustomSend": "1", "SendPictureOrOnlyHint": "1",
                    "SMTPHost": "127.0.0.1", "SMTPPort": str(smtp.port), "bSMTPIdentity": "0",
                    "SendFromAddress": "camera@example.org", "SendToAddress": "guard@example.org",
                    "subject": "Door camera", "EmaiSendsAlternation": "2", "EmailSendPictureNum": "3",
                    "FTPHostAddress": "127.0.0.1", "FTPPort": str(ftp.port), "FTPUserName": "camera",
                    "FTPPassword": "secret", "FTPFolder": "AlarmPicture", "isContinuedUpload": "1"})
                wid, geo = vc.open_preview(s, "delivery-before")
                day = lambda: {os.path.basename(p): p for p in vc.files_below(run.folder, (".jpg",))
                               if f"{os.sep}AlarmImags{os.sep}" in p}
                mail_queue = os.path.join(run.folder, "SendMailtempFile")
                upload_queue = os.path.join(run.folder, "UploadTempFile")
                remote = os.path.join(ftp_root, "AlarmPicture")

                # Uploaded pictures count once their queue copy is gone: the
                # program deletes it only after the server confirmed the file.
                def uploaded():
                    names = [n for n in (os.listdir(remote) if os.path.isdir(remote) else [])
                             if n.endswith(".jpg") and not os.path.exists(os.path.join(upload_queue, n))]
                    return bool(names), names
                names = vc.wait_for("a picture on the FTP server", uploaded, timeout=60)
                first_mail = os.path.join(mail_dir, "msg1.eml")
                vc.wait_for("a mail at the SMTP server", lambda: (os.path.exists(first_mail), "none"), timeout=60)
                vc.shot(s, "delivery-running", geo)

                pictures = day()
                for name in names:
                    expect(name in pictures, f"uploaded {name} is no picture of the day's folder")
                    uploaded_bytes = read(os.path.join(remote, name))
                    expect(uploaded_bytes == read(pictures[name]), f"uploaded {name} differs from the saved one")
                    expect(jpeg_size(uploaded_bytes) == jpeg_size(read(pictures[name])), f"{name} does not decode")

                with open(first_mail, "rb") as f:
                    message = email.message_from_binary_file(f, policy=email.policy.default)
                expect(message["Subject"] == "Door camera", f"subject {message['Subject']!r}")
                expect("guard@example.org" in str(message["To"]), f"to {message['To']!r}")
                body = message.get_body(("plain",))
                expect(body is not None and "then alarm is touch off !" in body.get_content(), "the mail's body")
                attached = [(a.get_filename(), a.get_payload(decode=True)) for a in message.iter_attachments()]
                expect(1 <= len(attached) <= 3, f"{len(attached)} pictures in the first mail")
                for name, data in attached:
                    expect(name in pictures, f"mailed {name} is no picture of the day's folder")
                    expect(data == read(pictures[name]), f"mailed {name} differs from the saved one")
                    expect(jpeg_size(data) != "", f"mailed {name} does not decode")
                    expect(not os.path.exists(os.path.join(mail_queue, name)), f"mailed {name} is still queued")
                expect(process_alive(run.app.pid), "vorix ended")

                # Closing while runs may be on ends the program all the same.
                vc.click(s, geo, vc.CLOSE_BUTTON)
                expect(run.app.proc.wait(30) == 0, "vorix did not end after Close")
            finally:
                run.close()
    finally:
        smtp.stop()
        ftp.stop()
        shutil.rmtree(work, ignore_errors=True)


def main():
    return vc.program_main(globals(), ("Xvfb", "xdotool", "xwininfo", "import", "identify"), servers_missing)


if __name__ == "__main__":
    sys.exit(main())

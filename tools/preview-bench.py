#!/usr/bin/python3
"""Preview cost of the real program: tools/preview-bench.py <path of vorix> [seconds]

Starts the program on a virtual X display with the simulated camera giving
1280x720 YUY2 at 30 frames a second, opens the other-devices mode and lets
it preview for 20 s (or the seconds given). Prints the program's CPU (% of
one core) and peak RSS over that time, then the CPU of the colour conversion
alone: ffmpeg turning the same number of 1280x720 YUY2 frames into 32-bit
RGB at the same pace. Goal: RSS <= 120 MB, CPU <= 1.5 x the conversion.
"""

import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import vorix_checks as v  # noqa: E402
from harness import XSession  # noqa: E402

W, H, FPS = 1280, 720, 30
TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK  # utime + stime


def peak_rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(re.search(r"VmHWM:\s+(\d+)", f.read()).group(1)) / 1024


def measure_program(program, seconds):
    v.PROGRAM = os.path.abspath(program)
    v.SHOTS = tempfile.mkdtemp(prefix="vorix-bench-")
    os.environ["VORIX_SIM_CAMERA_SIZE"] = f"{W}x{H}"
    with XSession(800, 600) as s:
        run = v.Run(s)
        try:
            # The settings' frame rate, then the preview.
            v.restart_with(s, run, {"FrameRate": str(FPS)})
            v.open_preview(s, "bench")
            pid = run.app.pid
            time.sleep(2)  # the graph settles
            c0, t0 = cpu_seconds(pid), time.monotonic()
            time.sleep(seconds)
            c1, t1 = cpu_seconds(pid), time.monotonic()
            return 100 * (c1 - c0) / (t1 - t0), peak_rss_mb(pid)
        finally:
            run.close()


def measure_conversion(seconds):
    with tempfile.TemporaryDirectory() as d:
        clip = os.path.join(d, "frames.yuv")
        subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i", f"smptebars=s={W}x{H}:r={FPS}", "-frames:v",
                        str(FPS), "-pix_fmt", "yuyv422", "-f", "rawvideo", clip], check=True)
        r = subprocess.run(["/usr/bin/time", "-f", "%U %S %e", "ffmpeg", "-v", "error", "-threads", "1", "-re",
                            "-stream_loop", str(seconds - 1), "-f", "rawvideo", "-pix_fmt", "yuyv422", "-s",
                            f"{W}x{H}", "-r", str(FPS), "-i", clip, "-pix_fmt", "bgra", "-f", "null", "-"],
                           capture_output=True, text=True, check=True)
        user, system, elapsed = map(float, r.stderr.strip().splitlines()[-1].split())
        return 100 * (user + system) / elapsed


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    cpu, rss = measure_program(sys.argv[1], seconds)
    conversion = measure_conversion(seconds)
    print(f"program: {cpu:.1f} % CPU, peak RSS {rss:.1f} MB ({W}x{H} at {FPS} fps, {seconds} s)")
    print(f"colour conversion alone (ffmpeg yuyv422 -> bgra): {conversion:.1f} % CPU")
    print(f"ratio: {cpu / conversion:.2f} (goal <= 1.5); RSS goal <= 120 MB")
    return 0


if __name__ == "__main__":
    sys.exit(main())

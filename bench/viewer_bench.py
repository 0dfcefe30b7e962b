#!/usr/bin/env python3
"""The desktop app as a user starts it, under a virtual X server: the time from
the start of the process to the first picture of a recording given on the
command line, and the processor time a second while it plays (speed 1, four
channels in a 1280x896 window) and after Ctrl+P has paused it.

    bench/viewer_bench.py [BUILD_DIR] [--runs N] [--seconds S]

BUILD_DIR (default build-bench, else build) holds bin/marlin-viewer and
samples/sample.QKV. Needs Xvfb. Prints one line per measure: median, min, max.
"""
import argparse
import ctypes
import os
import pathlib
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid: int) -> float:
    fields = pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    # utime and stime are fields 14 and 15; the split starts at field 3.
    return (int(fields[11]) + int(fields[12])) / TICKS


class VirtualDisplay:
    def __init__(self):
        self.number = 90 + os.getpid() % 100
        self.process = subprocess.Popen(
            ["Xvfb", f":{self.number}", "-screen", "0", "1920x1080x24", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1.0)

    def close(self):
        self.process.terminate()
        self.process.wait()


def press_ctrl_p(display):
    """Ctrl+P (Pause) through the X test extension, with the pointer over the
    centred window so that it has the keyboard on a server without a window
    manager."""
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    xtst = ctypes.cdll.LoadLibrary("libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    handle = x11.XOpenDisplay(f":{display}".encode())
    if not handle:
        return False
    xtst.XTestFakeMotionEvent(handle, -1, 960, 540, 0)
    control = x11.XKeysymToKeycode(handle, 0xFFE3)
    letter = x11.XKeysymToKeycode(handle, ord("p"))
    for code, down in ((control, 1), (letter, 1), (letter, 0), (control, 0)):
        xtst.XTestFakeKeyEvent(handle, code, down, 0)
    x11.XFlush(handle)
    x11.XCloseDisplay(handle)
    return True


def start_viewer(viewer, sample, display, config, extra=()):
    environment = dict(os.environ, DISPLAY=f":{display}", QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=config,
                       SDL_AUDIODRIVER="dummy")
    started = time.monotonic()
    process = subprocess.Popen([viewer, sample, "--events", "--size", "1280x896", *extra], env=environment,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return process, started


def wait_for_line(process, marker, started, patience=20.0):
    """The time from started to the first line holding marker, in ms."""
    deadline = time.monotonic() + patience
    while time.monotonic() < deadline:
        ready, _, _ = select.select([process.stdout], [], [], 0.05)
        if ready:
            line = process.stdout.readline()
            if marker in line:
                return (time.monotonic() - started) * 1000.0
    raise RuntimeError(f"no {marker!r} within the patience")


def drain(process):
    while select.select([process.stdout], [], [], 0)[0]:
        if not process.stdout.read1(65536):
            break


def busy_share(process, seconds):
    drain(process)
    before = cpu_seconds(process.pid)
    begin = time.monotonic()
    end = begin + seconds
    while time.monotonic() < end:
        select.select([process.stdout], [], [], 0.1)
        drain(process)
    return (cpu_seconds(process.pid) - before) / (time.monotonic() - begin)


def summary(name, values, unit):
    print(f"{name:<34} median {statistics.median(values):8.3f} {unit}   min {min(values):8.3f}   max {max(values):8.3f}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seconds", type=float, default=8.0)
    options = parser.parse_args()
    root = pathlib.Path(__file__).resolve().parent.parent
    build = pathlib.Path(options.build) if options.build else next(
        (root / name for name in ("build-bench", "build") if (root / name / "bin/marlin-viewer").exists()), None)
    if build is None or not shutil.which("Xvfb"):
        print("needs a build with bin/marlin-viewer and Xvfb", file=sys.stderr)
        return 2
    viewer = str(build / "bin/marlin-viewer")
    sample = str(build / "samples/sample.QKV")
    display = VirtualDisplay()
    starts, playing, paused = [], [], []
    try:
        with tempfile.TemporaryDirectory() as config:
            pathlib.Path(config, "marlin-viewer").mkdir()
            # Repeat keeps the ten-second sample playing for the whole measure.
            pathlib.Path(config, "marlin-viewer/marlin-viewer.ini").write_text("[Marlin Viewer]\nRepeat=1\n")
            for _ in range(options.runs):
                process, started = start_viewer(viewer, sample, display.number, config)
                try:
                    starts.append(wait_for_line(process, b'"event":"picture"', started))
                    time.sleep(1.0)
                    playing.append(busy_share(process, options.seconds))
                    if press_ctrl_p(display.number):
                        wait_for_line(process, b'"state":"paused"', time.monotonic())
                        time.sleep(1.0)
                        paused.append(busy_share(process, options.seconds / 2))
                finally:
                    process.send_signal(signal.SIGTERM)
                    process.wait(timeout=10)
    finally:
        display.close()
    summary("start to first picture", starts, "ms")
    summary("processor s/s playing (4 ch, x1)", playing, "s/s")
    if paused:
        summary("processor s/s paused", paused, "s/s")
    return 0


if __name__ == "__main__":
    sys.exit(main())

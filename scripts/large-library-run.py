#!/usr/bin/env python3
"""Drives Lyrafold on a large profile under a display with a window manager and measures it from outside:
the time to the shown window and to the shown rows (launch log), the resident memory once the library
has settled (no CPU used for a second), the peak growth and the resident memory of slot switches
(tile clicks), and the time a Ctrl+Q takes to end the process.

    lyrafold-demo-profile --profile /tmp/p --books build/demo/books --force --bookmarks 1000000
    Xvfb :91 -screen 0 1600x1000x24 & DISPLAY=:91 openbox &
    scripts/large-library-run.py --app build/src/app/lyrafold --profile /tmp/p --display :91 \
        --switch 1 --switch 0 --quit

The tiles are clicked where the main window puts them on a 1600x1000 screen (centred, 1380x640).
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")
# Centres of the slot tiles on a 1600x1000 screen.
TILES = {0: (646, 311), 1: (712, 311), 2: (779, 311), 3: (646, 379), 4: (712, 379), 5: (779, 379)}


def status(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field):
                return int(line.split()[1]) / 1024.0
    return 0.0


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def log_time(log, text):
    try:
        with open(log) as f:
            return text in f.read()
    except FileNotFoundError:
        return False


def wait_settled(pid, quiet=1.0, timeout=600):
    """Returns once the process used under 2 % of a CPU for `quiet` seconds; the peak RSS meanwhile."""
    start = time.monotonic()
    last_cpu = cpu_seconds(pid)
    last_change = time.monotonic()
    while time.monotonic() - start < timeout:
        time.sleep(0.05)
        now_cpu = cpu_seconds(pid)
        if now_cpu - last_cpu > 0.02 * (time.monotonic() - last_change):
            last_cpu = now_cpu
            last_change = time.monotonic()
        elif time.monotonic() - last_change >= quiet:
            return time.monotonic() - start - quiet
    raise SystemExit("the application did not settle")


def xdo(display, *args):
    subprocess.run(["xdotool", *args], env={**os.environ, "DISPLAY": display}, check=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    parser.add_argument("--profile", required=True)
    parser.add_argument("--display", required=True)
    parser.add_argument("--switch", type=int, action="append", default=[], help="slot tile to click, in turn")
    parser.add_argument("--search", help="text typed into the search field as soon as the window shows")
    parser.add_argument("--screenshot", help="picture of the screen half a second after the window shows")
    parser.add_argument("--rows-screenshot", help="picture of the screen once the library has settled")
    parser.add_argument("--quit", action="store_true")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="lyrafold-run-")
    log = os.path.join(work, "Lyrafold_launch.log")
    env = dict(os.environ)
    for name, sub in (("HOME", "home"), ("XDG_DATA_HOME", "data"), ("XDG_CONFIG_HOME", "config"),
                      ("XDG_CACHE_HOME", "cache"), ("XDG_STATE_HOME", "state")):
        env[name] = os.path.join(args.profile, sub)
    env.update(TMPDIR=work, DISPLAY=args.display, QT_QPA_PLATFORM="xcb")
    print("load", open("/proc/loadavg").read().strip())

    started = time.monotonic()
    app = subprocess.Popen([args.app], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    shown = rows = None
    while rows is None and time.monotonic() - started < 300:
        now = time.monotonic() - started
        if shown is None and log_time(log, ": 8 window shown"):
            shown = now
            if args.search:
                time.sleep(0.3)
                xdo(args.display, "mousemove", "400", "460", "click", "1")
                xdo(args.display, "type", "--delay", "30", args.search)
            if args.screenshot:
                # Once the window has drawn itself, while the slot is still being read.
                time.sleep(0.5)
                subprocess.run(["import", "-window", "root", args.screenshot],
                               env={**os.environ, "DISPLAY": args.display})
        if log_time(log, "library rows shown"):
            rows = now
        time.sleep(0.005)
    print(f"window_shown_s {shown:.3f}  rows_shown_s {rows:.3f}" if rows else f"window_shown_s {shown}")
    settle = wait_settled(app.pid)
    if args.rows_screenshot:
        subprocess.run(["import", "-window", "root", args.rows_screenshot],
                       env={**os.environ, "DISPLAY": args.display})
    print(f"settled_after_rows_s {settle:.2f}  rss_mb {status(app.pid, 'VmRSS:'):.0f}"
          f"  peak_mb {status(app.pid, 'VmHWM:'):.0f}")

    for slot in args.switch:
        before = status(app.pid, "VmRSS:")
        with open(f"/proc/{app.pid}/clear_refs", "w") as f:
            f.write("5")
        x, y = TILES[slot]
        clicked = time.monotonic()
        xdo(args.display, "mousemove", str(x), str(y), "click", "1")
        settle = wait_settled(app.pid)
        print(f"switch to {slot}: settled_s {settle:.2f}  rss_before_mb {before:.0f}"
              f"  peak_growth_mb {status(app.pid, 'VmHWM:') - before:.0f}"
              f"  rss_after_mb {status(app.pid, 'VmRSS:'):.0f}")

    if args.quit:
        xdo(args.display, "mousemove", "700", "230", "click", "1")
        time.sleep(0.5)
        pressed = time.monotonic()
        xdo(args.display, "key", "ctrl+q")
        app.wait(timeout=120)
        print(f"quit_ms {(time.monotonic() - pressed) * 1000:.0f}  exit {app.returncode}")
    else:
        app.terminate()
        app.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())

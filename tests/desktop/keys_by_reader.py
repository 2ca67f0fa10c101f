"""The real program under Xvfb with a window manager, typed to with real keys and read as a screen
reader reads it: the seek keys move the Time label and the slider at once, a value a screen reader
sets on the slider seeks, and Play goes on from the place the keys chose.

Run by keys_by_reader.sh, which gives it a session bus, the accessibility bus and openbox.
Usage: keys_by_reader.py QUILLET CODEC
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402
import pyatspi  # noqa: E402

# Read every name afresh: a cached one lags behind the window.
pyatspi.setCacheLevel(Atspi.Cache.NONE)


def wait_for(what, predicate, seconds=20.0):
    end = time.time() + seconds
    while time.time() < end:
        try:
            value = predicate()
            if value:
                return value
        except Exception:  # the tree changes under us while the window loads
            pass
        time.sleep(0.05)
    raise AssertionError(f"timed out waiting for {what}")


def find(node, role, name):
    """The first node of the role and name under node, depth first."""
    if node is None or (node.getRoleName() == role and node.name == name):
        return node
    return next(filter(None, (find(child, role, name) for child in node)), None)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True,
                          text=True).stdout.strip()


def checks(program, failures):
    app = wait_for("the window on the accessibility bus", lambda: next(
        (a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "Quillet"), None))
    label = lambda panel: find(app, "panel", panel)[0].name  # noqa: E731
    wait_for("the file loaded", lambda: label("Total Time") == "00:00:30")
    window = wait_for("the window on the display", lambda: xdotool(
        "search", "--onlyvisible", "--pid", str(program.pid)).split()[-1])
    xdotool("windowactivate", "--sync", window)
    slider = find(app, "slider", "Position").queryValue()

    def report(step, failure=None):
        failures.extend([failure] if failure else [])
        print(f"FAIL!  : {failure}" if failure else f"PASS   : {step}")

    def check(step, keys, time_text, second):
        if keys:
            xdotool("key", "--window", window, *keys)
        try:
            wait_for(f"{step}: Time {time_text}", lambda: label("Time") == time_text, 5)
            at = int(slider.currentValue)
            report(step, None if at == second else f"{step}: slider at {at}, not {second}")
        except AssertionError as error:
            report(step, f"{error} (Time {label('Time')})")

    check("Right twice", ["Right", "Right"], "00:00:02", 2)
    check("End", ["End"], "00:00:29", 29)
    check("Left after End", ["Left"], "00:00:28", 28)
    check("Home", ["Home"], "00:00:00", 0)
    slider.currentValue = 12
    check("a screen reader sets 12", [], "00:00:12", 12)
    # Play goes on from second 12: a second and a half later the label reads 13 or 14.
    xdotool("key", "--window", window, "space")
    time.sleep(1.5)
    heard = label("Time")
    report("Play goes on from the seek",
           None if heard in ("00:00:13", "00:00:14") else f"Play after the seek shows {heard}")


def main():
    failures = []
    with tempfile.TemporaryDirectory(prefix="quillet-keys-", ignore_cleanup_errors=True) as root:
        folder = os.path.join(root, "program")
        os.makedirs(folder)
        for built in sys.argv[1:3]:  # the program and the transcoder
            shutil.copy(built, folder)
        tone = os.path.join(root, "tone.wav")
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                        "sine=frequency=440:duration=30:sample_rate=44100", "-ac", "2", tone],
                       check=True)
        env = dict(os.environ, HOME=root, XDG_CONFIG_HOME=os.path.join(root, "config"),
                   XDG_DATA_HOME=os.path.join(root, "data"),
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        env.pop("QT_QPA_PLATFORM", None)
        program = subprocess.Popen([os.path.join(folder, "quillet"), tone], env=env)
        try:
            checks(program, failures)
        finally:
            program.terminate()
            program.wait(20)
    print(f"{6 - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

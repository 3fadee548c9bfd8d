#!/usr/bin/env python3
"""The application's end at logout, as a user's desktop ends it: the X server
and the session bus go away, together with a SIGTERM or on their own. It
starts on an Xvfb of its own with a session bus of its own, the desktop's
accessibility switch already on (as a user who said yes has it), and runs
until its keyboard tap is up. Then, per case:

  logout    SIGTERM, the X server and the session bus, all at one moment:
            exit status 0
  x_gone    only the X server: a line saying so and exit status 1
  bus_gone  only the session bus (and what it started): the program goes on
            answering (an action from the command line reaches it), then
            SIGTERM ends it with status 0

Every ending must be free of crashes, sanitizer reports and Qt's complaints
about objects torn down from the wrong thread, and must leave every file the
program keeps whole: each JSON document parses and no temporary file of a
write is left beside it.

The bus is a dbus-daemon this script starts in a process group of its own
(not dbus-run-session, which ends with its bus), so that the bus can go
away while the program lives and the program's own exit status is seen.

usage: app_logout.py TESSAVINOR_BINARY [CASE...] [--runs N]
"""
import argparse
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import app_lifecycle  # noqa: E402  (its output reader, backtrace and action sender)
from grab_probe import GrabProbe  # noqa: E402
from process_group import end_group, start  # noqa: E402

CASES = ("logout", "x_gone", "bus_gone")
X_GONE_LINE = "Tessavinor: the X server went away"
# What a crash, a sanitizer, glibc's heap checks or a Qt object ended from the
# wrong thread prints.
BAD_MARKERS = ("Segmentation fault", "double free", "corrupted", "AddressSanitizer", "ThreadSanitizer",
               "runtime error:", "LeakSanitizer", "Timers cannot be stopped", "QObject::~QObject",
               "QThread: Destroyed while thread", "terminate called")


def start_bus(home, display):
    """A session bus of its own, leading its own process group (so what it
    starts - the accessibility bus launcher, its bus, the registry - goes with
    it), with the accessibility switch turned on, kept in memory only."""
    env = {k: v for k, v in os.environ.items() if not k.startswith(("DBUS_", "GSETTINGS_"))}
    env.update({"DISPLAY": display, "GSETTINGS_BACKEND": "memory"})
    for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"):
        env[name] = os.path.join(home, "bus-" + name.lower())
        os.makedirs(env[name], mode=0o700, exist_ok=True)
    address = "unix:path=" + os.path.join(home, "bus")
    bus = start(["dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + address, "--print-address=1"],
                env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    if not bus.stdout.readline().strip():
        end_group(bus)
        app_lifecycle.fail("the session bus did not start")
    turn_on = subprocess.run(
        ["dbus-send", "--bus=" + address, "--print-reply", "--reply-timeout=20000", "--dest=org.a11y.Bus",
         "/org/a11y/bus", "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
         "variant:boolean:true"], env=env, capture_output=True, text=True, timeout=30)
    if turn_on.returncode != 0:
        end_group(bus)
        app_lifecycle.fail("the accessibility switch did not turn on: " + turn_on.stderr.strip())
    return bus, address


def launch(binary, home, display, address):
    env = app_lifecycle.app_env(display, home)
    env.update({"DBUS_SESSION_BUS_ADDRESS": address, "HOME": home})
    env.pop("GSETTINGS_BACKEND", None)
    for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"):
        env[name] = os.path.join(home, name.lower())
        os.makedirs(env[name], exist_ok=True)
    proc = start([binary], env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return proc, app_lifecycle.Lines(proc)


def group_alive(proc):
    try:
        os.killpg(proc.pid, 0)
        return True
    except ProcessLookupError:
        return False


def kept_files_whole(home):
    """What is wrong with the files the program keeps, or None."""
    for folder, _, names in os.walk(home):
        if os.path.relpath(folder, home).startswith(("bus-", "xdg_", "run")):
            continue
        for name in names:
            path = os.path.join(folder, name)
            if ".tmp-" in name:
                return "a write's temporary file was left: " + path
            if name.endswith(".json"):
                try:
                    with open(path, "rb") as f:
                        json.loads(f.read().decode("utf-8"))
                except (ValueError, UnicodeDecodeError) as e:
                    return "%s is not whole: %s" % (path, e)
    return None


def tap_up(display, proc):
    probe = GrabProbe(display)
    try:
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline and proc.poll() is None:
            if probe.caps_lock_grabbed():
                return True
            time.sleep(0.05)
        return False
    finally:
        probe.close()


def wait_ended(proc, out, seconds):
    try:
        status = proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        print(app_lifecycle.backtrace(proc.pid))
        return None
    out.finish()
    return status


def one_run(binary, case):
    """None when the ending was clean, else what went wrong and the output."""
    with tempfile.TemporaryDirectory(prefix="tessavinor-logout-") as home:
        xvfb, display = app_lifecycle.start_xvfb()
        bus = proc = None
        try:
            bus, address = start_bus(home, display)
            proc, out = launch(binary, home, display, address)
            if not out.wait_for("Tessavinor: started", time.monotonic() + 30):
                return "the application did not finish starting", out
            if not tap_up(display, proc):
                return "the keyboard tap never came up", out
            expected = 0
            if case == "logout":
                proc.send_signal(signal.SIGTERM)
                xvfb.terminate()
                os.killpg(bus.pid, signal.SIGTERM)
            elif case == "x_gone":
                xvfb.terminate()
                expected = 1
            else:
                os.killpg(bus.pid, signal.SIGTERM)
                deadline = time.monotonic() + 20
                while group_alive(bus) and time.monotonic() < deadline:
                    bus.poll()
                    time.sleep(0.02)
                code, err = app_lifecycle.send_action(binary, display, home, "toggleCopyCache")
                if code != 0 or not out.wait_for("Tessavinor: action toggleCopyCache", time.monotonic() + 10):
                    ended = wait_ended(proc, out, 5)
                    return "no answer after the bus went away (%d: %s; status %s)" % (code, err, ended), out
                proc.send_signal(signal.SIGTERM)
            status = wait_ended(proc, out, 30)
            if status is None:
                return "the application did not end", out
            text = "\n".join(out.lines)
            bad = [m for m in BAD_MARKERS if m in text]
            if status != expected or bad:
                return "exit status %d (expected %d)%s" % (status, expected, ", printed " + ", ".join(bad)
                                                            if bad else ""), out
            if case == "x_gone" and X_GONE_LINE not in text:
                return "no line saying the X server went away", out
            problem = kept_files_whole(home)
            return (problem, out) if problem else (None, out)
        finally:
            for p in (proc, bus):
                if p:
                    end_group(p)
            xvfb.kill()
            xvfb.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("cases", nargs="*", default=list(CASES))
    parser.add_argument("--runs", type=int, default=1)
    args = parser.parse_args()
    failed = 0
    for case in args.cases:
        clean = 0
        for run in range(1, args.runs + 1):
            problem, out = one_run(args.binary, case)
            if problem:
                failed += 1
                print("FAIL %s run %d: %s\n%s" % (case, run, problem, "\n".join(out.lines)))
            else:
                clean += 1
        print("%s: %d clean of %d" % (case, clean, args.runs))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()

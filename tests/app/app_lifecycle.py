#!/usr/bin/env python3
"""The tessavinor application on a real X server: it starts in order, a second
copy started meanwhile leaves by itself without touching anything, SIGTERM runs
the ordered shut-down and exits 0, and an unreadable preferences file (corrupt
or absurdly deep) is kept aside while the application starts with defaults.

Usage: app_lifecycle.py TESSAVINOR_BINARY
Each run starts its own Xvfb on a display it picks (-displayfd), never shared.
"""
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time

START_STEPS = ["updaterController", "runLaunchChecks", "setActivationPolicy", "beginActivity",
               "buildStatusItem", "warnStatusItemMissing", "checkAccessibilityReset",
               "checkConflictingApplications", "engine", "resumePendingAXRepair", "runLaunchSetup",
               "requestAccessibility", "registerObservers", "loadStabilityStats", "scheduleLogMaintenance",
               "beginStabilitySession", "startAXPermissionTimer", "startEventTapWatchdog",
               "startTapDeadManThread", "onboarding"]
QUIT_STEPS = ["endStabilitySession", "saveStabilityStats", "clearHIDUtilMapping", "restoreOriginalHotKey61",
              "releaseCapsLEDKeyboards"]
BUNDLE = "com.Ovrelan.Tessavinor"


class Lines:
    """Collects a process's standard error line by line, for waiting on markers."""

    def __init__(self, proc):
        self.proc = proc
        self.lines = []
        self.cond = threading.Condition()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def finish(self):
        """Waits for the rest of the output of a process that has ended."""
        self.reader.join(timeout=5)

    def _read(self):
        for raw in self.proc.stderr:
            with self.cond:
                self.lines.append(raw.decode("utf-8", "replace").rstrip("\n"))
                self.cond.notify_all()
        with self.cond:
            self.cond.notify_all()

    def wait_for(self, text, deadline):
        with self.cond:
            while True:
                if any(text in l for l in self.lines):
                    return True
                left = deadline - time.monotonic()
                if left <= 0 or (self.proc.poll() is not None and not any(text in l for l in self.lines)):
                    return any(text in l for l in self.lines)
                self.cond.wait(min(left, 0.2))

    def steps(self, kind):
        prefix = "Tessavinor: %s step: " % kind
        return [l[len(prefix):] for l in self.lines if l.startswith(prefix)]


def fail(message, *dumps):
    print("FAIL: " + message)
    for d in dumps:
        print("\n".join(d.lines))
    sys.exit(1)


def start_xvfb():
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-noreset", "-nolisten", "tcp",
                             "-screen", "0", "1280x800x24"], pass_fds=[write_fd],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = b""
    deadline = time.monotonic() + 20
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        chunk = os.read(read_fd, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_fd)
    if not number.strip():
        xvfb.kill()
        fail("Xvfb did not report a display")
    return xvfb, ":" + number.decode().strip()


def app_env(display, home):
    env = dict(os.environ)
    env.update({"DISPLAY": display, "TESSAVINOR_HOME": home, "XDG_RUNTIME_DIR": os.path.join(home, "run"),
                "QT_QPA_PLATFORM": "xcb", "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(home, "no-bus")})
    env.pop("WAYLAND_DISPLAY", None)
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    return env


def launch(binary, display, home):
    env = app_env(display, home)
    proc = subprocess.Popen([binary], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)
    return proc, Lines(proc)


def backtrace(pid):
    """Every thread's stack of a process that hangs, when gdb is at hand."""
    try:
        return subprocess.run(["gdb", "-p", str(pid), "-batch", "-ex", "thread apply all bt 12"],
                              capture_output=True, text=True, timeout=60).stdout
    except (OSError, subprocess.TimeoutExpired):
        return "(no backtrace)"


def send_action(binary, display, home, name):
    """`tessavinor --action NAME`: its exit status and standard error."""
    done = subprocess.run([binary, "--action", name], env=app_env(display, home), capture_output=True, text=True,
                          timeout=30)
    return done.returncode, done.stderr.strip()


def quit_with_sigterm(proc, out):
    proc.send_signal(signal.SIGTERM)
    try:
        status = proc.wait(timeout=30)
    except subprocess.TimeoutExpired:
        print(backtrace(proc.pid))
        proc.kill()
        fail("the application did not end after SIGTERM", out)
    out.finish()
    return status


def main():
    binary = sys.argv[1]
    xvfb, display = start_xvfb()
    try:
        with tempfile.TemporaryDirectory(prefix="tessavinor-app-") as home:
            first, out = launch(binary, display, home)
            if not out.wait_for("Tessavinor: started", time.monotonic() + 30):
                first.kill()
                fail("the application did not finish starting", out)
            if out.steps("start-up") != START_STEPS:
                first.kill()
                fail("start-up steps out of order: %s" % out.steps("start-up"), out)

            # A second copy: it stops at the launch checks, its alert answers
            # Quit by itself, and it never runs a shut-down step.
            prefs = os.path.join(home, "Preferences", BUNDLE + ".json")
            second, out2 = launch(binary, display, home)
            try:
                status2 = second.wait(timeout=30)
            except subprocess.TimeoutExpired:
                second.kill()
                fail("the second copy did not leave by itself", out2)
            out2.finish()
            if status2 != 0:
                fail("the second copy exited with %d" % status2, out2)
            if out2.steps("start-up") != ["updaterController", "runLaunchChecks"] or out2.steps("shut-down"):
                fail("the second copy went past its launch checks or ran shut-down steps", out2)
            if first.poll() is not None:
                fail("the first copy ended when the second one left", out)

            # Actions from the command line reach the running instance; an
            # unknown one is refused without reaching it.
            code, err = send_action(binary, display, home, "toggleCopyCache")
            if code != 0 or not out.wait_for("Tessavinor: action toggleCopyCache from the command line",
                                             time.monotonic() + 10):
                fail("--action toggleCopyCache did not reach the running instance (%d: %s)" % (code, err), out)
            code, err = send_action(binary, display, home, "quitApp")
            if code != 2 or "unknown action" not in err or first.poll() is not None:
                fail("--action quitApp was not refused (%d: %s)" % (code, err), out)

            status = quit_with_sigterm(first, out)
            if status != 0:
                fail("SIGTERM ended the application with status %d" % status, out)
            code, err = send_action(binary, display, home, "openQuickPaste")
            if code != 1 or "not running" not in err:
                fail("--action with no running instance gave %d: %s" % (code, err))
            if out.steps("shut-down") != QUIT_STEPS:
                fail("shut-down steps out of order: %s" % out.steps("shut-down"), out)

            # Unreadable preferences are kept aside; the application starts.
            for name, content in (("corrupt", b"{not json"), ("deep", b"[" * 30000 + b"]" * 30000)):
                with open(prefs, "wb") as f:
                    f.write(content)
                for leftover in os.listdir(os.path.dirname(prefs)):
                    if ".corrupt" in leftover:
                        os.remove(os.path.join(os.path.dirname(prefs), leftover))
                proc, lines = launch(binary, display, home)
                if not lines.wait_for("Tessavinor: started", time.monotonic() + 30):
                    proc.kill()
                    fail("the application did not start over %s preferences" % name, lines)
                kept = [f for f in os.listdir(os.path.dirname(prefs)) if ".corrupt" in f]
                status = quit_with_sigterm(proc, lines)
                if not kept:
                    fail("%s preferences were not kept aside" % name, lines)
                if status != 0:
                    fail("quit after %s preferences gave status %d" % (name, status), lines)
        print("app lifecycle: ordered start, lone second copy, actions from the command line, ordered quit, "
              "unreadable preferences kept aside")
    finally:
        xvfb.terminate()
        try:
            xvfb.wait(timeout=5)
        except subprocess.TimeoutExpired:
            xvfb.kill()


if __name__ == "__main__":
    main()

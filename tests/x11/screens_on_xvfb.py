#!/usr/bin/env python3
"""The widget tests that show windows, on a real X server as a new user sees
them: a private Xvfb at 1366x768 with openbox managing it and no compositing
manager. Screenshots (window-manager frames included) go to
<build>/screenshots/xvfb_openbox; the cases that need an X server (a panel
drawn opaque without a compositor, sheets that fit the screen) run here and
are skipped on the offscreen platform.

usage: screens_on_xvfb.py TESSA_UI_TESTS SCREENSHOT_DIR
Exit 77 (skipped) when Xvfb or openbox is missing."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from process_group import end_group, start  # noqa: E402

FILTER = os.environ.get("SCREENS_FILTER") or ":".join([
    "QuickPastePanelTest.OnAnXServer*",
    "ReportSheetsTest.TheOpenedDataView*",
    "ReportSheetsTest.TheReportFormStarts*",
    "AboutPageTest.ShowsItsTexts*",
    "KeyboardSettingsPageTest.OnLinux*",
    "OnboardingSheetTest.TheSheetSits*",
    "OnboardingSheetTest.ScreenshotsOfEveryPage",
    "TrayStatusViewTest.WithoutAHapticDevice*",
])


def wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.05)
    raise SystemExit(f"screens_on_xvfb: {what} did not happen within {timeout} s")


def main():
    tests, shots = sys.argv[1], sys.argv[2]
    for program in ("Xvfb", "openbox", "xprop"):
        if not shutil.which(program):
            print(f"screens_on_xvfb: {program} is not installed - skipped")
            return 77
    os.makedirs(shots, exist_ok=True)
    home = tempfile.mkdtemp(prefix="tessa-xvfb-")
    env = dict(os.environ)
    for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"):
        env[name] = os.path.join(home, name.lower())
        os.makedirs(env[name], mode=0o700, exist_ok=True)
    env["GSETTINGS_BACKEND"] = "memory"
    env["NO_AT_BRIDGE"] = "1"
    env.pop("WAYLAND_DISPLAY", None)

    read_fd, write_fd = os.pipe()
    xvfb = start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1366x768x24", "-nolisten", "tcp", "-noreset"],
                 env, pass_fds=(write_fd,), stderr=subprocess.DEVNULL)
    os.close(write_fd)
    wm = None
    try:
        # Xvfb writes its display number once it accepts clients.
        with os.fdopen(read_fd) as f:
            number = f.readline().strip()
        if not number:
            raise SystemExit("screens_on_xvfb: Xvfb did not report its display")
        env["DISPLAY"] = ":" + number
        wm = start(["openbox", "--sm-disable"], env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def managed():
            r = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env,
                               capture_output=True, text=True)
            return "window id" in r.stdout

        wait_for(managed, 10, "openbox taking the screen")
        run_env = dict(env, QT_QPA_PLATFORM="xcb", TESSAVINOR_SCREENSHOT_DIR=shots)
        return subprocess.run([tests, "--gtest_filter=" + FILTER], env=run_env).returncode
    finally:
        for p in (wm, xvfb):
            if p:
                end_group(p)
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

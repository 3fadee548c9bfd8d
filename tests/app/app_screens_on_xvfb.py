#!/usr/bin/env python3
"""The application's first start on a desktop with one keyboard layout, on a
private Xvfb at 1366x768 under openbox, in Thai and in English: the alert
that says switching needs two layouts must stand in front of the first-run
windows, in the application's language, and say how a layout is added. The
whole screen is written to SCREENSHOT_DIR/app_one_layout_alert_LANG.png.

usage: app_screens_on_xvfb.py TESSAVINOR_BINARY SCREENSHOT_DIR
Exit 77 (skipped) when a program it needs is missing."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from process_group import end_group, start  # noqa: E402

NEEDS = ("Xvfb", "openbox", "xprop", "xdotool", "setxkbmap", "import", "dbus-run-session")


def wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    raise SystemExit(f"FAIL: {what} did not happen within {timeout} s")


def run(env, *args):
    return subprocess.run(list(args), env=env, capture_output=True, text=True)


def windows_named(env, name):
    r = run(env, "xdotool", "search", "--onlyvisible", "--name", name)
    return [int(w) for w in r.stdout.split()]


def size_of(env, window):
    r = run(env, "xdotool", "getwindowgeometry", str(window))
    for line in r.stdout.splitlines():
        if "Geometry:" in line:
            w, h = line.split("Geometry:")[1].strip().split("x")
            return int(w) * int(h)
    return 0


def is_dialog(env, window):
    r = run(env, "xprop", "-id", str(window), "_NET_WM_WINDOW_TYPE")
    return "_NET_WM_WINDOW_TYPE_DIALOG" in r.stdout


def stacking(env):
    r = run(env, "xprop", "-root", "_NET_CLIENT_LIST_STACKING")
    return [int(x, 16) for x in r.stdout.split("#")[-1].replace(",", " ").split()] if "#" in r.stdout else []


def one_language(app, shots, language):
    home = tempfile.mkdtemp(prefix="tessa-app-screens-")
    env = dict(os.environ)
    for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"):
        env[name] = os.path.join(home, name.lower())
        os.makedirs(env[name], mode=0o700, exist_ok=True)
    env["TESSAVINOR_HOME"] = os.path.join(home, "tessavinor")
    os.makedirs(os.path.join(env["TESSAVINOR_HOME"], "Preferences"))
    with open(os.path.join(env["TESSAVINOR_HOME"], "Preferences", "com.Ovrelan.Tessavinor.json"), "w") as f:
        json.dump({"appLanguage": language}, f)
    env.update(GSETTINGS_BACKEND="memory", NO_AT_BRIDGE="1", QT_QPA_PLATFORM="xcb", XDG_CURRENT_DESKTOP="")
    env.pop("WAYLAND_DISPLAY", None)
    read_fd, write_fd = os.pipe()
    xvfb = start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1366x768x24", "-nolisten", "tcp", "-noreset"],
                 env, pass_fds=(write_fd,), stderr=subprocess.DEVNULL)
    os.close(write_fd)
    procs = [xvfb]
    try:
        with os.fdopen(read_fd) as f:
            env["DISPLAY"] = ":" + f.readline().strip()
        procs.append(start(["openbox", "--sm-disable"], env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_for(lambda: "window id" in run(env, "xprop", "-root", "_NET_SUPPORTING_WM_CHECK").stdout, 10,
                 "openbox taking the screen")
        # A tray host, as on the desktop the new user had; without one a
        # second alert says there is no tray.
        if shutil.which("trayer"):
            procs.append(start(["trayer", "--align", "right", "--widthtype", "request"], env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            wait_for(lambda: "window id" in run(env, "xprop", "-root", "_NET_SYSTEM_TRAY_S0").stdout
                     or run(env, "xdotool", "search", "--class", "trayer").stdout.strip(), 10, "trayer starting")
        if run(env, "setxkbmap", "us").returncode != 0:
            raise SystemExit("FAIL: setxkbmap us")
        # The session bus ends with the application, and so does what it
        # started: dbus-run-session itself ends its bus only when the
        # application ends first, and never what the bus started.
        procs.append(start(["dbus-run-session", "--", app], env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL))
        # The dashboard, its onboarding sheet and the alert: three windows.
        dashboard = wait_for(lambda: windows_named(env, "^Tessavinor Dashboard$"), 30, "the dashboard showing")
        # (The notice panels are named so too, but are no dialogs.)
        pair = wait_for(lambda: (lambda ws: ws if len(ws) >= 2 else None)(
            [w for w in windows_named(env, "^Tessavinor$") if is_dialog(env, w)]), 30,
                        "the onboarding sheet and the alert showing")
        # The largest is the onboarding sheet; the others are start-up alerts
        # (this one, and the one for the missing tray).
        by_size = sorted(pair, key=lambda w: size_of(env, w))
        sheet, alerts = by_size[-1], by_size[:-1]
        order = wait_for(lambda: (lambda s: s if all(w in s for w in pair) else None)(stacking(env)), 10,
                         "the window manager stacking them")
        # The screen is drawn once two grabs in a row are the same.
        path = os.path.join(shots, f"app_one_layout_alert_{language}.png")
        previous = None
        for _ in range(100):
            run(env, "import", "-window", "root", path)
            with open(path, "rb") as f:
                current = f.read()
            if current == previous:
                break
            previous = current
            time.sleep(0.1)
        for alert in alerts:
            if order.index(alert) < order.index(sheet):
                raise SystemExit(f"FAIL ({language}): an alert ({alert:#x}) is behind the onboarding sheet")
        print(f"{language}: {len(alerts)} alerts above the onboarding sheet and the dashboard; {path}")
    finally:
        for p in reversed(procs):
            end_group(p)
        shutil.rmtree(home, ignore_errors=True)


def main():
    app, shots = sys.argv[1], sys.argv[2]
    for program in NEEDS:
        if not shutil.which(program):
            print(f"app_screens_on_xvfb: {program} is not installed - skipped")
            return 77
    os.makedirs(shots, exist_ok=True)
    for language in ("th", "en"):
        one_language(app, shots, language)
    return 0


if __name__ == "__main__":
    sys.exit(main())

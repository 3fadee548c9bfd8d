#!/usr/bin/env python3
"""Runs one scenario on the simulated desktop and on a private X server
(`tessavinorctl simulate --desktop x11`) and compares what the user would
see: the field's text and caret and the current input source.

Scenarios whose mechanisms the X server does not have, or whose outcome
hangs on something the server cannot reproduce, are listed below with the
reason; for them the check is skipped (exit status 77) and the reason
printed.

With --toolkit gtk3 (or gtk4, qt) the X11 run types into that toolkit's
test field instead of Qt's; a build without that field skips the check.

usage: compare_desktops.py [--toolkit NAME] CTL SCENARIO
"""
import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import process_group  # noqa: E402

SKIPPED = 77
COMPARED = ("text", "caret", "inputSource")

# name -> why the two desktops cannot give the same result
NOT_COMPARABLE = {
    "app_switch_during_hold":
        "activates another application; the X11 runs start one application window only (the test field)",
    "key_up_survives_dropped_hold":
        "activates another application; the X11 runs start one application window only (the test field)",
    "secure_field_passes_keys":
        "turns secure keyboard entry on, which has no X11 counterpart",
    "run_ends_during_hold":
        "needs a switch that takes 2 s, so the hold times out first; the server switches as soon as asked",
    "pause_hot_key":
        "while paused the other platform's own Fn+F19 shortcut still switches the layout when the user "
        "presses the remapped key; the X11 back end honours that shortcut only for the engine's own posted "
        "key, and while paused Caps Lock is an ordinary lock key on X11, as taking it for the switcher key "
        "is the paused tap's work",
    "convert_refused_screen_changed":
        "the field changes its text 0.1 ms after the hot key: on the simulated desktop the engine's deletions "
        "land at once, before that change; on X11 they are keystrokes that reach the field after it, so the "
        "two desktops refuse with different fields",
    "clipboard_capture_skips_own_write":
        "the clipboard steps act on the simulated pasteboard; the X11 clipboard has cases of its own (tests/x11/clipboard_road_test.cpp)",
    "clipboard_expiry_after_a_day":
        "the clipboard steps act on the simulated pasteboard; the X11 clipboard has cases of its own (tests/x11/clipboard_road_test.cpp)",
    "clipboard_off_until_on_then_cleared":
        "the clipboard steps act on the simulated pasteboard; the X11 clipboard has cases of its own (tests/x11/clipboard_road_test.cpp)",
    "clipboard_secret_filtered":
        "the clipboard steps act on the simulated pasteboard; the X11 clipboard has cases of its own (tests/x11/clipboard_road_test.cpp)",
    "quick_paste_choose":
        "the clipboard steps act on the simulated pasteboard; the X11 clipboard has cases of its own (tests/x11/clipboard_road_test.cpp)",
}


# name -> why it runs on a server with no window manager (the others run
# under openbox with its distribution's default key bindings)
WITHOUT_WINDOW_MANAGER = {
    "option_space_switcher":
        "openbox's stock bindings give Alt+Space to its window menu: under it the key is the window manager's "
        "own, and the Option+Space switcher is compared where no window manager holds it",
}


def run(ctl, scenario, *extra, env=None):
    proc = process_group.run([ctl, "simulate", *extra, scenario], timeout=120, env=env)
    if proc.returncode != 0:
        where = " ".join(extra) or "the simulated desktop"
        raise RuntimeError(f"tessavinorctl simulate {where} exited with {proc.returncode}:\n{proc.stderr}")
    return json.loads(proc.stdout)


# What tessavinorctl says when this build lacks the toolkit's field.
NO_FIELD = "test field (its development package was missing at configure time)"


def main():
    args = sys.argv[1:]
    toolkit = None
    if len(args) == 4 and args[0] == "--toolkit":
        toolkit, args = args[1], args[2:]
    if len(args) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    ctl, scenario = args
    name = os.path.basename(scenario).removesuffix(".json")
    if name in NOT_COMPARABLE:
        print(f"{name}: not compared: {NOT_COMPARABLE[name]}")
        return SKIPPED
    try:
        sim = run(ctl, scenario)
        env = dict(os.environ)
        if name in WITHOUT_WINDOW_MANAGER:
            env["TESSAVINOR_X11_WM"] = "none"
        if toolkit:
            env["TESSAVINOR_X11_FIELD"] = toolkit
        x11 = run(ctl, scenario, "--desktop", "x11", env=env)
    except (RuntimeError, subprocess.TimeoutExpired, json.JSONDecodeError) as e:
        if NO_FIELD in str(e):
            print(f"{name}: not compared in {toolkit}: {e}")
            return SKIPPED
        print(f"{name}: {e}", file=sys.stderr)
        return 1
    differ = [k for k in COMPARED if sim.get(k) != x11.get(k)]
    if not differ:
        return 0
    for k in differ:
        print(f"{name}: {k} differs:\n  simulated: {sim.get(k)!r}\n  X11:       {x11.get(k)!r}", file=sys.stderr)
    print("X11 engine log:\n  " + "\n  ".join(x11.get("log", [])), file=sys.stderr)
    print("X11 back end log:\n  " + "\n  ".join(x11.get("x11Log", [])), file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())

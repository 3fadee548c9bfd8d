#!/usr/bin/env python3
"""The application's end at logout, on an Xvfb and a session bus of its own
(the accessibility switch on, the keyboard tap up). logout: SIGTERM, the X
server and the bus at one moment, status 0; x_gone: the X server alone, a line
saying so, status 1; bus_gone: the bus alone, an action still answered, then
SIGTERM, status 0. No crash or wrong-thread report; every kept JSON file
parses, no write's temporary file is left. Each end, as a quit ends: the
history of one entry forgotten under Clear on Quit, the stability session
closed (never read as a revoked permission) with the day's statistics written,
the diagnostic log saying so, our next-source hot key taken away. The bus is a dbus-daemon of its own
(dbus-run-session ends with its bus).
usage: app_logout.py TESSAVINOR TESSAVINORCTL [CASE...] (a case named again runs again)
"""
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "support")]
import app_lifecycle as life  # noqa: E402  (its Xvfb, output reader, actions)
from grab_probe import GrabProbe  # noqa: E402
from process_group import end_group, start  # noqa: E402

PREFS = "Preferences/com.Ovrelan.Tessavinor.json"
HISTORY = "Tessavinor/CopyCache/history.vault"
KEPT_BY_THE_END = ("tessavinor_stability.jsonl", "tessavinor_stability_stats.json", "tessavinor_diagnostic.log")
BAD = ("Segmentation fault", "double free", "corrupted", "Sanitizer", "runtime error:", "QObject::~QObject",
       "QThread: Destroyed", "QMutex: destroying", "terminate called")


def seed_history(ctl, home):
    """A sealed history of one entry (a simulated run's copy), Clear on Quit on."""
    scenario = os.path.join(home, "copy.json")
    with open(scenario, "w") as f:
        json.dump({"defaults": {"isCopyCacheEnabled": True}, "steps": [{"at": 0.5, "copy": {"text": "kept"}},
                                                                        {"at": 1.0, "event": "quit"}]}, f)
    subprocess.run([ctl, "simulate", "--home", home, scenario], capture_output=True, timeout=60, check=True)
    with open(os.path.join(home, PREFS)) as f:
        prefs = json.load(f)
    with open(os.path.join(home, PREFS), "w") as f:
        json.dump(dict(prefs, isCopyCacheClearOnQuit=True), f)
    for path in [os.path.join(home, "Tessavinor", name) for name in KEPT_BY_THE_END]:
        if os.path.exists(path):  # what the seeding run's own end wrote
            os.remove(path)


def not_ended_as_quit(home):
    """What of a quit's end the files lack."""
    def text(name, folder="Tessavinor"):
        path = os.path.join(home, folder, name)
        with open(path if os.path.exists(path) else os.devnull, errors="replace") as f:
            return f.read()
    journal = text("tessavinor_stability.jsonl")
    if os.path.exists(os.path.join(home, HISTORY)):
        return "the history is still there under Clear on Quit"
    if '"session.end"' not in journal or not text("tessavinor_stability_stats.json"):
        return "no session end in the journal, or no day's statistics"
    if '"revoked"' in journal:
        return "the bus going away was recorded as a revoked permission"
    if '"61"' in text("symbolic_hot_keys.json", "Preferences"):
        return "our next-source hot key is still bound"
    return None if "Stability session ended" in text("tessavinor_diagnostic.log") else "the log says no end"


def start_bus(home, display):
    env = {k: v for k, v in os.environ.items() if not k.startswith(("DBUS_", "GSETTINGS_", "XDG_"))}
    # What the bus starts keeps the switch in memory, in folders of its own.
    env.update({"DISPLAY": display, "GSETTINGS_BACKEND": "memory"})
    for name in ("XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME"):
        env[name] = os.path.join(home, "bus-" + name)
        os.makedirs(env[name], mode=0o700)
    address = "unix:path=%s/bus" % home
    bus = start(["dbus-daemon", "--session", "--nofork", "--address=" + address, "--print-address=1"], env,
                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    bus.stdout.readline()
    on = subprocess.run(["dbus-send", "--bus=" + address, "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                         "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
                         "variant:boolean:true"], env=env, capture_output=True, timeout=30)
    return bus, address, on.returncode == 0


def tap_up(display, proc):
    probe, deadline = GrabProbe(display), time.monotonic() + 20
    while not probe.caps_lock_grabbed() and time.monotonic() < deadline and proc.poll() is None:
        time.sleep(0.05)
    grabbed = probe.caps_lock_grabbed()
    probe.close()
    return grabbed


def whole(path):
    try:
        with open(path, "rb") as f:
            return ".tmp-" not in path and (not path.endswith(".json") or json.load(f) is not None)
    except ValueError:
        return False


def kept_files_problem(home):
    for folder, _, names in os.walk(home):
        for path in [os.path.join(folder, n) for n in names if "/bus-" not in folder]:
            if os.path.isfile(path) and not whole(path):
                return "left half-written (or a write's temporary file): " + path
    return None


def one_end(binary, ctl, case, home):
    """What went wrong (None when the end was clean), and the output."""
    seed_history(ctl, home)
    xvfb, display = life.start_xvfb()
    bus = proc = out = None
    try:
        bus, address, switched_on = start_bus(home, display)
        if not switched_on:
            return "the accessibility switch stayed off", out
        env = dict(life.app_env(display, home), DBUS_SESSION_BUS_ADDRESS=address, HOME=home)
        proc = start([binary], env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        out = life.Lines(proc)
        if not out.wait_for("Tessavinor: started", time.monotonic() + 30) or not tap_up(display, proc):
            return "no start with the keyboard tap up", out
        if case == "logout":
            proc.send_signal(signal.SIGTERM)
        if case != "bus_gone":
            xvfb.terminate()
        if case != "x_gone":
            os.killpg(bus.pid, signal.SIGTERM)
        if case == "bus_gone":
            bus.wait()
            code, err = life.send_action(binary, display, home, "toggleCopyCache")
            if code != 0 or not out.wait_for("action toggleCopyCache", time.monotonic() + 10):
                return "no answer once the bus went away (%d: %s; status %s)" % (code, err, proc.poll()), out
            proc.send_signal(signal.SIGTERM)
        try:
            status = proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            return "the application did not end:\n" + life.backtrace(proc.pid), out
        out.finish()
        text, wanted = "\n".join(out.lines), 1 if case == "x_gone" else 0
        if status != wanted or any(b in text for b in BAD) or (wanted and "the X server went away" not in text):
            return "exit status %d, expected %d with no crash report (and a line if the X server went)" % (
                status, wanted), out
        return kept_files_problem(home) or not_ended_as_quit(home), out
    finally:
        for p in (proc, bus):
            if p:
                end_group(p)
        xvfb.kill()
        xvfb.wait()


def main():
    failed = 0
    for case in sys.argv[3:] or ["logout", "x_gone", "bus_gone"]:
        with tempfile.TemporaryDirectory(prefix="tessavinor-logout-") as home:
            problem, out = one_end(sys.argv[1], sys.argv[2], case, home)
        print("%s: %s" % (case, "FAIL %s\n%s" % (problem, "\n".join(out.lines if out else [])) if problem
                          else "a clean end"))
        failed += problem is not None
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()

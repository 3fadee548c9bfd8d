#!/usr/bin/env python3
"""Runs after every other test of a ctest run: no process that a test of
this run started may still be running. ctest gives every test the variable
TESSAVINOR_TEST_RUN=<the build folder>, which whatever a test starts inherits
(servers, session buses, the buses and services those start), so a process is
this run's when it carries that value and started after ctest itself did.
Processes of other runs and of other build folders, and unrelated servers and
buses on the machine, carry no such value or started earlier; they are left
alone (an earlier run's are listed). What a test left behind is listed with
its parent, group and session, then ended, and the check fails.

usage: nothing_left_running.py BUILD_FOLDER"""
import os
import signal
import sys
import time

TAG = "TESSAVINOR_TEST_RUN"
# A bus that has just lost its last client, and what it started, end on
# their own within moments; anything still there after this is left behind.
SETTLE_SECONDS = 10


def environment(pid):
    try:
        with open(f"/proc/{pid}/environ", "rb") as f:
            return f.read().split(b"\0")
    except OSError:
        return []


def stat(pid):
    """(ppid, pgid, sid, start time in clock ticks since boot), or None."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            text = f.read()
    except OSError:
        return None
    fields = text[text.rfind(")") + 2:].split()
    # state ppid pgrp session tty_nr tpgid flags minflt cminflt majflt cmajflt
    # utime stime cutime cstime priority nice num_threads itrealvalue starttime
    return int(fields[1]), int(fields[2]), int(fields[3]), int(fields[19])


def command_line(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return f.read().rstrip(b"\0").replace(b"\0", b" ").decode("utf-8", "replace") or "?"
    except OSError:
        return "?"


def tagged(pid, value):
    return (f"{TAG}={value}").encode() in environment(pid)


def runner_start(value):
    """The start time of the nearest ancestor without the tag: ctest."""
    pid = os.getppid()
    while pid > 1 and tagged(pid, value):
        pid = stat(pid)[0]
    info = stat(pid)
    return info[3] if info else 0


def ancestors():
    out, pid = set(), os.getpid()
    while pid > 1:
        out.add(pid)
        info = stat(pid)
        if not info:
            break
        pid = info[0]
    return out


def left_running(value, since, own):
    mine, earlier = [], []
    for name in os.listdir("/proc"):
        if not name.isdigit() or int(name) in own:
            continue
        pid = int(name)
        info = stat(pid)
        if info is None or not tagged(pid, value):
            continue
        (mine if info[3] >= since else earlier).append((pid, info))
    return mine, earlier


def describe(pid, info):
    return f"  pid {pid} ppid {info[0]} pgid {info[1]} sid {info[2]}: {command_line(pid)}"


def main():
    value = sys.argv[1]
    since, own = runner_start(value), ancestors()
    deadline = time.monotonic() + SETTLE_SECONDS
    while True:
        mine, earlier = left_running(value, since, own)
        if not mine or time.monotonic() > deadline:
            break
        time.sleep(0.1)
    if earlier:
        print("still running from an earlier run of this build folder (not counted):")
        print("\n".join(describe(pid, info) for pid, info in earlier))
    if not mine:
        print("nothing that this run's tests started is still running")
        return 0
    print(f"FAIL: {len(mine)} processes that this run's tests started are still running:")
    print("\n".join(describe(pid, info) for pid, info in mine))
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for pid, _ in mine:
            try:
                os.kill(pid, sig)
                os.kill(pid, signal.SIGCONT)
            except OSError:
                pass
        end = time.monotonic() + 3
        while time.monotonic() < end and any(stat(pid) for pid, _ in mine):
            time.sleep(0.05)
    print("(ended them)")
    return 1


if __name__ == "__main__":
    sys.exit(main())

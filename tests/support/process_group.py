"""Programs that the Python harnesses start, each leading a process group of
its own, so that what it starts in turn (a session bus, the accessibility bus
launcher that bus starts, the launcher's own bus) ends with it."""
import os
import signal
import subprocess
import time


def start(args, env=None, **kwargs):
    return subprocess.Popen(args, env=env, start_new_session=True, **kwargs)


def _signal_group(pgid, sig):
    try:
        os.killpg(pgid, sig)
        return True
    except ProcessLookupError:
        return False


def end_group(proc, seconds=5):
    """Ends the process group `proc` leads, SIGTERM then SIGKILL, each given
    `seconds`, and reaps `proc`. A group outlives its leader while members
    remain, and its number is not handed out again until it is empty, so the
    signals reach nothing else."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        if not _signal_group(proc.pid, sig):
            break
        _signal_group(proc.pid, signal.SIGCONT)
        deadline = time.monotonic() + seconds
        while _signal_group(proc.pid, 0) and time.monotonic() < deadline:
            proc.poll()  # the leader, once reaped, no longer holds the group
            time.sleep(0.02)
    proc.wait()


def run(args, timeout, env=None):
    """subprocess.run(args, capture_output=True, text=True, timeout=timeout),
    but a run that times out has its whole group ended, not only `args[0]`
    (given 15 s for SIGTERM: a program that reaps what it started, as
    `tessavinorctl simulate --desktop x11` does, ends that first)."""
    proc = start(args, env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        out, err = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        end_group(proc, seconds=15)
        raise
    end_group(proc)  # what it left in its group
    return subprocess.CompletedProcess(args, proc.returncode, out, err)

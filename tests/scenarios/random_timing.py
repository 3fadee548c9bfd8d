#!/usr/bin/env python3
"""Random-timing scenarios, each run on the simulated desktop and on a
private X server (`tessavinorctl simulate --desktop x11`): the field's text
must be the same on both. The scenarios are drawn from a seed, so a failure
is repeated by running the same seed and count again; the failing scenario is
printed, to be kept as a golden scenario if it shows a new fault.

Each scenario types words around one to three switcher presses (Caps Lock
or the grave key), with the keys of a word 30 to 120 ms apart and its first
key from at once to 0.4 s after the press: the stretch in which a switch is
confirmed, its held keys replayed, or (for the grave key, whose hot key is
not bound) its fall-back lands.

usage: random_timing.py CTL [--seed N] [--count N] [--jobs N] [--keep DIR]
"""
import argparse
import concurrent.futures
import json
import os
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import process_group  # noqa: E402

# Keys whose Thai character is the same in the engine's Thai table and in
# the X server's th layout, so the two desktops can be compared on them.
LETTERS = "asdfhjklqwertyuiopzxcvbnm;"
SOURCES = ["com.apple.keylayout.ABC", "com.apple.keylayout.Thai"]


def scenario(rng):
    switcher = rng.choice(["capslock", "grave"])
    steps = []
    t = 0.3
    presses = rng.randint(1, 3)
    for _ in range(presses):
        if steps:
            t += rng.uniform(0.3, 0.6)
        steps.append({"at": round(t, 3), "press": switcher})
        t += rng.uniform(0.0, 0.4)
        gap = rng.randint(30, 120)
        word = "".join(rng.choice(LETTERS) for _ in range(rng.randint(1, 5)))
        steps.append({"at": round(t, 3), "type": word, "gapMs": gap})
        t += len(word) * gap / 1000.0
    out = {
        "desktop": {
            "inputSources": SOURCES,
            "currentInputSource": SOURCES[0],
            "switchLatencyMs": rng.randint(10, 60),
            "field": {"text": ""},
        },
        "steps": steps,
        "until": round(t + 1.2, 3),
    }
    if switcher == "grave":
        out["defaults"] = {"SwitcherKey": 1}
    return out


def run(ctl, path, *extra):
    proc = process_group.run([ctl, "simulate", *extra, path], timeout=120)
    if proc.returncode != 0:
        raise RuntimeError(f"tessavinorctl simulate {' '.join(extra)} exited with {proc.returncode}:\n{proc.stderr}")
    return json.loads(proc.stdout)


def check(ctl, index, sc, folder):
    path = os.path.join(folder, f"random_{index:04d}.json")
    with open(path, "w") as f:
        json.dump(sc, f, indent=1)
    try:
        sim = run(ctl, path)
        x11 = run(ctl, path, "--desktop", "x11")
    except (RuntimeError, subprocess.TimeoutExpired, json.JSONDecodeError) as e:
        return index, sc, f"did not run: {e}"
    if sim.get("text") == x11.get("text"):
        return index, sc, None
    log = "\n    ".join(x11.get("log", [])[-25:])
    return index, sc, f"simulated {sim.get('text')!r}, X11 {x11.get('text')!r}\n    {log}"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("ctl")
    parser.add_argument("--seed", type=int, default=15)
    parser.add_argument("--count", type=int, default=24)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--keep", help="write the scenarios here instead of a temporary folder")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    scenarios = [scenario(rng) for _ in range(args.count)]
    with tempfile.TemporaryDirectory() as tmp:
        folder = args.keep or tmp
        os.makedirs(folder, exist_ok=True)
        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            results = list(pool.map(lambda p: check(args.ctl, *p, folder), enumerate(scenarios)))
    failed = [(i, sc, why) for i, sc, why in results if why]
    for i, sc, why in failed:
        print(f"scenario {i} (seed {args.seed}): {why}\n  {json.dumps(sc)}", file=sys.stderr)
    print(f"{len(scenarios) - len(failed)} of {len(scenarios)} random scenarios gave the simulated desktop's text "
          f"(seed {args.seed})")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

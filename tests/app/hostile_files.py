#!/usr/bin/env python3
"""Every file the program keeps, damaged in each of the ways a file is found
damaged (nested 100,000 levels deep, a number no double holds, cut short,
empty, not UTF-8), under the whole application's start and quit.

The program must start, quit with status 0 and put the keyboard back (the
key mapping cleared, the user's next-source hot key restored), and keep the
damaged file aside as NAME.corrupt with a console line naming it. Two files
follow rules of their own: the typo habits' vault is read when a word is
typed and left exactly as it is until a habit is saved (then kept aside),
and the word lists (the ignored words, the vocabulary packs) are plain text
whose reader skips what is not UTF-8. The vocabulary manifest is never kept:
it is read from the server, and what it installed is in the preferences.

usage: hostile_files.py --ctl TESSAVINORCTL KIND...
         each run is `tessavinorctl simulate --home`, the application's own
         start and quit on the simulated desktop with the files of a home
       hostile_files.py --ctl TESSAVINORCTL --app TESSAVINOR KIND...
         the real program on its own Xvfb (tessavinorctl makes the home)
KIND: preferences hot_keys stability_statistics history typo_vault keychain
      word_lists (the real program takes hot_keys and keychain)
"""
import base64
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from cryptography.hazmat.primitives.ciphers.aead import AESGCM

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import app_lifecycle  # noqa: E402  (its Xvfb, launch and quit)

PREFS = "Preferences/com.Ovrelan.Tessavinor.json"
HOT_KEYS = "Preferences/symbolic_hot_keys.json"
STATS = "Tessavinor/tessavinor_stability_stats.json"
HISTORY = "Tessavinor/CopyCache/history.vault"
TYPO = "Tessavinor/typo_habits.vault"
KEYCHAIN = "Tessavinor/Keychain/items.json"
DIAGNOSTIC_LOG = "Tessavinor/tessavinor_diagnostic.log"
WORD_LISTS = ["Spelling/tessavinor_whitelist.txt", "Spelling/tessavinor_tech.txt"]
HISTORY_ACCOUNT = "com.marovellinde.tessavinor.copycache.vaultkey"
TYPO_ACCOUNT = "com.marovellinde.tessavinor.habit.vaultkey"
# The user's own next-source shortcut (Control+Space), which every quit must put back.
USER_61 = {"enabled": True, "value": {"parameters": [32, 49, 262144], "type": "standard"}}
# What earlier crashes left: an older build's temporary file and one of a dead writer.
LEFTOVERS = [PREFS + ".tmp-1904567", HISTORY + ".tmp-2147483646-9"]
EMPTY_MAPPING = '{"UserKeyMapping":[]}'

# (kind, files, how): "json" files are damaged as they are; "sealed" vaults are
# damaged inside their seal (the key is in the keychain file), and cut short or
# emptied as files; "text" lists take each form as they are.
KINDS = {
    "preferences": ([PREFS], "json"),
    "hot_keys": ([HOT_KEYS], "json"),
    "stability_statistics": ([STATS], "json"),
    "history": ([HISTORY], "sealed"),
    "typo_vault": ([TYPO], "sealed"),
    "keychain": ([KEYCHAIN], "json"),
    "word_lists": (WORD_LISTS, "text"),
}
# The files a damaged one takes with it: a keychain file set aside loses the
# history's key, so the history is set aside too.
ALSO_ASIDE = {"keychain": [HISTORY]}
# Read when a word is typed, left as it is until a habit is saved.
LEFT_AS_THEY_ARE = {"typo_vault", "word_lists"}


def scenario(path, first_run):
    steps = [{"at": 1.0, "type": "hello world ", "gapMs": 60}, {"at": 3.0, "event": "quit"}]
    if first_run:
        steps.insert(0, {"at": 0.5, "copy": {"text": "kept entry"}})
    with open(path, "w") as f:
        json.dump({"defaults": {"isCopyCacheEnabled": True} if first_run else {}, "steps": steps, "until": 4}, f)


def forms(good):
    levels = 100000
    deep = b'{"a":' * levels + b"1" + b"}" * levels
    quote = good.find(b'"')
    bad_utf8 = good[:quote + 1] + b"\xff\xfe\xc3" + good[quote + 1:]
    return [("deep", deep), ("1e999", b'{"version": 1e999, "days": [1e999], "items": [1e999]}'),
            ("truncated", good[:len(good) // 2]), ("empty", b""), ("invalid UTF-8", bad_utf8)]


def read(home, name):
    with open(os.path.join(home, name), "rb") as f:
        return f.read()


def write(home, name, data):
    path = os.path.join(home, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def keychain_key(home, account):
    items = json.loads(read(home, KEYCHAIN))["items"]
    return base64.b64decode(next(i["data"] for i in items if i["account"] == account))


def seal(key, plaintext):
    nonce = os.urandom(12)
    return nonce + AESGCM(key).encrypt(nonce, plaintext, None)


def unseal(key, box):
    return AESGCM(key).decrypt(box[:12], box[12:], None)


def fail(message, details=""):
    print("FAIL: " + message)
    if details:
        print(details)
    sys.exit(1)


class Template:
    """A home as a user's would be after some use: settings, hot keys with the
    user's own entry 61, statistics, a history of one entry, a typo habit, the
    keychain file holding both vault keys, word lists; and what two crashes
    left behind, in folders an older build made readable by everyone."""

    def __init__(self, ctl, root):
        self.ctl, self.root = ctl, root
        self.home = os.path.join(root, "template")
        write(self.home, HOT_KEYS, json.dumps({"com.apple.symbolichotkeys": {"AppleSymbolicHotKeys": {"61": USER_61}}}).encode())
        write(self.home, WORD_LISTS[0], b"kubernetes\n")
        write(self.home, WORD_LISTS[1], b"# tech pack\ndocker\n")
        seed = os.path.join(root, "seed.json")
        scenario(seed, first_run=True)
        run = subprocess.run([ctl, "simulate", "--home", self.home, seed], capture_output=True, timeout=60)
        if run.returncode != 0:
            fail("the run that makes the template failed", run.stderr.decode(errors="replace"))
        typo_key = os.urandom(32)
        items = json.loads(read(self.home, KEYCHAIN))
        items["items"].append({"service": "", "account": TYPO_ACCOUNT, "data": base64.b64encode(typo_key).decode()})
        write(self.home, KEYCHAIN, json.dumps(items, indent=2).encode())
        habits = {"teh": {"typo": "teh", "corrected": "the", "frequency": 3, "updatedAt": 700000000}}
        write(self.home, TYPO, seal(typo_key, json.dumps(habits).encode()))
        # Each run's own log tells when its start-up work is done.
        os.remove(os.path.join(self.home, DIAGNOSTIC_LOG))
        for name in LEFTOVERS:
            write(self.home, name, b"{")
        for folder in ("Tessavinor", "Preferences"):
            os.chmod(os.path.join(self.home, folder), 0o755)
        self.scenario = os.path.join(root, "run.json")
        scenario(self.scenario, first_run=False)

    def copy(self, name):
        home = os.path.join(self.root, name.replace(" ", "_"))
        shutil.rmtree(home, ignore_errors=True)
        shutil.copytree(self.home, home, symlinks=True)
        return home

    def damaged(self, kind, form):
        """A copy of the template with `kind` damaged in `form`; the files
        expected aside, and the bytes of the damaged files."""
        files, how = KINDS[kind]
        home = self.copy(kind + "-" + form)
        for name in files:
            good = read(home, name)
            if how == "sealed" and form not in ("truncated", "empty"):
                key = keychain_key(home, TYPO_ACCOUNT if name == TYPO else HISTORY_ACCOUNT)
                data = seal(key, dict(forms(unseal(key, good)))[form])
            else:
                data = dict(forms(good))[form]
            write(home, name, data)
        aside = [] if kind in LEFT_AS_THEY_ARE else files + ALSO_ASIDE.get(kind, [])
        return home, aside, {name: read(home, name) for name in files}


def corrupt_files(home):
    found = []
    for folder, _, names in os.walk(home):
        found += [os.path.relpath(os.path.join(folder, n), home) for n in names if ".corrupt" in n]
    return sorted(found)


def check_home(home, aside, console, what):
    """The damaged files kept aside with a line each, nothing else set aside,
    the folders owner-only and the leftovers gone."""
    expected = sorted(name + ".corrupt" for name in aside)
    if corrupt_files(home) != expected:
        fail("%s: set aside %s, expected %s" % (what, corrupt_files(home), expected), "\n".join(console))
    for name in expected:
        if not any(os.path.join(home, name) in line for line in console):
            fail("%s: no console line names %s" % (what, name), "\n".join(console))
    for folder in ("Tessavinor", "Preferences"):
        mode = os.stat(os.path.join(home, folder)).st_mode & 0o777
        if mode != 0o700:
            fail("%s: %s is %o, not owner-only" % (what, folder, mode))
    if any(os.path.exists(os.path.join(home, name)) for name in LEFTOVERS):
        fail("%s: what earlier crashes left is still there" % what)


def hot_key_61(home):
    table = json.loads(read(home, HOT_KEYS))
    return table.get("com.apple.symbolichotkeys", {}).get("AppleSymbolicHotKeys", {}).get("61")


def expected_61(kind):
    """The user's own entry 61 after quit; when the hot-key file itself was set
    aside, the user's entry went aside with it and entry 61 is left unbound
    (ours taken away, as if it had never been there)."""
    return None if kind == "hot_keys" else USER_61


def simulate(template, home, what, kind=None):
    run = subprocess.run([template.ctl, "simulate", "--home", home, template.scenario], capture_output=True,
                         timeout=120)
    if run.returncode != 0:
        fail("%s: tessavinorctl simulate exited with %d" % (what, run.returncode), run.stderr.decode(errors="replace"))
    transcript = json.loads(run.stdout)
    # The keyboard put back: the last key mappings set are empty ones, and the
    # user's own shortcut is entry 61 again, in the file and as the run saw it.
    mappings = [c["arguments"] for c in transcript["children"] if c["path"] == "/usr/bin/hidutil" and "--set" in c["arguments"]]
    if not mappings or any(m[-1] != EMPTY_MAPPING for m in mappings[-2:]):
        fail("%s: the key mapping was not cleared at quit: %s" % (what, mappings[-2:]))
    if transcript["home"]["hotKeys"].get("61") != expected_61(kind) or hot_key_61(home) != expected_61(kind):
        fail("%s: hot key 61 was not put back: %s" % (what, transcript["home"]["hotKeys"].get("61")))
    return transcript


def run_simulated(ctl, kinds):
    with tempfile.TemporaryDirectory(prefix="tessa-hostile-") as root:
        template = Template(ctl, root)
        home = template.copy("undamaged")
        transcript = simulate(template, home, "undamaged")
        check_home(home, [], transcript["home"]["console"], "undamaged")
        if [e["preview"] for e in transcript.get("copyCache", {}).get("entries", [])] != ["kept entry"]:
            fail("undamaged: the history did not open", json.dumps(transcript.get("copyCache")))
        if any("typo habits" in line for line in transcript["home"]["systemLog"]):
            fail("undamaged: the typo vault did not open", "\n".join(transcript["home"]["systemLog"]))
        for kind in kinds:
            for form, _ in forms(b'{"x": 1}'):
                what = "%s %s" % (kind, form)
                home, aside, bytes_before = template.damaged(kind, form)
                transcript = simulate(template, home, what, kind)
                check_home(home, aside, transcript["home"]["console"], what)
                if kind in LEFT_AS_THEY_ARE:
                    for name, data in bytes_before.items():
                        if read(home, name) != data:
                            fail("%s: %s was changed" % (what, name))
                if kind == "typo_vault" and not any(
                        "Failed to decrypt typo habits vault" in line for line in transcript["home"]["systemLog"]):
                    fail("%s: the damaged vault was not noticed" % what, "\n".join(transcript["home"]["systemLog"]))
                shutil.rmtree(home)
            print("%s: started and quit on every damaged form, keyboard put back" % kind)


def wait_for_text(path, text, seconds, proc):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and proc.poll() is None:
        try:
            with open(path, encoding="utf-8", errors="replace") as f:
                if text in f.read():
                    return True
        except OSError:
            pass
        time.sleep(0.05)
    return False


def run_real(app, ctl, kinds):
    xvfb, display = app_lifecycle.start_xvfb()
    try:
        with tempfile.TemporaryDirectory(prefix="tessa-hostile-app-") as root:
            template = Template(ctl, root)
            for kind in kinds:
                for form, _ in forms(b'{"x": 1}'):
                    what = "%s %s on the real program" % (kind, form)
                    home, aside, _ = template.damaged(kind, form)
                    proc, out = app_lifecycle.launch(app, display, home)
                    if not out.wait_for("Tessavinor: started", time.monotonic() + 30):
                        proc.kill()
                        proc.wait()
                        fail("%s: did not finish starting (status %s)" % (what, proc.poll()), "\n".join(out.lines))
                    # Quit once the start-up keyboard work is done (the hot keys
                    # bound on the settings queue): an earlier quit skips it, and
                    # with it the only read of the hot-key file.
                    if not wait_for_text(os.path.join(home, DIAGNOSTIC_LOG), "systemShortcutOK=", 30, proc):
                        ended = proc.poll()
                        proc.kill()
                        proc.wait()
                        fail("%s: the hot keys were never set up (%s)" % (
                            what, "the program ended with status %d" % ended if ended is not None else "it hangs"),
                            "\n".join(out.lines))
                    status = app_lifecycle.quit_with_sigterm(proc, out)
                    if status != 0:
                        fail("%s: quit with status %d" % (what, status), "\n".join(out.lines))
                    if out.steps("shut-down") != app_lifecycle.QUIT_STEPS:
                        fail("%s: shut-down steps %s" % (what, out.steps("shut-down")), "\n".join(out.lines))
                    if hot_key_61(home) != expected_61(kind):
                        fail("%s: hot key 61 was not put back: %s" % (what, hot_key_61(home)))
                    check_home(home, aside, out.lines, what)
                    shutil.rmtree(home)
                print("%s: the real program started and quit on every damaged form, keyboard put back" % kind)
    finally:
        xvfb.send_signal(signal.SIGTERM)
        try:
            xvfb.wait(timeout=5)
        except subprocess.TimeoutExpired:
            xvfb.kill()
            xvfb.wait()


def main():
    args = sys.argv[1:]
    programs = {}
    while len(args) >= 2 and args[0] in ("--ctl", "--app"):
        programs[args[0]] = args[1]
        args = args[2:]
    if "--ctl" not in programs or not args or any(k not in KINDS for k in args):
        print(__doc__, file=sys.stderr)
        return 2
    if "--app" in programs:
        run_real(programs["--app"], programs["--ctl"], args)
    else:
        run_simulated(programs["--ctl"], args)
    return 0


if __name__ == "__main__":
    sys.exit(main())

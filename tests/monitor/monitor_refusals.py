#!/usr/bin/env python3
"""linkmeter-cli monitor refuses what it cannot run before touching a unit,
and says at once when the site records cannot be opened.
usage: monitor_refusals.py LINKMETER-CLI"""
import os
import subprocess
import sys
import tempfile

cli = sys.argv[1]
work = tempfile.mkdtemp(prefix="lm-monitor-refusals-")
# A home whose Documents is a file: no store can be made under it.
blocked = os.path.join(work, "blocked")
os.makedirs(blocked)
open(os.path.join(blocked, "Documents"), "w").close()

missing = os.path.join(work, "no-such-file.json")
garbage = os.path.join(work, "garbage.json")
with open(garbage, "w") as f:
    f.write("not json")

cases = [
    # (arguments, home, exit status, text on standard error)
    (["monitor"], work, 2, "--unit is required"),
    (["monitor", "--unit", "009A0011", "--every", "0s"], work, 2, "--every takes a duration"),
    (["monitor", "--unit", "009A0011", "--every", "5"], work, 2, "--every takes a duration"),
    (["monitor", "--unit", "009A0011", "--every", "8d"], work, 2, "--every takes a duration"),
    (["monitor", "--unit", "009A0011", "--probes", "0"], work, 2, "--probes takes a whole number"),
    (["monitor", "--unit", "009A0011", "--format", "json"], work, 2, "--format is not taken"),
    (["monitor", "--unit", "009A0011", "extra"], work, 2, "unexpected argument: extra"),
    (["monitor", "--unit", "009A0011", "--unit", "X"], work, 2, "linkmeter-cli monitor:"),
    (["--demo", "monitor", "--unit", "009A0011", "--every", "1h"], blocked, 6, "the site records cannot be opened"),
    # Files no retry can make readable end it at once, before any visit.
    (["--demo", "monitor", "--unit", "009A0011", "--registration", missing], work, 2, "cannot read " + missing),
    (["--demo", "monitor", "--unit", "009A0011", "--registration", work], work, 2, "it is a folder"),
    (["--demo", "monitor", "--unit", "009A0011", "--registration", garbage], work, 2, "holds no registration"),
    (["--demo", "monitor", "--unit", "009C0021", "--password-file", missing], work, 2, "cannot read " + missing),
]
failures = 0
for args, home, status, text in cases:
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
    try:
        run = subprocess.run([cli] + args, capture_output=True, text=True, env=env, timeout=60)
    except subprocess.TimeoutExpired:
        print(f"FAIL {args}: still running after 60 s")
        failures += 1
        continue
    if run.returncode != status or text not in run.stderr or run.stdout:
        print(f"FAIL {args}: status {run.returncode} (wanted {status}), stdout {run.stdout!r}\n{run.stderr}")
        failures += 1
stores = [name for _, _, names in os.walk(os.path.join(work, "Documents")) for name in names]
if stores:
    print(f"FAIL a refused monitor touched the site records: {stores}")
    failures += 1
sys.exit(1 if failures else 0)

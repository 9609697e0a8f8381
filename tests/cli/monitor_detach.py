#!/usr/bin/env python3
"""linkmeter-cli monitor against the demo site: surveys every 2 s, the USB
base unit pulled out and plugged back in through the demo's control file,
the monitor backing off and resuming, every survey kept in the site records
(read back with sqlite3), and SIGTERM answered at once with exit status 0.
usage: monitor_detach.py LINKMETER-CLI DEMO-SITE.json"""
import glob
import json
import os
import queue
import re
import signal
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time

cli, demo_site = sys.argv[1], sys.argv[2]
UNIT = "009A0011"
work = tempfile.mkdtemp(prefix="lm-monitor-")
control = os.path.join(work, "control")
open(control, "w").close()

# The demo's USB unit cannot give its registration (RSETF): its site-file
# groups stand for it, as the technician's file would.
with open(demo_site) as f:
    base = next(b for b in json.load(f)["baseUnits"] if b["serial"] == UNIT)
registration = os.path.join(work, "registration.json")
with open(registration, "w") as f:
    json.dump({"groups": base["groups"]}, f)

env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, ".config"),
           XDG_DATA_HOME=os.path.join(work, ".local"), LINKMETER_DEMO_CONTROL=control)
env.pop("LINKMETER_PASSWORD", None)
proc = subprocess.Popen([cli, "--demo", "monitor", "--unit", UNIT, "--every", "2s", "--probes", "1",
                         "--registration", registration],
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
lines = queue.Queue()
seen = []
stderr_text = []
threading.Thread(target=lambda: [lines.put((time.monotonic(), l.rstrip("\n"))) for l in proc.stdout],
                 daemon=True).start()
threading.Thread(target=lambda: stderr_text.extend(proc.stderr), daemon=True).start()


def fail(message):
    if proc.poll() is None:
        proc.kill()
    print("stdout:\n" + "\n".join(l for _, l in seen))
    print("stderr:\n" + "".join(stderr_text[-40:]))
    sys.exit("FAIL: " + message)


def next_line(pattern, within):
    deadline = time.monotonic() + within
    while time.monotonic() < deadline:
        try:
            at, line = lines.get(timeout=max(0.05, deadline - time.monotonic()))
        except queue.Empty:
            break
        seen.append((at, line))
        if re.search(pattern, line):
            return at, line
    fail(f"no line matching {pattern!r} within {within} s")


def control_line(text):
    with open(control, "a") as f:
        f.write(text + "\n")
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            with open(control + ".out") as f:
                answers = f.read().splitlines()
            if len(answers) >= control_line.count + 1:
                control_line.count += 1
                if answers[-1] != "ok":
                    fail(f"control line {text!r}: {answers[-1]}")
                return
        except FileNotFoundError:
            pass
        time.sleep(0.05)
    fail(f"the demo did not take {text!r}")


control_line.count = 0
SURVEY = rf"^\d{{4}}-\d\d-\d\dT\d\d:\d\d:\d\dZ unit={UNIT} answered=7 silent=0 weakest=\S.* level=\d+ duration=\d+\.\ds record=\d+$"
FAILED = rf"^\S+Z unit={UNIT} failed=.* retry=(\d+)s$"

next_line(SURVEY, 60)
next_line(SURVEY, 60)  # a second one: the schedule goes on
control_line(f"detach {UNIT}")
pulled_ms = time.time() * 1000
_, first_failure = next_line(FAILED, 60)
_, second_failure = next_line(FAILED, 30)
retries = [int(re.search(FAILED, l).group(1)) for l in (first_failure, second_failure)]
if retries not in ([1, 2], [2, 2]):  # doubling, capped at the 2 s interval
    fail(f"back-off waits {retries}, wanted 1 s then 2 s")
control_line(f"attach {UNIT}")
plugged_ms = time.time() * 1000
next_line(SURVEY, 60)
if proc.poll() is not None:
    fail(f"the monitor ended with {proc.returncode}")

# Stop it in the middle of the next survey.
time.sleep(2.5)
sent = time.monotonic()
proc.send_signal(signal.SIGTERM)
try:
    status = proc.wait(timeout=15)
except subprocess.TimeoutExpired:
    fail("SIGTERM did not end the monitor within 15 s")
took = time.monotonic() - sent
print(f"SIGTERM answered in {took:.3f} s")
while not lines.empty():
    seen.append(lines.get())
if status != 0:
    fail(f"exit status {status}")
if took >= 3:
    fail(f"SIGTERM took {took:.2f} s")
if not any("monitor stopped by SIGTERM" in l for l in stderr_text):
    fail("no stop line on standard error")

# The site records: one visit per survey, each survey finished with its
# hop statistics, one of them after the unit came back.
stores = glob.glob(os.path.join(work, "**", "site-records-demo.sqlite"), recursive=True)  # a demo run's own store
if len(stores) != 1:
    fail(f"site records: {stores}")
db = sqlite3.connect(stores[0])
rows = db.execute(
    "SELECT s.id, s.visit_id, s.started_at, s.ended_at, s.kind, v.ended_at,"
    " (SELECT COUNT(*) FROM hop_stats h WHERE h.survey_id = s.id)"
    " FROM surveys s JOIN visits v ON v.id = s.visit_id JOIN sites t ON t.id = v.site_id"
    " WHERE t.serial = ? ORDER BY s.id", (int(UNIT, 16),)).fetchall()
logged = [int(m.group(1)) for _, l in seen if (m := re.search(r" record=(\d+)$", l))]
finished = [r for r in rows if r[3] is not None]
if [r[0] for r in finished] != logged:
    fail(f"finished surveys in the store {[r[0] for r in finished]}, logged {logged}")
if any(r[4] != "site" or r[5] is None or r[6] == 0 for r in finished):
    fail(f"a survey that is not a whole-site survey in an ended visit with hop statistics: {finished}")
if len({r[1] for r in rows}) != len(rows):
    fail(f"surveys share a visit: {rows}")
if not any(r[2] >= plugged_ms for r in finished):
    fail("no survey recorded after the unit was plugged back in")
if not all(r[2] < pulled_ms or r[2] >= plugged_ms for r in finished):
    fail("a survey finished while the unit was out")
print("\n".join(l for _, l in seen))
print(f"{len(finished)} surveys recorded, {len(rows) - len(finished)} cut short")

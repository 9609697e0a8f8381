#!/usr/bin/env python3
"""linkmeter-cli monitor against the demo site: surveys every 2 s, the USB
base unit pulled out and plugged back in through the demo's control file,
the monitor backing off and resuming, every survey kept in the site records
(read back with sqlite3), and SIGTERM answered at once with exit status 0.
usage: monitor_detach.py LINKMETER-CLI DEMO-SITE.json"""
import glob
import os
import re
import signal
import sqlite3
import subprocess
import sys
import time

from demo_monitor import DemoControl, DemoWork, OutputLines

cli, demo_site = sys.argv[1], sys.argv[2]
UNIT = "009A0011"
demo = DemoWork("lm-monitor-", demo_site, UNIT)
work = demo.folder
proc = subprocess.Popen([cli, "--demo", "monitor", "--unit", UNIT, "--every", "2s", "--probes", "1",
                         "--registration", demo.registration],
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=demo.env())


def fail(message):
    if proc.poll() is None:
        proc.kill()
    print("stdout:\n" + "\n".join(out.seen))
    print("stderr:\n" + "".join(out.err[-40:]))
    sys.exit("FAIL: " + message)


out = OutputLines(proc, fail)
next_line = out.wait
control_line = DemoControl(demo.control, fail).send
SURVEY = rf"^\d{{4}}-\d\d-\d\dT\d\d:\d\d:\d\dZ unit={UNIT} answered=7 silent=0 weakest=\S.* level=\d+ duration=\d+\.\ds record=\d+$"
FAILED = rf"^\S+Z unit={UNIT} failed=.* retry=(\d+)s$"

next_line(SURVEY, 60)
next_line(SURVEY, 60)  # a second one: the schedule goes on
control_line(f"detach {UNIT}")
pulled_ms = time.time() * 1000
first_failure = next_line(FAILED, 60)
second_failure = next_line(FAILED, 30)
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
out.drain()
if status != 0:
    fail(f"exit status {status}")
if took >= 3:
    fail(f"SIGTERM took {took:.2f} s")
if not any("monitor stopped by SIGTERM" in l for l in out.err):
    fail("no stop line on standard error")

# The site records: each survey finished with its hop statistics, one of
# them after the unit came back.
stores = glob.glob(os.path.join(work, "**", "site-records-demo.sqlite"), recursive=True)  # a demo run's own store
if len(stores) != 1:
    fail(f"site records: {stores}")
db = sqlite3.connect(stores[0])
rows = db.execute(
    "SELECT s.id, s.visit_id, s.started_at, s.ended_at, s.kind, v.ended_at,"
    " (SELECT COUNT(*) FROM hop_stats h WHERE h.survey_id = s.id)"
    " FROM surveys s JOIN visits v ON v.id = s.visit_id JOIN sites t ON t.id = v.site_id"
    " WHERE t.serial = ? ORDER BY s.id", (int(UNIT, 16),)).fetchall()
logged = [int(m.group(1)) for l in out.seen if (m := re.search(r" record=(\d+)$", l))]
finished = [r for r in rows if r[3] is not None]
if [r[0] for r in finished] != logged:
    fail(f"finished surveys in the store {[r[0] for r in finished]}, logged {logged}")
if any(r[4] != "site" or r[5] is None or r[6] == 0 for r in finished):
    fail(f"a survey that is not a whole-site survey in an ended visit with hop statistics: {finished}")
# One visit of the monitor's own per day of its run, never one per round.
days = {time.strftime("%Y-%m-%d", time.localtime(r[2] / 1000)) for r in rows}
if len({r[1] for r in rows}) != len(days):
    fail(f"the surveys of {len(days)} days are in visits {sorted({r[1] for r in rows})}")
technicians = db.execute("SELECT DISTINCT v.technician FROM visits v JOIN surveys s ON s.visit_id = v.id").fetchall()
if technicians != [("monitor",)]:
    fail(f"the monitor's visits are not marked as its own: {technicians}")
if not any(r[2] >= plugged_ms for r in finished):
    fail("no survey recorded after the unit was plugged back in")
if not all(r[2] < pulled_ms or r[2] >= plugged_ms for r in finished):
    fail("a survey finished while the unit was out")
print("\n".join(out.seen))
print(f"{len(finished)} surveys recorded, {len(rows) - len(finished)} cut short")

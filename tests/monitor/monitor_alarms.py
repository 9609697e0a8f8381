#!/usr/bin/env python3
"""linkmeter-cli monitor's alarms on the demo site, through the demo's
control file, with a real SMTP server (aiosmtpd) and an HTTP receiver on
127.0.0.1:
1. a repeater made unreachable raises one RepeaterSilent alarm naming the
   two units behind it (which get no alarm of their own), delivered once by
   webhook and once by e-mail, and resolved once when it answers again;
2. both receivers down for several rounds while the alarm comes and goes,
   then up: every notice delivered once, in order;
3. SIGTERM with notices still in the outbox: sent after the next start;
and the metrics file read back as the exposition format.
usage: monitor_alarms.py LINKMETER-CLI DEMO-SITE.json"""
import glob
import json
import os
import re
import signal
import sqlite3
import subprocess
import sys
import time

from demo_monitor import DemoControl, DemoWork, OutputLines
from monitor_parts import Receivers

cli, demo_site = sys.argv[1], sys.argv[2]
UNIT = "009A0011"
REPEATER = "00C80102"
BEHIND = ["00BC0103", "00C20104"]
demo = DemoWork("lm-alarms-", demo_site, UNIT)
work, registration = demo.folder, demo.registration
metrics = os.path.join(work, "linkmeter.prom")


# -- receivers ---------------------------------------------------------------
receivers = Receivers()


def hooks():
    """The webhook notices taken with 200, in order."""
    return [a for _, a in receivers.hooks]


def mails():
    """The e-mails taken with 250, in order."""
    return [m for _, m in receivers.mails]


# -- the monitor -------------------------------------------------------------
env = demo.env()
ARGS = [cli, "--demo", "monitor", "--unit", UNIT, "--every", "2s", "--probes", "1", "--registration", registration,
        "--webhook", f"http://127.0.0.1:{receivers.http.server_address[1]}/hook", "--mail-to", "ops@example.org",
        "--mail-from", "monitor@example.org", "--smtp", f"smtp://127.0.0.1:{receivers.smtp_port}", "--smtp-tls", "none",
        "--metrics-file", metrics, "--retry-max", "2s"]


class Monitor:
    def __init__(self):
        self.proc = subprocess.Popen(ARGS, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
        self.out = OutputLines(self.proc, fail)
        self.seen, self.err = self.out.seen, self.out.err

    def wait_line(self, pattern, within):
        return self.out.wait(pattern, within)

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        try:
            status = self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            fail("SIGTERM did not end the monitor within 15 s")
        if status != 0:
            fail(f"the monitor ended with {status}")


monitor = None


def fail(message):
    if monitor and monitor.proc.poll() is None:
        monitor.proc.kill()
    if monitor:
        print("stdout:\n" + "\n".join(monitor.seen[-60:]))
        print("stderr:\n" + "".join(monitor.err[-60:]))
    print("webhook:", [(a["status"], a["labels"]) for a in hooks()])
    print("mail:", [m["Subject"] for m in mails()])
    sys.exit("FAIL: " + message)


control = DemoControl(demo.control, fail)


def control_line(text):
    control.send(text)


def silence_repeater():
    control_line(f'fault {UNIT} {{"kind": "unreachable", "unit": "{REPEATER}"}}')


def wait_for(what, check, within):
    deadline = time.monotonic() + within
    while time.monotonic() < deadline:
        with receivers.lock:
            if check():
                return
        monitor.out.read_for(0.2)
    fail(f"{what} not within {within} s")


def repeater_hooks(status=None):
    return [a for a in hooks() if a["labels"]["alertname"] == "RepeaterSilent"
            and (status is None or a["status"] == status)]


def repeater_mails(status=None):
    return [m for m in mails() if "RepeaterSilent" in m["Subject"]
            and (status is None or m["Subject"].startswith(f"[{status.upper()}]"))]


SURVEY = rf"^\S+Z unit={UNIT} answered=\d+ silent=\d+ .* record=\d+$"

# 0. The configuration: checked, refused with status 2, and a test notice
# through every channel.
def run_cli(*extra, config=None):
    args = ARGS + list(extra) + (["--config", config] if config else [])
    return subprocess.run(args, capture_output=True, text=True, env=env, timeout=60)


checked = run_cli("--check-config")
if checked.returncode != 0 or "configuration ok" not in checked.stdout:
    fail(f"--check-config: {checked.returncode} {checked.stdout} {checked.stderr}")
for text, fault in (("[monitor]\nmail_too = x@example.org\n", "unknown key mail_too"),
                    ("[monitor]\nraise_rounds = 9\n", "the rounds that raise")):
    bad = os.path.join(work, "bad.conf")
    with open(bad, "w") as f:
        f.write(text)
    refused = run_cli("--check-config", config=bad)
    if refused.returncode != 2 or fault not in refused.stderr:
        fail(f"a faulty configuration gave {refused.returncode}: {refused.stderr}")
tested = run_cli("--test-alarm")
if tested.returncode != 0 or tested.stdout.count("test notice sent") != 2:
    fail(f"--test-alarm: {tested.returncode} {tested.stdout} {tested.stderr}")
with receivers.lock:
    if [a["labels"]["alertname"] for a in hooks()] != ["LinkmeterTest"] or len(mails()) != 1:
        fail("the test notice did not arrive once per channel")
    if hooks()[0]["labels"]["site"] != UNIT:  # labelled as real alarms are: the serial
        fail(f"the test notice's labels {hooks()[0]['labels']}")
    receivers.hooks.clear()
    receivers.mails.clear()

# 1. Raised once, naming the units behind, and resolved once.
monitor = Monitor()
monitor.wait_line(SURVEY, 60)
silence_repeater()
wait_for("the RepeaterSilent notice by webhook and e-mail",
         lambda: repeater_hooks("firing") and repeater_mails("firing"), 60)
hook = repeater_hooks("firing")[0]
if hook["labels"]["unit"] != REPEATER or hook["labels"]["site"] != UNIT:
    fail(f"labels {hook['labels']}")
if hook["annotations"].get("unreachable") != ",".join(BEHIND):
    fail(f"annotations {hook['annotations']}")
if hook["endsAt"] != "0001-01-01T00:00:00Z" or not re.match(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$", hook["startsAt"]):
    fail(f"times {hook['startsAt']} {hook['endsAt']}")
body = repeater_mails("firing")[0].get_content()
if not all(serial in body for serial in BEHIND):
    fail(f"the e-mail does not name the units behind the repeater:\n{body}")
control_line(f"clear {UNIT}")
wait_for("the resolve by webhook and e-mail", lambda: repeater_hooks("resolved") and repeater_mails("resolved"), 60)
time.sleep(4)  # two more rounds: nothing more may come
with receivers.lock:
    if len(repeater_hooks()) != 2 or len(repeater_mails()) != 2:
        fail("the repeater's alarm was told more than once a state")
    behind = [a for a in hooks() if a["labels"].get("unit") in BEHIND and a["labels"]["alertname"] == "UnitSilent"]
    if behind:
        fail(f"units behind the silent repeater were alarmed themselves: {behind}")

# 2. Receivers down for several rounds while the alarm comes and goes.
receivers.down = True
silence_repeater()
monitor.wait_line(r"alarm=raised key=\S+/silent-repeater/" + REPEATER, 30)
control_line(f"clear {UNIT}")
monitor.wait_line(r"alarm=resolved key=\S+/silent-repeater/" + REPEATER, 30)
failures = sum(1 for l in monitor.err if "outbox channel=webhook" in l and "failed" in l)
if failures < 2:
    fail(f"the webhook was tried {failures} times while down")
receivers.down = False
wait_for("the held notices", lambda: len(repeater_hooks()) == 4 and len(repeater_mails()) == 4, 60)

# 3. SIGTERM with notices pending, sent after the next start.
receivers.down = True
silence_repeater()
# Stopped between two surveys: the alarm line follows its survey's line.
monitor.wait_line(r"alarm=raised key=\S+/silent-repeater/" + REPEATER, 30)
monitor.stop()
stores = glob.glob(os.path.join(work, "**", "site-records*.sqlite"), recursive=True)
if len(stores) != 1:
    fail(f"site records: {stores}")
db = sqlite3.connect(stores[0])
pending = db.execute("SELECT count(*) FROM alarm_outbox o WHERE NOT EXISTS "
                     "(SELECT 1 FROM alarm_deliveries d WHERE d.outbox_id = o.id)").fetchone()[0]
if pending < 2:
    fail(f"{pending} notices pending at the stop, wanted the firing one on both channels")
receivers.down = False
# The demo lives in the monitor's process: the next one starts with a fresh
# site (the repeater answering again) and a control file of its own.
control = DemoControl(os.path.join(work, "control-2"), fail)
open(control.path, "w").close()
env["LINKMETER_DEMO_CONTROL"] = control.path
monitor = Monitor()
wait_for("the notices left by the stopped monitor", lambda: len(repeater_hooks("firing")) == 3
         and len(repeater_mails("firing")) == 3, 60)
monitor.wait_line(r"alarm=resolved key=\S+/silent-repeater/" + REPEATER, 30)
wait_for("the resolve after the restart", lambda: len(repeater_hooks()) == 6 and len(repeater_mails()) == 6, 60)
monitor.wait_line(SURVEY, 30)
monitor.stop()

# Every notice of the outbox delivered once, in order, on each channel.
rows = db.execute("SELECT o.channel, o.alarm_key, o.status FROM alarm_outbox o "
                  "JOIN alarm_deliveries d ON d.outbox_id = o.id ORDER BY o.id").fetchall()
undelivered = db.execute("SELECT count(*) FROM alarm_outbox o WHERE NOT EXISTS "
                         "(SELECT 1 FROM alarm_deliveries d WHERE d.outbox_id = o.id)").fetchone()[0]
if undelivered:
    fail(f"{undelivered} notices never delivered")
with receivers.lock:
    got_hooks = [(a["labels"]["alertname"], a["labels"].get("unit"), a["status"]) for a in hooks()]
    got_mails = [(m["Subject"].split("]")[0][1:].lower(), m["Subject"].split()[1]) for m in mails()]
want_hooks = [(json.loads(n)["alertname"], json.loads(n)["unit"], s) for (n, s) in db.execute(
    "SELECT notice_json, status FROM alarm_outbox WHERE channel = 'webhook' ORDER BY id")]
want_mails = [(s, json.loads(n)["alertname"]) for (n, s) in db.execute(
    "SELECT notice_json, status FROM alarm_outbox WHERE channel = 'mail' ORDER BY id")]
if got_hooks != want_hooks:
    fail(f"webhook deliveries {got_hooks}\nwanted {want_hooks}")
if got_mails != want_mails:
    fail(f"mail deliveries {got_mails}\nwanted {want_mails}")
events = db.execute("SELECT kind FROM alarm_events WHERE alarm_key LIKE ? ORDER BY id",
                    (f"%/silent-repeater/{REPEATER}",)).fetchall()
if [e[0] for e in events] != ["raised", "resolved"] * 3:
    fail(f"the repeater's events {events}")

# The metrics file as a scraper reads it.
with open(metrics) as f:
    text = f.read()
families = set()
for line in text.splitlines():
    if m := re.match(r"# (HELP|TYPE) ([a-zA-Z_:][a-zA-Z0-9_:]*) (.+)$", line):
        families.add(m.group(2))
        continue
    m = re.match(r'([a-zA-Z_:][a-zA-Z0-9_:]*)\{((?:[a-zA-Z_]\w*="(?:[^"\\]|\\.)*",?)*)\} (\S+)$', line)
    if not m or m.group(1) not in families:
        fail(f"metrics line {line!r}")
    float(m.group(3))
for name in ("linkmeter_hop_level_median", "linkmeter_hop_loss_ratio", "linkmeter_unit_battery_percent",
             "linkmeter_unit_last_heard_timestamp_seconds", "linkmeter_site_alarms_firing",
             "linkmeter_site_last_survey_timestamp_seconds"):
    if not re.search(rf"^{name}\{{", text, re.M):
        fail(f"no {name} in the metrics file")

# The operators' view of the same records.
def alarms(*words):
    done = subprocess.run([cli, "--demo", "alarms", *words, "--format", "json"], capture_output=True, text=True,
                          env=env, timeout=60)
    if done.returncode != 0:
        fail(f"alarms {' '.join(words)}: status {done.returncode}: {done.stderr}")
    return json.loads(done.stdout)


listed = [a for a in alarms("list", "--site", UNIT) if a["key"].endswith("/silent-repeater/" + REPEATER)]
if len(listed) != 3 or any(a["endedAt"] is None for a in listed):
    fail(f"alarms list: {listed}")
alarms("ack", str(listed[0]["id"]))
shown = alarms("show", str(listed[0]["id"]))
if [e["kind"] for e in shown["events"]] != ["raised", "resolved", "ack"] or not shown["detail"]["evidence"]:
    fail(f"alarms show: {shown}")
# Without --format json, one alarm reads as text in the computer's own time.
readable = subprocess.run([cli, "--demo", "alarms", "show", str(listed[0]["id"])], capture_output=True, text=True,
                          env=dict(env, TZ="Asia/Tokyo"), timeout=60)
if readable.returncode != 0 or "{" in readable.stdout or "raised by the round of" not in readable.stdout \
        or not re.search(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d JST", readable.stdout) \
        or ", ".join(BEHIND) not in readable.stdout:
    fail(f"alarms show as text:\n{readable.stdout}{readable.stderr}")
silence = alarms("silence", "--unit", REPEATER.lower(), "--for", "2h")
if silence["subject"] != "unit:" + REPEATER:
    fail(f"alarms silence: {silence}")
receivers.stop()
print(f"{len(got_hooks)} webhook notices and {len(got_mails)} e-mails, each once and in order")

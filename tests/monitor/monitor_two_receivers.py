#!/usr/bin/env python3
"""Two linkmeter-cli monitors under one home (one store), each watching a
base unit of the simulator and telling a customer of its own (a webhook
receiver and a mail server each), in a private network namespace. B's
customer is down while both sites' repeaters go silent and answer again,
twice; then up. Each customer gets exactly its own site's notices, each
once (no webhook fingerprint or Message-ID twice), in the order its
monitor raised them; the shared outbox holds each notice for its own
monitor and receiver, every one delivered. A unit of B's site has a name
with a line break in it: no line the monitors write is split or forged by it.
usage: monitor_two_receivers.py LINKMETER-CLI LINKMETER-SIM DEMO-SITE.json"""
import glob
import json
import os
import sqlite3
import sys
import tempfile
import time

import monitor_parts as parts

parts.enter_private_network()
cli, sim_path, demo_site = sys.argv[1], sys.argv[2], sys.argv[3]
SITES = {"A": ("009A0011", "00C80102"), "B": ("009C0021", "00C80203")}  # base unit, a repeater of its site
# B's unit behind its silent repeater has a name that would end the alarm
# line and forge one of its own if it were written as it is.
BEHIND_B = "00C20203"
FORGED_NAME = 'RAIN\r\n2026-01-01T00:00:00Z alarm=resolved key=forged summary="x" \\'
work = tempfile.mkdtemp(prefix="lm-monitor-two-")
site = parts.usb_site(demo_site)
for base in site["baseUnits"]:
    base["groups"] = base["groups"][:1]  # one group a site: rounds of a few seconds
monitors, receivers = {}, {}


def fail(message):
    for name, m in monitors.items():
        m.kill()
        print(f"-- monitor {name}")
        m.dump()
    for name, r in receivers.items():
        print(f"-- receiver {name}: webhook", [(a["labels"]["site"], a["status"]) for _, a in r.hooks],
              "mail", [m["Subject"] for _, m in r.mails])
    sys.exit("FAIL: " + message)


def wait_until(what, check, within):
    deadline = time.monotonic() + within
    while time.monotonic() < deadline:
        if check():
            return
        for m in monitors.values():
            m.out.read_for(0.05)
    fail(f"{what} not within {within} s")


def count(name, status):
    r = receivers[name]
    with r.lock:
        return len([a for _, a in r.hooks if a["labels"]["alertname"] == "RepeaterSilent" and a["status"] == status])


def name_unit(registration, serial, name):
    with open(registration) as f:
        groups = json.load(f)
    for group in groups["groups"]:
        for unit in group["remoteUnits"]:
            if unit["serial"] == serial:
                unit["name"] = name
    with open(registration, "w") as f:
        json.dump(groups, f)


START = time.monotonic()


def note(what):
    print(f"{time.monotonic() - START:5.1f} s {what}", flush=True)


def cycle(down_name):
    """Both repeaters silent until raised, then answering until resolved."""
    for name, (unit, repeater) in SITES.items():
        sim.silence(unit, repeater)
    for name, (unit, repeater) in SITES.items():
        monitors[name].wait_line(r"alarm=raised key=\S+/silent-repeater/" + repeater, 30)
    for name, (unit, repeater) in SITES.items():
        sim.send(f"clear {unit}")
    for name, (unit, repeater) in SITES.items():
        monitors[name].wait_line(r"alarm=resolved key=\S+/silent-repeater/" + repeater, 30)
    note("cycle done")
    if receivers[down_name].refused == 0:
        fail(f"receiver {down_name} was never tried while down")


sim = None
try:
    sim = parts.Simulator(sim_path, site, work)
    env = parts.private_env(work, sim.bus)
    for name, (unit, _) in SITES.items():
        receivers[name] = parts.Receivers()
        registration = parts.write_registration(site, unit, os.path.join(work, f"registration-{unit}.json"))
        if name == "B":
            name_unit(registration, BEHIND_B, FORGED_NAME)
        args = ["--unit", unit, "--every", "2s", "--probes", "1", "--retry-max", "2s", "--registration", registration,
                *receivers[name].options(f"ops-{name.lower()}@example.org")]
        monitors[name] = parts.Monitor(cli, args, env, fail)
    for name, (unit, _) in SITES.items():
        monitors[name].wait_line(rf"^\S+Z unit={unit} answered=", 60)
    receivers["B"].down = True
    cycle("B")
    cycle("B")
    wait_until("A's four notices", lambda: count("A", "firing") == 2 and count("A", "resolved") == 2, 30)
    if count("B", "firing") or count("B", "resolved"):
        fail("receiver B took notices while down")
    receivers["B"].down = False
    wait_until("B's held notices", lambda: count("B", "firing") == 2 and count("B", "resolved") == 2, 30)
    for m in monitors.values():
        m.out.read_for(4)  # two more rounds: nothing more may come
        m.stop()
        parts.check_log(m, fail)
        if any(line.startswith("2026-01-01T00:00:00Z") for line in m.out.seen + m.out.err):
            fail("a unit's name forged a line")
    # While down, B's relay answered 451: the monitor's line says so.
    if not any("channel=mail" in l and "failed=" in l and "answered 451" in l for l in monitors["B"].out.seen + monitors["B"].out.err):
        fail("the mail relay's 451 is not named in the monitor's log")
    stores = glob.glob(os.path.join(work, "**", "site-records.sqlite"), recursive=True)
    if len(stores) != 1:
        fail(f"the monitors do not share one store: {stores}")
    db = sqlite3.connect(stores[0])
    for name, (unit, _) in SITES.items():
        r = receivers[name]
        hooks = [a for _, a in r.hooks]
        mails = [m for _, m in r.mails]
        if {a["labels"]["site"] for a in hooks} != {unit}:
            fail(f"receiver {name} got webhook notices of {sorted({a['labels']['site'] for a in hooks})}")
        if any(unit not in (m.get_content() + m["Subject"]) for m in mails):
            fail(f"receiver {name} got mail of another site")
        fingerprints = [a["fingerprint"] + a["status"] + a["startsAt"] for a in hooks]
        ids = [m["Message-ID"] for m in mails]
        if len(set(fingerprints)) != len(fingerprints) or len(set(ids)) != len(ids):
            fail(f"receiver {name} got a notice twice")
        for channel, got in (("webhook", [(a["labels"]["alertname"], a["status"]) for a in hooks]),
                             ("mail", [(m["Subject"].split()[1], m["Subject"].split("]")[0][1:].lower())
                                       for m in mails])):
            rows = db.execute("SELECT notice_json, status FROM alarm_outbox WHERE monitor = ? AND channel = ? "
                              "ORDER BY id", (f"monitor-{unit}", channel)).fetchall()
            wanted = [(json.loads(n)["alertname"], s) for n, s in rows]
            if got != wanted or not got:
                fail(f"receiver {name} by {channel}: {got}\nits monitor's outbox: {wanted}")
    undelivered = db.execute("SELECT count(*) FROM alarm_outbox o WHERE NOT EXISTS "
                             "(SELECT 1 FROM alarm_deliveries d WHERE d.outbox_id = o.id)").fetchone()[0]
    if undelivered:
        fail(f"{undelivered} notices never delivered")
    for name, r in receivers.items():
        print(name, [(a["labels"]["alertname"], a["labels"].get("unit"), a["status"]) for _, a in r.hooks])
    print({name: (len(r.hooks), len(r.mails)) for name, r in receivers.items()},
          "webhook notices and mails, each to its own receiver, once, in order")
finally:
    parts.stop_all(*monitors.values(), *receivers.values(), sim)

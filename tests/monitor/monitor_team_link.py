#!/usr/bin/env python3
"""linkmeter-cli monitor's team sync when the link to the team server drops
while a try waits for the server's answer (a table lock makes it wait), in
a private network namespace where the test drops every packet to the
server's port: no answer and no reset ever come, only the sync's TCP
keepalives find the link dead. The try is given up with its reason logged
within the keepalives' minute and a margin, the rounds go on meanwhile, and
SIGTERM ends the monitor at once.
usage: monitor_team_link.py LINKMETER-CLI LINKMETER-SIM DEMO-SITE.json"""
import os
import re
import subprocess
import sys
import tempfile
import time

import monitor_parts as parts

parts.enter_private_network()
cli, sim_path, demo_site = sys.argv[1], sys.argv[2], sys.argv[3]
UNIT = "009A0011"
SURVEY = rf"^\S+Z unit={UNIT} answered="
DROP = ["table inet lmtest", "chain inet lmtest input { type filter hook input priority 0 ; }",
        "rule inet lmtest input tcp dport 5432 drop"]
work = tempfile.mkdtemp(prefix="lm-monitor-link-")
site = parts.usb_site(demo_site)
monitor = pg = sim = admin = None


def fail(message):
    if monitor:
        monitor.kill()
        monitor.dump()
    sys.exit("FAIL: " + message)


def waiting_on_lock():
    return pg.count("SELECT count(*) FROM pg_stat_activity WHERE application_name = 'linkmeter' "
                    "AND wait_event_type = 'Lock'")


def wait_until(what, check, within):
    deadline = time.monotonic() + within
    while time.monotonic() < deadline:
        if check():
            return time.monotonic()
        time.sleep(0.2)
    fail(f"{what} not within {within} s")


try:
    pg = parts.Postgres(cli, work)
    sim = parts.Simulator(sim_path, site, work)
    pg.sql("CREATE ROLE tech LOGIN IN ROLE linkmeter_technician")
    admin = parts.AdminSession(pg.socket_uri("lmadmin"))
    admin.run("BEGIN; LOCK TABLE linkmeter.visits IN ACCESS EXCLUSIVE MODE;")
    # Timeouts far past the test: only the link's own checks can end the try.
    monitor = parts.Monitor(cli, ["--unit", UNIT, "--every", "3s", "--probes", "1", "--registration",
                                  parts.write_registration(site, UNIT, os.path.join(work, "registration.json")),
                                  "--sync-server", pg.uri("tech"), "--sync-lock-timeout", "1h",
                                  "--sync-statement-timeout", "1h"], parts.private_env(work, sim.bus), fail)
    monitor.wait_line(SURVEY, 60)
    wait_until("a sync try waiting on the lock", waiting_on_lock, 30)
    for rule in DROP:
        subprocess.run(["nft", "add"] + rule.split(), check=True)
    dropped = time.monotonic()
    rounds_before = len([l for l in monitor.out.seen if re.search(SURVEY, l)])
    gave_up = wait_until("the try given up", lambda: monitor.errors("sync site="), 90)
    reason = monitor.errors("sync site=")[0].strip()
    monitor.out.drain()
    rounds = len([l for l in monitor.out.seen if re.search(SURVEY, l)]) - rounds_before
    print(f"the dropped link found {gave_up - dropped:.0f} s after the drop, {rounds} rounds meanwhile: {reason}")
    if rounds < (gave_up - dropped) / 6:  # a round every 3 s, or a survey of up to 6 s
        fail(f"only {rounds} rounds while the sync waited")
    if "retry=" not in reason or "the connection to the team server was lost" not in reason:
        fail(f"no back-off in {reason}")
    took = monitor.stop()
    print(f"SIGTERM ended the monitor in {took:.2f} s")
    if took > 2:
        fail(f"SIGTERM took {took:.2f} s")
    parts.check_log(monitor, fail)
finally:
    subprocess.run(["nft", "delete", "table", "inet", "lmtest"], capture_output=True)
    if admin:
        admin.close()
    parts.stop_all(monitor, sim, pg)

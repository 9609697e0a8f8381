#!/usr/bin/env python3
"""linkmeter-cli monitor as a Type=notify service, against a notify socket
of the test's own (no service manager runs here) and the site simulator:
READY=1 once the first round has tried the base unit, STATUS= with the
round's summary, WATCHDOG=1 while rounds go on; a round held past
--round-limit by a base unit that answers slowly stops the pings (the
service manager would restart the monitor), and they come again once the
round ends.
usage: monitor_watchdog.py LINKMETER-CLI LINKMETER-SIM DEMO-SITE.json"""
import os
import re
import sys
import tempfile
import time

import monitor_parts as parts

cli, sim_path, demo_site = sys.argv[1], sys.argv[2], sys.argv[3]
UNIT = "009A0011"
work = tempfile.mkdtemp(prefix="lm-monitor-watchdog-")
site = parts.usb_site(demo_site)
monitor = sim = manager = None


def fail(message):
    if monitor:
        monitor.kill()
        monitor.dump()
    if manager:
        print("notify:", manager.got)
    sys.exit("FAIL: " + message)


def pings_within(seconds):
    before = manager.count("WATCHDOG=1")
    time.sleep(seconds)
    return manager.count("WATCHDOG=1") - before


def rounds_ended():
    monitor.out.drain()
    return len([l for l in monitor.out.seen if re.match(rf"\S+Z unit={UNIT} (answered=|failed=)", l)])


try:
    sim = parts.Simulator(sim_path, site, work)
    manager = parts.NotifySocket(os.path.join(work, "notify"))
    env = parts.private_env(work, sim.bus, NOTIFY_SOCKET=manager.path, WATCHDOG_USEC="1000000")
    monitor = parts.Monitor(cli, ["--unit", UNIT, "--every", "2s", "--probes", "1", "--round-limit", "2s",
                                  "--no-record", "--registration",
                                  parts.write_registration(site, UNIT, os.path.join(work, "registration.json"))],
                            env, fail)
    monitor.wait_line(rf"^\S+Z unit={UNIT} answered=", 60)
    time.sleep(0.5)
    ready = [m for m in manager.got if m.startswith("READY=1")]
    if len(ready) != 1 or "7 answered, 0 silent" not in ready[0]:
        fail(f"readiness {ready}")
    if pings_within(2) < 2:
        fail("no WATCHDOG=1 every half interval while the rounds go on")
    # Every answer of the base unit 1.5 s late: a round of well over 2 s.
    monitor.wait_line(rf"^\S+Z unit={UNIT} answered=", 10)
    sim.send(f'fault {UNIT} {{"kind": "delay", "delayMs": 1500, "command": "*"}}')
    time.sleep(2 + 2 + 1)  # the next round starts, runs past its limit, a ping on its way lands
    rounds = rounds_ended()
    hung = pings_within(4)
    if rounds_ended() != rounds:
        fail("no round was held past its limit")
    if hung:
        fail(f"{hung} WATCHDOG=1 while a round hung past its limit")
    sim.send(f"clear {UNIT}")
    monitor.wait_line(rf"^\S+Z unit={UNIT} (answered=|failed=)", 120)
    if pings_within(2) < 2:
        fail("the pings did not come again once the round ended")
    statuses = [m for m in manager.got if m.startswith("STATUS=")]
    if len(statuses) < 2:
        fail(f"status messages {statuses}")
    monitor.stop()
    parts.check_log(monitor, fail)
    print(f"READY=1 then {manager.count('WATCHDOG=1')} WATCHDOG=1 and {len(statuses)} STATUS=; none while a "
          f"round hung")
finally:
    parts.stop_all(monitor, sim, manager)

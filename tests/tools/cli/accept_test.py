#!/usr/bin/env python3
"""linkmeter-cli accept against the built-in demo site: the site judged
against a profile file (FAIL with the silent unit's and the empty battery's
remedies, exit 5; PASS on a registration of good units, exit 0), fewer probes
than the profile asks failing as not enough probes, refused profiles and
arguments, and the acceptance kept in the site records with its profile.

usage: accept_test.py CLI
Each run gets its own HOME and XDG folders, so its site records are its own."""
import csv
import io
import json
import os
import sqlite3
import subprocess
import sys

from cli_run import Failures, RunFolder, table_rows

CLI = sys.argv[1]
RUN = RunFolder("lm-accept-")
ROOT, STORE = RUN.root, RUN.store
RIVERSIDE = "009C0021"
FAILURES = Failures(3000)
check = FAILURES.check
QUICK = {"name": "CLI quick", "version": 1, "probes": 3, "hopMedian": "fair", "lostAllowed": 1, "lostPer": 20,
         "maxHops": 4, "repeaterUnits": 6}


def run(*args):
    p = subprocess.run([CLI, "--demo", "accept", "--unit", RIVERSIDE, *args], capture_output=True, text=True, timeout=200, env=RUN.env(c_locale=True))
    return p.returncode, p.stdout, p.stderr


def write(name, value):
    path = os.path.join(ROOT, name)
    with open(path, "w", encoding="utf-8") as f:
        f.write(value if isinstance(value, str) else json.dumps(value))
    return path


def acceptances():
    with sqlite3.connect(STORE) as db:
        return [json.loads(r[0]) for r in db.execute("select decoded_json from acceptances order by id")]


def refusals():
    for args, status, text in [
        (["--probes", "0"], 2, "--probes takes a whole number"),
        (["--profile", write("same-name.json", {**QUICK, "name": "Standard"})], 1, "sameNameChanged"),
        (["--profile", write("broken.json", "{\"name\":")], 1, "not JSON"),
        (["--profile", os.path.join(ROOT, "missing.json")], 2, "cannot read"),
    ]:
        rc, out, err = run(*args)
        check(f"{args}: exit status", rc == status, f"{rc}\n{out}\n{err}")
        check(f"{args}: says why", text in err, err)


def site_fails():
    rc, out, err = run("--profile", write("quick.json", QUICK))
    check("whole site: exit 5 for FAIL", rc == 5, f"{rc}\n{err}")
    check("whole site: the verdict", "FAIL — 20 units:" in out, out)
    rows = {line.split()[2]: line for line in out.splitlines() if line.startswith(("G1 ", "G2 ", "G3 "))}
    check("whole site: every unit", len(rows) == 20, out)
    # A person's table and its notes fit 100 columns.
    wide = [line for line in out.splitlines() if len(line) > 100]
    check("every line within 100 columns", not wide, "\n".join(wide[:5]))
    # Nothing tells a dead unit from one out of range without a map: look at it first.
    check("silent unit's remedy", "Check G3 PEAR-3 on site" in out and "Add a repeater between G3 R2 and G3 PEAR-3" not in out, out)
    check("empty battery's remedy", "Replace the battery of G3 COLD-RM." in out, out)
    check("the battery fixed first", "Fix these first:\n  1. Replace the battery of G3 COLD-RM." in out, out)
    check("empty battery's cause", "battery low" in rows.get("00C60507", ""), rows.get("00C60507"))
    check("profile named", "profile: CLI quick v1" in out, out)
    kept = acceptances()
    check("kept in the site records", len(kept) == 1 and kept[0]["profile"]["name"] == "CLI quick" and kept[0]["verdict"] == "fail", kept)


def good_units_pass():
    # RIVERSIDE's units next to the base unit, as a registration file.
    reg = {"groups": [
        {"name": "RIVER", "freq": 25, "band": 1, "repeaters": [], "remoteUnits": [{"num": 4, "parent": 0, "serial": "00C40204", "name": "SUN-LX"}]},
        {"name": "WELLS", "freq": 31, "band": 0, "repeaters": [], "remoteUnits": [
            {"num": 4, "parent": 0, "serial": "00C60304", "name": "TANK-TH"}, {"num": 6, "parent": 0, "serial": "00B80306", "name": "HUT"}]},
    ]}
    path = write("good.json", reg)
    before = len(acceptances())
    rc, out, err = run("--profile", write("quick.json", QUICK), "--registration", path, "--format", "json")
    check("good units: exit 0", rc == 0, f"{rc}\n{out}\n{err}")
    data = json.loads(out) if rc == 0 else {}
    check("good units: PASS", data.get("verdict") == "pass" and data.get("counts", {}).get("units") == 3, out)
    check("good units: kept", len(acceptances()) == before + 1)
    rc, out, err = run("--registration", path, "--probes", "1", "--format", "csv", "--no-record")
    rows = list(csv.reader(io.StringIO(out.lstrip("\ufeff"))))
    check("fewer probes: exit 5", rc == 5, f"{rc}\n{err}")
    check("fewer probes: csv header", rows and rows[0] == ["group", "unit", "serial", "verdict", "rule", "findings", "remedy", "cause", "evidence"], rows)
    check("fewer probes: not enough probes", all(r[4] == "not enough probes" for r in rows[1:]) and len(rows) == 4, rows)
    check("--no-record keeps nothing", len(acceptances()) == before + 1)


def main():
    for step in (refusals, site_fails, good_units_pass):
        step()
    if FAILURES:
        print("\n".join(FAILURES))
        sys.exit(1)
    print("accept: ok")


if __name__ == "__main__":
    main()

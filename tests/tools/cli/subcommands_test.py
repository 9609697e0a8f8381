#!/usr/bin/env python3
"""linkmeter-cli's subcommands against the built-in demo site, as a script
runs them: output in each format, exit statuses, refusals of bad arguments,
a silent unit, a wrong password, and what goes to the site records.

usage: subcommands_test.py CLI GROUP   (GROUP: one of the functions below)
Each run gets its own HOME and XDG folders, so its site records are its own.
"""
import csv
import io
import json
import os
import pty
import re
import signal
import sqlite3
import subprocess
import sys
import time

from cli_run import Failures, RunFolder, table_rows

CLI = sys.argv[1]
RUN = RunFolder("lm-cli-")
ROOT, RECORDS, STORE = RUN.root, RUN.records, RUN.store
REAL_STORE = os.path.join(RECORDS, "site-records.sqlite")
FAILURES = Failures()
check = FAILURES.check
env = RUN.env

USAGE, FAILED, NOT_FOUND, PASSWORD, PARTLY, SET_ASIDE = 2, 1, 3, 4, 5, 8


def run(*args, timeout=120, **extra):
    p = subprocess.run([CLI, *args], capture_output=True, text=True, timeout=timeout, env=env(**extra))
    return p.returncode, p.stdout, p.stderr


def expect(args, status, out_has=(), err_has=(), **extra):
    rc, out, err = run(*args, **extra)
    name = " ".join(args)
    check(f"{name}: exit status", rc == status, f"{rc} != {status}\n{out}\n{err}")
    for text in out_has:
        check(f"{name}: stdout has {text!r}", text in out, out)
    for text in err_has:
        check(f"{name}: stderr has {text!r}", text in err, err)
    return out, err


def store_rows(sql):
    with sqlite3.connect(STORE) as db:
        return db.execute(sql).fetchall()


def usage():
    """Bad arguments are refused with a clear message and status 2, before
    anything starts (no demo site needed)."""
    cases = [
        (["survy"], "unknown subcommand: survy"),
        (["units", "--format", "xml"], "--format takes table, csv or json"),
        (["units", "--bogus"], "unknown option: --bogus"),
        (["survey"], "give either --remote UNIT or --site"),
        (["survey", "--site", "--remote", "00C20201"], "give either --remote UNIT or --site"),
        (["survey", "--site", "--probes", "0"], "--probes takes a whole number from 1 to 100"),
        (["survey", "--site", "--probes", "2x"], "--probes takes a whole number"),
        (["survey", "--site", "--command", "RUINF"], "--command takes EWLEX or EWLRU"),
        (["survey", "--site", "--unit"], "--unit needs a value"),
        (["survey", "--site", "--unit", "A", "--unit", "B"], "--unit given twice"),
        (["survey", "--site", "extra"], "unexpected argument: extra"),
        (["scan", "--rounds", "101"], "--rounds takes a whole number from 1 to 100"),
        (["scan", "--channels", "5,300"], "--channels takes channels 0..255"),
        (["scan", "--channels", "9-3"], "--channels takes channels 0..255"),
        (["download"], "give either --logger or --remote UNIT"),
        (["download", "--logger", "--remote", "00C20201"], "give either --logger or --remote UNIT"),
        (["log", "--mode", "x"], "--mode takes a number"),
        (["settings"], "say what to do: read [BLOCK]"),
        (["settings", "read", "nosuch"], "no settings block nosuch"),
        (["records"], "say what to do"),
        (["records", "show"], "show needs a visit id"),
        (["records", "show", "abc"], "show takes a visit id"),
        (["records", "export"], "export needs a file name"),
        (["records", "list", "--site", "009C0021"], "--site and --visit go with export"),
        (["units", "--no-record"], "unknown option: --no-record"),
    ]
    for args, message in cases:
        expect(args, USAGE, err_has=[message, "usage: linkmeter-cli"])
    # --help of a subcommand is its usage on stdout, status 0.
    expect(["survey", "--help"], 0, out_has=["usage: linkmeter-cli survey", "--remote UNIT"])
    # The subcommands first, the raw page requests after them.
    out, _ = expect(["--help"], 0, out_has=["jsquery:"])
    check("--help starts with the subcommands' usage", out.startswith("usage: linkmeter-cli [--demo] SUBCOMMAND"), out)
    for name in ("units", "survey", "scan", "download", "log", "settings", "records", "map", "alarms"):
        check(f"--help lists {name} before the raw requests", out.find(f"linkmeter-cli {name}") in range(0, out.find("jsquery:")), out)
    # Every help fits 100 columns.
    for args in [["--help"]] + [[name, "--help"] for name in ("survey", "accept", "download", "records", "map", "alarms", "monitor")]:
        help_text = run(*args)[1]
        wide = [line for line in help_text.splitlines() if len(line) > 100]
        check(f"{' '.join(args)}: lines fit 100 columns", not wide, wide)


def units():
    out, _ = expect(["--demo", "units"], 0, out_has=["GREENHOUSE", "RIVERSIDE", "logger"])
    check("units table has a header rule", "------" in out, out)
    out, _ = expect(["--demo", "units", "--format", "json"], 0)
    data = json.loads(out)
    check("units json", {u["serial"] for u in data["units"]} == {"009A0011", "009C0021"}, out)
    check("units json loggers", [l["serial"] for l in data["loggers"]] == ["00C20199"], out)
    check("no password in the output", "vela1234" not in out, out)
    out, _ = expect(["--demo", "units", "--format", "csv"], 0)
    rows = list(csv.reader(io.StringIO(out)))
    check("units csv header", rows[0] == ["kind", "serial", "name", "model", "address", "description"], rows)
    check("units csv quotes a comma", ["USB", "009A0011", "GREENHOUSE", "VL-B1", "", "Greenhouse office, USB"] in rows, rows)
    # A logger's address is the optical port it lies on; counts read as words.
    check("units csv: the logger's base unit is its address",
          ["logger", "00C20199", "", "VL-RD-mA", "optical port of GREENHOUSE (009A0011)", ""] in rows, rows)
    _, err = expect(["--demo", "units"], 0, err_has=["found 2 base units, 1 logger\n"])


def choose_unit():
    """--unit by serial, name (any case) or address; one that matches
    nothing is 'unit not found'; a wrong password is its own status."""
    for unit in ("009C0021", "riverside", "127.0.0.1"):
        expect(["--demo", "log", "--unit", unit, "--no-record"], 0, out_has=["Power on"])
    expect(["--demo", "log", "--unit", "NOWHERE"], NOT_FOUND, err_has=["no base unit named 'NOWHERE'", "GREENHOUSE (009A0011, USB)"])
    expect(["--demo", "log", "--unit", "RIVERSIDE"], PASSWORD, err_has=["refused the password"],
           LINKMETER_PASSWORD="wrong")
    pw = os.path.join(ROOT, "pw")
    with open(pw, "w") as f:
        f.write("vela1234\n")
    expect(["--demo", "log", "--unit", "RIVERSIDE", "--password-file", pw, "--no-record"], 0)
    with open(pw, "w") as f:
        f.write("nope\n")
    expect(["--demo", "log", "--unit", "RIVERSIDE", "--password-file", pw], PASSWORD)
    # Refused when the arguments are read, before any search.
    expect(["--demo", "log", "--unit", "RIVERSIDE", "--password-file", os.path.join(ROOT, "none")], USAGE,
           err_has=["cannot read " + os.path.join(ROOT, "none") + ": No such file or directory"])


def survey_route():
    # The route column wraps to fit 100 columns, at a width the measured
    # levels decide: its start is read here, its hops from the CSV below.
    out, _ = expect(["--demo", "survey", "--remote", "00C20202", "--probes", "2"], 0,
                    out_has=["G1 LEVEL-V", "G1 R1 >", "2/2", "median"])
    out, _ = expect(["--demo", "survey", "--remote", "00C20202", "--format", "csv"], 0)
    rows = list(csv.DictReader(io.StringIO(out)))
    check("route csv: one row per hop", [r["hop label"] for r in rows] == ["G1 R1", "G1 R2", "G1 LEVEL-V"], rows)
    check("route csv: the page's default of 5 probes", all(r["sent"] == "5" and r["verdict"] for r in rows), rows)
    out, _ = expect(["--demo", "survey", "--remote", "00C20202", "--probes", "2", "--format", "json"], 0)
    data = json.loads(out)
    probes = data["units"][0]["probes"]
    check("route json: every probe's raw answer", len(probes) == 2 and all("Signals" in p["answer"] for p in probes), out)
    check("route json: the registration", data["registration"]["groups"][0]["name"] == "RIVER", out)
    check("route json: no password", "vela1234" not in out and "comInfo" not in json.dumps(probes), out)
    hops = data["survey"]["results"][0]["hops"]
    check("route json: hop figures", [h["figures"]["asked"] for h in hops] == [2, 2, 2], hops)
    # A unit that never answers: partly done, and said so.
    out, err = expect(["--demo", "survey", "--remote", "00BC0302", "--format", "json"], PARTLY)
    data = json.loads(out)
    check("silent unit: status", data["survey"]["results"][0]["status"] in ("partial", "noAnswer"), out)
    expect(["--demo", "survey", "--remote", "00BC0302"], PARTLY, out_has=["did not answer: G2 FAR-WELL"])
    expect(["--demo", "survey", "--remote", "FFFFFFFF"], FAILED,
           err_has=["no remote unit or repeater of the registration named 'FFFFFFFF'", "G1 LEVEL-V (00C20202)"])
    # GREENHOUSE's registration cannot be read: it is given from a file.
    expect(["--demo", "survey", "--unit", "GREENHOUSE", "--remote", "00B80101"], FAILED, err_has=["--registration FILE"])
    reg = os.path.join(ROOT, "reg.json")
    demo = json.load(open(os.path.join(os.path.dirname(__file__), "..", "..", "..", "sim", "sites", "demo.json")))
    with open(reg, "w") as f:
        json.dump({"regInfo": {"groups": [{**g, "repeaters": [{"num": r["num"], "parent": r["parent"], "serial": r["serial"]} for r in g["repeaters"]]} for g in demo["baseUnits"][0]["groups"]]}}, f)
    expect(["--demo", "survey", "--unit", "GREENHOUSE", "--remote", "00BA0102", "--registration", reg], 0,
           out_has=["G1 R1 > G1 HOUSE-2"])


def names():
    """Every unit option takes a unit's name, a label the program prints or
    its serial in any form; a name several units share lists them."""
    for remote in ("LEVEL-V", "level-v", "G1 LEVEL-V", "C20202", "00c20202"):
        expect(["--demo", "survey", "--remote", remote, "--probes", "1", "--no-record"], 0, out_has=["LEVEL-V", "00C20202"])
    expect(["--demo", "survey", "--remote", "R1", "--probes", "1", "--no-record"], FAILED,
           err_has=["'R1' names 3 of them: G1 R1 (00C80201), G2 R1 (00C80301), G3 R1 (00C80501)"])
    expect(["--demo", "survey", "--remote", "G2 R1", "--probes", "1", "--no-record"], 0, out_has=["00C80301"])
    out, _ = expect(["--demo", "download", "--remote", "flow-ma", "--no-record", "--format", "json"], 0)
    check("download by name: the unit's serial", json.loads(out)["unit"] == "00C20201", out)
    # A repeater keeps no recorded data: not a remote unit to download.
    expect(["--demo", "download", "--remote", "G1 R1", "--no-record"], FAILED,
           err_has=["no remote unit of the registration named 'G1 R1'"])
    expect(["--demo", "log", "--unit", "9c0021"], 0, out_has=["Power on"])
    # Sites by name or serial, among the site records'.
    # An export never writes over an earlier one: a file of its own for each.
    for site in ("RIVERSIDE", "riverside", "9C0021"):
        expect(["--demo", "records", "export", os.path.join(ROOT, f"by-name-{site}.lmrec"), "--site", site], 0)
    expect(["--demo", "records", "export", os.path.join(ROOT, "nowhere.lmrec"), "--site", "NOWHERE"], NOT_FOUND,
           err_has=["no site named 'NOWHERE' (known: RIVERSIDE (009C0021))"])
    expect(["--demo", "alarms", "list", "--site", "riverside"], 0)
    out, _ = expect(["--demo", "alarms", "silence", "--unit", "bc0502", "--for", "1h", "--site", "RIVERSIDE",
                     "--format", "json"], 0)
    check("a silence names the unit by its whole serial", json.loads(out)["subject"] == "unit:00BC0502", out)


def survey_site():
    # The summary flags a battery the site logic calls low or empty; the
    # tables fit 100 columns.
    out, _ = expect(["--demo", "survey", "--site", "--probes", "1", "--no-record"], PARTLY)
    # The demo's nearly empty battery swings a point or so either side of 9 %
    # with the time of day: empty below 10 %, low at 10 %.
    check("the empty battery flagged",
          re.search(r"^battery (empty|low): G3 COLD-RM \(00C60507\) at ([89]|10) %$", out, re.M), out[-600:])
    wide = [line for line in out.splitlines() if len(line) > 100]
    check("site table: lines fit 100 columns", not wide, wide)
    out, _ = expect(["--demo", "survey", "--site", "--probes", "1", "--format", "json"], PARTLY)
    data = json.loads(out)
    results = data["survey"]["results"]
    check("site: every remote unit", len(results) == 20 and len(data["units"]) == 20, len(results))
    check("site: summary", data["survey"]["summary"]["answered"] == 18, data["survey"]["summary"])
    silent = {s["serial"] for s in data["survey"]["summary"]["silent"]}
    check("site: the silent units", silent == {"00BC0302", "00B80505"}, silent)
    # Recorded as the page records it: a visit, the registration, the survey
    # with every probe and each hop's statistics.
    check("site: recorded", data["recordId"] is not None, out)
    surveys = store_rows("select kind, probes_per_route, ended_at is not null from surveys")
    check("site: survey row", surveys == [("site", 1, 1)], surveys)
    check("site: probes", store_rows("select count(*) from probes") == [(20,)], store_rows("select count(*) from probes"))
    hops = store_rows("select count(*), sum(answered) from hop_stats")[0]
    check("site: hop statistics", hops[0] == sum(len(r["hops"]) for r in results), hops)
    check("site: registration kept", store_rows("select count(*) from registration_snapshots")[0][0] == 1)
    visits = store_rows("select ended_at is not null from visits")
    check("site: the visit ended", visits == [(1,)], visits)


def scan():
    out, _ = expect(["--demo", "scan", "--channels", "18-26", "--rounds", "2"], 0,
                    out_has=["quietest channels the site does not use", "recommended"])
    out, _ = expect(["--demo", "scan", "--channels", "20,21,25,3", "--rounds", "2", "--format", "json"], 0)
    data = json.loads(out)
    check("scan json: every round", len(data["rounds"]) == 2 and all(len(r) == 4 for r in data["rounds"]), out)
    rec = data["scan"]["recommendation"]["channels"]
    check("scan: the site's own channel is never recommended", 25 not in rec and len(rec) == 3, rec)
    out, _ = expect(["--demo", "scan", "--channels", "0-9", "--rounds", "1", "--format", "csv", "--no-record"], 0)
    rows = list(csv.DictReader(io.StringIO(out)))
    check("scan csv: one row per channel", [r["channel"] for r in rows] == [str(c) for c in range(10)], rows)
    scans = store_rows("select count(*) from channel_scans")[0][0]
    rounds = store_rows("select count(*) from scan_rounds")[0][0]
    check("scan: recorded, --no-record not", (scans, rounds) == (2, 4), (scans, rounds))


def download_log_settings():
    # Without --unit, the base unit whose optical port has the logger.
    out, _ = expect(["--demo", "download", "--logger", "--format", "csv"], 0)
    rows = list(csv.reader(io.StringIO(out)))
    check("download csv", rows[0][:2] == ["time", "unix time"] and len(rows) > 100, rows[:3])
    check("download csv: the channel's unit in its column", rows[0][2:] == ["ch1 (mA)"], rows[0])
    out, _ = expect(["--demo", "download", "--remote", "00C20201", "--format", "json"], 0)
    data = json.loads(out)
    check("download json: header and data bytes", len(data["answer"]["Header"]) == 64 and data["decoded"]["count"] > 0, data["decoded"])
    expect(["--demo", "download", "--remote", "00C20201"], 0, out_has=["records, every"])
    out, _ = expect(["--demo", "log", "--unit", "GREENHOUSE", "--format", "json"], 0)
    check("log json", len(json.loads(out)["answer"]["logs"]) == 3, out)
    out, _ = expect(["--demo", "log", "--unit", "GREENHOUSE"], 0)
    texts = [r["text"] for r in table_rows(out)]
    check("log: newest first", "battery low" in texts[0] and texts[-1] == "Power on", out)
    # The first column is the computer's own time from UTC, whatever the
    # unit's clock is set to; the unit's time is beside it, labelled.
    for zone, hours in (("UTC", 0), ("Asia/Tokyo", 9)):
        out, _ = expect(["--demo", "log", "--unit", "GREENHOUSE", "--format", "csv", "--no-record"], 0, TZ=zone)
        rows = list(csv.DictReader(io.StringIO(out)))
        want = [time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(int(r["utc"]) + hours * 3600)) for r in rows]
        check(f"log csv in {zone}: the computer's time", [r["time (this computer)"] for r in rows] == want, out)
        check(f"log csv in {zone}: the unit's clock labelled", all(r["unit local time"] and r["unit utc offset"].startswith("UTC") for r in rows), out)
    out, _ = expect(["--demo", "settings", "read", "network", "--format", "json"], 0)
    check("settings: password hidden", json.loads(out)["blocks"]["network"]["PW"] == {"hidden": True}, out)
    out, _ = expect(["--demo", "settings", "read"], 0, out_has=["clock", "network", "(hidden)"])
    check("settings: never the password", "vela1234" not in out, out)
    kinds = dict(store_rows("select 'downloads', count(*) from downloads union all select 'logs', count(*) from event_logs"))
    check("downloads and logs recorded", kinds == {"downloads": 3, "logs": 2}, kinds)
    # Every read is kept, also reads answered within the same millisecond:
    # RUINF and RDTIM on each of the 7 connections, then 1 and 10 blocks.
    reads = store_rows("select count(*) from settings_readbacks")[0][0]
    check("every settings read recorded", reads == 7 * 2 + 1 + 10, reads)


def silent_base_unit():
    """A base unit that stops answering: a clear failure, within its time limit."""
    control = os.path.join(ROOT, "control")
    with open(control, "w") as f:
        f.write('fault 009A0011 {"kind":"noAnswer"}\n')
    # By serial: a unit silent from the start is listed by the search
    # without the name it never told.
    expect(["--demo", "log", "--unit", "009A0011"], FAILED, err_has=["does not answer"],
           LINKMETER_DEMO_CONTROL=control)


def records():
    expect(["--demo", "log", "--unit", "RIVERSIDE"], 0)
    expect(["--demo", "log", "--unit", "GREENHOUSE"], 0)
    out, _ = expect(["--demo", "records", "list", "--format", "json"], 0)
    visits = json.loads(out)["visits"]
    check("records list: two visits", len(visits) == 2, out)
    # Times in the computer's time zone, as the page shows them.
    for zone, hours in (("UTC", 0), ("Asia/Tokyo", 9)):
        out, _ = expect(["--demo", "records", "list", "--format", "csv"], 0, TZ=zone)
        started = [r["started"] for r in csv.DictReader(io.StringIO(out))]
        want = [time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(v["startedAt"] // 1000 + hours * 3600)) for v in visits]
        check(f"records list in {zone}: the computer's time", started == want, (started, want))
    vid = str(visits[0]["id"])
    # Each record with what it holds, not its kind alone.
    out, _ = expect(["--demo", "records", "show", vid], 0, out_has=["event-log", "visit " + vid, "holds", "3 events"])
    _, err = expect(["--demo", "records", "show", "999"], FAILED, err_has=["no visit 999"])
    check("failures without the page's 'method error' prefix", "method error" not in err, err)
    export = os.path.join(ROOT, "export.lmrec")
    expect(["--demo", "records", "export", export], USAGE, err_has=["holds 2 sites"])
    expect(["--demo", "records", "export", export, "--site", "009C0021"], 0)
    # Never onto the store, however it is named: a wrong argument.
    link = os.path.join(ROOT, "store-link.sqlite")
    os.symlink(STORE, link)
    for target in (STORE, link, STORE + "-wal"):
        expect(["--demo", "records", "export", target, "--site", "009C0021"], USAGE, err_has=["never writes over the site records"])
    out, _ = expect(["--demo", "records", "import", export, "--format", "json"], 0)
    check("import again adds nothing", json.loads(out)["records"] == 0 and json.loads(out)["skipped"] > 0, out)
    expect(["--demo", "records", "import", os.path.join(ROOT, "none")], FAILED, err_has=["the import failed"])
    check("demo runs leave the technician's store alone", not os.path.exists(REAL_STORE), os.listdir(RECORDS))


def store_set_aside():
    """A damaged store is set aside under a new name, said on standard error,
    with exit status 8; the run still does its work in a new store."""
    os.makedirs(RECORDS, exist_ok=True)
    for store, demo in ((REAL_STORE, []), (STORE, ["--demo"])):
        with open(store, "wb") as f:
            f.write(b"this is not a database" * 100)
        _, err = expect([*demo, "records", "list"], SET_ASIDE, err_has=["were set aside as", "a new, empty store"])
        aside = [n for n in os.listdir(RECORDS) if ".damaged-" in n and n.endswith(".sqlite")]
        check(f"{store}: the old file kept under the name said", any(n in err for n in aside), (aside, err))
        expect([*demo, "records", "list"], 0)  # said once: the new store is sound
        for n in aside:
            os.remove(os.path.join(RECORDS, n))


def visit_joining():
    """A run on a site another program keeps a visit open for records in
    that visit (and says so) unless --new-visit; it never ends that visit."""
    p = subprocess.Popen([CLI, "--demo", "survey", "--site", "--unit", "RIVERSIDE", "--probes", "20"],
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env())
    try:
        err = ""
        for line in p.stderr:
            err += line
            if "unit 2/20" in line:
                break
        open_visit = store_rows("select id from visits where ended_at is null")
        check("the survey keeps its visit open", len(open_visit) == 1, open_visit)
        vid = str(open_visit[0][0]) if open_visit else "?"
        _, err = expect(["--demo", "log", "--unit", "RIVERSIDE"], 0,
                        err_has=[f"recorded in visit {vid} of site 009C0021 (the visit another program keeps open"])
        check("the joined visit stays open", store_rows(f"select ended_at from visits where id = {vid}") == [(None,)])
        _, err = expect(["--demo", "log", "--unit", "RIVERSIDE", "--new-visit"], 0, err_has=["(a new visit)"])
        _, err = expect(["--demo", "log", "--unit", "GREENHOUSE"], 0, err_has=["of site 009A0011 (a new visit)"])
        check("a visit per site at once, plus the one asked for",
              store_rows("select count(*) from visits")[0][0] == 3, store_rows("select * from visits"))
    finally:
        p.send_signal(signal.SIGINT)
        p.communicate(timeout=60)
    logs = store_rows(f"select count(*) from event_logs where visit_id = {vid}") if vid != "?" else []
    check("the joined run's log is in the survey's visit", logs == [(1,)], logs)



def progress():
    """Progress on standard error: a bar redrawn in place on a terminal,
    plain lines otherwise; standard output keeps only the result."""
    master, slave = pty.openpty()
    p = subprocess.Popen([CLI, "--demo", "units", "--format", "json"], stdout=subprocess.PIPE, stderr=slave, env=env())
    os.close(slave)
    seen = b""
    while True:
        try:
            chunk = os.read(master, 4096)
        except OSError:
            break
        if not chunk:
            break
        seen += chunk
    out, _ = p.communicate(timeout=60)
    os.close(master)
    check("terminal: a bar redrawn in place", b"\r[" in seen and b"%" in seen and b"#" in seen, seen)
    check("terminal: stdout is the result alone", json.loads(out)["units"], out)
    _, _, err = run("--demo", "units")
    check("plain lines otherwise", "\r" not in err and "LAN search" in err.splitlines()[1], err)


def interrupt():
    """SIGINT in the middle of a site survey or a scan ends it between two
    probes: what was gathered is printed and kept (the survey without an end
    time, the visit ended), partly done."""
    for args, ready, limit in ((["survey", "--site", "--probes", "1"], "unit 4/20", 30), (["scan", "--rounds", "100"], "round 2/100", 30)):
        p = subprocess.Popen([CLI, "--demo", *args, "--format", "json"], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True, env=env())
        err = ""
        for line in p.stderr:
            err += line
            if ready in line:
                break
        start = time.monotonic()
        p.send_signal(signal.SIGINT)
        out, rest = p.communicate(timeout=30)
        took = time.monotonic() - start
        name = args[0]
        check(f"{name}: stopped partly done", p.returncode == PARTLY, f"{p.returncode}\n{err}{rest}")
        check(f"{name}: stopped soon", took < limit, took)
        data = json.loads(out)
        if name == "survey":
            check("survey: the units done", data["stopped"] and 3 <= len(data["units"]) < 20, len(data["units"]))
        else:
            check("scan: the rounds done", data["cutOff"] and 1 <= len(data["rounds"]) < 100, len(data["rounds"]))
    check("survey kept without an end", store_rows("select ended_at is null from surveys") == [(1,)])
    check("scan kept", store_rows("select count(*) from channel_scans")[0][0] == 1)
    check("visits ended", store_rows("select count(*) from visits where ended_at is null") == [(0,)])


GROUPS = {f.__name__: f for f in (usage, units, choose_unit, names, survey_route, survey_site, scan, download_log_settings,
                                  silent_base_unit, records, store_set_aside, visit_joining, progress, interrupt)}

if __name__ == "__main__":
    GROUPS[sys.argv[2]]()
    if FAILURES:
        print("\n".join(FAILURES))
        sys.exit(1)
    print("ok")

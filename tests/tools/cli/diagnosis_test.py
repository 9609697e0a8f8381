#!/usr/bin/env python3
"""Causes, remedies and the site's own propagation against the simulator.

The demo site RIVERSIDE is surveyed once with no map (the silent units'
causes are not known: the acceptance says what would tell), then placed by
`map plan`, `map scale` and `map place` on a plan at 5 m a pixel at exactly
its designed distances, WELL-2 marked planned 700 m from WELLS R1, and
judged again: PEAR-3 (160 m from its repeater, never answers) is a silent
unit to check, FAR-WELL (4.3 km) is out of range with repeater positions,
COLD-RM's battery is replaced first; the fitted slope and spread are
compared with the simulator's radio model (230 - 40 log10 m, fading of
+-6 and +-2). Then the simulator moves WELL-2 to 700 m and its measured
median must lie within the level predicted for it, +- the spread.
The figures are printed for the closing note.

usage: diagnosis_test.py CLI
Each run gets its own HOME and XDG folders, so its site records are its own."""
import json
import math
import os
import subprocess
import sys

from cli_run import Failures, RunFolder
from riverside_plan import METRES_PER_PIXEL, PLAN, PLANNED_METRES, WELL_2, layout, place_rows, png

CLI = sys.argv[1]
RUN = RunFolder("lm-diagnosis-")
ROOT = RUN.root
SITE = "009C0021"
FAILURES = Failures(3000)
check = FAILURES.check
QUICK = {"name": "CLI quick", "version": 1, "probes": 3, "hopMedian": "fair", "lostAllowed": 1, "lostPer": 20,
         "maxHops": 4, "repeaterUnits": 6}


def cli(*args, timeout=300, env=None):
    p = subprocess.run([CLI, "--demo", *args], capture_output=True, text=True, timeout=timeout, env=env or RUN.env(c_locale=True))
    return p.returncode, p.stdout, p.stderr


def write(name, text):
    path = os.path.join(ROOT, name)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return path


def units(acceptance):
    return {u["serial"]: u for u in acceptance.get("units", [])}


def accept(what):
    rc, out, err = cli("accept", "--unit", SITE, "--profile", os.path.join(ROOT, "quick.json"), "--format", "json")
    check(f"{what}: the site fails (exit 5)", rc == 5, f"{rc}\n{err[-1500:]}")
    try:
        return json.loads(out)
    except ValueError:
        check(f"{what}: JSON", False, out[-500:])
        return {}


def without_map():
    a = accept("no map")
    u = units(a)
    pear = u.get("00B80505", {})
    d = pear.get("diagnosis") or {}
    check("no map: PEAR-3's cause is not known", d.get("cause") == "unknown" and d.get("confidence") == "low", d)
    check("no map: it says what would tell", any("scale" in e for e in d.get("evidence", [])), d.get("evidence"))
    kinds = [r["kind"] for r in pear.get("remedies", [])]
    check("no map: a silent unit is checked, no repeater guessed", kinds == ["checkUnit"], kinds)
    check("no map: what is missing", (a.get("geometry") or {}).get("missing") == "noPlan", a.get("geometry"))


def place_on_plan():
    at, _, _ = layout()
    path = os.path.join(ROOT, "riverside.png")
    with open(path, "wb") as f:
        f.write(png(PLAN, PLAN))
    for args in (["map", "plan", "--site", SITE, path, "--name", "Riverside", "--by", "office"],
                 ["map", "scale", "--site", SITE, "--plan", "Riverside", "--from", "100,100", "--to", "2100,100", "--metres",
                  str(2000 * METRES_PER_PIXEL)]):
        rc, out, err = cli(*args, timeout=60)
        check(f"{args[1]}: done", rc == 0, f"{rc}\n{out}\n{err}")
    rows = place_rows()
    rc, out, err = cli("map", "place", "--site", SITE, "--plan", "1", write("places.csv", rows), "--format", "json", timeout=60)
    check("place: every unit", rc == 0 and len(json.loads(out or "{}").get("placed", [])) == len(at), f"{rc}\n{out[-500:]}\n{err}")
    # A name the registration does not have is refused, and nothing placed.
    rc, out, err = cli("map", "place", "--site", SITE, "--plan", "1", write("bad.csv", "unit,x,y\nNO-SUCH,1,1\n"), timeout=60)
    check("place: an unknown unit refused with its line", rc == 1 and "line 2" in err and "NO-SUCH" in err, f"{rc}\n{err}")


def with_map():
    a = accept("with the map")
    u = units(a)
    figures = {}
    cases = [  # serial, cause, remedy kinds it must have, kinds it must not
        ("00B80505", "unitSilent", ["checkUnit"], ["addRepeater"]),
        ("00BC0302", "outOfRange", ["addRepeater"], ["checkUnit"]),
        ("00C60507", "batteryLow", ["replaceBattery"], ["raiseRepeater", "raiseAntenna", "addRepeater"]),
    ]
    for serial, cause, must, never in cases:
        d = (u.get(serial) or {}).get("diagnosis") or {}
        kinds = [r["kind"] for r in (u.get(serial) or {}).get("remedies", [])]
        check(f"{serial}: cause {cause}", d.get("cause") == cause, d)
        check(f"{serial}: evidence in words", d.get("evidence") and all(isinstance(e, str) and e for e in d["evidence"]), d)
        check(f"{serial}: remedies {must}", all(k in kinds for k in must) and not any(k in kinds for k in never), kinds)
    far = next((r for r in u.get("00BC0302", {}).get("remedies", []) if r["kind"] == "addRepeater"), {})
    pos = far.get("position") or {}
    check("FAR-WELL: a repeater position on the plan", pos.get("plan") and 0 <= pos.get("x", -1) <= PLAN, far)
    check("FAR-WELL: both legs predicted", len(far.get("predicted", [])) >= 2 and all("level" in l and "spread" in l for l in far["predicted"]), far)
    order = [x["kind"] for x in a.get("fixFirst", [])]
    check("fix first: the battery first, the repeater last", order and order[0] == "replaceBattery" and order[-1] == "addRepeater", order)
    check("fix first: each action with its units", all(x.get("units") and x.get("text") for x in a.get("fixFirst", [])), a.get("fixFirst"))
    fit = a.get("propagation") or {}
    check("the fit is usable", fit.get("usable"), fit)
    if fit.get("usable"):
        figures.update(slope=fit["slope"], intercept=fit["intercept"], spread=fit["spread"], hops=fit["n"], setAside=fit["setAside"])
        check("slope near the model's -40 per decade", abs(fit["slope"] + 40) <= 4, fit["slope"])
        check("intercept near the model's 230", abs(fit["intercept"] - 230) <= 12, fit["intercept"])
        check("spread of the model's fading", 6 <= fit["spread"] <= 14, fit["spread"])
    planned = next((p for p in a.get("predictions", []) if p["serial"] == "BC0303"), None)
    check("WELL-2 predicted from WELLS R1", planned and planned["parent"] == "G2 R1" and abs(planned["metres"] - PLANNED_METRES) < 2, planned)
    return figures, planned


def moved_and_measured(planned):
    control = write("control", f"move {WELL_2} {PLANNED_METRES:g}\n")
    env = RUN.env(c_locale=True, LINKMETER_DEMO_CONTROL=control)
    rc, out, err = cli("survey", "--unit", SITE, "--remote", WELL_2, "--probes", "20", "--no-record", "--format", "json", env=env)
    check("the moved unit surveyed", rc == 0, f"{rc}\n{err[-800:]}")
    try:
        result = json.loads(out)["survey"]["results"][0]
        hop = result["hops"][-1]
        levels = [v for v, n in hop["stats"]["levels"] for _ in range(n)]
        levels.sort()
        measured = (levels[(len(levels) - 1) // 2] + levels[len(levels) // 2]) / 2
    except (ValueError, KeyError, IndexError) as e:
        check("the moved unit's hop", False, f"{e}: {out[-800:]}")
        return None
    if planned:
        check("measured within the predicted spread", abs(measured - planned["level"]) <= planned["spread"],
              f"measured {measured}, predicted {planned['level']} +- {planned['spread']}")
    return measured


def report_refusals():
    """The PDF itself needs the program's page engine (the GUI test makes
    one); what is wrong is said before it starts."""
    for args, status, text in [
        (["--visit", "99", os.path.join(ROOT, "x.pdf")], 1, "no ended visit 99"),
        (["--site", "NOWHERE", os.path.join(ROOT, "x.pdf")], 1, "no site NOWHERE"),
        ([os.path.join(ROOT, "x.txt")], 2, "must end in .pdf"),
    ]:
        site = [] if "--site" in args else ["--site", SITE]
        rc, out, err = cli("report", *site, *args, timeout=60)
        check(f"report {args}: refused", rc == status and text in err, f"{rc}\n{err}")


def main():
    write("quick.json", json.dumps(QUICK))
    without_map()
    place_on_plan()
    figures, planned = with_map()
    measured = moved_and_measured(planned)
    report_refusals()
    _, _, designed = layout()
    model = 230 - 40 * math.log10(PLANNED_METRES)
    print(f"fit: slope {figures.get('slope')} per decade (model -40), intercept {figures.get('intercept')} (model 230), "
          f"spread +-{figures.get('spread')} from {figures.get('hops')} hops, set aside {figures.get('setAside')}")
    if planned:
        print(f"WELL-2 planned {PLANNED_METRES:g} m from WELLS R1: predicted {planned['level']} +- {planned['spread']} "
              f"(model {model:.1f}); measured median {measured} after the move")
    if FAILURES:
        print("\n".join(FAILURES))
        sys.exit(1)
    print("diagnosis: ok")


if __name__ == "__main__":
    main()

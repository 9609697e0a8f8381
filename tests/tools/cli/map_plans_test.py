#!/usr/bin/env python3
"""linkmeter-cli on the demo site's records without a unit: plans added,
renamed, left out of the report and removed with `map plan`, each a map edit
in the store (what History and the team server carry), a removed plan gone
from `map export`; serials as "009C0021" text in the JSON written; an export
never onto a store's name or a file already holding site records.

usage: map_plans_test.py CLI
Each run gets its own HOME and XDG folders, so its site records are its own."""
import json
import os
import shutil
import sqlite3
import struct
import subprocess
import sys
import zlib

from cli_run import Failures, RunFolder

CLI = sys.argv[1]
RUN = RunFolder("lm-map-plans-")
SITE = "009C0021"
FAILURES = Failures(2000)
check = FAILURES.check


def cli(*args, timeout=60):
    p = subprocess.run([CLI, "--demo", *args], capture_output=True, text=True, timeout=timeout, env=RUN.env(c_locale=True))
    return p.returncode, p.stdout, p.stderr


def png(width, height):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    head = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    rows = (b"\x00" + b"\xee" * 3 * width) * height
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


def json_of(what, rc, out, err):
    check(f"{what}: exit 0", rc == 0, f"{rc}\n{err}")
    try:
        return json.loads(out)
    except ValueError:
        check(f"{what}: JSON", False, out[:300])
        return {}


def plans_changed():
    for name, size in (("Ground", (40, 30)), ("Yard", (60, 40))):
        path = os.path.join(RUN.root, name + ".png")
        with open(path, "wb") as f:
            f.write(png(*size))
        added = json_of(f"add {name}", *cli("map", "plan", "--site", SITE, path, "--format", "json"))
        check(f"add {name}: the site's serial as text", added.get("site", {}).get("serial") == SITE, str(added))
    cases = [
        # (args, exit status, in the answer or the refusal)
        (["rename", "2", "Garden"], 0, '"name":"Garden"'),
        (["hide", "Garden"], 0, '"change":"hide"'),
        (["show", "Garden"], 0, '"change":"show"'),
        (["hide", "Garden"], 0, '"change":"hide"'),
        (["remove", "Ground"], 0, '"change":"remove"'),
        (["remove", "Ground"], 1, "no plan Ground (its plans: 1 Garden)"),
        (["rename", "Garden", "  "], 1, "new name is empty"),
        (["rename", "Garden"], 2, "needs the plan (its name or number) and its new name"),
        (["hide", "Garden", "extra"], 2, "unexpected argument: extra"),
    ]
    for args, status, said in cases:
        rc, out, err = cli("map", "plan", *args, "--site", SITE, "--by", "tester", "--format", "json")
        check(f"map plan {args}: exit {status}", rc == status, f"{rc}\n{out}\n{err}")
        check(f"map plan {args}: says {said}", said in (out if status == 0 else err), f"{out}\n{err}")
    with sqlite3.connect(RUN.store) as db:
        edits = [json.loads(d) for (d,) in db.execute("select decoded_json from map_edits order by id")]
    check("each change a map edit, by its editor",
          [(e["action"], e.get("name"), e.get("hidden"), e["by"]) for e in edits] ==
          [("plan-rename", "Garden", None, "tester"), ("plan-hide", None, True, "tester"), ("plan-hide", None, False, "tester"),
           ("plan-hide", None, True, "tester"), ("plan-remove", None, None, "tester")], str(edits))
    rc, out, err = cli("map", "export", "--site", SITE, "--plan", "Ground", os.path.join(RUN.root, "ground.svg"))
    check("a removed plan is not exported", rc == 1 and "no plan Ground" in err, f"{rc}\n{err}")


def records_json():
    listed = json_of("records list", *cli("records", "list", "--format", "json"))
    serials = [s.get("serial") for s in listed.get("sites", [])] + [v.get("siteSerial") for v in listed.get("visits", [])]
    check("records list: every serial as text", serials and all(s == SITE for s in serials), str(serials))
    shown = json_of("records show", *cli("records", "show", "1", "--format", "json"))
    check("records show: the visit's site serial as text", shown.get("visit", {}).get("siteSerial") == SITE, str(shown)[:300])
    out = ""
    for visit in listed.get("visits", []):
        out += cli("records", "show", str(visit.get("id")))[1]
    check("records show: what a plan and a map edit hold",
          '"Ground", png 40 x 30' in out and '"Yard", png 60 x 40' in out
          and 'plan-rename plan ' in out and '"Garden", by tester' in out and 'plan-hide plan ' in out
          and ', hidden, by tester' in out and ', shown, by tester' in out, out)


def exports_refused():
    earlier = os.path.join(RUN.root, "earlier.sqlite")
    rc, out, err = cli("records", "export", "--visit", "1", earlier)
    check("a first export", rc == 0, f"{rc}\n{err}")
    folder = os.path.dirname(RUN.store)
    # The technician's own store, closed, beside the demo's.
    shutil.copy(RUN.store, os.path.join(folder, "site-records.sqlite"))
    for target in (os.path.join(folder, "site-records.sqlite"), RUN.store, earlier, os.path.join(RUN.root, "site-records-demo.sqlite")):
        existed = os.path.exists(target)
        before = open(target, "rb").read() if existed else None
        rc, out, err = cli("records", "export", "--visit", "1", target)
        check(f"export onto {target}: refused", rc == 2 and "never writes over the site records" in err, f"{rc}\n{err}")
        check(f"export onto {target}: left as it was", (open(target, "rb").read() if existed else None) == before)


def main():
    plans_changed()
    records_json()
    exports_refused()
    for f in FAILURES:
        print("FAIL", f)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())

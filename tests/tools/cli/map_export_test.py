#!/usr/bin/env python3
"""linkmeter-cli map export on the demo site: a site survey recorded by
`accept`, two plans and placed units recorded through the records page
functions, then the map of each plan exported as SVG and read back as XML:
the plan's image embedded as it was kept, the links of the survey with
their classes, a link to a unit on the other plan drawn to the edge with
that plan's name, the legend and the survey's date; a plan the site lacks
and the store itself as the target refused.

usage: map_export_test.py CLI
Each run gets its own HOME and XDG folders, so its site records are its own."""
import base64
import hashlib
import json
import os
import sqlite3
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET
import zlib

from cli_run import Failures, RunFolder

CLI = sys.argv[1]
RUN = RunFolder("lm-map-export-")
ROOT, STORE = RUN.root, RUN.store
SITE = "009C0021"
SVG = "{http://www.w3.org/2000/svg}"
CLASSES = {"good", "fair", "weak", "bad", "silent", "none"}
FAILURES = Failures(3000)
check = FAILURES.check


def cli(*args, timeout=60):
    p = subprocess.run([CLI, "--demo", *args], capture_output=True, text=True, timeout=timeout, env=RUN.env(c_locale=True))
    return p.returncode, p.stdout, p.stderr


def png(width, height, rgb):
    row = b"\x00" + bytes(rgb) * width
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    head = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(row * height)) + chunk(b"IEND", b"")


def page_function(name, arg):
    rc, out, err = cli(f"jsquery:{name} {json.dumps(arg)}")
    ok = rc == 0 and "success" in out
    check(f"{name} answered", ok, f"{rc}\n{out[-500:]}\n{err[-500:]}")


def add_plan(visit, name, image, width, height):
    sha = hashlib.sha256(image).hexdigest()
    page_function("LmRecordsRecordPlan", {"visitId": visit, "source": "file", "raw": base64.b64encode(image).decode(),
                                          "decoded": {"name": name, "format": "png", "width": width, "height": height, "sha256": sha}})
    return sha


def place(visit, serial, plan, x, y):
    page_function("LmRecordsRecordMapEdit", {"visitId": visit, "raw": [], "decoded": {
        "action": "place", "serial": serial, "plan": plan, "x": x, "y": y, "by": "map test"}})


def export(path, *plan, site=SITE):
    rc, out, err = cli("map", "export", "--site", site, *plan, path)
    check(f"export {plan}: exit 0", rc == 0, f"{rc}\n{err}")
    return ET.parse(path).getroot() if rc == 0 else None


def links(root):
    return [g for g in root.iter(SVG + "g") if "data-link" in g.attrib]


def texts(root):
    return " ".join(t.text or "" for t in root.iter(SVG + "text"))


def main():
    rc, out, err = cli("accept", "--unit", SITE, "--probes", "1", timeout=200)
    check("a site survey recorded", rc in (0, 5), f"{rc}\n{err[-800:]}")
    remotes = sorted({w for line in out.splitlines() for w in line.split() if len(w) == 8 and w.startswith("00") and w != SITE})
    with sqlite3.connect(STORE) as db:
        visit = db.execute("select max(id) from visits").fetchone()[0]
    ground_png, yard_png = png(400, 300, (235, 235, 225)), png(600, 400, (220, 235, 220))
    ground = add_plan(visit, "Ground floor", ground_png, 400, 300)
    yard = add_plan(visit, "Yard", yard_png, 600, 400)
    place(visit, SITE, ground, 200, 150)
    for i, serial in enumerate(remotes):
        place(visit, serial, ground, 20 + 18 * i, 30 + 40 * (i % 6))

    first = os.path.join(ROOT, "first.svg")
    root = export(first)
    if root is not None:
        image = root.find(SVG + "image")
        check("the plan's image embedded", image is not None and image.get("href") == "data:image/png;base64," + base64.b64encode(ground_png).decode())
        drawn = links(root)
        check("links between placed units", len(drawn) >= 3 and all(g.get("data-from") == "9C0021" for g in drawn), str(len(drawn)))
        check("each link has its class", all(g.get("data-class") in CLASSES and f"c-{g.get('data-class')}" in g.get("class") for g in drawn))
        check("links of the survey measured", any(g.get("data-class") not in ("none",) for g in drawn))
        words = texts(root)
        check("legend and survey date", "not measured" in words and "lost probes" in words and "Links from the site survey of 20" in words, words[:400])
        check("pins with their state", any(g.get("data-state") == "placed" for g in root.iter(SVG + "g")))
        check("no part file left", not os.path.exists(first + ".part"))
        # A unit moved to the other plan: its link runs to the edge, named.
        moved = drawn[0].get("data-to")
        place(visit, moved, yard, 300, 200)
        again = export(first)
        if again is not None:
            edge = [g for g in links(again) if g.get("data-to") == moved]
            check("the moved unit's link names the other plan", edge and "to Yard" in texts(edge[0]), texts(again)[:300])
    # The site by its name or its serial without the leading zeros, too.
    for which, site in (("Yard", SITE), ("2", "riverside"), ("2", "9C0021")):
        root = export(os.path.join(ROOT, f"yard-{which}.svg"), "--plan", which, site=site)
        if root is not None:
            check(f"--plan {which}: the yard's image", root.find(SVG + "image").get("href").endswith(base64.b64encode(yard_png).decode()))

    rc, out, err = cli("map", "export", "--site", SITE, "--plan", "Attic", os.path.join(ROOT, "attic.svg"))
    check("a plan the site lacks: refused", rc == 1 and "no plan Attic" in err and "Ground floor" in err, f"{rc}\n{err}")
    before = os.path.getsize(STORE)
    rc, out, err = cli("map", "export", "--site", SITE, STORE)
    check("the store as target: refused", rc == 1 and os.path.getsize(STORE) == before, f"{rc}\n{err}")
    with sqlite3.connect(STORE) as db:
        check("the store still reads", db.execute("select count(*) from map_edits").fetchone()[0] == len(remotes) + 2)
    rc, out, err = cli("map", "export", os.path.join(ROOT, "x.svg"))
    check("--site is needed", rc == 2 and "--site" in err, f"{rc}\n{err}")

    for f in FAILURES:
        print("FAIL", f)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())

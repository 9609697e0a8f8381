"""RIVERSIDE of the demo site on a plan: every unit at its designed
distance from its parent (sim/sites/demo.json) on a plan of 5 m a pixel,
WELL-2 planned 700 m from WELLS R1; the plan's image and the CSV lines of
`linkmeter-cli map place`. Shared by the command line's and the page's tests."""
import json
import math
import os
import struct
import zlib

SITE = "009C0021"
SITE_JSON = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "sim", "sites", "demo.json")
METRES_PER_PIXEL = 5.0
PLAN = 2400  # pixels a side: 12 km
WELL_2 = "00BC0303"
PLANNED_METRES = 700.0


def png(width, height):
    row = b"\x00" + b"\xee\xee\xe6" * width
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    head = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(row * height, 9)) + chunk(b"IEND", b"")


def layout():
    """Plan pixels of every unit of RIVERSIDE at its designed distance from
    its parent: each group out along its own bearing, remote units fanned
    around their parent's bearing. → {serial: (x, y)}, WELL-2's planned
    place, and the designed distances."""
    with open(SITE_JSON, encoding="utf-8") as f:
        base = next(b for b in json.load(f)["baseUnits"] if b["serial"] == SITE)
    centre = (PLAN / 2, PLAN / 2)
    at = {SITE: centre}
    designed = {}
    for g, group in enumerate(base["groups"]):
        bearing = math.radians(90 + 120 * g)
        rep = {0: centre}
        for r in group["repeaters"]:
            p = rep[r["parent"]]
            d = r["distanceM"] / METRES_PER_PIXEL
            rep[r["num"]] = (p[0] + d * math.cos(bearing), p[1] + d * math.sin(bearing))
            at[r["serial"]] = rep[r["num"]]
            designed[r["serial"]] = r["distanceM"]
        for i, u in enumerate(group["remoteUnits"]):
            p = rep[u["parent"]]
            fan = bearing + math.radians(25 * (i + 1) * (-1) ** i)
            d = u["distanceM"] / METRES_PER_PIXEL
            at[u["serial"]] = (p[0] + d * math.cos(fan), p[1] + d * math.sin(fan))
            designed[u["serial"]] = u["distanceM"]
        if group["name"] == "WELLS":
            r1 = rep[1]
            d = PLANNED_METRES / METRES_PER_PIXEL
            planned = (r1[0] + d * math.cos(bearing + 0.3), r1[1] + d * math.sin(bearing + 0.3))
    return at, planned, designed


def place_rows():
    """The CSV of `map place`: every unit placed by serial, WELL-2 planned by name."""
    at, planned, _ = layout()
    rows = ["unit,x,y,state"] + [f"{s},{x:.2f},{y:.2f},placed" for s, (x, y) in at.items() if s != WELL_2]
    rows.append(f"WELL-2,{planned[0]:.2f},{planned[1]:.2f},planned")
    return "\n".join(rows) + "\n"

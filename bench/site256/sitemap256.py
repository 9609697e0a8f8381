# The site map of the 256-unit site (site256.py's simulator site) in the real
# program, measured in the page: two plans of 2000 x 1500 with the 289 units
# (base unit, 32 repeaters, 256 remote units) placed half on each, each
# placement timed from the drop to the next frame (the edit kept, the plan
# redrawn with its links); frame intervals while panning and zooming by
# pointer and wheel; an 8000 x 6000 photo imported (read, hashed, kept,
# downscaled once) and panned.
# usage: sitemap256.py LINKMETER LINKMETER-SIM  (bin/bench-sitemap256, under
# xvfb-run -a dbus-run-session)
import os, struct, sys, time, zlib

sys.argv = sys.argv[:3]  # site256's own options are not ours
from site256 import connected_site, fmt, descendants, comm


class Cpu:
    """The processor time the window process and its page process spent:
    a figure a machine shared with other work stretches far less than the
    time between frames."""

    def __init__(self):
        window = [p for p in descendants(os.getpid()) if comm(p) == "linkmeter"]
        page = [p for p in descendants(window[0]) if comm(p).startswith("WebKitWebProces")]
        self.pids = {"window": window[0], "page": page[0]}

    def now(self):
        ticks = os.sysconf("SC_CLK_TCK")
        out = {}
        for name, pid in self.pids.items():
            with open("/proc/%d/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            out[name] = (int(fields[11]) + int(fields[12])) * 1000.0 / ticks
        return out

    def per(self, before, n):
        after = self.now()
        return "processor time each: page %.1f ms, window %.1f ms" % (
            (after["page"] - before["page"]) / n, (after["window"] - before["window"]) / n)


def png(path, size, band=100):
    w, h = size
    row = lambda y: b"\0" + bytes([230 if (y // band) % 2 else 200, 220, 205]) * w
    raw = b"".join(row(y) for y in range(h))
    chunk = lambda kind, data: struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 1)) + chunk(b"IEND", b""))


FRAME = """window.__frame = () => new Promise((ok) => requestAnimationFrame(() => setTimeout(ok, 0)));"""

# A drop of tray unit `serial` at plan point (x, y), as the pointer makes
# it; resolves with the milliseconds to the next frame.
DROP = """
const [serial, x, y] = arguments;
const svg = document.getElementById('sitemap-svg');
const item = document.querySelector(`#map-tray [data-serial='${serial}']`);
const p = new DOMPoint(x, y).matrixTransform(svg.getScreenCTM());
const t0 = performance.now();
item.dispatchEvent(new PointerEvent('pointerdown', {bubbles: true, button: 0, clientX: 1, clientY: 1}));
document.dispatchEvent(new PointerEvent('pointerup', {bubbles: true, button: 0, clientX: p.x, clientY: p.y}));
return __frame().then(() => performance.now() - t0);
"""

# Sixty frames of panning (a pointer drag over the background) and sixty of
# wheel zoom; resolves with each frame's interval. The redraw once a gesture
# ends (the viewBox takes the pan or zoom) is timed apart.
PAN_ZOOM = """
const svg = document.getElementById('sitemap-svg');
const r = svg.getBoundingClientRect();
const cx = r.left + 5, cy = r.top + 5;
const times = [];
let last = null;
const step = (i) => new Promise((ok) => requestAnimationFrame((t) => {
  if (last !== null) times.push(t - last);
  last = t;
  if (i < 60) document.dispatchEvent(new PointerEvent('pointermove', {clientX: cx + 4 * i, clientY: cy + 2 * i}));
  else if (i === 60) document.dispatchEvent(new PointerEvent('pointerup', {clientX: cx + 240, clientY: cy + 120}));
  else svg.dispatchEvent(new WheelEvent('wheel', {bubbles: true, deltaY: i % 2 ? -100 : 100, clientX: r.left + r.width / 2, clientY: r.top + r.height / 2, cancelable: true}));
  ok();
}));
svg.dispatchEvent(new PointerEvent('pointerdown', {bubbles: true, button: 0, clientX: cx, clientY: cy}));
return (async () => { for (let i = 0; i < 120; i++) await step(i); return times; })();
"""


def import_plan(b, path, name):
    # Counts, not elements: an element handed back while the view remade the
    # list went stale on the way (the first run died so with the photo).
    count = "return document.querySelectorAll('#map-plan option').length"
    n = b.js(count)
    b.find("#map-plan-name").clear()
    b.find("#map-plan-name").send_keys(name)
    t0 = time.monotonic()
    b.find("#map-plan-file").send_keys(path)
    b.wait(lambda: b.js(count) > n, 120, "the plan kept")
    b.wait(lambda: b.js("const i = document.querySelector('#sitemap-svg image'); return i && i.getAttribute('href')"), 120, "the plan drawn")
    b.js("return __frame()")
    return time.monotonic() - t0


def place_all(b, plans, cpu):
    """The first half of the units on one plan, the rest on the other, in a
    grid; the drop-to-frame times and the processor time each took."""
    serials = b.js("return [...document.querySelectorAll('#map-tray [data-serial]')].map((e) => e.dataset.serial)")
    times = []
    start = cpu.now()
    for i, serial in enumerate(serials):
        plan = plans[0] if i < len(serials) // 2 else plans[1]
        if b.js("return document.getElementById('map-plan').value") != plan:
            b.js("const s = document.getElementById('map-plan'); s.value = arguments[0]; s.dispatchEvent(new Event('change'));", plan)
        k = i % (len(serials) // 2)
        times.append(b.js("return (async () => {" + DROP + "})()", serial, 60 + (k % 12) * 160, 60 + (k // 12) * 100))
    return serials, times, cpu.per(start, len(serials))


SETTLE = """
const t0 = performance.now();
document.getElementById('map-zoom-in').click();
return __frame().then(() => performance.now() - t0);
"""


def frames(b, what, cpu):
    start = cpu.now()
    times = b.js("return (async () => {" + PAN_ZOOM + "})()")
    per_frame = cpu.per(start, len(times) + 1)
    time.sleep(0.5)
    start = cpu.now()
    settle = [b.js("return (async () => {" + SETTLE + "})()") for _ in range(5)]
    per_step = cpu.per(start, len(settle))
    p95 = sorted(times)[int(len(times) * 0.95)]
    print("%s: frame interval %s, p95 %.0f ms, frames over 33 ms: %d; a zoom step redrawn in %s" % (
        what, fmt(times), p95, sum(t > 33.4 for t in times), fmt(settle)), flush=True)
    print("  frames: %s; zoom steps: %s" % (per_frame, per_step), flush=True)


def main(binary, sim_binary):
    with connected_site(binary, sim_binary, "sitemap256-", FRAME) as (b, root):
        b.find("#tab-site").click()
        b.find("#site-read").click()
        b.wait(lambda: b.js("return document.querySelectorAll('#site-tree [data-test=group]').length") == 8, 60, "the registration")
        b.find("#tab-map").click()
        for band, name in ((100, "floor-1"), (150, "floor-2")):  # two different images: the same one is one plan
            png(os.path.join(root, name + ".png"), (2000, 1500), band)
            print("plan %s (2000 x 1500) imported and drawn in %.2f s" % (name, import_plan(b, os.path.join(root, name + ".png"), name)), flush=True)
        plans = b.js("return [...document.querySelectorAll('#map-plan option')].map((o) => o.value)")
        cpu = Cpu()
        serials, times, per_place = place_all(b, plans, cpu)
        print("placing each of %d units (drop to next frame, plan redrawn with its links): %s" % (len(serials), fmt(times)), flush=True)
        print("  placing: %s" % per_place, flush=True)
        print("pins on the plan shown: %d, links: %d" % (b.js("return document.querySelectorAll('#sitemap [data-pin]').length"),
                                                        b.js("return document.querySelectorAll('#sitemap [data-link]').length")))
        frames(b, "pan and zoom on a 2000 x 1500 plan with %d pins" % b.js("return document.querySelectorAll('#sitemap [data-pin]').length"), cpu)
        photo = os.path.join(root, "photo.png")
        png(photo, (8000, 6000), band=400)
        print("8000 x 6000 photo (%.1f MB) imported, hashed, kept and drawn downscaled in %.2f s" % (
            os.path.getsize(photo) / 1e6, import_plan(b, photo, "aerial")), flush=True)
        frames(b, "pan and zoom on the 8000 x 6000 photo", cpu)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

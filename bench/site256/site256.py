# A site of 256 remote units in the real program: the simulator serves one
# LAN base unit with 8 groups x 4 repeaters (chained) x 32 remote units; the
# program (without --demo) connects to it by address through WebDriver.
# Measured in the page: the time from the registration's answer to the tree
# and to the registration editor on screen (the next frame after the answer),
# tab switches (click to next frame) while a site survey runs, the longest
# main-thread stall (a 20 ms timer's lateness), and the memory (RSS and private)
# of the window process and the page process over a repeat route survey at
# the shortest interval, as growth per hour (least squares after warm-up).
# Private memory is the process's own pages; anonymous memory is what its
# heaps hold, which other processes sharing a library cannot move (a library
# page turns private when the last other process mapping it exits).
# "report": a one-probe site survey, then the customer's report saved as PDF:
# its pages and the time the page takes to lay it out.
# usage: site256.py LINKMETER LINKMETER-SIM [minutes of the repeat survey, 10] [memory|report]
# ("memory": the repeat survey alone, after one registration read)
import contextlib, json, os, re, subprocess, sys, tempfile, time
from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.webkitgtk.options import Options

MINUTES = float(sys.argv[3]) if len(sys.argv) > 3 else 10.0
MEMORY_ONLY = sys.argv[4:5] == ["memory"]
REPORT_ONLY = sys.argv[4:5] == ["report"]
HOP_MS = 40
PASSWORD = "bench256"
MODELS = (92, 94, 97, 98)


def site(path):
    groups = []
    for g in range(8):
        reps = [{"serial": "%08X" % (0x00C80000 | g << 8 | r), "num": r + 1, "parent": r, "distanceM": 400,
                 "batteryPct": 95} for r in range(4)]
        units = []
        for u in range(32):
            code = MODELS[u % 4]
            unit = {"serial": "%08X" % (code << 17 | g << 8 | u), "num": u + 1, "parent": u % 5,
                    "name": "U%d-%02d" % (g, u), "distanceM": 2300 if u == 31 else 150 + 10 * u,
                    "batteryPct": 8 if u == 30 else 40 + u, "intervalSec": 600}
            if code == 97:
                unit["subtype"] = 161
            if u == 29:
                unit["reachable"] = False
            units.append(unit)
        groups.append({"id": [66, 69, 78, 0, 0, 0, 0, g + 1], "freq": 40 + g, "band": 0, "name": "GROUP-%d" % g,
                       "repeaters": reps, "remoteUnits": units})
    doc = {"name": "256 units", "radio": {"hopMs": HOP_MS, "rangeM": 4000, "seed": 3},
           "baseUnits": [{"serial": "009C0021", "name": "BIG-SITE", "lan": {"address": "127.0.0.1", "port": 0,
                                                                             "password": PASSWORD},
                          "mac": [0, 26, 43, 9, 9, 9], "groups": groups,
                          "settings": {"RUINF": {"UNITS": 0, "FWV": "3.02", "RFV": "1.31", "NETV": "1.08", "CH1": "", "CH2": ""}}}]}
    with open(path, "w") as f:
        json.dump(doc, f)


def descendants(root):
    kids = {}
    for d in os.listdir("/proc"):
        if d.isdigit():
            try:
                with open("/proc/%s/stat" % d) as f:
                    ppid = int(f.read().rsplit(")", 1)[1].split()[1])
                kids.setdefault(ppid, []).append(int(d))
            except (OSError, IndexError, ValueError):
                pass
    out, todo = [], [root]
    while todo:
        p = todo.pop()
        for c in kids.get(p, []):
            out.append(c)
            todo.append(c)
    return out


def comm(pid):
    with open("/proc/%d/comm" % pid) as f:
        return f.read().strip()


def memory_kb(pid):
    """(RSS, private, anonymous) in kB: private memory is the process's own,
    whatever other processes on the machine share with it; anonymous is its
    heaps (no file behind them)."""
    rss = private = anon = 0
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            if line.startswith("Rss:"):
                rss = int(line.split()[1])
            elif line.startswith(("Private_Clean:", "Private_Dirty:")):
                private += int(line.split()[1])
            elif line.startswith("Anonymous:"):
                anon = int(line.split()[1])
    return rss, private, anon


def slope_per_hour(samples):
    """Least-squares slope of (seconds, kB) in MB per hour."""
    n = len(samples)
    if n < 2:
        return 0.0
    mx = sum(t for t, _ in samples) / n
    my = sum(v for _, v in samples) / n
    den = sum((t - mx) ** 2 for t, _ in samples) or 1
    return sum((t - mx) * (v - my) for t, v in samples) / den * 3600 / 1024


INSTRUMENT = """
if (!window.__lm) {
  window.__lm = {marks: {}, maxLate: 0, stalls: 0};
  let last = performance.now();
  setInterval(() => { const now = performance.now(); const late = now - last - 20; last = now;
    if (late > __lm.maxLate) __lm.maxLate = late; if (late > 100) __lm.stalls++; }, 20);
  window.__lmFrame = (t0, key) => requestAnimationFrame(() => setTimeout(() => {
    (__lm.marks[key] = __lm.marks[key] || []).push(performance.now() - t0); }, 0));
  const real = app.jsQuery;
  app.jsQuery = function (name, arg, ok, fail, prog) {
    if (name !== 'ComTcmdRSETF') return real.apply(this, arguments);
    return real.call(this, name, arg, function () { const t0 = performance.now(); const r = ok.apply(this, arguments);
      __lmFrame(t0, 'answer-' + window.__lmView); return r; }, fail, prog);
  };
  window.__lmTab = (id) => { const t0 = performance.now(); document.getElementById('tab-' + id).click(); __lmFrame(t0, 'tab'); };
}
"""


class Bench:
    def __init__(self, binary, root):
        opts = Options()
        opts.binary_location = binary
        opts.add_argument("--automation")
        opts.set_capability("browserName", "Linkmeter")
        self.driver = webdriver.WebKitGTK(options=opts, executable_path="/usr/bin/WebKitWebDriver")
        self.driver.set_script_timeout(30)
        self.wait(lambda: self.js("return document.getElementById('app').dataset.ready") == "true")
        self.js("app.setWindowPos(0, 0); app.setWindowSize(1280, 1000);")

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def find(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def wait(self, cond, limit=60, what="condition"):
        end = time.monotonic() + limit
        while time.monotonic() < end:
            v = cond()
            if v:
                return v
            time.sleep(0.05)
        raise AssertionError("timeout: " + what)

    def marks(self, key):
        return self.js("return (__lm.marks[arguments[0]] || []).slice()", key)

    def clear(self):
        self.js("__lm.marks = {}; __lm.maxLate = 0; __lm.stalls = 0;")

    def tab(self, view):
        n = len(self.marks("tab"))
        self.js("__lmTab(arguments[0])", view)
        self.wait(lambda: len(self.marks("tab")) > n, 30, "tab " + view)
        return self.marks("tab")[-1]

    def read(self, button, view, runs):
        self.js("window.__lmView = arguments[0]", view)
        for _ in range(runs):
            n = len(self.marks("answer-" + view))
            self.find(button).click()
            self.wait(lambda: len(self.marks("answer-" + view)) > n, 60, "the registration read")
            time.sleep(0.5)
        return self.marks("answer-" + view)


def fmt(values):
    values = sorted(values)
    return "median %.0f ms, max %.0f ms (n=%d)" % (values[len(values) // 2], values[-1], len(values))


def registration_phase(b):
    b.tab("site")
    tree = b.read("#site-read", "site", 5)
    nodes = b.js("return document.querySelectorAll('#site-tree *').length")
    print("registration answer -> site tree on screen: %s; %d nodes, groups collapsed" % (fmt(tree), nodes))
    b.js("window.__lmView = 'group'")
    opened = []
    for gi in range(3):
        t = b.js("const t0 = performance.now(); const d = document.querySelector(\"#site-tree [data-test=group][data-index='%d']\");"
                 "d.open = true; return new Promise((ok) => d.addEventListener('toggle', () => requestAnimationFrame(() => setTimeout(() => ok(performance.now() - t0), 0)), {once: true}));" % gi)
        opened.append(t)
    print("opening one group of the tree (32 units): %s" % fmt(opened))

    first = b.tab("registration")
    reg = b.read("#reg-read", "registration", 5)
    inputs = b.js("return document.querySelectorAll('#reg-groups input').length")
    nodes = b.js("return document.querySelectorAll('#reg-groups *').length")
    print("first switch to the registration editor: %.0f ms" % first)
    print("registration answer -> editor on screen: %s; %d inputs, %d nodes" % (fmt(reg), inputs, nodes))
    opened = []
    for gi in range(3):
        t = b.js("const t0 = performance.now(); const d = document.querySelector(\"#reg-groups [data-test=reg-group][data-index='%d']\");"
                 "d.open = true; return new Promise((ok) => d.addEventListener('toggle', () => requestAnimationFrame(() => setTimeout(() => ok(performance.now() - t0), 0)), {once: true}));" % gi)
        opened.append(t)
    print("opening one group of the editor (32 units): %s; %d inputs now" % (fmt(opened), b.js("return document.querySelectorAll('#reg-groups input').length")))
    b.tab("survey")
    print("survey targets listed: %d" % b.js("return document.querySelectorAll('#survey-target option').length"))


def site_survey_phase(b):
    # Tab switches while the whole site is surveyed.
    b.tab("sitesurvey")
    b.js("const p = document.getElementById('sitesurvey-probes'); if (p) { p.value = '1'; p.dispatchEvent(new Event('input')); p.dispatchEvent(new Event('change')); }")
    b.clear()
    b.find("#sitesurvey-start").click()
    started = time.monotonic()
    # Which view on show stalls the page: 20 s on each with no switching,
    # then switches every second until the survey ends.
    for view in ("units", "site", "registration", "sitesurvey", "report"):
        b.tab(view)
        b.clear()
        time.sleep(20)
        late, stalls = b.js("return [__lm.maxLate, __lm.stalls]")
        rows = b.js("return document.querySelectorAll('#sitesurvey-results tr[data-test=result-row]').length")
        print("  on %-12s (%3d rows): longest stall %.0f ms, stalls over 100 ms: %d" % (view, rows, late, stalls), flush=True)
    views = ["site", "registration", "sitesurvey", "report", "survey", "channels", "units"]
    switches, i = [], 0
    b.clear()
    while time.monotonic() - started < 900:
        time.sleep(1.0)
        view = views[i % len(views)]
        switches.append((view, b.js("return document.querySelectorAll('#sitesurvey-results tr[data-test=result-row]').length"), b.tab(view)))
        i += 1
        if b.js("return document.getElementById('sitesurvey-cancel').disabled") and i > len(views):
            break
    late, stalls = b.js("return [__lm.maxLate, __lm.stalls]")
    rows = b.js("return document.querySelectorAll('#sitesurvey-results tr[data-test=result-row]').length")
    print("site survey of %d units in %.0f s" % (rows, time.monotonic() - started))
    print("tab switches during it: %s" % fmt([t for _, _, t in switches]))
    for view in views:
        print("  to %-12s %s" % (view, fmt([t for v, _, t in switches if v == view] or [0])))
    print("main thread while switching: longest stall %.0f ms, stalls over 100 ms: %d" % (late, stalls))


NODES = "return document.getElementsByTagName('*').length"


def memory_phase(b):
    # Memory over a repeat route survey at the shortest interval.
    b.tab("survey")
    target = b.js("const s = document.getElementById('survey-target'); const o = [...s.options].find((x) => x.value === '0:remote:5');"
                  "s.value = o ? o.value : s.options[0].value; s.dispatchEvent(new Event('change')); return s.value")
    interval = b.js("const i = document.getElementById('survey-interval'); i.value = i.min || '2'; i.dispatchEvent(new Event('input')); i.dispatchEvent(new Event('change')); return i.value")
    if not b.find("#survey-repeat").is_selected():
        b.find("#survey-repeat").click()
    b.find("#survey-start").click()
    window = [p for p in descendants(os.getpid()) if comm(p) == "linkmeter"]
    page = [p for p in descendants(window[0]) if comm(p).startswith("WebKitWebProces")]
    procs = {"window": window[0], "page": page[0]}
    samples = {k: [] for k in procs}
    b.clear()
    started = time.monotonic()
    print("repeat survey of %s every %s s for %.0f minutes" % (target, interval, MINUTES), flush=True)
    late_tabs = []
    nodes = [b.js(NODES)]
    while time.monotonic() - started < MINUTES * 60:
        time.sleep(15)
        t = time.monotonic() - started
        for k, pid in procs.items():
            samples[k].append((t, memory_kb(pid)))
        if int(t) % 120 < 15:
            late_tabs.append(b.tab("site"))
            late_tabs.append(b.tab("survey"))
            nodes.append(b.js(NODES))
            print("  %4.0f s: page RSS %.1f MB, anonymous %.1f MB; %d elements in the page" % (
                t, samples["page"][-1][1][0] / 1024, samples["page"][-1][1][2] / 1024, nodes[-1]), flush=True)
    points = b.js("return document.getElementById('survey-history').dataset.points")
    late, stalls = b.js("return [__lm.maxLate, __lm.stalls]")
    b.find("#survey-cancel").click()
    for k, s in samples.items():
        warm = [x for x in s if x[0] >= 120] or s
        print("%s process: RSS %.1f -> %.1f MB, private %.1f -> %.1f MB; growth after 2 min: RSS %+.1f MB/h, private %+.1f MB/h" % (
            k, s[0][1][0] / 1024, s[-1][1][0] / 1024, s[0][1][1] / 1024, s[-1][1][1] / 1024,
            slope_per_hour([(t, v[0]) for t, v in warm]), slope_per_hour([(t, v[1]) for t, v in warm])))
        print("%s process: anonymous %.1f -> %.1f MB, growth after 2 min %+.1f MB/h" % (
            k, s[0][1][2] / 1024, s[-1][1][2] / 1024, slope_per_hour([(t, v[2]) for t, v in warm])))
    print("elements in the page: %d at the start, %d at the end" % (nodes[0], nodes[-1]))
    print("rounds plotted: %s; tab switches during it: %s; longest stall %.0f ms, stalls over 100 ms: %d" % (
        points, fmt(late_tabs or [0]), late, stalls))


def report_phase(b, root):
    """The customer's report of a one-probe survey of all 256 units, saved
    as PDF: pages and the page's layout time (the save dialog answered as a
    person would)."""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tests/web/gui"))
    import pagedriver
    b.tab("sitesurvey")
    b.js("const p = document.getElementById('sitesurvey-probes'); p.value = '1'; p.dispatchEvent(new Event('input')); p.dispatchEvent(new Event('change'));")
    started = time.monotonic()
    b.find("#sitesurvey-start").click()
    b.wait(lambda: b.js("return document.getElementById('sitesurvey-state').dataset.state") in ("complete", "incomplete"), 1800, "the site survey")
    print("site survey of 256 units at one probe: %.0f s" % (time.monotonic() - started), flush=True)
    b.tab("report")
    target = os.path.join(root, "report-256.pdf")
    for _ in range(3):
        b.js("const p = document.getElementById('report-pages'); delete p.dataset.layoutMs;")
        clicked = time.monotonic()
        b.find("#report-pdf").click()
        pagedriver.save_dialog_answer(target)
        b.wait(lambda: any(target in e.text for e in b.driver.find_elements(By.CSS_SELECTOR, "#messages [data-test=notice]")), 120, "the saved notice")
        saved = time.monotonic() - clicked
        layout_ms = b.js("return document.getElementById('report-pages').dataset.layoutMs")
        pages = int(b.js("return document.getElementById('report-pages').dataset.pages"))
        info = subprocess.run(["pdfinfo", target], capture_output=True, text=True, check=True).stdout
        pdf_pages = int(re.search(r"^Pages:\s+(\d+)", info, re.M).group(1))
        print("report of 256 units: %d A4 pages (PDF %d, %.0f kB); layout %s ms; click to saved %.1f s (save dialog typed)" % (
            pages, pdf_pages, os.path.getsize(target) / 1024, layout_ms, saved), flush=True)
        b.js("for (const n of document.querySelectorAll('#messages [data-test=notice]')) n.remove();")


@contextlib.contextmanager
def connected_site(binary, sim_binary, prefix, script):
    """The program in a folder of its own (HOME and XDG folders) connected to
    the simulated 256-unit site, `script` run in the page first; yields the
    Bench and the folder, and ends the program and the simulator."""
    root = tempfile.mkdtemp(prefix=prefix)
    for d in ("home", "config", "runtime"):
        os.makedirs(os.path.join(root, d), exist_ok=True)
    os.chmod(os.path.join(root, "runtime"), 0o700)
    os.environ.update(HOME=root + "/home", XDG_CONFIG_HOME=root + "/config", XDG_RUNTIME_DIR=root + "/runtime")
    site_path = os.path.join(root, "site256.json")
    site(site_path)
    sim = subprocess.Popen([sim_binary, "--site", site_path, "--no-usb", "--control"], stdin=subprocess.PIPE,
                           stdout=subprocess.PIPE, text=True)
    port = int(re.search(r"lan [\d.]+:(\d+)", sim.stdout.readline()).group(1))
    b = Bench(binary, root)
    try:
        b.js(script)
        for css, text in (("#address-input", "127.0.0.1"), ("#port-input", str(port))):
            b.find(css).clear()
            b.find(css).send_keys(text)
        b.find("#address-connect").click()
        b.wait(lambda: b.find("#password-dialog").is_displayed(), 20, "the password dialog")
        b.find("#password-input").send_keys(PASSWORD)
        b.find("#password-ok").click()
        b.wait(lambda: "BIG-SITE" in b.find("#connected-unit").text, 30, "the connection")
        yield b, root
    finally:
        b.driver.quit()
        sim.stdin.close()
        sim.wait(timeout=10)


def main(binary, sim_binary):
    with connected_site(binary, sim_binary, "site256-", INSTRUMENT) as (b, root):
        if MEMORY_ONLY or REPORT_ONLY:
            b.tab("site")
            b.read("#site-read", "site", 1)
            if REPORT_ONLY:
                report_phase(b, root)
        else:
            registration_phase(b)
            site_survey_phase(b)
        if MINUTES > 0:
            memory_phase(b)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

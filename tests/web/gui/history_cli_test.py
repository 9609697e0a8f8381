"""What the command line recorded, read by the page: linkmeter-cli surveys
RIVERSIDE of the demo site once and its monitor twice more, under the same
user folders as the program; the program then starts on that store and,
without connecting to any unit, its History tab lists the command line's
visits, opens the command line's site survey read-only with its date, the
routes and each hop's level as the command line printed them (the silent
units PEAR-3 and FAR-WELL silent here too), and compares the monitor's two
surveys unit by unit with the levels the store holds, and draws a unit's
level across all of them. Screenshots go to the artefact folder.

usage: history_cli_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session;
linkmeter-cli is taken from beside LINKMETER)"""
import csv
import faulthandler
import glob
import io
import json
import os
import queue
import re
import signal
import sqlite3
import subprocess
import sys
import threading
import time

from selenium.webdriver.support.ui import Select

import pagedriver
from page_flows_test import check
from page_provenance_test import LAN_UNIT
from page_shell_test import start
from history_test import open_stored_site_survey, scroll_to

SILENT = {"00B80505": "G3 PEAR-3", "00BC0302": "G2 FAR-WELL"}
REMOTE_UNITS = 20
HOPS = 26  # the distinct hops of RIVERSIDE's routes
TREND_UNIT = "00C40503"  # G3 PEAR-LX, behind the weak hop from ORCHARD R2
MONITOR_LINE = re.compile(r"^\S+Z unit=RIVERSIDE answered=(\d+) silent=(\d+) .*record=(\d+)$")


def level_text(v):
    """A level as the page's tables write it: one decimal at most, "—" for none."""
    return "—" if v is None else str(round(v, 1)).removesuffix(".0")


def cli_env(root):
    env = pagedriver.shelltest.private_env(root)
    env.pop("LINKMETER_PASSWORD", None)
    env.pop("LINKMETER_DEMO_CONTROL", None)
    return env


def cli_survey(cli, env):
    """One whole-site survey; its hops as printed: {unit serial: [(hop serial,
    level or None)]} (one probe: minimum, median and maximum are the level)."""
    run = subprocess.run([cli, "--demo", "survey", "--site", "--probes", "1", "--format", "csv"],
                         env=env, capture_output=True, text=True, timeout=180)
    # Status 5: done, but a unit did not answer (the demo's silent units).
    check(run.returncode == 5, "the survey ends partly done: %d\n%s" % (run.returncode, run.stderr[-2000:]))
    routes = {}
    for row in csv.DictReader(io.StringIO(run.stdout)):
        level = int(row["median"]) if row["median"] else None
        routes.setdefault(row["unit serial"], []).append((row["hop serial"], level))
    check(len(routes) == REMOTE_UNITS, "every unit surveyed: %d" % len(routes))
    silent = {u for u, hops in routes.items() if hops[-1][1] is None}
    check(silent == set(SILENT), "the command line heard neither silent unit: %s" % silent)
    return routes


def cli_monitor(cli, env, surveys=2):
    """The monitor until it has written `surveys` surveys, then SIGTERM; its
    lines' (answered, silent, survey record id)."""
    proc = subprocess.Popen([cli, "--demo", "monitor", "--unit", "RIVERSIDE", "--every", "2s", "--probes", "1"],
                            env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    lines = queue.Queue()
    errors = []
    threading.Thread(target=lambda: [lines.put(l.rstrip("\n")) for l in proc.stdout], daemon=True).start()
    threading.Thread(target=lambda: errors.extend(proc.stderr), daemon=True).start()
    found = []
    try:
        deadline = time.monotonic() + 90 * surveys
        while len(found) < surveys and time.monotonic() < deadline:
            try:
                line = lines.get(timeout=1)
            except queue.Empty:
                check(proc.poll() is None, "the monitor ended early: %s" % "".join(errors[-20:]))
                continue
            print("monitor:", line, flush=True)
            m = MONITOR_LINE.match(line)
            check(m is not None, "a survey line: %r" % line)
            found.append(tuple(int(x) for x in m.groups()))
        check(len(found) == surveys, "%d surveys from the monitor: %s" % (surveys, found))
    finally:
        proc.send_signal(signal.SIGTERM)
        try:
            status = proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            proc.kill()
            raise
    check(status == 0, "SIGTERM ends the monitor with status 0: %d" % status)
    return found


def store_path(root):
    paths = glob.glob(os.path.join(root, "home", "**", "site-records-demo.sqlite"), recursive=True)
    check(len(paths) == 1, "one demo store under the temporary HOME: %s" % paths)
    return paths[0]


def store_facts(path):
    """What the store holds, to hold the page to: the visits' ids, and each
    site survey's level of every remote unit's last hop."""
    db = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
    try:
        visits = [r[0] for r in db.execute("SELECT id FROM visits ORDER BY started_at DESC, id DESC")]
        levels = {}
        routes = {}
        for survey, routes_json in db.execute("SELECT id, routes_json FROM surveys WHERE kind = 'site'"):
            routes[survey] = json.loads(routes_json)
        for survey, route, unit, level in db.execute("SELECT survey_id, route, unit, level_avg FROM hop_stats"):
            if routes.get(survey) and routes[survey][route][-1] == unit:
                levels.setdefault(survey, {})["%08X" % unit] = level
        ended = {r[0]: r[1] for r in db.execute("SELECT id, ended_at FROM surveys")}
        trend = [r[0] for r in db.execute(
            "SELECT h.level_avg FROM hop_stats h JOIN surveys s ON s.id = h.survey_id"
            " WHERE h.unit = ? ORDER BY s.started_at", (int(TREND_UNIT, 16),))]
    finally:
        db.close()
    return visits, levels, ended, trend


class Flow:
    def __init__(self, page, routes, monitored, visits, levels, ended, trend):
        self.trend = trend
        self.page = page
        self.routes = routes
        self.monitored = monitored
        self.visits = visits
        self.levels = levels
        self.ended = ended

    def open_history(self, page):
        check(page.attr("#connected-unit", "data-state") == "none", "no unit connected", page)
        page.click("#tab-history")
        page.wait_for(lambda: page.all("#history-site option"), 30, "the site picker")
        Select(page.find("#history-site")).select_by_value(str(int(LAN_UNIT, 16)))
        check("RIVERSIDE" in Select(page.find("#history-site")).first_selected_option.text, "RIVERSIDE picked", page)
        page.wait_for(lambda: len(page.all("#history-visits tr[data-test=history-visit]")) == len(self.visits),
                      30, "the %d visits" % len(self.visits))
        listed = [int(r.get_attribute("data-visit-id")) for r in page.all("#history-visits tr[data-test=history-visit]")]
        check(listed == self.visits, "the store's visits, newest first: %s, store %s" % (listed, self.visits), page)
        check(page.attr("#history-status", "data-state") == "ready", "no failure: %s" % page.text("#history-status"),
              page)
        page.shot("history-visits")

    def cli_survey_read_only(self, page):
        oldest = self.visits[-1]  # the survey's own visit came first
        page.click("#history-visits tr[data-visit-id='%d'] [data-test=history-visit-open]" % oldest)
        page.wait_attr("#history-visits tr[data-selected=true]", "data-visit-id", (str(oldest),), 20)
        page.wait_for(lambda: page.all("#history-records tr[data-kind=site-survey]"), 20, "the visit's site survey")
        kinds = {r.get_attribute("data-kind") for r in page.all("#history-records tr[data-test=history-record]")}
        check("registration" in kinds, "the registration the command line read is kept too: %s" % kinds, page)
        # Kept as the page keeps it: the bytes as read, not a member of its decoded form.
        page.click("#history-records tr[data-kind=registration] [data-test=history-open]")
        page.wait_for(lambda: page.all("#history-viewer [data-kind=registration]"), 20, "the registration")
        size = page.text("#history-viewer [data-test=history-raw-size]")
        m = re.match(r"(\d+) bytes as read", size)
        check(m and int(m.group(1)) > 0 and "source unit" in size, "the registration's bytes: %r" % size, page)
        decoded = json.loads(page.text("#history-viewer [data-test=history-decoded]"))
        check("DATA" not in decoded and decoded["regInfo"]["groups"], "its decoded form: %s" % list(decoded), page)
        scroll_to(page, "history-viewer")
        page.shot("cli-registration")
        page.js("window.scrollTo(0, 0)")
        open_stored_site_survey(page)
        check(page.attr("#history-viewer [data-test=history-survey-state]", "data-state") == "complete",
              "the survey ran to its end", page)
        check(not page.all("#history-viewer button:not(#history-viewer-close)"), "nothing in it acts on a unit", page)
        shown = page.js("return [...document.querySelectorAll('#history-viewer tr[data-test=history-survey-row]')]"
                        ".map((r) => ({serial: r.dataset.serial, status: r.dataset.status,"
                        " label: r.querySelector('[data-test=unit-label]').textContent,"
                        " levels: [...r.querySelectorAll('[data-test=hop-link]')].map((l) => l.dataset.level)}))")
        check(len(shown) == REMOTE_UNITS, "every unit of the survey: %d" % len(shown), page)
        for row in shown:
            printed = self.routes.get(row["serial"])
            check(printed is not None, "a unit the command line surveyed: %s" % row, page)
            levels = [str(level) if level is not None else "" for _, level in printed]
            check(row["levels"] == levels, "%s: hop levels %s, printed %s" % (row["label"], row["levels"], levels),
                  page)
            if row["serial"] in SILENT:
                check(row["status"] != "ok" and row["label"] == SILENT[row["serial"]],
                      "%s silent here too: %s" % (SILENT[row["serial"]], row), page)
            else:
                check(row["status"] == "ok", "%s answered: %s" % (row["label"], row), page)
        scroll_to(page, "history-viewer")
        page.shot("cli-survey")

    def monitor_surveys_compared(self, page):
        (before, after) = [record for _, _, record in self.monitored]
        page.js("window.scrollTo(0, 0)")
        Select(page.find("#history-compare-before")).select_by_value(str(before))
        Select(page.find("#history-compare-after")).select_by_value(str(after))
        page.click("#history-compare-run")
        page.wait_for(lambda: page.all("#history-compare tr[data-test=compare-hop]"), 30, "the comparison")
        hops = page.js("return [...document.querySelectorAll('#history-compare tr[data-test=compare-hop]')]"
                       ".map((r) => ({to: r.dataset.to, worse: r.dataset.worse, change: r.dataset.change,"
                       " label: r.cells[0].textContent}))")
        check(len(hops) == HOPS, "every hop of both surveys compared: %d" % len(hops), page)
        check(not page.all("#history-only-before, #history-only-after"), "no hop on one side only", page)
        # The comparison keys units by serial number (no leading zeros).
        silent = {int(serial, 16): label for serial, label in SILENT.items()}
        for serial, label in silent.items():
            row = [x for x in hops if int(x["to"], 16) == serial]
            check(len(row) == 1 and row[0]["worse"] == "false" and row[0]["change"] == "",
                  "%s silent both times, not worse: %s" % (label, row), page)
        check(all(x["change"] != "" for x in hops if int(x["to"], 16) not in silent), "every other hop has its change",
              page)
        units = page.js("return [...document.querySelectorAll('#history-compare-units tr[data-test=compare-unit]')]"
                        ".map((r) => ({serial: r.dataset.serial, before: r.cells[1].textContent,"
                        " after: r.cells[2].textContent}))")
        remote = 0
        for u in units:
            serial = "%08X" % int(u["serial"], 16)
            if serial not in self.levels[before]:
                continue  # a repeater
            remote += 1
            kept = (level_text(self.levels[before][serial]), level_text(self.levels[after][serial]))
            check((u["before"], u["after"]) == kept, "unit %s: %s, the store %s" % (u["serial"], u, kept), page)
        check(remote == REMOTE_UNITS, "each remote unit's levels: %d" % remote, page)
        scroll_to(page, "history-compare-summary")
        page.shot("monitor-comparison")

    def unit_trend(self, page):
        """A unit's level across every survey that reached it, the command
        line's and the monitor's, as the store keeps them."""
        Select(page.find("#history-trend-unit")).select_by_visible_text("G3 PEAR-LX")
        page.wait_attr("#history-trend-chart", "data-unit", ("C40503",), 20)
        page.wait_attr("#history-trend-chart", "data-points", (str(len(self.trend)),), 20)
        levels = [r.find_elements("css selector", "td")[1].text
                  for r in page.all("#history-trend tr[data-test=trend-point]")]
        check(levels == [level_text(v) for v in self.trend], "the levels %s, the store %s" % (levels, self.trend), page)
        check(page.all("#history-trend-chart canvas"), "drawn on a chart", page)
        scroll_to(page, "history-trend-unit")
        page.shot("unit-trend")

    def cut_short_survey(self, page):
        """The survey SIGTERM cut short is kept and shown as cut short."""
        open_surveys = [s for s, end in self.ended.items() if end is None]
        if not open_surveys:
            print("no survey was cut short", flush=True)
            return
        newest = self.visits[0]
        page.js("window.scrollTo(0, 0)")
        page.click("#history-visits tr[data-visit-id='%d'] [data-test=history-visit-open]" % newest)
        page.wait_attr("#history-visits tr[data-selected=true]", "data-visit-id", (str(newest),), 20)
        page.wait_for(lambda: page.all("#history-records tr[data-kind=site-survey]"), 20, "the cut-short survey")
        page.click("#history-records tr[data-kind=site-survey] [data-test=history-open]")
        page.wait_attr("#history-viewer [data-test=history-survey-state]", "data-state", ("incomplete",), 20)
        scroll_to(page, "history-viewer")
        page.shot("cut-short-survey")


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "840")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    cli = os.environ.get("LM_CLI") or os.path.join(os.path.dirname(binary), "linkmeter-cli")
    with pagedriver.shelltest.temp_root() as root:
        env = cli_env(root)
        routes = cli_survey(cli, env)
        monitored = cli_monitor(cli, env)
        check(all(silent == len(SILENT) for _, silent, _ in monitored),
              "each monitor line counts the silent units: %s" % monitored)
        visits, levels, ended, trend = store_facts(store_path(root))
        check(len(visits) == 2, "the survey's visit and the monitor's one visit of its run: %s" % visits)
        page = start(binary, root, artefacts, "en_US.UTF-8")
        try:
            flow = Flow(page, routes, monitored, visits, levels, ended, trend)
            pagedriver.run_steps(page, [flow.open_history, flow.cli_survey_read_only, flow.monitor_surveys_compared,
                                        flow.unit_trend, flow.cut_short_survey])
            check(not page.errors(), "no errors shown: %s" % page.errors(), page)
        finally:
            page.quit()
    print("history_cli: ok")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

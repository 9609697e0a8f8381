"""A killed program loses no probe that had completed: the real program on the
demo site, driven through WebDriver, connects RIVERSIDE, starts a site survey
of five probes per unit, and once the page shows some units done and the
page's recorder has written them, the program and its web processes are
killed with SIGKILL mid-survey. The store, opened with sqlite3, passes
PRAGMA integrity_check and holds every probe of every unit shown, with the
statistics of each of its hops. Started
again on the same store, the program opens it as it is, setting nothing aside.

usage: records_kill_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import faulthandler
import glob
import json
import os
import signal
import sqlite3
import sys
import time

from selenium.common.exceptions import WebDriverException
from selenium.webdriver.support.ui import Select

import pagedriver
from page_flows_test import check
from link_quality_test import read_site

UNITS_BEFORE_KILL = 4


def store_path(root):
    """The demo's own store: every test here runs the program with --demo."""
    found = glob.glob(os.path.join(root, "**", "site-records-demo.sqlite"), recursive=True)
    return found[0] if len(found) == 1 else None


def open_store(path):
    """The store read-only, as a second reader would (WAL files left as found)."""
    return sqlite3.connect("file:%s?mode=ro" % path, uri=True)


def records_call(page, name, arg=None):
    """A linkmeter.records function through the page's query function:
    (answer, failure)."""
    query = "LmRecords" + name[0].upper() + name[1:]
    out = page.driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "app.jsQuery(arguments[0], arguments[1], (a) => done({answer: a}), (f) => done({failure: f}));",
        query, arg or {})
    parse = lambda v: json.loads(v) if isinstance(v, str) and v[:1] in "{[" else v
    return parse(out.get("answer")), parse(out.get("failure"))


def recorder_state(page):
    """The units the site survey shows done and what the recorder has not
    written yet, read at one moment."""
    return page.js(
        "const st = document.getElementById('records-status');"
        "return {rows: [...document.querySelectorAll('#sitesurvey-results tr[data-test=result-row]')]"
        "  .map((r) => [r.dataset.serial, Number(r.dataset.asked || 0)]),"
        " pending: Number(st.dataset.pending || 0), state: st.dataset.state || 'ok', code: st.dataset.code || '',"
        " survey: document.getElementById('sitesurvey-state').dataset.state};")


def program_pids(page):
    """The program WebDriver started and every process under it (its web
    and network processes), by walking /proc from the driver's process."""
    parents = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                parents[int(entry)] = int(fields[1])
            except (OSError, IndexError):
                pass
    found, frontier = [], [page.driver.service.process.pid]
    while frontier:
        pid = frontier.pop()
        children = [p for p, parent in parents.items() if parent == pid]
        found.extend(children)
        frontier.extend(children)
    return found


def wait_gone(pids, limit):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        alive = [p for p in pids if os.path.exists("/proc/%d" % p) and not _zombie(p)]
        if not alive:
            return
        time.sleep(0.1)
    raise AssertionError("processes still running: %s" % alive)


def _zombie(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] == "Z"
    except OSError:
        return True


def start_survey(page):
    page.click("#tab-sitesurvey")
    Select(page.find("#sitesurvey-probe-preset")).select_by_value("standard")
    check(page.attr("#sitesurvey-probes", "value") == "5", "five probes per unit", page)
    page.click("#sitesurvey-start")
    page.wait_attr("#sitesurvey-state", "data-state", ("running",), 10)


def written_units(page):
    """Waits until at least UNITS_BEFORE_KILL units are shown and written;
    answers the units shown then, with the probes each was asked."""
    seen = {}

    def ready():
        st = recorder_state(page)
        seen.update(st)
        return len(st["rows"]) >= UNITS_BEFORE_KILL and st["pending"] == 0 and st["survey"] == "running"
    page.wait_for(ready, 300, "%d units shown and written mid-survey" % UNITS_BEFORE_KILL)
    check(seen["state"] == "ok", "the recorder reports no trouble: %s %s" % (seen["state"], seen["code"]), page)
    return dict(seen["rows"])


def kill_program(page):
    pids = program_pids(page)
    check(pids, "the program's processes were found", page)
    for pid in pids:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    wait_gone(pids, 20)
    print("killed: %s" % pids, flush=True)


def check_store(path, units):
    db = open_store(path)
    try:
        check(db.execute("PRAGMA integrity_check").fetchone()[0] == "ok", "the store passes integrity_check")
        surveys = db.execute("SELECT id, routes_json, ended_at FROM surveys WHERE kind = 'site'").fetchall()
        check(len(surveys) == 1, "one site survey recorded: %d" % len(surveys))
        survey, routes_json, ended = surveys[0]
        check(ended is None, "the killed survey is not marked as ended")
        routes = json.loads(routes_json)
        for serial, asked in units.items():
            route = next(i for i, r in enumerate(routes) if r and r[-1] == int(serial, 16))
            probes = db.execute("SELECT COUNT(*), COUNT(DISTINCT seq) FROM probes WHERE survey_id = ? AND route = ?",
                                (survey, route)).fetchone()
            check(probes == (asked, asked), "unit %s: %s probes stored, %d shown" % (serial, probes, asked))
            hops = db.execute("SELECT COUNT(*) FROM hop_stats WHERE survey_id = ? AND route = ?",
                              (survey, route)).fetchone()[0]
            check(hops == len(routes[route]), "unit %s: statistics of its %d hops stored: %d"
                  % (serial, len(routes[route]), hops))
        total = db.execute("SELECT COUNT(*) FROM probes WHERE survey_id = ?", (survey,)).fetchone()[0]
        visit = db.execute("SELECT ended_at FROM visits").fetchall()
        check(len(visit) == 1 and visit[0][0] is None, "the visit stays open after a kill: %s" % visit)
        print("store after the kill: %d probes; %d units shown" % (total, len(units)), flush=True)
    finally:
        db.close()


def restart_opens_store(binary, root, artefacts, path):
    page = pagedriver.Page(binary, root, artefacts)
    try:
        status, failure = records_call(page, "status")
        check(failure is None, "status answered: %s" % failure, page)
        check(status["state"] == "opened" and not status.get("asidePath"),
              "the store is opened as it was: %s" % status, page)
        sites, failure = records_call(page, "listSites")
        check(failure is None and [s["name"] for s in sites] == ["RIVERSIDE"], "the site is still there: %s" % sites,
              page)
        page.shot("restarted")
    finally:
        page.quit()
    aside = [p for p in os.listdir(os.path.dirname(path)) if p.startswith("site-records-demo.") and "-20" in p]
    check(not aside, "nothing set aside: %s" % aside)


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "540")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        page = pagedriver.Page(binary, root, artefacts)
        try:
            pagedriver.run_steps(page, [read_site, start_survey])
            units = written_units(page)
            page.shot("before-kill")
            print("units shown before the kill: %s" % units, flush=True)
            kill_program(page)
        finally:
            try:
                page.quit()
            except WebDriverException:
                pass
        path = store_path(root)
        check(path is not None, "the store was made under the test's home")
        check_store(path, units)
        restart_opens_store(binary, root, artefacts, path)
    print("records kill: ok")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

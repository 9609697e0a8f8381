"""One normal visit is recorded end to end, with no save step: in the real
program on the demo site, driven through WebDriver, RIVERSIDE is connected,
its registration read, a site survey and a two-round channel scan run, its
unit settings read and one written, its event log read, a far unit's
recorded data downloaded, the technician's name typed into the report; then it is disconnected, GREENHOUSE connected and the window closed
through the program's close protocol. The store, read with sqlite3 after
the program ended, holds both visits (each ended: by the disconnect and by
the close), every record of each kind, the audit of the write, and no
password.

usage: records_visit_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import faulthandler
import glob
import json
import os
import sys

from selenium.common.exceptions import WebDriverException
from selenium.webdriver.support.ui import Select

import pagedriver
from page_flows_test import check, PASSWORD
from link_quality_test import read_site
from page_provenance_test import connect
from service_flows_test import choose_source
from records_kill_test import store_path, open_store, program_pids, wait_gone

RIVERSIDE, GREENHOUSE = "009C0021", "009A0011"


def written(page):
    """Waits until the recorder has written everything and reports no trouble."""
    page.wait_for(lambda: page.attr("#records-status", "data-pending") == "0", 30, "the records written")
    check(page.attr("#records-status", "data-state") == "ok",
          "the recorder reports no trouble: %s" % page.attr("#records-status", "data-code"), page)


def site_survey(page):
    page.click("#tab-sitesurvey")
    Select(page.find("#sitesurvey-probe-preset")).select_by_value("quick")
    page.click("#sitesurvey-start")
    page.wait_attr("#sitesurvey-state", "data-state", ("running",), 10)
    page.wait_attr("#sitesurvey-state", "data-state", ("complete",), 400)
    written(page)


def channel_scan(page):
    page.click("#tab-channels")
    page.type_into("#channels-input", "0-9")
    page.type_into("#scan-rounds", "2")
    page.click("#scan-button")
    page.wait_attr("#channel-chart", "data-complete", ("true",), 120)
    written(page)


def settings_read_and_write(page):
    page.click("#tab-settings")
    page.click("#set-unit-read")
    page.wait_for(lambda: page.attr("#set-unit-NAME", "value"), 20, "RUINF in the form")
    page.type_into("#set-unit-NAME", "RIVER-2")
    page.click("#set-unit-write")
    page.wait_for(lambda: page.all("#set-unit [data-test=readback-row][data-key=NAME]"), 20, "the read-back")
    written(page)


def event_log(page):
    page.click("#tab-eventlog")
    page.click("#log-read")
    page.wait_for(lambda: page.all("#log-rows [data-test=log-row]"), 30, "log rows")
    written(page)


def far_unit_download(page):
    page.click("#tab-recorded")
    page.wait_for(lambda: len(page.all("#rec-source option")) > 1, 10, "the far units")
    choose_source(page, 1)
    page.click("#rec-download")
    page.wait_for(lambda: page.attr("#rec-charts", "data-plot-ms"), 120, "the plot")
    written(page)


def technician(page):
    page.click("#tab-report")
    page.type_into("#report-technician", "Aki Tanaka")
    page.click("#tab-units")  # leaving the field keeps it
    written(page)
    page.shot("visit-recorded")


def disconnect_and_connect_another(page):
    page.click("#disconnect-button")
    connect(page, GREENHOUSE)
    written(page)


def close_window(page):
    """Closes through the program's close protocol (the pages are asked)."""
    pids = program_pids(page)
    try:
        page.js("app.exit(false)")
    except WebDriverException:
        pass  # the window may be gone before the answer
    wait_gone(pids, 30)


def rows(db, sql, *args):
    return db.execute(sql, args).fetchall()


def check_store(path):
    db = open_store(path)
    try:
        check(rows(db, "PRAGMA integrity_check") == [("ok",)], "the store passes integrity_check")
        sites = dict(rows(db, "SELECT serial, model FROM sites"))
        check(sites == {int(RIVERSIDE, 16): "VL-B7", int(GREENHOUSE, 16): "VL-B1"}, "both sites: %s" % sites)
        # The technician is the visit's newest version of its fields (one chain here).
        visits = rows(db, "SELECT v.id, s.serial, v.started_at, v.ended_at, "
                          "(SELECT technician FROM visit_versions w WHERE w.visit_id = v.id "
                          "ORDER BY w.made_at DESC, w.id DESC LIMIT 1) FROM visits v "
                          "JOIN sites s ON s.id = v.site_id ORDER BY v.started_at")
        check([v[1] for v in visits] == [int(RIVERSIDE, 16), int(GREENHOUSE, 16)], "two visits: %s" % visits)
        check(all(v[3] is not None and v[3] >= v[2] for v in visits), "both visits ended: %s" % visits)
        check(visits[0][4] == "Aki Tanaka", "the technician kept on the visit: %r" % visits[0][4])
        visit = visits[0][0]

        regs = rows(db, "SELECT source, decoded_json, length(raw) FROM registration_snapshots WHERE visit_id = ?",
                    visit)
        check(regs and all(r[0] == "unit" for r in regs), "the registration read: %s" % [r[0] for r in regs])
        check(len(json.loads(regs[0][1])["regInfo"]["groups"]) == 3, "the registration's three groups kept")
        check(regs[0][2] > 16, "the registration's bytes as read kept: %d" % regs[0][2])

        survey, ended, routes = rows(db, "SELECT id, ended_at, routes_json FROM surveys WHERE visit_id = ? "
                                         "AND kind = 'site'", visit)[0]
        routes = json.loads(routes)
        check(ended is not None, "the complete survey is ended")
        probes = rows(db, "SELECT COUNT(*), SUM(answered) FROM probes WHERE survey_id = ?", survey)[0]
        check(probes[0] == len(routes) == 20, "one probe per unit, 20 units: %s of %d" % (probes, len(routes)))
        hops = rows(db, "SELECT COUNT(*) FROM hop_stats WHERE survey_id = ?", survey)[0][0]
        check(hops == sum(len(r) for r in routes), "every hop's statistics: %d" % hops)

        scans = rows(db, "SELECT id, ended_at, settings_json FROM channel_scans WHERE visit_id = ?", visit)
        check(len(scans) == 1 and scans[0][1] is not None, "one ended channel scan: %s" % scans)
        check(json.loads(scans[0][2])["channels"] == list(range(10)), "the channels scanned: %s" % scans[0][2])
        rounds = rows(db, "SELECT round, decoded_json FROM scan_rounds WHERE scan_id = ? ORDER BY round", scans[0][0])
        check([r[0] for r in rounds] == [0, 1], "both rounds: %s" % [r[0] for r in rounds])
        check(all(len(json.loads(r[1])["readings"]) == 10 for r in rounds), "ten channels in each round")

        reads = rows(db, "SELECT decoded_json FROM settings_readbacks WHERE visit_id = ?", visit)
        names = [json.loads(r[0]).get("NAME") for r in reads]
        check("RIVERSIDE" in names and "RIVER-2" in names, "the unit settings read before and after: %s" % names)
        logs = rows(db, "SELECT decoded_json FROM event_logs WHERE visit_id = ?", visit)
        check(len(logs) == 1 and json.loads(logs[0][0])["logs"], "the event log kept: %d" % len(logs))
        downloads = rows(db, "SELECT length(header), length(raw), unit FROM downloads WHERE visit_id = ?", visit)
        check(len(downloads) == 1 and downloads[0][0] == 64 and downloads[0][1] > 0,
              "the download's header and bytes kept: %s" % downloads)
        audit = rows(db, "SELECT w.succeeded, k.key, k.old_json, k.new_json FROM settings_writes w "
                         "JOIN settings_write_keys k ON k.write_id = w.id WHERE w.visit_id = ?", visit)
        check(audit == [(1, "NAME", '"RIVERSIDE"', '"RIVER-2"')], "the write's audit: %s" % audit)
        counts = {t: rows(db, "SELECT COUNT(*) FROM %s" % t)[0][0] for t in (
            "registration_snapshots", "probes", "hop_stats", "scan_rounds", "settings_readbacks", "settings_writes",
            "event_logs", "downloads")}
        print("store after the visit: %s" % counts, flush=True)
    finally:
        db.close()
    for name in glob.glob(path + "*"):
        if not os.path.isfile(name):
            continue  # the folder of the owners' tokens
        with open(name, "rb") as f:
            check(PASSWORD.encode() not in f.read(), "no LAN password in %s" % os.path.basename(name))


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "540")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        page = pagedriver.Page(binary, root, artefacts)
        try:
            pagedriver.run_steps(page, [read_site, site_survey, channel_scan, settings_read_and_write, event_log,
                                        far_unit_download, technician, disconnect_and_connect_another, close_window])
        finally:
            try:
                page.quit()
            except WebDriverException:
                pass
        path = store_path(root)
        check(path is not None, "the store was made under the test's home")
        check_store(path)
    print("records visit: ok")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

"""Past records read as they were taken, in the real program on the demo
site, driven through WebDriver with real clicks:

- a site survey of RIVERSIDE, then the sibling application's registration
  loaded (other names, one group): History opens the survey with the names,
  groups, verdicts and probes it had when it was measured, and shows today's
  class boundaries only when asked;
- a settings write and a clock set are each one History row, with the time,
  the keys with their values before and after, and the unit's answer;
- the report's fields typed after Disconnect, then GREENHOUSE connected: they
  are kept on RIVERSIDE's visit, and GREENHOUSE's visit starts without them;
- a site survey cut short by closing the window is not the next report's
  comparison baseline: after a restart the report compares with the complete
  survey, and lists the cut-short one as such for the technician to pick.

usage: records_history_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import faulthandler
import os
import sys
import time

from selenium.common.exceptions import WebDriverException
from selenium.webdriver.support.ui import Select

import pagedriver
from page_flows_test import check, LAN_UNIT
from page_provenance_test import connect
from link_quality_test import read_site
from report_pdf_test import quick_site_survey
from service_flows_test import sibling_document, enter, USB_UNIT
from records_kill_test import records_call, recorder_state, program_pids, wait_gone
from history_test import recorder_idle, scroll_to

RIVERSIDE = int(LAN_UNIT, 16)
GREENHOUSE = int(USB_UNIT, 16)
SURVEY_ROWS = ("[...document.querySelectorAll(arguments[0])].map((r) => ({serial: r.dataset.serial,"
               " verdict: r.dataset.verdict, group: r.cells[0].textContent.split(' (')[0],"
               " label: r.querySelector('[data-test=unit-label]').textContent, probes: arguments[1](r)}))")


def choose(page, css, value):
    """A select's choice as its own change (a click on an option the sticky
    header covers is intercepted)."""
    page.js("const s = document.querySelector(arguments[0]); s.value = arguments[1];"
            "s.dispatchEvent(new Event('change'))", css, value)


def survey_rows(page, css, probes_js):
    return page.js("return " + SURVEY_ROWS.replace("arguments[1](r)", probes_js), css)


def as_measured(page):
    """The survey's units as the site survey shows them right after it ran."""
    rows = survey_rows(page, "#sitesurvey-results tr[data-test=result-row]", "`${r.dataset.answered}/${r.dataset.asked}`")
    check(len(rows) == 20 and len({r["group"] for r in rows}) == 3, "20 units in 3 groups: %s" % rows[:3], page)
    return {r["serial"]: r for r in rows}


def load_sibling(page):
    page.click("#tab-site")
    page.click("#site-import")
    page.wait_for(lambda: page.all("#messages [data-test=notice]"), 10, "the notice of the loaded file")
    recorder_idle(page)


def visit_ids(page, serial):
    visits, failure = records_call(page, "listVisits", {"serial": serial})
    check(failure is None, "listVisits: %s" % failure, page)
    return sorted(visits, key=lambda v: v["startedAt"])


def open_history_record(page, kind, index=0):
    page.click("#tab-history")
    page.wait_attr("#history-status", "data-state", ("ready",), 30)
    rows = "#history-records tr[data-test=history-record][data-kind=%s]" % kind
    page.wait_for(lambda: len(page.all(rows)) > index, 20, "a %s record" % kind)
    button = page.all(rows)[index].find_element("css selector", "[data-test=history-open]")
    # Out from under the sticky header before the click.
    page.js("arguments[0].scrollIntoView({block: 'center'})", button)
    button.click()
    page.wait_for(lambda: page.all("#history-viewer [data-kind=%s]" % kind), 20, "the viewer")


def past_survey_as_measured(page, measured):
    open_history_record(page, "site-survey")
    check(page.find("#history-demo").is_displayed(), "History marks the demo site's own store", page)
    rows = "#history-viewer tr[data-test=history-survey-row]"
    kept = {r["serial"]: r for r in survey_rows(page, rows, "r.cells[4].textContent")}
    check(set(kept) == set(measured), "the same units: %s" % sorted(set(kept) ^ set(measured)), page)
    differ = [(s, measured[s], kept[s]) for s in measured if measured[s] != kept[s]]
    check(not differ, "names, groups, verdicts and probes as measured: %s" % differ[:3], page)
    check(page.attr("#history-viewer [data-test=history-thresholds]", "data-judged") == "then", "judged as then", page)
    scroll_to(page, "history-viewer")
    page.shot("past-survey-as-measured")
    # Today's boundaries are a second view, asked for.
    choose(page, "#history-judged", "now")
    page.wait_attr("#history-viewer [data-test=history-thresholds]", "data-judged", ("now",), 10)
    choose(page, "#history-judged", "then")
    page.wait_attr("#history-viewer [data-test=history-thresholds]", "data-judged", ("then",), 10)
    page.js("window.scrollTo(0, 0)")


def settings_write_and_clock(page):
    page.click("#tab-settings")
    page.click("#set-unit-read")
    page.wait_for(lambda: page.attr("#set-unit-NAME", "value") == "RIVERSIDE", 20, "RUINF in the form")
    enter(page, "#set-unit-NAME", "RIVER-2")
    page.click("#set-unit-write")
    page.wait_for(lambda: page.all("#set-unit [data-test=readback-row][data-key=NAME]"), 20, "the read-back")
    page.click("#set-clock-read")
    page.wait_for(lambda: page.attr("#clock-offset", "data-offset"), 20, "the clock offset")
    page.click("#clock-set")
    page.wait_for(lambda: page.all("#messages [data-test=notice]"), 30, "the clock set")
    recorder_idle(page)


def writes_in_history(page, since_ms):
    open_history_record(page, "settings-write", 0)
    rows = page.all("#history-records tr[data-test=history-record][data-kind=settings-write]")
    ids = [r.get_attribute("data-record-id") for r in rows]
    check(len(ids) == 2 and len(set(ids)) == 2, "each write listed once: %s" % ids, page)
    viewer = "#history-viewer [data-kind=settings-write]"
    # The newest first: the clock set.
    check(page.attr("#history-viewer [data-test=history-write-outcome]", "data-succeeded") == "true",
          "the unit took the clock", page)
    check(int(page.attr(viewer, "data-taken")) >= since_ms, "its time kept: %s" % page.attr(viewer, "data-taken"), page)
    check([k.get_attribute("data-key") for k in page.all("#history-viewer [data-test=history-write-key]")] == ["clock"],
          "the clock's key", page)
    page.all("#history-records tr[data-kind=settings-write]")[1].find_element("css selector", "[data-test=history-open]").click()
    page.wait_attr(viewer, "data-record-id", (ids[1],), 10)
    outcome = page.find("#history-viewer [data-test=history-write-outcome]")
    check(outcome.get_attribute("data-succeeded") == "true" and "took" in outcome.text, "accepted: %r" % outcome.text, page)
    keys = page.js("return [...document.querySelectorAll('#history-viewer [data-test=history-write-key]')]"
                   ".map((r) => [...r.cells].map((c) => c.textContent))")
    check(keys == [["NAME", '"RIVERSIDE"', '"RIVER-2"']], "the key with its old and new value: %s" % keys, page)
    title = page.text("#history-viewer [data-test=history-viewer-title]")
    year = time.strftime("%Y-%m-%d")
    check(year in title and "1970" not in title, "dated today: %r" % title, page)
    scroll_to(page, "history-viewer")
    page.shot("settings-write")
    page.js("window.scrollTo(0, 0)")


def fields_after_disconnect(page):
    """The report still shows RIVERSIDE's survey after Disconnect: what is
    typed there is RIVERSIDE's; GREENHOUSE's visit starts without it."""
    page.click("#tab-report")
    enter(page, "#report-technician", "Aki Tanaka")
    page.click("#tab-units")
    page.click("#disconnect-button")
    page.wait_attr("#connected-unit", "data-state", ("none",), 20)
    page.click("#tab-report")
    enter(page, "#report-customer", "Riverside Farm")
    enter(page, "#report-notes", "pump house checked")
    page.shot("report-fields-after-disconnect")
    connect(page, USB_UNIT)
    recorder_idle(page)
    riverside = visit_ids(page, RIVERSIDE)[-1]
    greenhouse = visit_ids(page, GREENHOUSE)[-1]
    check((riverside["technician"], riverside["customer"], riverside["notes"]) ==
          ("Aki Tanaka", "Riverside Farm", "pump house checked"), "kept on RIVERSIDE's visit: %s" % riverside, page)
    check((greenhouse["customer"], greenhouse["notes"]) == ("", ""), "GREENHOUSE's visit has none: %s" % greenhouse, page)
    check(greenhouse["technician"] == "Aki Tanaka", "the technician carried over: %r" % greenhouse["technician"], page)
    check(page.attr("#report-customer", "value") == "Riverside Farm", "the report on show keeps them", page)


def close_mid_survey(page):
    """A survey running when the window is closed (the technician agrees)."""
    page.click("#tab-units")
    page.click("#disconnect-button")
    read_site(page)
    page.click("#tab-sitesurvey")
    Select(page.find("#sitesurvey-probe-preset")).select_by_value("standard")
    page.click("#sitesurvey-start")
    page.wait_for(lambda: len(recorder_state(page)["rows"]) >= 3 and recorder_state(page)["pending"] == 0, 300,
                  "some units surveyed and written")
    page.shot("closing-mid-survey")
    pids = program_pids(page)
    try:
        page.js("app.exit(false)")
    except WebDriverException:
        pass
    pagedriver.message_box_answer("alt+y")
    wait_gone(pids, 30)


def report_baseline(page, complete_id, cut_id):
    read_site(page)
    quick_site_survey(page)
    page.click("#tab-report")
    page.wait_for(lambda: page.all("#report-compare-when"), 60, "the comparison with a previous visit")
    check(page.attr("#report-compare-when", "data-survey") == str(complete_id),
          "compared with the complete survey %s, not the cut-short %s: %s"
          % (complete_id, cut_id, page.attr("#report-compare-when", "data-survey")), page)
    option = page.find("#report-compare-baseline option[value='%s']" % cut_id)
    check("stopped" in option.text, "the cut-short survey offered as such: %r" % option.text, page)
    scroll_to(page, "report-comparison")
    page.shot("report-baseline")
    # Picked by the technician, it is compared.
    choose(page, "#report-compare-baseline", str(cut_id))
    page.wait_for(lambda: page.all("#report-compare-when") and
                  page.attr("#report-compare-when", "data-survey") == str(cut_id), 30, "the picked baseline")


def site_surveys(page, serial):
    """(id, complete) of every site survey of the site, oldest first; each
    names the registration it was measured with, one of its own visit."""
    out = []
    for v in visit_ids(page, serial):
        kept, _ = records_call(page, "readVisit", {"visitId": v["id"]})
        regs = {r["id"] for r in kept["records"] if r["kind"] == "registration"}
        for r in sorted(kept["records"], key=lambda r: r["at"]):
            if r["kind"] == "site-survey":
                full, _ = records_call(page, "readRecord", {"kind": "site-survey", "id": r["id"]})
                check(full.get("registrationId") in regs, "survey %s names its visit's registration: %s of %s"
                      % (r["id"], full.get("registrationId"), regs), page)
                out.append((r["id"], full["endedAt"] is not None))
    return out


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "1140")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        home = pagedriver.shelltest.private_env(root)["HOME"]
        sibling_document(home)
        page = pagedriver.Page(binary, root, artefacts)
        try:
            read_site(page)
            quick_site_survey(page)
            recorder_idle(page)
            measured = as_measured(page)
            load_sibling(page)
            past_survey_as_measured(page, measured)
            since = int(time.time() * 1000) - 1000
            settings_write_and_clock(page)
            writes_in_history(page, since)
            fields_after_disconnect(page)
            close_mid_survey(page)
        finally:
            page.quit()
        page = pagedriver.Page(binary, root, artefacts)
        try:
            surveys = site_surveys(page, RIVERSIDE)
            check([c for _, c in surveys] == [True, False], "one complete survey, one cut short: %s" % surveys)
            report_baseline(page, surveys[0][0], surveys[1][0])
            check(not page.errors(), "no errors shown: %s" % page.errors(), page)
        finally:
            page.quit()
    print("records history: ok")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

"""Whose results the technician's page shows, in the real program on the
demo site, driven through WebDriver with real clicks: after switching base
units and after a failed read nothing earlier looks current, and exports
name the unit they came from; the sibling application's registration is
shown as the sibling's; a site survey cancelled half way keeps its rows and
the last complete survey, then the units that did not answer are surveyed
again. A screenshot of each step is kept.

usage: page_provenance_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import csv
import faulthandler
import io
import os
import sys

import pagedriver
from page_flows_test import PASSWORD, LAN_UNIT, quick_probes
from pagesupport import check, saved
from service_flows_test import sibling_document, USB_UNIT

# Every query's argument and the number of calls, kept in the page.
RECORDING = """
  window.__args = {}; window.__calls = {};
  const real = app.jsQuery;
  app.jsQuery = function(name, arg, ok, fail, progress) {
    window.__args[name] = arg; window.__calls[name] = (window.__calls[name] || 0) + 1;
    return real.call(this, name, arg, ok, fail, progress);
  };"""

# The elements that show a result of one base unit.
RESULTS = ("#site-tree", "#channel-chart", "#survey-route", "#sitesurvey-results", "#report")


def calls(page, name):
    return page.js("return window.__calls[arguments[0]] || 0", name)


def marks(page, css):
    return page.attr(css, "data-base"), page.attr(css, "data-current")


def connect(page, serial):
    row = "#unit-list tr[data-serial='%s'] [data-test=connect]" % serial
    page.click("#tab-units")
    if not page.all(row):
        page.click("#search-button")
        page.wait_for(lambda: page.all(row), 30, "the unit " + serial)
    page.click(row)
    if serial == LAN_UNIT and page.all("#password-dialog"):
        page.type_into("#password-input", PASSWORD)
        page.click("#password-ok")
    page.wait_for(lambda: serial in page.text("#connected-unit"), 30, "the connection to " + serial)


def results_of_riverside(page):
    page.js(RECORDING)
    connect(page, LAN_UNIT)
    page.click("#tab-site")
    page.click("#site-read")
    page.wait_for(lambda: len(page.all("#site-tree [data-test=group]")) == 3, 30, "three groups")
    check(marks(page, "#site-tree") == (LAN_UNIT, "true"), "the tree is the connected unit's", page)
    check(page.attr("#site-tree", "data-source") == "unit", "read from the unit", page)
    labels = [e.text for e in page.all("#site-tree [data-test=unit-label]")]
    check("G3 APPLE-2" in labels and "G1 R1" in labels and "G3 R1" in labels, "units named with their group: %s" % labels, page)

    page.click("#tab-channels")
    page.type_into("#scan-rounds", "1")
    page.type_into("#channels-input", "0-39")
    page.click("#scan-button")
    page.wait_for(lambda: page.attr("#channel-chart", "data-complete") == "true", 60, "the scan")
    check(marks(page, "#channel-chart") == (LAN_UNIT, "true"), "the scan is the connected unit's", page)
    page.shot("channels-0-39")

    page.click("#tab-site")
    page.click("#site-tree [data-test=site-unit][data-group='2'][data-num='2'] [data-test=survey-unit]")
    check(not page.find("#survey-command").is_displayed(), "the survey command is under advanced", page)
    page.click("#survey-start")
    page.wait_attr("#survey-status", "data-state", ("done",), 30)
    check(marks(page, "#survey-route") == (LAN_UNIT, "true"), "the route is the connected unit's", page)
    shown = page.js("return document.getElementById('view-survey').innerText")
    check("EWL" not in shown, "no mnemonic on the main line: " + shown, page)
    page.shot("route")


def full_site_survey(page):
    quick_probes(page)
    # "Survey the whole site" starts it, not only the tab.
    page.click("#tab-site")
    page.click("#site-survey-all")
    page.wait_for(lambda: page.find("#view-sitesurvey").is_displayed(), 10, "the site survey view")
    page.wait_attr("#sitesurvey-state", "data-state", ("running",), 10)
    page.wait_attr("#sitesurvey-state", "data-state", ("complete",), 240)
    check(len(page.all("#sitesurvey-results tr[data-test=result-row]")) == 20, "twenty rows", page)
    check(marks(page, "#sitesurvey-results") == (LAN_UNIT, "true"), "the survey is the connected unit's", page)
    page.shot("site-survey-complete")

    page.click("#show-report")
    page.wait_for(lambda: page.find("#report").is_displayed(), 10, "the report")
    counts = page.find("#report-answered")
    check((counts.get_attribute("data-total"), counts.get_attribute("data-surveyed")) == ("20", "20"), "20 of 20 surveyed", page)
    silent = [e.text for e in page.all("#report-silent [data-test=report-silent-unit]")]
    check(any("PEAR-3" in s for s in silent) and any("FAR-WELL" in s for s in silent), "silent units by name: %s" % silent, page)
    links = [e.get_attribute("data-link") for e in page.all("#report-weakest [data-test=weak-link]")]
    check(links and len(set(links)) == len(links), "each weak link once: %s" % links, page)
    classes = {e.get_attribute("data-serial"): e.get_attribute("data-class") for e in page.all("#report-routes [data-test=report-unit]")}
    statuses = {e.get_attribute("data-serial"): e.get_attribute("class") for e in page.all("#report-routes [data-test=report-unit]")}
    unclassed = [s for s, c in statuses.items() if "s-ok" not in c and classes[s] != "none"]
    check(not unclassed, "no silent unit classed by hops it did not answer: %s" % unclassed, page)
    check(any("G" in e.text and "%" in e.text for e in page.all("#report-batteries li")), "batteries named with group", page)
    page.type_into("#report-technician", "Sato")
    page.shot("report")


def export_names_unit(page, folder, name, button="#export-csv"):
    target = os.path.join(folder, name)
    page.js("window.__args.JsFileDialog = null")
    page.click(button)
    pagedriver.save_dialog_answer(target)
    page.wait_for(lambda: saved(page, target), 30, "the CSV file")
    initial = page.js("return window.__args.JsFileDialog.initFile")
    with open(target, encoding="utf-8-sig") as f:
        rows = list(csv.reader(io.StringIO(f.read())))
    return initial, rows


def check_export(page, folder, name, button="#export-csv"):
    initial, rows = export_names_unit(page, folder, name, button)
    check(initial.startswith("site-survey-RIVERSIDE-") and initial.endswith(".csv"), "the default name: " + initial, page)
    check(rows[0][:4] == ["base serial", "base name", "unit serial", "taken"], "provenance columns first: %s" % rows[0], page)
    check(all(r[0] == LAN_UNIT and r[1] == "RIVERSIDE" for r in rows[1:]), "every row names RIVERSIDE", page)
    return rows


def cancelled_survey_keeps_its_work(page, folder):
    page.click("#tab-sitesurvey")
    page.click("#sitesurvey-start")
    page.wait_for(lambda: len(page.all("#sitesurvey-results tr[data-test=result-row]")) >= 6, 120, "six units surveyed")
    page.click("#sitesurvey-cancel")
    page.wait_attr("#sitesurvey-state", "data-state", ("incomplete",), 40)
    kept = len(page.all("#sitesurvey-results tr[data-test=result-row]"))
    check(6 <= kept < 20, "the cancelled survey keeps its %d rows" % kept, page)
    check(page.attr("#sitesurvey-results", "data-complete") == "false", "marked incomplete", page)
    check(page.find("#sitesurvey-done").get_attribute("hidden") is None, "the last complete survey stays", page)
    check(page.js("return document.querySelectorAll('#sitesurvey-done-results tr[data-test=result-row]').length") == 20,
          "with its twenty rows", page)
    check(page.attr("#sitesurvey-done-results", "data-current") == "false", "marked earlier", page)
    page.js("document.getElementById('sitesurvey-done').open = true")
    page.shot("site-survey-cancelled")

    page.click("#show-report")
    check(page.attr("#report-answered", "data-complete") == "false", "the report says it is incomplete", page)
    check(page.attr("#report-answered", "data-surveyed") == str(kept), "and counts what was surveyed", page)
    check(page.attr("#report-technician", "value") == "Sato", "the technician's name stays", page)
    page.shot("report-incomplete")

    page.click("#tab-sitesurvey")
    answered = len(page.all("#sitesurvey-results tr[data-test=result-row][data-status=ok]"))
    before = calls(page, "ComTcmdEWLEX")
    page.click("#sitesurvey-retry")
    page.wait_attr("#sitesurvey-state", "data-state", ("complete",), 240)
    check(calls(page, "ComTcmdEWLEX") - before == 20 - answered, "only the %d units that did not answer asked again" % (20 - answered), page)
    check(len(page.all("#sitesurvey-results tr[data-test=result-row]")) == 20, "twenty rows again", page)
    check(page.find("#sitesurvey-done").get_attribute("hidden") is not None, "the newer complete survey replaces the earlier", page)
    page.shot("site-survey-again")
    check_export(page, folder, "riverside.csv")


def sibling_registration_is_the_siblings(page):
    page.click("#tab-site")
    page.click("#site-import")
    page.wait_for(lambda: page.all("#messages [data-test=notice]"), 10, "the notice of the loaded file")
    check(page.attr("#site-tree", "data-source") == "unit", "the unit's registration is not replaced", page)
    check(len(page.all("#site-tree [data-test=group]")) == 3, "the unit's three groups still shown", page)
    page.js("const s = document.getElementById('site-routes-from'); s.value = 'sibling';"
            "s.dispatchEvent(new Event('change'))")
    page.wait_for(lambda: page.attr("#site-tree", "data-source") == "sibling", 10, "the sibling's routes")
    check(len(page.all("#site-tree [data-test=group]")) == 1, "the sibling's one group", page)
    check(page.attr("#site-prov [data-test=provenance]", "data-current") == "true", "in use for this unit", page)
    check("sibling" in page.text("#site-prov"), "said to be the sibling's: " + page.text("#site-prov"), page)
    check(page.attr("#sitesurvey-results", "data-current") == "false", "the survey of the unit's routes is earlier now", page)
    page.shot("sibling-routes")
    page.js("const s = document.getElementById('site-routes-from'); s.value = 'unit';"
            "s.dispatchEvent(new Event('change'))")
    page.wait_for(lambda: page.attr("#site-tree", "data-source") == "unit", 10, "the unit's routes again")


def nothing_earlier_looks_current(page, folder):
    connect(page, USB_UNIT)
    # The unit's registration is forgotten on a switch (the tree is empty, not
    # current); the results stay, marked as RIVERSIDE's and not current.
    page.wait_for(lambda: page.attr("#site-tree", "data-current") == "false", 10, "the tree not current")
    check(page.attr("#site-tree", "data-base") in (LAN_UNIT, ""), "the tree is RIVERSIDE's or cleared", page)
    for css in RESULTS[1:]:
        page.wait_for(lambda: marks(page, css) == (LAN_UNIT, "false"), 10, css + " marked as RIVERSIDE's, not current")
    page.click("#tab-site")
    check(page.find("#site-refused").is_displayed(), "the USB unit's registration cannot be read: said so", page)
    check(page.find("#site-refused-manual").is_displayed(), "and routes by hand offered", page)
    check(not page.find("#site-survey-all").is_enabled(), "no survey of RIVERSIDE's routes through GREENHOUSE", page)
    page.shot("greenhouse-connected")
    # Its model cannot give a registration: the read is not offered, and the
    # tree on show stays RIVERSIDE's and earlier.
    check(not page.find("#site-read").is_enabled(), "no registration read offered for GREENHOUSE", page)
    for css in RESULTS:
        check(page.attr(css, "data-current") == "false", css + " not current on GREENHOUSE", page)
    page.shot("no-read")
    page.click("#tab-sitesurvey")
    check_export(page, folder, "earlier.csv")  # RIVERSIDE's survey still names RIVERSIDE
    connect(page, LAN_UNIT)
    page.click("#tab-site")
    page.click("#site-read")
    page.wait_for(lambda: marks(page, "#site-tree") == (LAN_UNIT, "true"), 30, "RIVERSIDE's tree current again")
    page.wait_for(lambda: marks(page, "#sitesurvey-results") == (LAN_UNIT, "true"), 10, "and its survey")
    page.shot("riverside-again")


def in_japanese(page):
    page.js("const s = document.getElementById('language'); s.value = 'ja'; s.dispatchEvent(new Event('change'))")
    page.wait_for(lambda: page.js("return document.documentElement.lang") == "ja", 10, "the Japanese page")
    page.click("#tab-sitesurvey")
    page.wait_for(lambda: "完了" in page.text("#sitesurvey-state"), 10, "the survey state in Japanese")
    page.click("#tab-report")
    check("台中" in page.text("#report-answered"), "the counts in Japanese: " + page.text("#report-answered"), page)
    check(page.attr("#report-technician", "value") == "Sato", "the technician's name survives the language switch", page)
    page.shot("report-ja")


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "840")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        sibling_document(pagedriver.shelltest.private_env(root)["HOME"])
        page = pagedriver.Page(binary, root, artefacts)
        try:
            for step in (results_of_riverside, full_site_survey):
                print("step:", step.__name__, flush=True)
                step(page)
            print("step: cancelled_survey_keeps_its_work", flush=True)
            cancelled_survey_keeps_its_work(page, root)
            print("step: sibling_registration_is_the_siblings", flush=True)
            sibling_registration_is_the_siblings(page)
            print("step: nothing_earlier_looks_current", flush=True)
            nothing_earlier_looks_current(page, root)
            in_japanese(page)
        finally:
            page.quit()
    print("page provenance: ok; screenshots in " + artefacts)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

"""Link quality measured over several probes, in the real program on the demo
site, driven through WebDriver with real clicks: a 5-probe site survey
where the weak hop and the unit that never answers show their success rates
and verdicts, the silent units above the table, a filter and a sort; a
repeat route survey's figures per hop; class boundaries changed in the page
change the classes, the chart bands and the report, and are still in force
after the program restarts. A screenshot of each step is kept.

usage: link_quality_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import faulthandler
import os
import sys

from selenium.webdriver.support.ui import Select

import pagedriver
from pagesupport import check, run_page
from page_provenance_test import connect, LAN_UNIT

APPLE_2 = "00BC0502"  # ORCHARD, behind repeater 2 and its 3.3 km hop
PEAR_3 = "00B80505"  # ORCHARD, never answers
ROW = "#sitesurvey-results tr[data-test=result-row][data-serial='%s']"
WEAK_HOP = " [data-test=hop][data-kind=repeater][data-num='2']"


def read_site(page):
    connect(page, LAN_UNIT)
    page.click("#tab-site")
    page.click("#site-read")
    page.wait_for(lambda: len(page.all("#site-tree [data-test=group]")) == 3, 30, "three groups")


def figures(page, css):
    return {k: page.attr(css, "data-" + k) for k in ("asked", "answered", "min", "median", "max", "verdict", "quality")}


def five_probe_site_survey(page):
    page.click("#tab-sitesurvey")
    check(page.attr("#sitesurvey-probes", "value") == "5", "standard is five probes", page)
    Select(page.find("#sitesurvey-probe-preset")).select_by_value("quick")
    check(page.attr("#sitesurvey-probes", "value") == "1", "quick is one probe", page)
    Select(page.find("#sitesurvey-probe-preset")).select_by_value("standard")
    page.click("#sitesurvey-start")
    page.wait_attr("#sitesurvey-state", "data-state", ("running",), 10)
    page.wait_for(lambda: page.all(ROW % PEAR_3), 240, "PEAR-3's row")
    page.shot("sitesurvey-running")
    page.wait_attr("#sitesurvey-state", "data-state", ("complete",), 400)
    rows = page.all("#sitesurvey-results tr[data-test=result-row]")
    check(len(rows) == 20, "twenty rows, got %d" % len(rows), page)
    asked = {r.get_attribute("data-asked") for r in rows}
    check(asked == {"5"}, "every unit probed five times: %s" % asked, page)

    silent = (page.attr(ROW % PEAR_3, "data-answered"), page.attr(ROW % PEAR_3, "data-verdict"))
    check(silent == ("0", "silent"), "PEAR-3 answered 0 of 5: %s" % (silent,), page)
    check("0/5" in page.find(ROW % PEAR_3 + " [data-test=probes]").text, "its success rate is shown", page)
    apple = (page.attr(ROW % APPLE_2, "data-answered"), page.attr(ROW % APPLE_2, "data-verdict"))
    check(apple[0] == "5" and apple[1] in ("weak", "bad"), "APPLE-2 answered 5 of 5 over a weak hop: %s" % (apple,), page)
    hop = figures(page, ROW % APPLE_2 + WEAK_HOP)
    check(hop["asked"] == "5" and hop["answered"] == "5", "the weak hop's probes: %s" % hop, page)
    lo, mid, hi = float(hop["min"]), float(hop["median"]), float(hop["max"])
    check(lo <= mid <= hi and mid < 100, "min <= median <= max, median in the weak range: %s" % hop, page)
    check(hop["verdict"] in ("weak", "bad"), "the hop's verdict: %s" % hop, page)

    # The silent units come before the table, each with its probes.
    listed = [li.text for li in page.all("#sitesurvey-silent li[data-test=silent-unit]")]
    check(any("PEAR-3" in s and "0/5" in s for s in listed), "PEAR-3 listed with 0/5: %s" % listed, page)
    above = page.js("return document.getElementById('sitesurvey-silent').getBoundingClientRect().top"
                    " < document.getElementById('sitesurvey-results').getBoundingClientRect().top")
    check(above, "the silent units are listed above the results", page)
    page.shot("sitesurvey-5-probes")

    Select(page.find("#sitesurvey-filter")).select_by_value("silent")
    shown = [r.get_attribute("data-serial") for r in rows if r.is_displayed()]
    check(PEAR_3 in shown and APPLE_2 not in shown and len(shown) < 20, "the filter keeps the silent units: %s" % shown, page)
    Select(page.find("#sitesurvey-filter")).select_by_value("all")
    Select(page.find("#sitesurvey-sort")).select_by_value("worst")
    first = page.find("#sitesurvey-results tbody[data-group='2'] tr[data-test=result-row]").get_attribute("data-verdict")
    check(first == "silent", "worst first puts the silent unit on top of its group: %s" % first, page)
    page.shot("sitesurvey-worst-first")
    Select(page.find("#sitesurvey-sort")).select_by_value("route")


def repeat_route_survey(page, rounds=3):
    page.click("#tab-site")
    page.click("#site-tree [data-test=site-unit][data-group='2'][data-num='2'] [data-test=survey-unit]")
    page.wait_for(lambda: page.find("#view-survey").is_displayed(), 10, "the route survey view")
    if not page.find("#survey-repeat").is_selected():
        page.click("#survey-repeat")
    page.type_into("#survey-interval", "2")
    page.click("#survey-start")
    page.wait_for(lambda: int(page.attr("#survey-history", "data-points") or 0) >= rounds, 60, "%d rounds" % rounds)
    page.click("#survey-cancel")
    page.wait_attr("#survey-status", "data-state", ("cancelled",), 20)
    page.click("#survey-repeat")  # off again
    hop = figures(page, "#survey-route" + WEAK_HOP)
    check(int(hop["asked"]) >= rounds and hop["answered"] == hop["asked"], "the hop counts every round: %s" % hop, page)
    return hop


def bands(page):
    return [e.get_attribute("data-bands") for e in page.all("#survey-history [data-test=history]")]


def set_thresholds(page, weak, fair, good):
    page.click("#tab-report")
    if page.find("#thresholds-editor").get_attribute("open") is None:
        page.click("#thresholds-editor summary")
    for key, value in (("weak", weak), ("fair", fair), ("good", good)):
        page.type_into("#threshold-level-" + key, str(value))
    page.click("#thresholds-apply")


def thresholds_change_everything(page):
    hop = repeat_route_survey(page)
    check(bands(page) == ["80,100,130"] * 3, "default bands on every history: %s" % bands(page), page)
    before = hop["quality"]
    check(before in ("weak", "bad"), "the long hop is weak under the defaults: %s" % hop, page)
    page.shot("route-default-bands")

    # A boundary that makes no sense is refused and changes nothing.
    set_thresholds(page, 150, 120, 200)
    page.wait_for(lambda: page.find("#thresholds-problem").is_displayed(), 10, "the refusal")
    check(page.attr("#report-thresholds", "data-level") == "80,100,130", "nothing applied", page)

    # Weak from 120: every hop under 120 becomes bad.
    set_thresholds(page, 120, 160, 200)
    page.wait_attr("#report-thresholds", "data-level", ("120,160,200",), 10)
    check(not page.find("#thresholds-problem").is_displayed(), "accepted", page)
    check(page.attr("#report-thresholds", "data-default") == "false", "the report says the boundaries were set", page)
    check("weak from 120" in page.text("#report-thresholds"), "the report states them", page)
    apple = page.find("#report-routes tr[data-test=report-unit][data-serial='%s']" % APPLE_2).get_attribute("data-class")
    check(apple == "bad", "the report reclasses APPLE-2: %s" % apple, page)
    page.shot("report-thresholds")

    page.click("#tab-sitesurvey")
    check(page.attr(ROW % APPLE_2, "data-verdict") == "bad", "the survey table rejudges the row", page)
    check(page.attr(ROW % APPLE_2 + WEAK_HOP, "data-quality") == "bad", "and the hop", page)
    page.shot("sitesurvey-thresholds")

    page.click("#tab-survey")
    page.wait_for(lambda: bands(page) == ["120,160,200"] * 3, 10, "the bands at the new boundaries")
    check(page.attr("#survey-route" + WEAK_HOP, "data-quality") == "bad", "the route's hop is bad now", page)
    page.shot("route-new-bands")


def kept_after_restart(binary, root, artefacts):
    page = pagedriver.Page(binary, root, artefacts)
    try:
        page.click("#tab-report")
        page.click("#thresholds-editor summary")
        kept = [page.attr("#threshold-level-" + k, "value") for k in ("weak", "fair", "good")]
        check(kept == ["120", "160", "200"], "the boundaries are kept: %s" % kept, page)
        read_site(page)
        page.click("#tab-site")
        page.click("#site-tree [data-test=site-unit][data-group='2'][data-num='2'] [data-test=survey-unit]")
        page.click("#survey-start")
        page.wait_attr("#survey-status", "data-state", ("done",), 30)
        check(bands(page) == ["120,160,200"] * 3, "the chart bands after the restart: %s" % bands(page), page)
        check(page.attr("#survey-route" + WEAK_HOP, "data-quality") == "bad", "the classes after the restart", page)
        page.shot("after-restart")

        page.click("#tab-report")
        page.click("#thresholds-reset")
        page.wait_attr("#thresholds-state", "data-default", ("true",), 10)
        check(page.attr("#threshold-level-weak", "value") == "80", "reset to the defaults", page)
        page.click("#tab-survey")
        page.wait_for(lambda: bands(page) == ["80,100,130"] * 3, 10, "the default bands again")
        check(page.attr("#survey-route" + WEAK_HOP, "data-quality") in ("weak", "bad"), "default classes again", page)
        page.shot("reset")
    finally:
        page.quit()


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "840")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        run_page(binary, root, artefacts, (read_site, five_probe_site_survey, thresholds_change_everything))
        print("step: kept_after_restart", flush=True)
        kept_after_restart(binary, root, artefacts)
    print("link quality: ok; screenshots in " + artefacts)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

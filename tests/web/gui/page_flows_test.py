"""The technician's page in the real program on the demo site, driven as a
person would through WebDriver (real clicks and key presses): search,
connect a LAN unit with its password, read the site, scan channels, survey a
route through two repeaters, repeat and cancel, survey the whole site,
export CSV through the save dialog, and the report. A screenshot of each
step is kept in the artefact folder.

usage: page_flows_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import faulthandler
import os
import sys

from selenium.webdriver.support.ui import Select

import pagedriver
from pagesupport import check, saved

LAN_UNIT = "009C0021"  # RIVERSIDE, the demo unit whose registration RSETF reads
PASSWORD = "vela1234"


def _hex(text):
    try:
        return int(text.strip(), 16)
    except ValueError:
        return None


def start_page(page):
    check(page.find("#demo-mark").is_displayed(), "the DEMO mark is shown", page)
    # The page functions of the linkmeter namespace, in the page process.
    check(page.js("return linkmeter.isDemo()") is True, "linkmeter.isDemo() on the demo site")
    check(page.js("return linkmeter.chtype.format(13, 1250)") == "25.0 °C", "channel type 13 formats in °C")
    thrown = page.js("try { linkmeter.chtype.format(13); return ''; } catch (e) { return e.message; }")
    check('"code1":-3' in thrown and '"api":"linkmeter.chtype.format"' in thrown, "a missing raw value throws: " + thrown)
    page.shot("start")


def search_and_connect(page):
    page.click("#search-button")
    page.wait_for(lambda: len(page.all("#unit-list tr[data-test=unit-row]")) >= 2, 30, "two base units")
    serials = [r.get_attribute("data-serial") for r in page.all("#unit-list tr[data-test=unit-row]")]
    check(sorted(serials) == ["009A0011", LAN_UNIT], "the demo's base units are listed: %s" % serials, page)
    page.shot("search")

    row = "#unit-list tr[data-serial='%s'] [data-test=connect]" % LAN_UNIT
    # A wrong password: a clear message, and the page asks again next time.
    page.click(row)
    page.wait_for(lambda: page.find("#password-dialog").is_displayed(), 10, "the password dialog")
    page.type_into("#password-input", "not-the-password")
    page.click("#password-ok")
    page.wait_for(lambda: page.errors(), 20, "the refused login to be reported")
    check(page.all("#messages [data-test=error-advice]"), "the failure says what to do", page)
    page.shot("wrong-password")

    page.click(row)
    page.wait_for(lambda: page.find("#password-dialog").is_displayed(), 10, "the password dialog again")
    page.type_into("#password-input", PASSWORD)
    page.click("#password-ok")
    page.wait_for(lambda: "RIVERSIDE" in page.text("#connected-unit"), 20, "RIVERSIDE to be connected")
    # RUINF's SER is hexadecimal text, not always eight digits.
    page.wait_for(lambda: _hex(page.text("#info-serial")) == int(LAN_UNIT, 16), 20, "the unit information")
    check("VL-B7" in page.text("#info-model"), "the model is shown", page)
    page.shot("connected")


def read_site(page):
    page.click("#tab-site")
    page.click("#site-read")
    page.wait_for(lambda: len(page.all("#site-tree [data-test=group]")) == 3, 30, "three groups")
    units = page.all("#site-tree [data-test=site-unit]")
    check(len(units) == 20, "twenty remote units, found %d" % len(units), page)
    check(len(page.all("#site-tree [data-test=site-repeater]")) == 6, "six repeaters", page)
    check("PEAR-3" in page.text("#site-tree"), "remote units are named", page)
    page.shot("site")


def scan_channels(page):
    page.click("#tab-channels")
    page.type_into("#scan-rounds", "1")  # one round: the advice over rounds is channel_advice_test's
    page.type_into("#channels-input", "20-31")
    page.click("#scan-button")
    page.wait_for(lambda: len(page.all("#channel-levels tr[data-test=channel-row]")) == 12, 60, "twelve channels")
    levels = {int(r.get_attribute("data-freq")): r for r in page.all("#channel-levels tr[data-test=channel-row]")}
    quiet = page.attr("#quiet-list", "data-channels").split(",")
    check(len(quiet) == 3 and "28" not in quiet, "the interferer on 28 is not among the quiet %s" % quiet, page)
    check("quiet" not in (levels[28].get_attribute("class") or ""), "28 is not marked quiet", page)
    page.shot("channels")

    # A long scan cancelled halfway leaves the page usable.
    page.type_into("#channels-input", "0-255")
    page.click("#scan-button")
    page.click("#scan-cancel")
    page.wait_for(lambda: page.find("#scan-button").is_enabled(), 20, "the scan to stop")
    check(not page.find("#busy-mark").is_displayed(), "nothing runs after the cancel", page)


def hop_list(page):
    return [(h.get_attribute("data-kind"), h.get_attribute("data-num"), h.get_attribute("data-quality"))
            for h in page.all("#survey-route [data-test=hop]")]


def survey_route(page):
    # From the site view: APPLE-2, behind ORCHARD's repeaters 1 and 2 (group 3).
    page.click("#tab-site")
    page.click("#site-tree [data-test=site-unit][data-group='2'][data-num='2'] [data-test=survey-unit]")
    page.wait_for(lambda: page.find("#view-survey").is_displayed(), 10, "the route survey view")
    check(page.attr("#survey-target", "value") == "2:remote:2", "the unit is picked", page)
    page.click("#survey-start")
    state = page.wait_attr("#survey-status", "data-state", ("done", "noAnswer", "failed"), 30)
    check(state == "done", "the survey answered: " + state, page)
    hops = hop_list(page)
    check([h[:2] for h in hops] == [("repeater", "1"), ("repeater", "2"), ("remote", "2")],
          "the route runs through two repeaters: %s" % hops, page)
    links = [int(l.get_attribute("data-level")) for l in page.all("#survey-route [data-test=hop-link]")]
    check(len(links) == 3 and min(links) == links[1], "the second hop is the weakest: %s" % links, page)
    check(hops[1][2] in ("weak", "bad"), "the long hop is marked weak: %s" % hops, page)
    page.shot("survey")


def repeat_and_cancel(page):
    page.click("#survey-repeat")
    page.type_into("#survey-interval", "2")
    page.click("#survey-start")
    page.wait_for(lambda: int(page.attr("#survey-history", "data-points") or 0) >= 2, 40, "two rounds plotted")
    check(len(page.all("#survey-history [data-test=history]")) == 3, "one history per hop", page)
    page.shot("repeat")
    page.click("#survey-cancel")
    page.wait_attr("#survey-status", "data-state", ("cancelled",), 20)
    check(page.find("#survey-start").is_enabled(), "a cancelled survey leaves the page usable", page)
    page.click("#survey-repeat")  # off again
    page.shot("cancelled")


def quick_probes(page):
    """One probe per unit (the default is five): these flows are not about
    the figures over many probes (link_quality_test is)."""
    page.click("#tab-sitesurvey")
    Select(page.find("#sitesurvey-probe-preset")).select_by_value("quick")
    check(page.attr("#sitesurvey-probes", "value") == "1", "one probe per unit", page)


def survey_site(page):
    quick_probes(page)
    page.click("#sitesurvey-start")
    page.wait_for(lambda: len(page.all("#sitesurvey-results tr[data-test=result-row]")) == 20
                  and not page.find("#sitesurvey-cancel").is_enabled(), 180, "every remote unit surveyed")
    silent = [li.text for li in page.all("#sitesurvey-silent li[data-test=silent-unit]")]
    check(any("PEAR-3" in s for s in silent) and any("FAR-WELL" in s for s in silent),
          "units that do not answer are listed: %s" % silent, page)
    page.shot("sitesurvey")


def export_csv(page, folder):
    target = os.path.join(folder, "site-survey.csv")
    page.click("#export-csv")
    pagedriver.save_dialog_answer(target)
    page.wait_for(lambda: os.path.exists(target) and os.path.getsize(target) > 0, 20, "the CSV file")
    page.wait_for(lambda: saved(page, target), 30, "the CSV file to be complete")
    with open(target, "rb") as f:
        data = f.read()
    check(data.startswith(b"\xef\xbb\xbf"), "UTF-8 with a byte-order mark")
    text = data[3:].decode("utf-8")
    lines = [l for l in text.splitlines() if l]
    check(len(lines) >= 21, "a header and a line per unit, got %d" % len(lines))
    check("PEAR-3" in text and "APPLE-2" in text, "the rows name the units")
    page.shot("exported")


def report(page):
    page.click("#show-report")
    page.wait_for(lambda: page.find("#report").is_displayed(), 10, "the report")
    check("RIVERSIDE" in page.text("#report-site"), "the report names the site", page)
    check(page.text("#report-weakest").strip(), "the report lists the weakest hops", page)
    check("COLD-RM" in page.text("#report-batteries"), "the report warns of the empty battery", page)
    page.shot("report")


def views_off_tab(page):
    # Views off their tab keep what they hold but are neither seen, reached
    # by the keyboard, nor in the way of the one on show.
    hidden = page.js("return [...document.querySelectorAll('#views > section')].filter((s) => s.hidden).map((s) => s.id)")
    check(len(hidden) >= 4 and "view-report" not in hidden, "the views off their tab: %s" % hidden, page)
    for css in ("#view-sitesurvey", "#sitesurvey-results tr[data-test=result-row]", "#sitesurvey-start", "#site-tree"):
        check(not page.find(css).is_displayed(), css + " is not seen from the report tab", page)
    check(len(page.all("#sitesurvey-results tr[data-test=result-row]")) > 0, "the site survey keeps its rows", page)
    room = page.js("const r = (s) => s.getBoundingClientRect();"
                   "return [[...document.querySelectorAll('#views > section[hidden]')].reduce((n, s) => n + r(s).height, 0),"
                   " r(document.getElementById('view-report')).top - r(document.getElementById('views')).top]")
    check(room[0] == 0 and room[1] < 40, "views off their tab take no room: %s" % room, page)
    focused = page.js("const b = document.getElementById('sitesurvey-start'); b.focus(); return document.activeElement === b")
    check(not focused, "a control of a view off its tab takes no focus", page)


def without_demo(binary, root, artefacts):
    page = pagedriver.Page(binary, root, artefacts, args=())
    try:
        check(page.js("return linkmeter.isDemo()") is False, "no demo flag without --demo")
        check(not page.all("#demo-mark"), "no DEMO mark without --demo")
    finally:
        page.quit()


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "540")), exit=True)  # where it hangs, before ctest's limit
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        page = pagedriver.Page(binary, root, artefacts)
        try:
            for step in (start_page, search_and_connect, read_site, scan_channels, survey_route, repeat_and_cancel,
                         survey_site):
                print("step:", step.__name__, flush=True)
                step(page)
            export_csv(page, root)
            report(page)
            views_off_tab(page)
        finally:
            page.quit()
        without_demo(binary, os.path.join(root, "plain"), artefacts)
    print("page flows: ok; screenshots in " + artefacts)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

"""What a technician reads on the demo site, in the real program through
WebDriver: the page drawn in the font the package depends on; on a base unit
that cannot give its registration, the read not offered and the channel
advice saying the site's channels are unknown; the event log in this
computer's time with the unit's own clock labelled beside it; a character
the unit cannot store named at its field before anything is sent; a wrong
password for another unit leaving the current one connected; after a quick
site survey the units that did not answer marked in the tree, the table and
the list "survey again" counts; hop chips with labelled figures, verdicts in
words and legends. Screenshots in both languages go to the artefact folder.

usage: page_reading_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import datetime
import faulthandler
import os
import re
import subprocess
import sys

from selenium.webdriver.support.ui import Select

import pagedriver
from pagesupport import both_languages, check, english, run_page
from page_provenance_test import connect, LAN_UNIT

USB_UNIT = "009A0011"  # GREENHOUSE, a VL-B1: no registration to read; its clock at UTC+09:00
PEAR_3 = "00B80505"  # RIVERSIDE's unit that never answers


def font(page):
    family = page.js("return getComputedStyle(document.body).fontFamily")
    check(family.startswith('"Noto Sans CJK JP"'), "the page names Noto Sans CJK JP first: %s" % family, page)
    # Text in the body's font measures as Noto Sans CJK JP whatever the
    # fallback, and unlike the generic faces: the face is really there.
    widths = page.js("""
        const sample = 'Wij 0123 設定の読み込み ｱｲ';
        const width = (family) => {
          const s = document.createElement('span');
          s.style.cssText = 'position:absolute;white-space:nowrap;font-size:20px;font-family:' + family;
          s.textContent = sample;
          document.body.append(s);
          const w = s.getBoundingClientRect().width;
          s.remove();
          return w;
        };
        return {body: width(getComputedStyle(document.body).fontFamily), notoSerif: width('"Noto Sans CJK JP", serif'),
                notoMono: width('"Noto Sans CJK JP", monospace'), mono: width('monospace'), serif: width('serif')};""")
    check(abs(widths["body"] - widths["notoSerif"]) < 0.5 and abs(widths["notoSerif"] - widths["notoMono"]) < 0.5,
          "the body is drawn in Noto Sans CJK JP: %s" % widths, page)
    check(abs(widths["notoMono"] - widths["mono"]) > 1 or abs(widths["notoSerif"] - widths["serif"]) > 1,
          "Noto Sans CJK JP is not a fallback face: %s" % widths, page)
    match = subprocess.run(["fc-match", "Noto Sans CJK JP"], capture_output=True, text=True, timeout=10).stdout
    check("NotoSansCJK" in match, "fontconfig has the face: %s" % match)


def scan(page):
    page.click("#tab-channels")
    page.type_into("#scan-rounds", "1")
    page.type_into("#channels-input", "10-21")
    page.click("#scan-button")
    page.wait_for(lambda: page.attr("#channel-chart", "data-complete") == "true", 120, "one round of twelve channels")


def read_log(page):
    page.click("#tab-eventlog")
    page.click("#log-read")
    page.wait_for(lambda: len(page.all("#log-rows tr[data-test=log-row]")) >= 3, 30, "the event log")


def unit_without_registration(page):
    connect(page, USB_UNIT)
    page.click("#tab-site")
    check(not page.find("#site-read").is_enabled(), "no registration read offered for a VL-B1", page)
    check("VL-B1" in page.attr("#site-read", "title"), "the read says why it is off", page)
    check(page.find("#site-refused").is_displayed(), "the site view points at routes by hand", page)
    check("primary" in page.attr("#site-refused-manual", "class"), "routes by hand is the primary button", page)
    both_languages(page, "site-no-registration")
    page.click("#tab-registration")
    check(not page.find("#reg-read").is_enabled() and page.find("#reg-cannot").is_displayed(), "nor in the editor", page)

    scan(page)
    check(page.find("#channels-site-unknown").is_displayed(), "the advice says the site's channels are unknown", page)
    check(page.attr("#quiet-list", "data-site-channels") == "unknown", "no channels taken as the site's", page)
    check("left out" not in page.text("#quiet-list"), "nothing claimed left out: %s" % page.text("#quiet-list"), page)
    keys = [li.get_attribute("data-key") for li in page.all("#channel-legend li")]
    check({"level", "quiet", "inUse", "mean", "band-quiet", "band-noisy", "band-busy"} <= set(keys), "the chart's legend: %s" % keys, page)
    suit = {r.get_attribute("data-freq"): r.get_attribute("data-suitability") for r in page.all("#channel-levels tr[data-test=channel-row]")}
    check(suit["20"] in ("noisy", "busy") and suit["10"] == "quiet", "the interferer on 20 is not quiet: %s" % suit, page)
    both_languages(page, "channels-unknown-site", scan)


def event_log(page):
    read_log(page)
    row = "#log-rows tr[data-test=log-row]"
    computer = page.text(row + " [data-test=log-time]")
    unit = page.text(row + " [data-test=log-unit-time]")
    m = re.fullmatch(r"(\S+ \S+) \(UTC\+09:00\)", unit)
    check(m, "the unit's clock labelled with its offset: %r" % unit, page)
    parse = lambda s: datetime.datetime.strptime(s, "%Y-%m-%d %H:%M:%S")
    check(parse(m.group(1)) - parse(computer) == datetime.timedelta(hours=9),
          "this computer (UTC) reads nine hours behind the unit: %s / %s" % (computer, unit), page)
    categories = [td.text for td in page.all(row + " td:nth-child(3)")]
    check(all(re.search(r"[A-Za-z]+.*\(\d\)", c) for c in categories), "categories in words: %s" % categories, page)
    headings = [th.text for th in page.all("#log-table th")]
    check("this computer" in headings[0] and "local time" in headings[1], "the columns say which time is which: %s" % headings, page)
    both_languages(page, "event-log", read_log)


def write_en_dash(page):
    page.click("#tab-settings")
    page.click("#set-unit-read")
    page.wait_for(lambda: page.find("#set-unit-DESC").get_attribute("value") != "", 20, "the unit block read")
    page.type_into("#set-unit-DESC", "Tank 3–4")
    page.click("#set-unit-write")


def refused_character(page):
    write_en_dash(page)
    msg = page.find("#set-unit-DESC").find_element("xpath", "ancestor::*[contains(@class,'field')][1]//*[@data-test='field-msg']").text
    check("U+2013" in msg and "–" in msg, "the field names the character: %r" % msg, page)
    check("invalid" in page.attr("#set-unit-DESC", "class"), "the field is marked", page)
    check(page.errors() == [], "nothing was sent: %s" % page.errors(), page)
    both_languages(page, "refused-character", write_en_dash)


def wrong_password_keeps_connection(page):
    row = "#unit-list tr[data-serial='%s'] [data-test=connect]" % LAN_UNIT
    page.click("#tab-units")
    page.click(row)
    page.wait_for(lambda: page.find("#password-dialog").is_displayed(), 10, "the password dialog")
    page.type_into("#password-input", "typo")
    page.click("#password-ok")
    page.wait_for(lambda: page.all("#messages [data-test=error][data-cause=password]"), 30, "the refused password")
    check(USB_UNIT in page.text("#connected-unit") and page.attr("#connected-unit", "data-state") == "connected",
          "GREENHOUSE stays connected: %s" % page.text("#connected-unit"), page)
    page.shot("wrong-password-kept")
    connect(page, LAN_UNIT)


def site_survey_marks(page):
    page.click("#tab-site")
    page.click("#site-read")
    page.wait_for(lambda: len(page.all("#site-tree [data-test=group]")) == 3, 30, "three groups")
    page.click("#tab-sitesurvey")
    check(not page.find("#sitesurvey-silent-head").is_displayed(), "no empty heading before any survey", page)
    Select(page.find("#sitesurvey-probe-preset")).select_by_value("quick")
    page.click("#sitesurvey-start")
    page.wait_attr("#sitesurvey-state", "data-state", ("complete",), 300)
    listed = [li.get_attribute("data-serial") for li in page.all("#sitesurvey-silent li[data-test=silent-unit]")]
    again = re.search(r"\((\d+)\)", page.text("#sitesurvey-retry"))
    check(PEAR_3 in listed and again and int(again.group(1)) == len(listed),
          "the list is what 'survey again' counts: %s, %s" % (listed, page.text("#sitesurvey-retry")), page)
    for serial in listed:
        check(page.all("#sitesurvey-results tr[data-serial='%s'] [data-test=silent-mark]" % serial), serial + " marked in the table", page)
    wrapping = page.js("""return [...document.querySelectorAll('#sitesurvey-results td.name, #sitesurvey-results th, #view-sitesurvey button')]
        .filter((el) => getComputedStyle(el).whiteSpace !== 'nowrap').map((el) => el.textContent)""")
    check(not wrapping, "names, models, headings and buttons never wrap: %s" % wrapping, page)
    check(page.all("#sitesurvey-results [data-test=hop-verdict]"), "verdicts in words on the chips", page)
    both_languages(page, "sitesurvey-silent")

    page.click("#tab-site")
    page.click("#site-problems")
    silent = page.all("#site-tree [data-silent=true]")
    check(silent and any(PEAR_3 in n.text for n in silent), "the problems filter keeps the silent units, marked", page)
    check(all(n.find_elements("css selector", "[data-test=site-silent]") for n in silent), "each with its mark", page)
    page.click("#site-problems")
    label = "#site-tree [data-test=site-unit][data-silent=true] > [data-test=unit-label]"
    page.click(label)
    route = page.all("#site-tree .on-route")
    check(route, "the chosen unit's route is marked", page)
    outline = page.js("return getComputedStyle(arguments[0], '::before').content", route[0])
    check("▶" in outline, "the route stands out with a marker: %s" % outline, page)
    both_languages(page, "site-tree-silent-route")


def route_chips(page):
    page.click("#tab-survey")
    Select(page.find("#survey-target")).select_by_index(1)
    page.click("#survey-start")
    page.wait_attr("#survey-status", "data-state", ("done", "noAnswer", "failed"), 60)
    hops = page.all("#survey-route [data-test=hop]")
    check(hops, "the route's hops", page)
    answered = [h for h in hops if h.get_attribute("data-quality") != "none"]
    check(all(h.find_elements("css selector", "[data-test=hop-verdict]") for h in hops), "every probed hop says its verdict", page)
    check(all(h.find_element("css selector", "[data-test=hop-battery]").text.strip().startswith("battery") for h in answered),
          "batteries labelled", page)
    links = [l.text for l in page.all("#survey-route [data-test=hop-link]") if l.get_attribute("data-level")]
    check(links and all(l.startswith("level") for l in links), "levels labelled: %s" % links, page)
    check(page.find("#survey-history-legend").is_displayed() and page.all("#view-survey [data-test=route-legend]"), "legends", page)
    both_languages(page, "route-chips")


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "840")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    os.environ["TZ"] = "UTC"  # this computer's zone; the demo units' clocks are at UTC+09:00
    with pagedriver.shelltest.temp_root() as root:
        run_page(binary, root, artefacts, (english, font, unit_without_registration, event_log, refused_character,
                                           wrong_password_keeps_connection, site_survey_marks, route_chips))
    print("page reading: ok; screenshots in " + artefacts)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

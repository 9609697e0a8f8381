"""Acceptance on the demo site, in the real program through WebDriver: a
profile edited down to a quick acceptance survey of the RIVERSIDE site; the
site FAIL with the unit that never answers, the far weak unit and the empty
battery each failing with its remedy in words; waiving every failing unit
with a reason turns it into PASS WITH WAIVERS, and withdrawing one waiver
makes it FAIL again; History reads the acceptances and waivers back. Screenshots in both languages go to the artefact folder.

usage: acceptance_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import faulthandler
import os
import sys

import pagedriver
from page_provenance_test import connect, LAN_UNIT
from pagesupport import both_languages, check, english, language, run_page
from records_history_test import open_history_record

PEAR_3 = "00B80505"  # never answers
COLD_RM = "00C60507"  # battery 9 %
PROBES = "3"


def units(page):
    return {tr.get_attribute("data-serial"): tr for tr in page.all("#acceptance-units tr[data-test=acceptance-unit]")}


def quick_profile(page, probes=PROBES):
    page.click("#tab-acceptance")
    page.click("#acceptance-profile summary")
    check(page.text("#acceptance-profile-title") == "Standard v1", "the default profile", page)
    check(len(page.all("#acceptance-rules li")) >= 8, "every rule in words", page)
    page.type_into("#acceptance-profile-probes", probes)
    page.click("#acceptance-profile-apply")
    check(page.find("#acceptance-profile-problem").is_displayed(), "changed rules under Standard v1 are refused", page)
    page.type_into("#acceptance-profile-name", "Demo quick")
    page.click("#acceptance-profile-apply")
    page.wait_for(lambda: page.text("#acceptance-profile-title") == "Demo quick v1", 10, "the profile applied")
    check(probes in page.text("#acceptance-start"), "the survey takes the profile's probes", page)
    page.click("#acceptance-profile summary")  # closed again: the verdict in view


def acceptance_survey(page):
    connect(page, LAN_UNIT)
    page.click("#tab-site")
    page.click("#site-read")
    page.wait_for(lambda: len(page.all("#site-tree [data-test=group]")) == 3, 30, "three groups")
    page.click("#tab-acceptance")
    page.click("#acceptance-start")
    check(page.attr("#sitesurvey-probes", "value") == PROBES, "the site survey runs with the profile's probes", page)
    page.wait_attr("#sitesurvey-state", "data-state", ("complete",), 400)
    page.click("#tab-acceptance")
    page.wait_for(lambda: page.all("#acceptance-site"), 10, "the site verdict")
    # Judged again once the records' evidence is read: the rows are made anew.
    page.wait_attr("#acceptance-units", "data-evidence", ("gathered",), 30)
    check(page.attr("#acceptance-site", "data-verdict") == "fail", "the site fails", page)
    check(page.text("#acceptance-site-verdict") == "FAIL", "FAIL in words", page)
    rows = units(page)
    check(len(rows) == 20, "every remote unit judged: %d" % len(rows), page)
    silent = rows[PEAR_3]
    check(silent.get_attribute("data-verdict") == "fail" and silent.get_attribute("data-rule") == "median", "the silent unit fails", page)
    remedies = [li.get_attribute("data-kind") for li in silent.find_elements("css selector", "[data-test=acceptance-remedy]")]
    # No map: nothing tells a dead unit from one out of range, so it is checked first.
    check(remedies == ["checkUnit"], "the silent unit is checked, no repeater guessed: %s" % remedies, page)
    check("Check G3 PEAR-3 on site" in silent.text and silent.get_attribute("data-cause") == "unknown",
          "the remedy names the unit, the cause says what would tell: %s" % silent.text, page)
    battery = rows[COLD_RM]
    check(battery.get_attribute("data-rule") == "battery" and "Replace the battery of G3 COLD-RM" in battery.text,
          "the empty battery is replaced: %s" % battery.text, page)
    failing = [s for s, tr in rows.items() if tr.get_attribute("data-verdict") == "fail"]
    check(int(page.attr("#acceptance-site", "data-fail")) == len(failing), "the count of failing units", page)
    check(page.attr("#acceptance", "data-base") == LAN_UNIT and page.all("#acceptance [data-test=provenance]"), "whose result it is", page)
    both_languages(page, "acceptance-fail")


def waive(page, serial, reason):
    page.click("#acceptance-units tr[data-serial='%s'] [data-test=acceptance-waive]" % serial)
    page.type_into("#acceptance-waive-reason", reason)
    page.click("#acceptance-waive-ok")
    page.wait_for(lambda: units(page)[serial].get_attribute("data-waived") == "true", 10, serial + " waived")


def waivers(page):
    failing = [s for s, tr in units(page).items() if tr.get_attribute("data-verdict") == "fail"]
    page.click("#acceptance-units tr[data-serial='%s'] [data-test=acceptance-waive]" % failing[0])
    page.click("#acceptance-waive-ok")
    check(page.find("#acceptance-waive-problem").is_displayed(), "a waiver needs a reason", page)
    page.click("#acceptance-waive-cancel")
    for serial in failing:
        waive(page, serial, "customer accepts: unit %s is moved next week" % serial)
    check(page.attr("#acceptance-site", "data-verdict") == "passWithWaivers", "every failure waived", page)
    check(page.text("#acceptance-site-verdict") == "PASS WITH WAIVERS", "PASS WITH WAIVERS in words", page)
    check(int(page.attr("#acceptance-site", "data-waived")) == len(failing), "the waived count", page)
    check("customer accepts" in page.text("#acceptance-units tr[data-serial='%s'] [data-test=acceptance-waiver]" % PEAR_3),
          "the reason is shown", page)
    both_languages(page, "acceptance-waived")
    page.click("#acceptance-units tr[data-serial='%s'] [data-test=acceptance-withdraw]" % PEAR_3)
    page.wait_for(lambda: page.attr("#acceptance-site", "data-verdict") == "fail", 10, "FAIL once a waiver is withdrawn")
    page.shot("acceptance-withdrawn-en")


def kept_in_records(page):
    """Each acceptance and every waiver and withdrawal is a record of the
    visit; the newest acceptance reads back as it was judged."""
    open_history_record(page, "acceptance")
    kinds = [r.get_attribute("data-kind") for r in page.all("#history-records tr[data-test=history-record]")]
    failing = kinds.count("waiver") - 1  # every failing unit waived, one withdrawn
    check(failing >= 3 and kinds.count("acceptance") >= 3, "acceptances and waivers kept: %s" % kinds, page)
    shown = page.find("#history-viewer [data-test=history-acceptance]")
    check(shown.get_attribute("data-verdict") == "fail" and shown.get_attribute("data-profile") == "Demo quick v1",
          "the newest acceptance, with the profile it was judged by", page)
    check(len(page.all("#history-viewer tr[data-test=history-acceptance-unit]")) == 20, "every unit kept", page)
    page.shot("acceptance-history-en")


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "840")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        run_page(binary, root, artefacts, (english, quick_profile, acceptance_survey, waivers, kept_in_records))
    print("acceptance: ok; screenshots in " + artefacts)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

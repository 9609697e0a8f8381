"""Faults a technician met on the demo site, in the real program driven
through WebDriver: the USB unit pulled out under a channel scan is a lost
link with Reconnect on whatever tab is shown (never a measurement to restart
the base unit for), and a scan after Reconnect works; a corrupt PDF plan, an
empty PNG and a monitoring interval the model cannot store each say what
failed once, in words, on their own tab, in both languages; a site survey
stopped part-way lists the units it never asked apart as not surveyed; a
route survey sends the probes a verdict needs; History shows a visit's
records by kind and refuses "Sync now" in the demo. Screenshots go to the
artefact folder.

usage: page_review_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import faulthandler
import os
import sys

from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

import pagedriver
from pagesupport import check, language, both_languages
from page_shell_test import DemoControl, start, search, USB_UNIT, LAN_UNIT
from page_provenance_test import connect

PASSWORD = "vela1234"


def error_boxes(page):
    return [(e.get_attribute("data-cause"), e.find_element("css selector", "[data-test=error-main]").text)
            for e in page.all("#messages [data-test=error]") if e.is_displayed()]


def dismiss_errors(page):
    page.js("document.querySelectorAll('#messages .message').forEach((m) => m.remove())")


def usb_pulled_under_scan(page, control):
    search(page, [USB_UNIT, LAN_UNIT])
    connect(page, USB_UNIT)
    page.click("#tab-channels")
    page.type_into("#channels-input", "0-39")
    page.type_into("#scan-rounds", "20")
    page.click("#scan-button")
    page.wait_for(lambda: len(page.all("#channel-levels tr[data-test=channel-row]")) >= 8, 60, "the scan under way")
    check(control.send("detach " + USB_UNIT)[-1] == "ok", "the unit pulled out")
    page.wait_for(lambda: page.attr("#connected-unit", "data-state") == "lost", 60, "the header to show the lost link")
    page.wait_for(lambda: page.find("#scan-button").is_enabled() or not page.find("#busy-mark").is_displayed(), 30, "the scan to end")
    causes = [c for c, _ in error_boxes(page)]
    check(causes and set(causes) == {"linkLost"}, "told as a lost link, not a measurement: %s" % error_boxes(page), page)
    advice = page.text("#messages [data-test=error] [data-test=error-advice]")
    check("Reconnect" in advice and "restart" not in advice, "advice for a lost link: " + advice, page)
    page.shot("scan-unplugged")
    # On another tab too: the header's Reconnect and the lost link's message.
    page.click("#tab-map")
    check(page.find("#reconnect-button").is_displayed(), "Reconnect on the Map tab", page)
    check([c for c, _ in error_boxes(page)] == ["linkLost"], "the lost link told on every tab", page)
    page.shot("scan-unplugged-other-tab")
    # A scan now fails at once as a lost link; plugged back and reconnected, it works.
    page.click("#tab-channels")
    dismiss_errors(page)
    page.type_into("#channels-input", "0-7")
    page.type_into("#scan-rounds", "1")
    page.click("#scan-button")
    page.wait_for(lambda: error_boxes(page), 20, "the refused scan")
    check({c for c, _ in error_boxes(page)} == {"linkLost"}, "still a lost link: %s" % error_boxes(page), page)
    check(control.send("attach " + USB_UNIT)[-1] == "ok", "plugged back")
    page.click("#reconnect-button")
    page.wait_for(lambda: page.attr("#connected-unit", "data-state") == "connected", 30, "connected again")
    page.click("#scan-button")
    page.wait_attr("#channel-chart", "data-complete", ("true",), 60)
    check(not error_boxes(page), "the scan after Reconnect ran: %s" % error_boxes(page), page)
    page.shot("scan-after-reconnect")


def plan_failures(page, folder):
    connect(page, LAN_UNIT)
    page.click("#tab-map")
    corrupt = os.path.join(folder, "floors.pdf")
    with open(corrupt, "wb") as f:
        f.write(b"%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\ntrailer garbage\n")
    empty = os.path.join(folder, "yard.png")
    open(empty, "wb").close()
    for lang, pdf_words, image_words in (("en", "PDF plan floors.pdf", "yard.png could not be read as an image"),
                                         ("ja", "PDF の図面 floors.pdf", "図面 yard.png を画像として読めませんでした")):
        language(page, lang)
        page.click("#tab-map")
        dismiss_errors(page)
        page.find("#map-plan-file").send_keys(corrupt)
        page.wait_for(lambda: error_boxes(page), 30, "the corrupt PDF refused")
        cause, main = error_boxes(page)[0]
        check(pdf_words in main and "channel" not in main.lower() and "チャンネル" not in main, "the PDF's failure in words: " + main, page)
        advice = [e.text for e in page.all("#messages [data-test=error-advice]") if e.is_displayed()]
        check(not any("restart" in a or "再起動" in a for a in advice), "no restart advised: %s" % advice, page)
        page.find("#map-plan-file").send_keys(empty)
        page.wait_for(lambda: len(error_boxes(page)) == 2, 30, "the empty PNG refused")
        main = error_boxes(page)[0][1]
        check(image_words in main and main.count(image_words) == 1 and ": " + main.split(":")[0] not in main[1:],
              "the image's failure said once: " + main, page)
        page.shot("plan-failures-" + lang)
        # Kept to the Map tab: not on another, back on return.
        page.click("#tab-units")
        check(not error_boxes(page), "no Map failure on the Units tab: %s" % error_boxes(page), page)
        page.click("#tab-map")
        check(len(error_boxes(page)) == 2, "the Map's failures on the Map tab again", page)
    language(page, "en")


def interval_words(page):
    page.click("#tab-registration")
    page.click("#reg-read")
    page.wait_for(lambda: page.all("[data-test=reg-field][data-path$='monitorInterval']"), 30, "the registration")
    field = "[data-test=reg-field][data-path$='monitorInterval']"
    element = page.find(field)
    page.js("arguments[0].scrollIntoView({block: 'center'})", element)
    element.clear()
    element.send_keys("99999", Keys.TAB)
    msg = page.js("const f = document.querySelector(arguments[0]); const m = f.parentElement.querySelector('[data-test=field-msg]');"
                  "return [m.textContent, m.title]", field)
    check(msg[0] and "3070" not in msg[0] and "Refused" not in msg[0], "the interval refused in words: %s" % msg, page)
    check("3070" in msg[1], "its code in the tooltip: %s" % msg, page)
    page.shot("interval-refused")
    page.click("#reg-reset")


def stopped_survey(page):
    page.click("#tab-site")
    page.click("#site-read")
    page.wait_for(lambda: len(page.all("#site-tree [data-test=group]")) == 3, 30, "three groups")
    page.click("#tab-sitesurvey")
    Select(page.find("#sitesurvey-probe-preset")).select_by_value("quick")
    page.click("#sitesurvey-start")
    page.wait_for(lambda: len(page.all("#sitesurvey-results tr[data-test=result-row]")) >= 3, 120, "three units surveyed")
    page.click("#sitesurvey-cancel")
    page.wait_attr("#sitesurvey-state", "data-state", ("incomplete",), 60)
    left = [li.get_attribute("data-serial") for li in page.all("#sitesurvey-not-surveyed li")]
    silent = page.all("#sitesurvey-silent li")
    check(left and page.find("#sitesurvey-not-surveyed-head").is_displayed(), "the units never asked are listed: %s" % left, page)
    check(all(li.get_attribute("data-status") != "notSurveyed" for li in silent), "none of them as not answering", page)
    again = page.text("#sitesurvey-retry")
    check("(%d)" % (len(left) + len(silent)) in again, "survey again counts both lists: %s" % again, page)
    quick = [r.get_attribute("data-quick") for r in page.all("#sitesurvey-results tr[data-test=result-row]")
             if r.get_attribute("data-verdict") != "none"]
    check(quick and all(q == "true" for q in quick), "one probe a unit: each verdict a quick check: %s" % quick, page)
    check("quick check" in page.text("#sitesurvey-results [data-test=verdict]"), "said in the table", page)
    both_languages(page, "sitesurvey-stopped")
    page.click("#tab-report")
    page.wait_for(lambda: page.all("#report-not-surveyed li"), 20, "the report's not surveyed list")
    reported = {li.get_attribute("data-serial") for li in page.all("#report-not-surveyed li")}
    check(reported == set(left), "the report lists the same units apart: %s" % reported, page)
    check(not reported & {li.get_attribute("data-serial") for li in page.all("#report-silent li")}, "never as silent", page)
    page.shot("report-not-surveyed")


def route_survey_probes(page):
    page.click("#tab-site")
    page.click("#site-tree [data-test=site-unit][data-group='2'][data-num='2'] [data-test=survey-unit]")
    page.wait_for(lambda: page.find("#view-survey").is_displayed(), 10, "the route survey view")
    page.click("#survey-start")
    page.wait_attr("#survey-status", "data-state", ("done", "noAnswer", "failed"), 90)
    hops = page.all("#survey-route [data-test=hop]")
    asked = [h.get_attribute("data-asked") for h in hops]
    check(asked and all(a == "5" for a in asked), "one click, the five probes a verdict needs: %s" % asked, page)
    check(all(h.get_attribute("data-quick") == "false" for h in hops), "a verdict, not a quick check", page)
    check("5/5" in page.text("#survey-status") or "/5" in page.text("#survey-status"), "the status says the probes", page)
    page.shot("route-survey-5-probes")


def history_by_kind(page):
    page.click("#tab-history")
    page.wait_attr("#history-status", "data-state", ("ready",), 30)
    page.wait_for(lambda: len(page.all("#history-kind option")) > 2, 20, "the kinds of the visit")
    options = {o.get_attribute("value"): o.text for o in page.all("#history-kind option")}
    check("site-survey" in options and "" in options, "the kinds listed: %s" % options, page)
    Select(page.find("#history-kind")).select_by_value("site-survey")
    rows = page.all("#history-records tr[data-test=history-record]")
    check(rows and all(r.get_attribute("data-kind") == "site-survey" for r in rows), "only site surveys", page)
    check("(%d)" % len(rows) in options["site-survey"], "counted: %s" % options["site-survey"], page)
    page.click("#history-records tr[data-test=history-record] [data-test=history-open]")
    page.wait_for(lambda: page.all("#history-viewer [data-test=provenance]"), 20, "the record open")
    prov = page.text("#history-viewer [data-test=provenance]")
    check("from a file" not in prov, "a record from the store is not said to come from a file: " + prov, page)
    check(not page.find("#history-sync-now").is_enabled(), "Sync now refused in the demo", page)
    check(page.attr("#history-sync-status", "data-state") == "refused", "and says why", page)
    both_languages(page, "history-by-kind")


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "540")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        control = DemoControl(os.path.join(root, "demo-control"))
        page = start(binary, root, artefacts, "en_US.UTF-8", control.path)
        try:
            pagedriver.run_steps(page, [lambda p: usb_pulled_under_scan(p, control), lambda p: plan_failures(p, root),
                                        interval_words, stopped_survey, route_survey_probes, history_by_kind])
        finally:
            page.quit()
    print("page review: ok; screenshots in " + artefacts)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

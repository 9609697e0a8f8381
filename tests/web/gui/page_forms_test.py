"""Forms that check what they write, and routes entered by hand, in the real
program on its demo site through WebDriver: an impossible IP address is
refused before anything is sent (the simulator still holds the old one); a
new address for the LAN unit the page is connected through asks first, in
the program's message box; a route entered by hand for the USB unit (whose
registration RSETF refuses) is surveyed through the simulator's radio, and
is still there after the program restarts. A screenshot of each step is
kept.

usage: page_forms_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import faulthandler
import os
import re
import sys
import time

import pagedriver
from page_flows_test import check
from service_flows_test import connect_lan, enter, answer, no_errors, USB_UNIT

# Every query's argument as well as its answer, kept in the page.
SENT = """
  window.__sent = {};
  const sentReal = app.jsQuery;
  app.jsQuery = function(name, arg, ok, fail, progress) {
    window.__sent[name] = arg;
    return sentReal.call(this, name, arg, ok, fail, progress);
  };"""

# FIELD-TH of the demo's USB unit: group channel 12, band 0, behind R1 and R2.
ROUTE = {"freq": "12", "band": "0", "relays": "1 2", "num": "3", "serial": "00BC0103", "name": "FIELD-TH"}


def sent(page, name):
    return page.js("return window.__sent[arguments[0]] || null", name)


def field_message(page, css):
    return page.js("return document.querySelector(arguments[0]).closest('.field, .reg-field')"
                   ".querySelector('[data-test=field-msg]').textContent", css)


def bad_address_refused(page):
    page.click("#tab-settings")
    page.click("#set-network-read")
    page.wait_for(lambda: page.attr("#set-network-IP", "value"), 20, "RNETP in the form")
    before = page.attr("#set-network-IP", "value")
    check(page.attr("#set-network", "data-current") == "true", "the read-back belongs to the connected unit", page)
    check(page.all("#set-network [data-test=provenance]"), "the block says where its values came from", page)
    enter(page, "#set-network-IP", "192.168.1.300")
    check(page.attr("#set-network-IP", "data-unsaved") == "true", "the edited field is marked unsaved", page)
    page.click("#set-network-write")
    message = field_message(page, "#set-network-IP")
    check(message and "invalid" in page.attr("#set-network-IP", "class").split(), "the address is refused: " + message, page)
    check(sent(page, "ComTcmdWNETP") is None, "nothing was sent for 192.168.1.300", page)
    page.shot("address-refused")
    page.js("window.__answers.ComTcmdRNETP = null")
    page.click("#set-network-read")
    page.wait_for(lambda: answer(page, "ComTcmdRNETP"), 20, "RNETP read again")
    check(answer(page, "ComTcmdRNETP")["IP"] == before, "the unit still holds %s" % before, page)
    check(page.attr("#set-network-IP", "data-unsaved") == "false", "read again: nothing unsaved", page)
    enter(page, "#set-network-MASK", "255.0.255.0")
    page.click("#set-network-write")
    check(field_message(page, "#set-network-MASK"), "a mask with a hole is refused", page)
    check(sent(page, "ComTcmdWNETP") is None, "nothing was sent for the mask", page)
    enter(page, "#set-network-MASK", "255.255.255.0")
    no_errors(page, "address refused")


def own_link_asks_first(page):
    enter(page, "#set-network-IP", "192.168.1.20")
    page.click("#set-network-write")
    time.sleep(0.5)
    page.shot("own-link-asks")  # the main window under the message box
    pagedriver.message_box_answer("alt+n")
    time.sleep(0.5)
    check(sent(page, "ComTcmdWNETP") is None, "No: the network settings were not written", page)
    check(page.attr("#set-network-IP", "data-unsaved") == "true", "the edit is kept, still marked unsaved", page)
    asked = sent(page, "JsMsgbox")
    check(asked and "192.168.1.20" in asked["msg"], "the box says how to reconnect: %s" % asked, page)
    # A USB unit is not reached through its network settings: no question there.
    no_errors(page, "own link")


def registration_loop_refused(page):
    """RIVERSIDE's first group runs R1 → R2 → R3: R1 under R3 closes a loop."""
    page.click("#tab-registration")
    page.click("#reg-read")
    parent = '[data-path="groups[0].repeaters[%d].parent"]'
    page.wait_for(lambda: page.all(parent % 0), 30, "the registration")
    check(page.attr("#reg-groups", "data-current") == "true", "the registration is the connected unit's", page)
    enter(page, parent % 0, "3")
    marked = [("invalid" in page.attr(parent % i, "class").split()) for i in range(3)]
    check(marked == [True, True, True], "every repeater of the loop is marked: %s" % marked, page)
    loop = field_message(page, parent % 0)
    check("R1" in loop and "R3" in loop, "the loop is named: " + loop, page)
    check(not page.find("#reg-write").is_enabled(), "no write while the parents loop", page)
    enter(page, '[data-path="groups[0].remoteUnits[0].parent"]', "9")
    check(page.attr("#reg-status", "data-refused") == "4", "the loop and the missing R9 counted", page)
    page.shot("registration-loop")
    page.click("#reg-reset")
    check(page.attr("#reg-status", "data-refused") == "0", "undone: nothing refused", page)
    check(sent(page, "ComTcmdWSETF") is None, "nothing was written", page)
    no_errors(page, "registration loop")


def codes_by_name(page):
    """Codes read as names, the same way in every block; the clock set says
    the new offset."""
    page.click("#tab-settings")
    page.click("#settings-read-all")
    page.wait_for(lambda: page.attr("#set-wlan-SEC", "value") == "3", 60, "RWLAN in the form")
    check(page.find("#set-wlan-SEC").tag_name == "select", "SEC is a choice by name", page)
    sec = page.js("const s = document.getElementById('set-wlan-SEC'); return s.options[s.selectedIndex].text")
    check("WPA" in sec and "(3)" in sec, "SEC 3 shown by name with its code: " + sec, page)
    kinds = page.js("return ['current', 'recorded', 'warnings'].map((b) => document.getElementById('set-' + b + '-ROUTE'))"
                    ".filter(Boolean).map((e) => e.tagName)")
    check(kinds and set(kinds) == {"SELECT"}, "ROUTE the same choice in every block: %s" % kinds, page)
    labels = page.js("return [...document.querySelectorAll('#set-recorded-EVT0 .member-label')].map((e) => e.textContent)")
    check(len(labels) == 4 and all(labels), "each EVT member labelled: %s" % labels, page)
    zone = page.js("const z = document.getElementById('set-clock-ZONE'); return z.scrollWidth <= z.clientWidth + 1")
    check(zone, "the time zone fits its field", page)
    page.js("document.getElementById('set-clock').scrollIntoView()")
    page.shot("clock-and-codes")
    page.click("#clock-set")
    page.wait_for(lambda: any(re.search(r"-?\d+ ?(s|秒)", n.text) for n in page.all("#messages [data-test=notice]")), 30,
                  "the clock-set notice with the new offset")
    page.js("document.getElementById('set-wlan').scrollIntoView()")
    page.shot("wlan-by-name")
    no_errors(page, "codes by name")


def enter_route(page, values):
    for key, value in values.items():
        page.type_into("#route-" + key, value)
    page.click("#route-save")


def route_entered_by_hand(page):
    page.click("#tab-units")
    page.click("#unit-list tr[data-com='1'] [data-test=connect]")
    page.wait_for(lambda: USB_UNIT in page.text("#connected-unit"), 30, "the USB unit")
    check(page.attr("#set-network", "data-current") != "true", "the LAN unit's settings no longer look current", page)
    page.click("#tab-routes")
    enter_route(page, dict(ROUTE, num="0"))
    check(field_message(page, "#route-num"), "unit number 0 is refused", page)
    check(not page.all("#routes-list [data-test=manual-route]"), "nothing kept for a refused entry", page)
    enter_route(page, ROUTE)
    row = "#routes-list [data-test=manual-route][data-serial='00BC0103']"
    page.wait_for(lambda: page.all(row), 10, "the route in the list")
    check("VL-RC" in page.text(row), "the model follows from the serial", page)
    page.shot("route-entered")


def route_surveyed(page):
    page.click("#routes-list [data-test=manual-route][data-serial='00BC0103'] [data-test=route-survey]")
    page.wait_for(lambda: page.find("#view-survey").is_displayed(), 10, "the route survey")
    check(page.attr("#routes-from", "data-from") == "manual", "surveys now use the routes entered by hand", page)
    page.click("#survey-start")
    page.wait_attr("#survey-status", "data-state", ("done", "noAnswer", "failed"), 60)
    check(page.attr("#survey-status", "data-state") == "done", "the survey answered", page)
    request = sent(page, "ComTcmdEWLEX")
    check(request["CH"] == 12 and request["RELAY"] == [1, 2], "sent through R1 and R2 on channel 12: %s" % request, page)
    hops = page.all("#survey-route [data-test=hop]")
    check([h.get_attribute("data-num") for h in hops] == ["1", "2", "3"], "hops R1, R2 and unit 3", page)
    check(all(h.get_attribute("data-quality") not in ("", "none") for h in hops), "every hop answered with a level", page)
    no_errors(page, "route survey")
    page.shot("route-surveyed")


def route_kept_after_restart(binary, root, artefacts):
    page = pagedriver.Page(binary, root, artefacts)
    try:
        page.click("#search-button")
        page.wait_for(lambda: page.all("#unit-list tr[data-com='1'] [data-test=connect]"), 30, "the USB unit")
        page.click("#unit-list tr[data-com='1'] [data-test=connect]")
        page.wait_for(lambda: USB_UNIT in page.text("#connected-unit"), 30, "the USB unit")
        page.click("#tab-routes")
        row = "#routes-list [data-test=manual-route][data-serial='00BC0103']"
        page.wait_for(lambda: page.all(row), 10, "the route kept from the last run")
        check("1 → R2" in page.text(row) or "R1 → R2" in page.text(row), "with its repeaters in order", page)
        page.click(row + " [data-test=route-edit]")
        check(page.attr("#route-relays", "value") == "1 2", "the route opens for editing", page)
        page.type_into("#route-name", "FIELD-3")
        page.click("#route-save")
        page.wait_for(lambda: "FIELD-3" in page.text(row), 10, "the edited route")
        check(len(page.all("#routes-list [data-test=manual-route]")) == 1, "edited in place, not added", page)
        no_errors(page, "after restart")
        page.shot("route-after-restart")
    finally:
        page.quit()


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "540")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        page = pagedriver.Page(binary, root, artefacts)
        try:
            connect_lan(page)
            page.js(SENT)
            pagedriver.run_steps(page, (bad_address_refused, own_link_asks_first, registration_loop_refused, codes_by_name, route_entered_by_hand, route_surveyed))
        finally:
            page.quit()
        print("step: route_kept_after_restart", flush=True)
        route_kept_after_restart(binary, root, artefacts)
    print("page forms: ok; screenshots in " + artefacts)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

"""The page shell in the real program on the demo site, driven through
WebDriver: the start language from the system language (a fresh profile
under LANG=en_US.UTF-8, then ja_JP.UTF-8), the Content-Security-Policy in
force, the header and tabs kept in view, a LAN unit connected by its address
(a bad address refused first, a wrong password told in plain words with the
program's text as details), and the USB unit plugged out of the demo site
while connected: shown as disconnected with a reconnect button, missing from
a search, found again once plugged back, and reconnected. Screenshots go to
the artefact folder.

usage: page_shell_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import faulthandler
import json
import os
import re
import sys
import time

import pagedriver
from pagesupport import check

LAN_UNIT = "009C0021"  # RIVERSIDE on loopback
USB_UNIT = "009A0011"  # GREENHOUSE on the demo's USB bus
PASSWORD = "vela1234"
LANGUAGE_VARIABLES = ("LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG")


class DemoControl:
    """Control lines for the demo site inside the program
    (LINKMETER_DEMO_CONTROL), each waited for until its answer is back."""

    def __init__(self, path):
        self.path = path
        open(path, "w").close()

    def send(self, line, done=lambda lines: any(l == "ok" or l.startswith("error") for l in lines), limit=10):
        """The answer lines to `line`, once `done` accepts them."""
        before = len(self.answers())
        with open(self.path, "a") as f:
            f.write(line + "\n")
        end = time.monotonic() + limit
        while time.monotonic() < end:
            lines = self.answers()[before:]
            if done(lines):
                return lines
            time.sleep(0.1)
        raise AssertionError("the demo site did not answer %s: %s" % (line, self.answers()))

    def answers(self):
        try:
            with open(self.path + ".out") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []


def start(binary, root, artefacts, lang, control=None):
    for name in LANGUAGE_VARIABLES:
        os.environ.pop(name, None)
    os.environ["LANG"] = lang
    if control:
        os.environ["LINKMETER_DEMO_CONTROL"] = control
    else:
        os.environ.pop("LINKMETER_DEMO_CONTROL", None)
    return pagedriver.Page(binary, root, artefacts)


def start_language(binary, root, artefacts):
    """A fresh profile starts in the system language; the engine stays ja-JP."""
    for lang, expected, tab in (("ja_JP.UTF-8", "ja", "親機"), ("en_US.UTF-8", "en", "Units")):
        page = start(binary, os.path.join(root, expected), artefacts, lang)
        try:
            check(page.js("return linkmeter.systemLanguage()") == expected, "systemLanguage() under " + lang, page)
            check(page.js("return document.documentElement.lang") == expected, "the page language under " + lang, page)
            check(page.js("return navigator.language") == "ja-JP", "the engine's locale stays ja-JP", page)
            check(tab in page.text("#tab-units"), "the units tab in %s: %r" % (expected, page.text("#tab-units")), page)
            check(page.find("#language").get_attribute("value") == expected, "the language select", page)
            page.shot("start-" + expected)
        finally:
            page.quit()


def content_policy(page):
    """The policy is declared and in force: markup put into the page never runs."""
    policy = page.js("const m = document.querySelector('meta[http-equiv=Content-Security-Policy]');"
                     "return m ? m.content : ''")
    for part in ("script-src 'self'", "style-src 'self'", "connect-src 'none'", "default-src 'none'"):
        check(part in policy, "the policy has " + part + ": " + policy)
    page.js("window.__ran = 0; window.__blocked = [];"
            "document.addEventListener('securitypolicyviolation', e => window.__blocked.push(e.violatedDirective));"
            "const box = document.createElement('div'); box.id = 'hostile';"
            "box.innerHTML = '<img src=x onerror=\"window.__ran = 1\">';"
            "document.body.append(box);"
            "const s = document.createElement('script'); s.textContent = 'window.__ran = 2'; document.body.append(s);")
    page.wait_for(lambda: len(page.js("return window.__blocked")) >= 2, 10, "both violations reported")
    check(page.js("return window.__ran") == 0, "neither the inline handler nor the inline script ran")
    page.js("document.getElementById('hostile').remove()")


def sticky_header(page):
    page.js("document.getElementById('views').style.minHeight = '4000px'; window.scrollTo(0, 1500);")
    page.wait_for(lambda: page.js("return scrollY") > 1000, 5, "the page to scroll")
    top = page.js("return document.getElementById('tabs').getBoundingClientRect().top")
    header = page.js("return document.querySelector('header').getBoundingClientRect().top")
    check(header == 0 and 0 < top < 120, "header and tabs in view after scrolling: %s %s" % (header, top), page)
    page.click("#tab-units")
    page.shot("scrolled")
    page.js("window.scrollTo(0, 0); document.getElementById('views').style.minHeight = '';")


def lan_port(control):
    for line in control.send("ports", done=lambda lines: any(LAN_UNIT in l for l in lines)):
        if LAN_UNIT in line:
            m = re.search(r"127\.0\.0\.1:(\d+)", line)
            if m:
                return int(m.group(1))
    raise AssertionError("the demo LAN unit's port: %s" % control.answers())


def connect_by_address(page, control):
    port = lan_port(control)
    check(page.attr("#port-input", "value") == "62500", "the default port", page)
    page.type_into("#address-input", "192.168.1.300")
    page.click("#address-connect")
    page.wait_for(lambda: page.find("#address-problem").is_displayed(), 5, "the bad address refused")
    check(not page.all("#password-dialog"), "nothing asked for a bad address", page)
    page.shot("bad-address")

    page.type_into("#address-input", "127.0.0.1")
    page.type_into("#port-input", str(port))
    page.click("#address-connect")
    page.wait_for(lambda: page.find("#password-dialog").is_displayed(), 10, "the password dialog")
    page.type_into("#password-input", "not-the-password")
    page.click("#password-ok")
    page.wait_for(lambda: page.errors(), 20, "the refused login")
    main = page.text("#messages [data-test=error] [data-test=error-main]")
    details = page.text("#messages [data-test=error] [data-test=error-details]")
    check("password" in main and not re.search(r"Vcomm|LOGIN|_ERR|-29|code", main), "a plain main line: " + main, page)
    check("LOGIN_ERR" in details, "the library's text in the details: " + details, page)
    check(page.attr("#messages [data-test=error]", "data-cause") == "password", "the cause", page)
    page.shot("wrong-password")

    page.click("#address-connect")
    page.wait_for(lambda: page.find("#password-dialog").is_displayed(), 10, "the password dialog again")
    page.type_into("#password-input", PASSWORD)
    page.click("#password-ok")
    page.wait_for(lambda: "RIVERSIDE" in page.text("#connected-unit"), 20, "RIVERSIDE connected by its address")
    check(page.attr("#connected-unit", "data-state") == "connected", "connected", page)
    page.wait_for(lambda: int(page.text("#info-serial"), 16) == int(LAN_UNIT, 16), 20, "RUINF's serial")
    saved = json.loads(page.js("return localStorage.getItem('linkmeter.address')"))
    check(saved == {"ipAddr": "127.0.0.1", "port": port}, "the address remembered: %s" % saved, page)
    page.shot("connected-by-address")


def search(page, serials, limit=30):
    page.click("#search-button")
    page.wait_for(lambda: not page.find("#search-button").get_attribute("disabled"), limit, "the search to end")
    found = sorted(r.get_attribute("data-serial") for r in page.all("#unit-list tr[data-test=unit-row]"))
    check(found == sorted(serials), "units found %s, expected %s" % (found, serials), page)


def unplugged_and_back(page, control):
    search(page, [USB_UNIT, LAN_UNIT])
    page.click("#unit-list tr[data-serial='%s'] [data-test=connect]" % USB_UNIT)
    page.wait_for(lambda: "GREENHOUSE" in page.text("#connected-unit"), 20, "GREENHOUSE connected")
    page.wait_for(lambda: page.all("#info-refresh"), 20, "the unit information")

    check(control.send("detach " + USB_UNIT)[-1] == "ok", "the unit plugged out")
    page.click("#info-refresh")
    page.wait_for(lambda: page.attr("#connected-unit", "data-state") == "lost", 30, "the header to show the lost link")
    check(page.find("#reconnect-button").is_displayed(), "a reconnect button", page)
    check("OK" not in page.text("#info-status") and "正常" not in page.text("#info-status"), "no OK status", page)
    check(page.attr("#messages [data-test=error]", "data-cause") == "linkLost", "told as a lost link", page)
    advice = page.text("#messages [data-test=error] [data-test=error-advice]")
    check("Reconnect" in advice and "restart" not in advice, "advice for a lost link: " + advice, page)
    page.shot("unplugged")

    # Still out: the search misses it. Plugged back, the next search finds it
    # (the page let the dead connection go), and Reconnect opens it again.
    search(page, [LAN_UNIT])
    check(page.attr("#connected-unit", "data-state") == "lost", "still lost", page)
    check(control.send("attach " + USB_UNIT)[-1] == "ok", "the unit plugged back")
    search(page, [USB_UNIT, LAN_UNIT])
    page.shot("found-again")
    page.click("#reconnect-button")
    page.wait_for(lambda: page.attr("#connected-unit", "data-state") == "connected", 20, "connected again")
    page.wait_for(lambda: "OK" in page.text("#info-status"), 20, "the status read again")
    check(not page.find("#reconnect-button").is_displayed(), "no reconnect button once connected", page)
    page.shot("reconnected")

    # Out again: Reconnect says the unit is not plugged in, and works once it is.
    check(control.send("detach " + USB_UNIT)[-1] == "ok", "the unit plugged out again")
    page.click("#info-refresh")
    page.wait_for(lambda: page.attr("#connected-unit", "data-state") == "lost", 30, "lost again")
    page.click("#reconnect-button")
    page.wait_for(lambda: page.attr("#messages [data-test=error]", "data-cause") == "unitGone", 20, "not plugged in")
    advice = page.text("#messages [data-test=error] [data-test=error-advice]")
    check("Plug" in advice, "advice to plug it in: " + advice, page)
    page.shot("reconnect-unplugged")
    check(control.send("attach " + USB_UNIT)[-1] == "ok", "plugged back again")
    page.click("#reconnect-button")
    page.wait_for(lambda: page.attr("#connected-unit", "data-state") == "connected", 20, "connected once more")


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "540")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        start_language(binary, root, artefacts)
        control = DemoControl(os.path.join(root, "demo-control"))
        page = start(binary, os.path.join(root, "flows"), artefacts, "en_US.UTF-8", control.path)
        try:
            for step in (content_policy, sticky_header):
                print("step:", step.__name__, flush=True)
                step(page)
            for step in (connect_by_address, unplugged_and_back):
                print("step:", step.__name__, flush=True)
                step(page, control)
        finally:
            page.quit()
    print("page shell: ok; screenshots in " + artefacts)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

"""The settings, registration, recorded-data, event-log and sibling-import
flows of the technician's page in the real program on its demo site, driven
through WebDriver: real clicks and key presses reach the simulator; the
WSETF confirmation is answered in its message box and CSV goes through the
GTK save dialog. The answers the page received are kept in the page
(wrapping app.jsQuery) to compare with what it shows. A screenshot of each
step is kept.

usage: service_flows_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import base64
import faulthandler
import os
import socket
import struct
import sys
import time

import pagedriver
from page_flows_test import PASSWORD, LAN_UNIT
from pagesupport import check, saved

USB_UNIT = "009A0011"  # GREENHOUSE, with a logger on its optical port
# The sibling application's instance name, one per user.
SIBLING_INSTANCE = b"\0_vantor_VELA_Manage_InitInstance_.%d" % os.getuid()

RECORDING = """
  window.__answers = {};
  const real = app.jsQuery;
  app.jsQuery = function(name, arg, ok, fail, progress) {
    return real.call(this, name, arg, (r) => { window.__answers[name] = r; if (ok) ok(r); }, fail, progress);
  };"""


def sibling_document(home):
    """The sibling application's settings: one group with a unit the demo
    registration also has (under another name) and one it lacks."""
    def remote(num, serial, name):
        rec = bytearray(64)
        struct.pack_into("<HBBB", rec, 0, 64, 0xFE, num, 0)
        struct.pack_into("<I", rec, 6, serial)
        rec[16:16 + len(name)] = name
        return bytes(rec)
    header = struct.pack("<HBBI", 16, 0xFB, 1, 0x009C0021) + bytes(8)
    group = bytearray(32)
    struct.pack_into("<HBBBBB", group, 0, 32, 0xFC, 0, 2, 25, 1)
    group[16:21] = b"RIVER"
    image = header + bytes(group) + remote(1, 0x00C20201, b"OLDNAME") + remote(9, 0x00B80999, b"GONE")
    xml = ('<?xml version="1.0" encoding="UTF-8"?><Settings><SETF><DATA>%s</DATA></SETF></Settings>'
           % base64.b64encode(image).decode())
    os.makedirs(os.path.dirname(sibling_path(home)), exist_ok=True)
    with open(sibling_path(home), "w") as f:
        f.write(xml)


def sibling_path(home):
    return os.path.join(home, "Documents", "Vantor Corp", "VL-B1 for Windows", "Settings", "BaseUnit.dat")


def answer(page, name):
    return page.js("return window.__answers[arguments[0]] || null", name)


def no_errors(page, flow):
    check(not page.errors(), "%s: no error shown" % flow, page)


def enter(page, css, text):
    """Types into a field and leaves it, as a person would (TAB fires change)."""
    page.type_into(css, text + "\t")


def connect_lan(page):
    page.js(RECORDING)
    page.click("#search-button")
    row = "#unit-list tr[data-serial='%s'] [data-test=connect]" % LAN_UNIT
    page.wait_for(lambda: page.all(row), 30, "the LAN unit")
    page.click(row)
    page.wait_for(lambda: page.find("#password-dialog").is_displayed(), 10, "the password dialog")
    page.type_into("#password-input", PASSWORD)
    page.click("#password-ok")
    page.wait_for(lambda: LAN_UNIT in page.text("#connected-unit"), 30, "the connection")


def settings_write_reads_back(page):
    page.click("#tab-settings")
    page.click("#set-unit-read")
    page.wait_for(lambda: page.attr("#set-unit-NAME", "value"), 20, "RUINF in the form")
    enter(page, "#set-unit-NAME", "設" * 17)  # 34 bytes in the unit's code page: refused before sending
    page.click("#set-unit-write")
    check(page.text("#set-unit [data-test=field-msg]"), "a message on the too-long name", page)
    check(answer(page, "ComTcmdWUINF") is None, "nothing was sent for the refused name", page)
    enter(page, "#set-unit-NAME", "RIVER-2")
    page.click("#set-unit-write")
    page.wait_for(lambda: page.all("#set-unit [data-test=readback-row][data-key=NAME]"), 20, "the read-back")
    check(page.attr("#set-unit [data-test=readback-row][data-key=NAME]", "data-ok") == "true", "the new name read back", page)
    check(answer(page, "ComTcmdRUINF")["NAME"] == "RIVER-2", "RUINF after the write gives the new name", page)
    no_errors(page, "settings")
    page.shot("settings-written")


def clock_set_with_one_click(page):
    page.click("#set-clock-read")
    page.wait_for(lambda: page.attr("#clock-offset", "data-offset"), 20, "the clock offset")
    page.js("window.__answers.ComTcmdRDTIM = null")
    page.click("#clock-set")
    page.wait_for(lambda: answer(page, "ComTcmdRDTIM"), 30, "the clock read after setting it")
    check(answer(page, "ComTcmdWDTIM")["isSuccess"] is True, "WDTIM succeeded", page)
    offset = float(page.attr("#clock-offset", "data-offset"))
    check(abs(offset) <= 2, "the unit's clock now agrees with this computer's: %s s" % offset, page)
    no_errors(page, "clock")
    page.shot("clock-set")


def registration_edit_writes_and_reads_back(page):
    page.click("#tab-registration")
    page.click("#reg-read")
    name = '[data-path="groups[0].remoteUnits[0].name"]'
    interval = '[data-path="groups[0].remoteUnits[0].record.interval"]'
    page.wait_for(lambda: page.all(name), 30, "the registration")
    enter(page, interval, "300")  # out of the record's 0..255
    check("invalid" in page.attr(interval, "class").split(), "the bad interval is marked", page)
    message = page.js("const m = document.querySelector(arguments[0]).parentElement"
                      ".querySelector('[data-test=field-msg]'); return [m.textContent, m.title]", interval)
    check(message[0] and "3047" not in message[0], "the message says it in words: %s" % message, page)
    check("3047" in message[1], "its tooltip gives the conversion's number: %s" % message, page)
    check(page.attr("#reg-status", "data-changes") == "0", "a refused value changes nothing", page)
    enter(page, name, "FLOW-2")
    check(page.attr("#reg-status", "data-changes") == "1", "one change counted", page)
    check(not page.find("#reg-write").is_enabled(), "no write while a field is refused", page)
    page.shot("registration-refused-value")
    enter(page, interval, page.js("return String(window.__answers.ComTcmdRSETF.regInfo"
                                  ".groups[0].remoteUnits[0].record.interval)"))
    check(page.find("#reg-write").is_enabled(), "the write offered once the value is fixed", page)
    page.shot("registration-edited")
    page.js("window.__answers.ComTcmdRSETF = null")
    page.click("#reg-write")
    pagedriver.message_box_answer("alt+n")  # not now: nothing is written
    time.sleep(0.5)
    check(answer(page, "ComTcmdWSETF") is None, "no WSETF after No", page)
    check(page.attr("#reg-status", "data-changes") == "1", "the edit is kept", page)
    page.click("#reg-write")
    pagedriver.message_box_answer("alt+y")
    page.wait_for(lambda: answer(page, "ComTcmdRSETF"), 60, "RSETF after WSETF")
    page.wait_for(lambda: page.attr(name, "value") == "FLOW-2", 10, "the re-read form")
    read = answer(page, "ComTcmdRSETF")["regInfo"]
    check(read["groups"][0]["remoteUnits"][0]["name"] == "FLOW-2", "RSETF gives the new name", page)
    check(page.attr("#reg-status", "data-changes") == "0", "nothing left to write", page)
    no_errors(page, "registration")
    page.shot("registration-read-back")


def choose_source(page, index):
    # Opening a <select> blocks a WebDriver session: choose as the keyboard would.
    page.js("const s = document.getElementById('rec-source'); s.selectedIndex = arguments[0];"
            "s.dispatchEvent(new Event('change'))", index)


def recorded_data_without_a_logger(page):
    """RIVERSIDE has no logger on its optical port: a clear failure, nothing plotted."""
    page.click("#tab-recorded")
    page.wait_for(lambda: len(page.all("#rec-source option")) > 1, 10, "the far units")
    choose_source(page, 0)
    page.click("#rec-download")
    page.wait_for(lambda: page.errors(), 30, "the failure of EISUC")
    # What happened is the main line; the advice says what to do.
    main = page.text("#messages [data-test=error-main]")
    check("光通信ポート" in main or "optical port" in main, "the failure says the logger is missing: " + main, page)
    check(page.text("#messages [data-test=error-advice]"), "the failure says what to do", page)
    check(not page.all("#rec-charts .record-chart"), "nothing plotted", page)
    page.shot("recorded-no-logger")
    page.js("document.querySelectorAll('#messages [data-test=error]').forEach((e) => e.remove())")


def recorded_data_cancelled(page):
    choose_source(page, 1)
    page.click("#rec-download")
    page.wait_for(lambda: page.find("#rec-cancel").is_enabled(), 10, "the download to run")
    check(page.find("#rec-progress").is_displayed(), "a progress bar while it runs", page)
    page.click("#rec-cancel")
    page.wait_for(lambda: page.find("#rec-download").is_enabled(), 30, "the cancelled download to end")
    check(not page.all("#rec-charts .record-chart"), "nothing plotted after the cancel", page)
    no_errors(page, "recorded data cancelled")


def recorded_data_plotted_and_exported(page, folder):
    page.js("delete document.getElementById('rec-charts').dataset.plotMs")
    page.click("#rec-download")
    page.wait_for(lambda: page.attr("#rec-charts", "data-plot-ms"), 120, "the plot")
    got = answer(page, "ComTcmdEWSUC")
    check(float(page.attr("#rec-charts", "data-first")) == got["FirstDataTime"], "the plot starts at FirstDataTime", page)
    check(float(page.attr("#rec-charts", "data-last")) == got["LastDataTime"], "the plot ends at LastDataTime", page)
    check(page.all("#rec-charts .record-chart canvas"), "a chart is drawn", page)
    page.shot("recorded-plotted")
    check(float(page.attr("#rec-charts", "data-view-from")) == got["FirstDataTime"], "the whole recording on show", page)
    page.click("#rec-pan-left")
    check(float(page.attr("#rec-charts", "data-view-from")) < got["FirstDataTime"], "panning moves the time range", page)
    page.click("#rec-reset")
    check(float(page.attr("#rec-charts", "data-view-to")) == got["LastDataTime"], "the reset shows it whole again", page)
    target = os.path.join(folder, "recorded.csv")
    page.click("#rec-csv")
    pagedriver.save_dialog_answer(target)
    page.wait_for(lambda: os.path.exists(target) and os.path.getsize(target) > 0, 20, "the CSV file")
    lines = _csv_lines(page, target)
    # Every row starts with where it came from: base unit, unit, time taken, source.
    check(lines[0].startswith("base serial,base name,unit serial,taken,source,time,unix time,ch1") and len(lines) > 2,
          "CSV columns and rows: %s" % lines[:3], page)
    first = lines[1].split(",")
    check(first[0] == LAN_UNIT and first[2] == "00C20201", "the rows name the base unit and the unit: %s" % first[:5], page)
    check(lines[1].split(",")[6] == str(got["FirstDataTime"]), "the first row is the first record", page)
    check(lines[-1].split(",")[6] == str(got["LastDataTime"]), "the last row is the last record", page)
    no_errors(page, "recorded data")


def recorded_data_of_the_usb_logger(page):
    """GREENHOUSE (USB) has a logger on its optical port: EISUC plotted."""
    page.click("#tab-units")
    page.click("#unit-list tr[data-com='1'] [data-test=connect]")
    page.wait_for(lambda: USB_UNIT in page.text("#connected-unit"), 30, "the USB unit")
    check(page.attr("#set-unit-NAME", "value") == "" and not page.find("#set-unit-write").is_enabled(),
          "the other unit's settings are neither shown nor written to this one", page)
    check(not page.all("#log-rows [data-test=log-row]") and not page.all("#rec-charts .record-chart"),
          "nor its event log or recording", page)
    page.click("#tab-recorded")
    page.wait_for(lambda: len(page.all("#rec-source option")) == 1, 10, "the optical port as the only source")
    choose_source(page, 0)
    page.js("delete document.getElementById('rec-charts').dataset.plotMs")
    page.click("#rec-download")
    page.wait_for(lambda: page.attr("#rec-charts", "data-plot-ms") or page.errors(), 60, "the logger's plot")
    no_errors(page, "recorded data of the optical logger")
    got = answer(page, "ComTcmdEISUC")
    check(float(page.attr("#rec-charts", "data-first")) == got["FirstDataTime"], "EISUC plot starts at FirstDataTime", page)
    check(float(page.attr("#rec-charts", "data-last")) == got["LastDataTime"], "EISUC plot ends at LastDataTime", page)
    page.shot("recorded-optical-logger")


def _csv_lines(page, path):
    page.wait_for(lambda: saved(page, path), 30, path + " to be complete")
    with open(path, encoding="utf-8-sig", newline="") as f:
        return [line for line in f.read().split("\r\n") if line]


def event_log_table(page, folder):
    page.click("#tab-eventlog")
    page.click("#log-read")
    page.wait_for(lambda: page.all("#log-rows [data-test=log-row]"), 30, "log rows")
    rows = len(page.all("#log-rows [data-test=log-row]"))
    check(rows == len(answer(page, "ComTcmdELOGS")["logs"]), "a row per log entry", page)
    word = page.js("return [...document.querySelectorAll('#log-rows td:last-child')]"
                   ".map((c) => c.textContent.split(/\\s+/)[0]).find(Boolean) || ''")
    check(word, "the log entries have texts", page)
    enter(page, "#log-filter", "no-such-entry-text")
    check(page.attr("#log-count", "data-shown") == "0", "the filter hides every row", page)
    enter(page, "#log-filter", word)
    shown = page.all("#log-rows [data-test=log-row]")
    check(shown and all(word.lower() in r.get_attribute("textContent").lower() for r in shown),
          "the filter keeps the rows with %r" % word, page)
    page.type_into("#log-filter", " \b\t")  # emptied (clearing alone fires no input event)
    page.wait_for(lambda: page.attr("#log-count", "data-shown") == str(rows), 5, "every row again")
    page.shot("event-log")
    target = os.path.join(folder, "eventlog.csv")
    page.click("#log-csv")
    pagedriver.save_dialog_answer(target)
    page.wait_for(lambda: os.path.exists(target) and os.path.getsize(target) > 0, 20, "the event-log CSV")
    check(len(_csv_lines(page, target)) == rows + 1, "a header and a line per entry", page)
    no_errors(page, "event log")


def sibling_import_compared(page, home):
    page.click("#tab-sibling")
    page.click("#sibling-load")
    page.wait_for(lambda: page.all("#sibling-units [data-test=sibling-unit]"), 10, "the sibling's units")
    check(not page.find("#sibling-running").is_displayed(), "no warning while the sibling is not running", page)
    page.click("#sibling-compare-button")
    page.wait_for(lambda: page.all("#sibling-summary"), 30, "the comparison")
    check(page.attr("#sibling-summary", "data-changed") == "1", "one unit differs", page)
    check(page.attr("#sibling-summary", "data-sibling-only") == "1", "one unit only the sibling has", page)
    check(page.attr("#sibling-compare tr[data-serial='00C20201']", "data-status") == "changed", "the renamed unit", page)
    page.shot("sibling-compared")
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as sibling:
        sibling.bind(SIBLING_INSTANCE)  # the sibling application is running now
        page.click("#sibling-load")
        page.wait_for(lambda: page.find("#sibling-running").is_displayed(), 10, "the running-sibling warning")
        page.shot("sibling-running")
    with open(sibling_path(home), "wb") as f:
        f.write(b"\x8a\x17enciphered")  # what an enciphered save looks like: no XML
    page.click("#sibling-load")
    page.wait_for(lambda: page.all("#sibling-empty[data-code='-11']"), 10, "the enciphered settings refused")
    check(page.text("#sibling-empty"), "a reason is given", page)
    no_errors(page, "sibling")


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "540")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        home = pagedriver.shelltest.private_env(root)["HOME"]
        sibling_document(home)
        page = pagedriver.Page(binary, root, artefacts)
        try:
            connect_lan(page)
            for step in (settings_write_reads_back, clock_set_with_one_click, registration_edit_writes_and_reads_back,
                         recorded_data_without_a_logger, recorded_data_cancelled):
                print("step:", step.__name__, flush=True)
                step(page)
            recorded_data_plotted_and_exported(page, root)
            event_log_table(page, root)
            sibling_import_compared(page, home)
            recorded_data_of_the_usb_logger(page)
        finally:
            page.quit()
    print("service flows: ok; screenshots in " + artefacts)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

"""The settings, registration, recorded-data, event-log and sibling-import
flows of the technician's page in the real program on its demo site, driven
through WebDriver (--automation). Native dialogs (message box, save dialog)
are answered in the page by wrapping app.jsQuery; everything else reaches
the simulator. One screenshot of the last flow is kept in ARTEFACTS.
usage: service_flows_test.py LINKMETER ARTEFACTS  (under xvfb-run)"""
import base64
import os
import struct
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.webkitgtk.options import Options

LAN_PASSWORD = "vela1234"  # the demo site's LAN base unit


def wait(what, cond, limit=60):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        value = cond()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError("timed out waiting for " + what)


def sibling_document(home):
    """A plain settings document of the sibling application: one group with
    a unit the demo registration also has (another name) and one it lacks."""
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
    for product in ("VL-B1 for Windows", "VELA for Windows"):
        folder = os.path.join(home, "Documents", "Vantor Corp", product, "Settings")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "BaseUnit.dat"), "w") as f:
            f.write(xml)


STUBS = """
  window.__answers = {};
  window.__failures = [];
  const real = app.jsQuery;
  app.jsQuery = function(name, arg, ok, fail, progress) {
    if (name === 'JsMsgbox') { setTimeout(() => ok(3)); return 1; }
    if (name === 'JsFileDialog') { setTimeout(() => ok([arguments[1].initFile ? window.__saveDir + '/' + arguments[1].initFile : ''])); return 1; }
    return real.call(this, name, arg, (r) => { window.__answers[name] = r; if (ok) ok(r); },
      (e) => { window.__failures.push(e); if (fail) fail(e); }, progress);
  };"""


class Page:
    def __init__(self, driver):
        self.d = driver

    def js(self, script, *args):
        return self.d.execute_script(script, *args)

    def el(self, css):
        return self.d.find_element(By.CSS_SELECTOR, css)

    def els(self, css):
        return self.d.find_elements(By.CSS_SELECTOR, css)

    def no_errors(self, flow):
        errors = [e.text for e in self.els("[data-test=error]")]
        assert not errors, (flow, errors, self.js("return window.__failures"))

    def type_into(self, css, text):
        field = self.el(css)
        field.clear()
        if text:
            field.send_keys(text + Keys.TAB)  # TAB fires change
        else:
            self.js("arguments[0].dispatchEvent(new Event('input'))", field)


def connect_lan(p):
    p.el("#search-button").click()
    row = wait("the LAN unit", lambda: p.els("#unit-list tr[data-test=unit-row][data-com='2']"))[0]
    row.find_element(By.CSS_SELECTOR, "[data-test=connect]").click()
    wait("the password dialog", lambda: p.els("#password-input"))[0].send_keys(LAN_PASSWORD)
    p.el("#password-ok").click()
    wait("the connection", lambda: "009C0021" in p.el("#connected-unit").text)


def settings_write_reads_back(p):
    p.el("#tab-settings").click()
    p.el("#set-unit-read").click()
    wait("RUINF", lambda: p.el("#set-unit-NAME").get_attribute("value"))
    p.type_into("#set-unit-NAME", "A" * 33)  # one byte too long: refused before sending
    p.el("#set-unit-write").click()
    assert p.el("#set-unit [data-test=field-msg]").text, "no message for a 33-byte name"
    assert "WUINF" not in p.js("return window.__answers")
    p.type_into("#set-unit-NAME", "RIVER-2")
    p.el("#set-unit-write").click()
    row = wait("the read-back", lambda: p.els("#set-unit [data-test=readback-row][data-key=NAME]") or p.no_errors("settings"))[0]
    assert row.get_attribute("data-ok") == "true", row.text
    assert p.js("return window.__answers.ComTcmdRUINF.NAME") == "RIVER-2"
    p.no_errors("settings")


def registration_edit_writes_and_reads_back(p):
    p.el("#tab-registration").click()
    p.el("#reg-read").click()
    name = '[data-path="groups[0].remoteUnits[0].name"]'
    wait("the registration", lambda: p.els(name))
    p.type_into(name, "FLOW-2")
    assert p.el("#reg-status").get_attribute("data-changes") == "1"
    p.js("window.__answers.ComTcmdRSETF = null")
    p.el("#reg-write").click()
    wait("RSETF after WSETF", lambda: p.js("return window.__answers.ComTcmdRSETF"))
    wait("the re-read form", lambda: p.el(name).get_attribute("value") == "FLOW-2")
    assert p.js("return window.__answers.ComTcmdRSETF.regInfo.groups[0].remoteUnits[0].name") == "FLOW-2"
    assert p.el("#reg-status").get_attribute("data-changes") == "0"
    p.no_errors("registration")


def recorded_data_plotted_and_exported(p, save_dir):
    p.el("#tab-recorded").click()
    options = wait("the far units", lambda: p.els("#rec-source option")[1:])
    options[0].click()
    p.el("#rec-download").click()
    wait("the plot", lambda: p.el("#rec-charts").get_attribute("data-plot-ms"), 120)
    answer = p.js("return window.__answers.ComTcmdEWSUC")
    charts = p.el("#rec-charts")
    assert float(charts.get_attribute("data-first")) == answer["FirstDataTime"]
    assert float(charts.get_attribute("data-last")) == answer["LastDataTime"]
    assert len(p.els("#rec-charts .record-chart canvas")) >= 1
    p.el("#rec-csv").click()
    path = os.path.join(save_dir, "recorded.csv")
    wait("the CSV file", lambda: any(path in n.text for n in p.els("[data-test=notice]")) or p.no_errors("recorded CSV"))
    with open(path, encoding="utf-8-sig", newline="") as f:
        lines = f.read().split("\r\n")
    assert lines[0].startswith("time,unix time,ch1") and len(lines) > 2, lines[:3]
    assert lines[1].split(",")[1] == str(answer["FirstDataTime"]), lines[:3]
    p.no_errors("recorded")


def event_log_table(p):
    p.el("#tab-eventlog").click()
    p.el("#log-read").click()
    rows = wait("log rows", lambda: p.els("#log-rows [data-test=log-row]"))
    p.type_into("#log-filter", "no-such-entry-text")
    assert p.el("#log-count").get_attribute("data-shown") == "0"
    p.type_into("#log-filter", "")
    assert int(p.el("#log-count").get_attribute("data-shown")) == len(rows)
    p.no_errors("eventlog")


def sibling_import_compared(p):
    p.el("#tab-sibling").click()
    p.el("#sibling-load").click()
    wait("the sibling units", lambda: p.els("#sibling-units [data-test=sibling-unit]"))
    p.el("#sibling-compare-button").click()
    summary = wait("the comparison", lambda: p.els("#sibling-summary"))[0]
    assert summary.get_attribute("data-changed") == "1", summary.text
    assert summary.get_attribute("data-sibling-only") == "1", summary.text
    assert p.el("#sibling-compare tr[data-serial='00C20201']").get_attribute("data-status") == "changed"
    assert p.el("#sibling-running").get_attribute("hidden") is not None  # the sibling application is not running
    p.no_errors("sibling")


def main(binary, artefacts):
    root = tempfile.mkdtemp(prefix="lm-pageflows-")
    env = {k: os.path.join(root, k.lower()) for k in ("HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR")}
    for path in env.values():
        os.makedirs(path, mode=0o700, exist_ok=True)
    os.environ.update(env)
    os.environ.pop("XDG_DOCUMENTS_DIR", None)
    sibling_document(env["HOME"])
    save_dir = os.path.join(root, "saved")
    os.makedirs(save_dir)
    os.makedirs(artefacts, exist_ok=True)
    options = Options()
    options.binary_location = binary
    options.add_argument("--automation")
    options.add_argument("--demo")
    options.set_capability("browserName", "Linkmeter")
    driver = webdriver.WebKitGTK(options=options, executable_path="/usr/bin/WebKitWebDriver")
    try:
        driver.set_window_size(1280, 1000)
        p = Page(driver)
        wait("the page", lambda: p.js("return document.getElementById('app').dataset.ready") == "true")
        p.js(STUBS + "window.__saveDir = arguments[0];", save_dir)
        connect_lan(p)
        settings_write_reads_back(p)
        registration_edit_writes_and_reads_back(p)
        recorded_data_plotted_and_exported(p, save_dir)
        event_log_table(p)
        sibling_import_compared(p)
        driver.save_screenshot(os.path.join(artefacts, "service-flows.png"))
    finally:
        driver.quit()
    print("page flows: settings, registration, recorded data, event log, sibling import passed")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

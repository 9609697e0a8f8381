# Measures the recorded-data plot of 32000 bytes of records in the page: the
# EISUC answer is replaced by a synthetic one (two channels, 8000 records);
# the page notes the time from the answer to the drawn charts.
# usage: recorded_plot.py LINKMETER  (or bin/bench-recorded-plot, under xvfb-run -a)
import os, sys, time, tempfile
from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.webkitgtk.options import Options
root = tempfile.mkdtemp(prefix="p2bench-")
for d in ("home", "config", "runtime"):
    os.makedirs(os.path.join(root, d), exist_ok=True)
os.chmod(os.path.join(root, "runtime"), 0o700)
os.environ.update(HOME=root + "/home", XDG_CONFIG_HOME=root + "/config", XDG_RUNTIME_DIR=root + "/runtime")
opts = Options(); opts.binary_location = sys.argv[1]; opts.add_argument("--automation"); opts.add_argument("--demo")
opts.set_capability("browserName", "Linkmeter")
driver = webdriver.WebKitGTK(options=opts, executable_path="/usr/bin/WebKitWebDriver")
driver.set_window_size(1280, 1000)
js = driver.execute_script
def wait(c, limit=60):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        v = c()
        if v: return v
        time.sleep(0.1)
    raise AssertionError("timeout")
try:
    wait(lambda: js("return document.getElementById('app').dataset.ready") == "true")
    js("""
      const real = app.jsQuery;
      app.jsQuery = function(name, arg, ok, fail, prog) {
        if (name !== 'ComTcmdEISUC') return real.apply(this, arguments);
        const h = new Array(64).fill(0); h[0] = 60; h[42] = 13; h[43] = 208;
        const d = new Array(32000);
        for (let i = 0; i < 8000; ++i) {
          const t = 200 + Math.round(80 * Math.sin(i / 300)), rh = 500 + (i % 200);
          d[4*i] = t & 255; d[4*i+1] = t >> 8; d[4*i+2] = rh & 255; d[4*i+3] = rh >> 8;
        }
        const last = 1796724622, first = last - 7999 * 60;
        setTimeout(() => ok({cmdName:'EISUC', isSuccess:true, isCancel:false, isTimeout:false, Header:h, Data:d, FirstDataTime:first, LastDataTime:last}), 10);
        return 1;
      };""")
    driver.find_element(By.ID, "search-button").click()
    rows = wait(lambda: driver.find_elements(By.CSS_SELECTOR, "#unit-list tr[data-test=unit-row][data-com='1']"))
    rows[0].find_element(By.CSS_SELECTOR, "[data-test=connect]").click()
    wait(lambda: "·" in driver.find_element(By.ID, "connected-unit").text)
    driver.find_element(By.ID, "tab-recorded").click()
    times = []
    for run in range(5):
        js("delete document.getElementById('rec-charts').dataset.plotMs")
        driver.find_element(By.ID, "rec-download").click()
        wait(lambda: js("return document.getElementById('rec-charts').dataset.plotMs"))
        d = js("return Object.assign({}, document.getElementById('rec-charts').dataset)")
        times.append(float(d["plotMs"]))
    rest = sorted(times[1:])
    print("plot of 32000 bytes (8000 records, 2 channels): first %.1f ms, median of the next %d %.1f ms"
          % (times[0], len(rest), rest[len(rest) // 2]))
finally:
    driver.quit()

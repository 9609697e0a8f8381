"""Power events reach the page: logind's PrepareForSleep and UPower's
OnBattery, from python-dbusmock on a private system bus, arrive in
app.onSystemEvent with exactly one flag set; a resume arrives as
resumeAutomatic, then resumeSuspend. While awake the program holds logind's
delay lock for sleep, lets it go once the suspend event was handed to the
page and takes it again on resume. Drives the real window through WebDriver
(--automation).

usage: power_events_test.py LINKMETER  (under an X server and dbus-run-session)"""
import os
import sys
import time

import dbus
import dbusmock
from selenium import webdriver
from selenium.webdriver.webkitgtk.options import Options

import shelltest

FLAGS = ["powerStatusChange", "resumeAutomatic", "resumeSuspend", "suspend", "powerSettingChange"]


def start_mocks(log):
    # The session bus of dbus-run-session doubles as the system bus.
    os.environ["DBUS_SYSTEM_BUS_ADDRESS"] = os.environ["DBUS_SESSION_BUS_ADDRESS"]
    logind, _ = dbusmock.DBusTestCase.spawn_server_template("logind", {}, log, system_bus=True)
    upower, _ = dbusmock.DBusTestCase.spawn_server_template("upower", {"OnBattery": True}, log, system_bus=True)
    bus = dbus.SystemBus()
    login1 = bus.get_object("org.freedesktop.login1", "/org/freedesktop/login1")
    power = bus.get_object("org.freedesktop.UPower", "/org/freedesktop/UPower")
    return [logind, upower], login1, power


def sleep_signal(login1, starting):
    login1.EmitSignal("org.freedesktop.login1.Manager", "PrepareForSleep", "b", [dbus.Boolean(starting)],
                      dbus_interface="org.freedesktop.DBus.Mock")


def battery_change(power, on_battery):
    power.UpdateProperties("org.freedesktop.UPower", {"OnBattery": dbus.Boolean(on_battery)},
                           dbus_interface="org.freedesktop.DBus.Mock")


def delay_locks(login1):
    """The delay locks on sleep the program holds now."""
    locks = login1.ListInhibitors(dbus_interface="org.freedesktop.login1.Manager")
    return [lock for lock in locks if (lock[0], lock[1], lock[3]) == ("sleep", "Linkmeter", "delay")]


def wait_locks(login1, count, what):
    shelltest.wait_for(lambda: len(delay_locks(login1)) == count, 10, what)


def next_event(driver, count, limit=10):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        events = driver.execute_script("return window.__events")
        if len(events) > count:
            return events[count]
        time.sleep(0.05)
    raise AssertionError("no power event reached the page")


def check(event, flag):
    assert event["name"] == "powerBroadcast", event
    for name in FLAGS:
        assert event[name] is (name == flag), (flag, event)
    assert "monitorPowerOn" not in event, event


def main(binary):
    with shelltest.temp_root() as root, open(os.path.join(root, "mock.log"), "w") as log:
        mocks, login1, power = start_mocks(log)
        env = shelltest.private_env(root)
        os.environ.update({k: env[k] for k in ("HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR")})
        options = Options()
        options.binary_location = binary
        options.add_argument("--automation")
        options.add_argument("--url=" + shelltest.PAGE)
        options.set_capability("browserName", "Linkmeter")
        driver = webdriver.WebKitGTK(options=options, executable_path="/usr/bin/WebKitWebDriver")
        try:
            driver.set_script_timeout(10)
            driver.execute_script("window.__events = []; app.onSystemEvent = function(e){ window.__events.push(e); };")
            # Taken once the program is on the bus, after its subscriptions.
            wait_locks(login1, 1, "the sleep delay lock")
            sleep_signal(login1, True)
            check(next_event(driver, 0), "suspend")
            wait_locks(login1, 0, "the delay lock to go once the page was told")
            sleep_signal(login1, False)
            check(next_event(driver, 1), "resumeAutomatic")
            check(next_event(driver, 2), "resumeSuspend")
            wait_locks(login1, 1, "the delay lock again after resume")
            battery_change(power, False)
            check(next_event(driver, 3), "powerStatusChange")
            time.sleep(0.3)  # nothing more follows
            assert len(driver.execute_script("return window.__events")) == 4
        finally:
            driver.quit()
            for mock in mocks:
                mock.terminate()
                mock.wait(5)
    print("ok: power events")


if __name__ == "__main__":
    main(sys.argv[1])

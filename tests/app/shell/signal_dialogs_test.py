"""A termination signal ends the program in order whatever it has open: with
a message box, a file or folder chooser or a popup menu on screen, SIGTERM,
SIGINT or SIGHUP closes the dialog as cancelled, saves the window's layout
and exits 0. A second signal while the first is handled changes nothing.

usage: signal_dialogs_test.py LINKMETER  (under an X server)"""
import configparser
import os
import signal
import subprocess
import sys
import time

import shelltest

DIALOG_TITLE = "lmtest dialog"
PAGE = "app://res/selftest/dialog.html#"

# (what the page opens, the signal, signals sent one after the other)
CASES = [
    ("msgbox", signal.SIGTERM, 1),
    ("msgbox", signal.SIGHUP, 2),
    ("folder", signal.SIGINT, 1),
    ("file", signal.SIGHUP, 1),
    ("menu", signal.SIGTERM, 1),
    ("none", signal.SIGINT, 1),
]


def dialog_shown():
    out = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, text=True, timeout=10).stdout
    return '"%s"' % DIALOG_TITLE in out


def saved_layout(env):
    profile = configparser.ConfigParser(interpolation=None)
    profile.optionxform = str
    profile.read(os.path.join(env["XDG_CONFIG_HOME"], "VANTOR CORPORATION", "Fieldgauge(VELA)", "profile.ini"))
    return dict(profile["Workspace"]) if "Workspace" in profile else {}


def run_case(binary, kind, signum, count):
    name = "%s/%s" % (kind, signal.Signals(signum).name)
    with shelltest.temp_root() as root:
        env = shelltest.private_env(root, DBUS_SYSTEM_BUS_ADDRESS="unix:path=" + os.path.join(root, "none"))
        program = shelltest.Program(binary, ["--console", "--url=" + PAGE + kind], env)
        try:
            shelltest.wait_for(lambda: program.said("lmtest: asking " + kind), 30, name + ": the page", program)
            if kind in ("msgbox", "file", "folder"):
                shelltest.wait_for(dialog_shown, 15, name + ": the dialog", program)
            else:
                time.sleep(0.5)  # a menu has no title to wait for
            for _ in range(count):
                program.proc.send_signal(signum)
            try:
                code = program.proc.wait(15)
            except subprocess.TimeoutExpired:
                raise AssertionError(name + ": still running 15 s after the signal" + program.report())
        finally:
            if program.proc.poll() is None:
                program.proc.kill()
                program.proc.wait()
        assert code == 0, name + ": exit %d" % code + program.report()
        layout = saved_layout(env)
        assert (layout.get("width"), layout.get("height")) == ("400", "300"), (name, layout)
    print("ok: %s" % name)


def main(binary):
    for kind, signum, count in CASES:
        run_case(binary, kind, signum, count)
    print("ok: signals with dialogs open")


if __name__ == "__main__":
    main(sys.argv[1])

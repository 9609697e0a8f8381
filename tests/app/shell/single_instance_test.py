"""A second start presents the first copy's window and exits 0 without a
window of its own, with a session bus and without one; the window's place
is saved on close and restored on the next start.

usage: single_instance_test.py LINKMETER bus|nobus  (under an X server; 'bus'
under dbus-run-session)"""
import configparser
import os
import subprocess
import sys
import time

import shelltest


def main(binary, mode):
    with shelltest.temp_root() as root:
        extra = {"DBUS_SYSTEM_BUS_ADDRESS": "unix:path=" + os.path.join(root, "no-system-bus")}
        if mode == "nobus":
            # Also keeps GLib from starting a bus of its own for the display.
            extra["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(root, "no-session-bus")
        else:
            assert "DBUS_SESSION_BUS_ADDRESS" in os.environ, "run under dbus-run-session"
        env = shelltest.private_env(root, **extra)
        first = shelltest.Program(binary, ["--url", shelltest.PAGE], env)
        try:
            shelltest.wait_for(lambda: len(shelltest.program_windows()) == 1, 30, "the first window", first)
            started = time.monotonic()
            second = subprocess.run([binary, "--url", shelltest.PAGE], env=env, capture_output=True, text=True,
                                    timeout=20)
            assert second.returncode == 0, "second start: exit %d, %s" % (second.returncode, second.stderr)
            assert time.monotonic() - started < 10
            shelltest.wait_for(lambda: first.said("another start handed over"), 10, "the first copy to be asked", first)
            assert len(shelltest.program_windows()) == 1, shelltest.program_windows()
            assert first.proc.poll() is None, "the first copy ended"
        finally:
            code = first.stop()
        assert code == 0, "first copy: exit %d\n%s" % (code, "".join(first.lines))
        # Closing saved the layout: the default 400 by 300.
        profile = configparser.ConfigParser(interpolation=None)
        profile.optionxform = str  # keys are case-sensitive in the profile
        profile_path = os.path.join(env["XDG_CONFIG_HOME"], "VANTOR CORPORATION", "Fieldgauge(VELA)", "profile.ini")
        profile.read(profile_path)
        assert profile["Version"]["Version"] == "1.05.0 (JPN)"
        assert (profile["Workspace"]["width"], profile["Workspace"]["height"]) == ("400", "300"), dict(
            profile["Workspace"])
        # The saved place comes back on the next start.
        profile["Workspace"].update({"x": "30", "y": "40", "width": "500", "height": "350"})
        with open(profile_path, "w") as f:
            profile.write(f, space_around_delimiters=False)
        again = shelltest.Program(binary, ["--url", shelltest.PAGE], env)
        try:
            shelltest.wait_for(lambda: any("500x350+30+40" in w for w in shelltest.program_windows()), 30,
                               "the restored window", again)
        finally:
            assert again.stop() == 0
    print("ok: single instance (%s)" % mode)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

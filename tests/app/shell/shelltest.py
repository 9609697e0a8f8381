"""Helpers for the shell's whole-program tests: private user folders, the
program's window on the X display, bounded waits."""
import os
import subprocess
import tempfile
import threading
import time

TITLE = "Fieldgauge(VELA)"
PAGE = "app://res/selftest/blank.html"


def private_env(root, **extra):
    """An environment with HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR of its own."""
    env = dict(os.environ)
    for name, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_RUNTIME_DIR", "runtime")):
        path = os.path.join(root, sub)
        os.makedirs(path, mode=0o700, exist_ok=True)
        env[name] = path
    env.update(extra)
    return env


def wait_for(condition, limit, what, program=None):
    """Polls condition; a timeout names what was awaited and, given the
    program, how it stands and what it wrote."""
    end = time.monotonic() + limit
    while time.monotonic() < end:
        if condition():
            return
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what + (program.report() if program else ""))


def program_windows():
    """Mapped top-level windows titled like the program's main window."""
    out = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, text=True, timeout=10).stdout
    found = []
    for line in out.splitlines():
        parts = line.split()
        if not parts or not parts[0].startswith("0x") or '"%s"' % TITLE not in line:
            continue
        info = subprocess.run(["xwininfo", "-id", parts[0]], capture_output=True, text=True, timeout=10).stdout
        if "IsViewable" in info:
            found.append(line.strip())
    return found


class Program:
    """The program in the background, its standard error collected."""

    def __init__(self, binary, args, env):
        self.proc = subprocess.Popen([binary] + args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                     text=True)
        self.lines = []
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.proc.stderr:
            self.lines.append(line)

    def report(self):
        state = "running" if self.proc.poll() is None else "ended with %d" % self.proc.returncode
        return "\nthe program is %s; it wrote:\n%s" % (state, "".join(self.lines))

    def said(self, text):
        return any(text in line for line in self.lines)

    def stop(self, limit=15):
        if self.proc.poll() is None:
            self.proc.terminate()
        try:
            return self.proc.wait(limit)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise AssertionError("the program did not end after SIGTERM")


def temp_root():
    return tempfile.TemporaryDirectory(prefix="lm-shell-py-")

"""What the monitor's test scripts share: a work folder with the demo's
control file and the registration file that stands for the demo's USB base
unit (it cannot give its own), the monitor's environment there, the control
file's lines, and the monitor's output read line by line as it comes."""
import json
import os
import queue
import re
import tempfile
import threading
import time


class DemoWork:
    def __init__(self, prefix, demo_site, unit):
        self.folder = tempfile.mkdtemp(prefix=prefix)
        self.control = os.path.join(self.folder, "control")
        open(self.control, "w").close()
        with open(demo_site) as f:
            base = next(b for b in json.load(f)["baseUnits"] if b["serial"] == unit)
        self.registration = os.path.join(self.folder, "registration.json")
        with open(self.registration, "w") as f:
            json.dump({"groups": base["groups"]}, f)

    def env(self):
        env = dict(os.environ, HOME=self.folder, XDG_CONFIG_HOME=os.path.join(self.folder, ".config"),
                   XDG_DATA_HOME=os.path.join(self.folder, ".local"), LINKMETER_DEMO_CONTROL=self.control)
        env.pop("LINKMETER_PASSWORD", None)
        return env


class DemoControl:
    """Lines for the demo's control file, each waited for until the demo
    answers "ok" in the file beside it; `fail` ends the test."""

    def __init__(self, path, fail):
        self.path, self.fail, self.count = path, fail, 0

    def send(self, text):
        with open(self.path, "a") as f:
            f.write(text + "\n")
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            try:
                with open(self.path + ".out") as f:
                    answers = f.read().splitlines()
                if len(answers) >= self.count + 1:
                    self.count += 1
                    if answers[-1] != "ok":
                        self.fail(f"control line {text!r}: {answers[-1]}")
                    return
            except FileNotFoundError:
                pass
            time.sleep(0.05)
        self.fail(f"the demo did not take {text!r}")


class OutputLines:
    """A process's standard output line by line (`seen`: those read so far)
    and its standard error (`err`), each read by a thread of its own."""

    def __init__(self, proc, fail):
        self.fail = fail
        self.lines = queue.Queue()
        self.seen = []
        self.err = []
        threading.Thread(target=lambda: [self.lines.put(l.rstrip("\n")) for l in proc.stdout], daemon=True).start()
        threading.Thread(target=lambda: self.err.extend(proc.stderr), daemon=True).start()

    def wait(self, pattern, within):
        """The next line matching `pattern` within `within` s."""
        deadline = time.monotonic() + within
        while time.monotonic() < deadline:
            try:
                line = self.lines.get(timeout=max(0.05, deadline - time.monotonic()))
            except queue.Empty:
                break
            self.seen.append(line)
            if re.search(pattern, line):
                return line
        self.fail(f"no line matching {pattern!r} within {within} s")

    def read_for(self, seconds):
        """Takes what comes for at most `seconds` s."""
        try:
            self.seen.append(self.lines.get(timeout=seconds))
        except queue.Empty:
            pass

    def drain(self):
        while not self.lines.empty():
            self.seen.append(self.lines.get())

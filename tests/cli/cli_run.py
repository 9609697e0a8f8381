"""What the command line's test scripts share: a folder of the run's own
(HOME and XDG folders, so its site records are its own), the environment
the command line runs in there, and failures gathered to print at the end."""
import os
import tempfile


class RunFolder:
    def __init__(self, prefix):
        self.root = tempfile.mkdtemp(prefix=prefix)
        # Demo runs keep their records in the demo store; the technician's
        # store beside it stays untouched.
        self.records = os.path.join(self.root, "home", "Documents", "Vantor Corp", "Fieldgauge(VELA)")
        self.store = os.path.join(self.records, "site-records-demo.sqlite")

    def env(self, c_locale=False, **extra):
        """The environment with HOME and the XDG folders in this run's
        folder, no password from outside; `c_locale`: English messages."""
        e = dict(os.environ)
        if c_locale:
            e["LANG"] = "C.UTF-8"
            for name in ("LANGUAGE", "LC_ALL", "LC_MESSAGES"):
                e.pop(name, None)
        for name, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_RUNTIME_DIR", "runtime")):
            path = os.path.join(self.root, sub)
            os.makedirs(path, mode=0o700, exist_ok=True)
            e[name] = path
        e.pop("LINKMETER_PASSWORD", None)
        e.update(extra)
        return e


class Failures(list):
    """The checks that failed, each cut to `width` characters."""

    def __init__(self, width=2000):
        super().__init__()
        self.width = width

    def check(self, what, condition, detail=""):
        if not condition:
            self.append(f"{what}: {detail}"[:self.width])

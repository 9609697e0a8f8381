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


def table_rows(text):
    """The rows of an aligned table as the command line prints it, each a
    dict by column: a table wider than 100 columns wraps its cells onto
    lines of their own, which are joined again here (a line whose first
    cell is empty goes on the row above). The rule line of dashes under the
    header gives where each column starts; the text read is ASCII."""
    lines = text.splitlines()
    rule_at = next((i for i, l in enumerate(lines) if l and set(l) <= {"-", " "}), None)
    if rule_at is None:
        return []
    spans, at = [], 0
    for dashes in lines[rule_at].split():
        start = lines[rule_at].index(dashes, at)
        spans.append((start, start + len(dashes)))
        at = start + len(dashes)

    def cells(line):
        return [line[a:b].strip() if i + 1 < len(spans) else line[a:].strip() for i, (a, b) in enumerate(spans)]

    def joined(rows_of_cells):
        return [" ".join(c for c in column if c) for column in zip(*rows_of_cells)]

    header = joined([cells(l) for l in lines[:rule_at]])
    rows = []
    for line in lines[rule_at + 1:]:
        if not line.strip():
            break  # the notes after the table
        parts = cells(line)
        if parts[0] or not rows:
            rows.append([parts])
        else:
            rows[-1].append(parts)
    return [dict(zip(header, joined(r))) for r in rows]

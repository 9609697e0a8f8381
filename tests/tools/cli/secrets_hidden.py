#!/usr/bin/env python3
"""Secrets come from the command catalogue: walking its settings blocks,
every key it marks secret is hidden on every way out (the page's records
as the command line's recorder keeps them, the command line's JSON and
CSV, a records export) and no unmarked key is.

usage: secrets_hidden.py CLI CATALOGUE_RULES_JSON
"""
import csv
import io
import json
import os
import sqlite3
import subprocess
import sys

from cli_run import Failures, RunFolder

CLI, RULES = sys.argv[1], sys.argv[2]
RUN = RunFolder("lm-cli-secrets-")
ROOT, STORE = RUN.root, RUN.store
HIDDEN = {"hidden": True}
FAILURES = Failures()
check = FAILURES.check


def run(*args):
    p = subprocess.run([CLI, "--demo", *args], capture_output=True, text=True, timeout=120, env=RUN.env())
    if p.returncode != 0:
        FAILURES.append(f"{' '.join(args)}: exit {p.returncode}\n{p.stderr}")
    return p.stdout


def catalogue():
    """The settings blocks by name, and every key of their writes with the
    ones marked secret."""
    with open(RULES, encoding="utf-8") as f:
        rules = json.load(f)
    names, keys, secret = set(), set(), set()
    for block in rules["blocks"]:
        args = rules["commands"].get(block.get("write"), {}).get("args", [])
        names.add(block["name"])
        keys |= {a["key"] for a in args}
        secret |= {a["key"] for a in args if a.get("secret")}
    check("no key is marked in one block and not in another",
          not any(a["key"] in secret and not a.get("secret") for c in rules["commands"].values() for a in c.get("args", [])
                  if a["key"] in keys))
    return names, keys, secret


BLOCKS, KEYS, SECRET = catalogue()


def check_values(path, values, hidden_value):
    for key in KEYS & set(values):
        if key in SECRET:
            check(f"{path} {key}: hidden", values[key] == hidden_value, values[key])
        else:
            check(f"{path} {key}: shown", values[key] != hidden_value, values[key])
    return SECRET & set(values)


def check_readbacks(path, db_file):
    seen = set()
    with sqlite3.connect(db_file) as db:
        for (text,) in db.execute("select decoded_json from settings_readbacks"):
            seen |= check_values(path, json.loads(text or "{}"), HIDDEN)
    check(f"{path}: every secret key kept hidden", seen == SECRET, sorted(SECRET - seen))


def main():
    check("the catalogue marks the passwords and keys", {"PW", "PSK", "WEP"} <= SECRET, SECRET)

    data = json.loads(run("settings", "read", "--format", "json"))
    check("json: settings blocks only", set(data["blocks"]) <= BLOCKS, sorted(set(data["blocks"]) - BLOCKS))
    seen = set()
    for values in data["blocks"].values():
        seen |= check_values("json", values, HIDDEN)
    check("json: every secret key read", seen == SECRET, sorted(SECRET - seen))

    rows = list(csv.DictReader(io.StringIO(run("settings", "read", "--format", "csv"))))
    for block in data["blocks"]:
        check_values(f"csv {block}", {r["key"]: r["value"] for r in rows if r["block"] == block}, "(hidden)")

    check_readbacks("records", STORE)
    with sqlite3.connect(STORE) as db:
        serial = db.execute("select serial from sites").fetchone()[0]
    export = os.path.join(ROOT, "export.sqlite")
    run("records", "export", "--site", f"{serial:08X}", export)
    check_readbacks("export", export)

    if FAILURES:
        print("\n".join(FAILURES))
        sys.exit(1)


if __name__ == "__main__":
    main()

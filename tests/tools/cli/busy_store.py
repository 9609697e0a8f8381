#!/usr/bin/env python3
"""A site survey while another process holds the site records' write lock:
the measurement takes as long as without the lock, the survey is reported
partly done AND not recorded (exit status 7), its writes wait in the
pending file beside the store, and the next run writes them: every unit's
probes end up in the store once the lock is gone.

usage: busy_store.py CLI
"""
import json
import os
import subprocess
import sys
import time

from cli_run import Failures, RunFolder

CLI = sys.argv[1]
RUN = RunFolder("lm-cli-busy-")
RECORDS, STORE = RUN.records, RUN.store
PENDING = os.path.join(RECORDS, "site-records-demo.pending.json")
LOCK_SECONDS = 45
PARTLY, PARTLY_NOT_RECORDED = 5, 7
FAILURES = Failures()
check = FAILURES.check

# Holds BEGIN IMMEDIATE (the write lock) for a while, as another program
# writing the store would; says "locked" once it has it.
HOLDER = """
import sqlite3, sys, time
db = sqlite3.connect(sys.argv[1], isolation_level=None, timeout=30)
db.execute("BEGIN IMMEDIATE")
print("locked", flush=True)
time.sleep(float(sys.argv[2]))
db.execute("ROLLBACK")
"""


def survey():
    start = time.monotonic()
    p = subprocess.run([CLI, "--demo", "survey", "--site", "--probes", "1", "--format", "json"], capture_output=True, text=True,
                       timeout=180, env=RUN.env())
    return p.returncode, json.loads(p.stdout) if p.stdout.strip() else {}, p.stderr, time.monotonic() - start


def rows(sql, *args):
    import sqlite3
    with sqlite3.connect(STORE, timeout=30) as db:
        return db.execute(sql, args).fetchall()


def main():
    rc, data, err, unlocked = survey()
    check("unlocked: partly done (two demo units are silent)", rc == PARTLY, f"{rc}\n{err}")
    check("unlocked: recorded", data.get("recordId") is not None, err)

    holder = subprocess.Popen([sys.executable, "-c", HOLDER, STORE, str(LOCK_SECONDS)], stdout=subprocess.PIPE,
                              text=True)
    try:
        check("the lock is taken", holder.stdout.readline().strip() == "locked")
        locked_at = time.monotonic()
        rc, data, err, locked = survey()
        check("locked: partly done and not recorded", rc == PARTLY_NOT_RECORDED, f"{rc}\n{err}")
        check("locked: says where the writes wait", "not written" in err and PENDING in err, err)
        # Held up by the lock, the run would wait out its 45 s; a loaded
        # machine alone makes the two runs differ by ten seconds or so.
        check("locked: not held up by the lock", locked < unlocked + 20, f"{locked:.1f} s against {unlocked:.1f} s")
        check("locked: every unit measured", len(data.get("units", [])) == 20, len(data.get("units", [])))
        check("locked: the lock outlived the run", time.monotonic() - locked_at < LOCK_SECONDS, "the lock ended first")
        check("pending file kept 0600", os.path.exists(PENDING) and os.stat(PENDING).st_mode & 0o777 == 0o600)
    finally:
        holder.wait(timeout=LOCK_SECONDS + 30)

    # The next run writes what waited, then its own survey.
    rc, _, err, _ = survey()
    check("next run: partly done, recorded", rc == PARTLY, f"{rc}\n{err}")
    check("next run: the pending file is gone", not os.path.exists(PENDING))
    surveys = rows("select id, ended_at is not null from surveys where kind = 'site' order by id")
    check("three site surveys", len(surveys) == 3 and all(ended for _, ended in surveys), surveys)
    for survey_id, _ in surveys:
        probes = rows("select count(distinct route) from probes where survey_id = ?", survey_id)[0][0]
        check(f"survey {survey_id}: every unit's probe", probes == 20, probes)
    visits = rows("select count(*) from visits where ended_at is null")[0][0]
    check("every visit ended", visits == 0, visits)

    if FAILURES:
        print("\n".join(FAILURES))
        sys.exit(1)


if __name__ == "__main__":
    main()

"""Team records in History: a PostgreSQL 15 started in a temporary folder
(Unix socket only) is set up with `linkmeter-cli records server-init`; a
colleague's laptop (its own HOME) holds a visit of another site and sends it
with `records sync`; the program, started on a laptop that never saw that
site and with no unit connected, syncs from History's "Sync now" and lists
the colleague's visit with its author, synced; `records list` on that laptop
shows it too. Screenshots go to the artefact folder.

usage: team_sync_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session;
linkmeter-cli is taken from beside LINKMETER)"""
import csv
import faulthandler
import hashlib
import io
import os
import pwd
import sqlite3
import struct
import subprocess
import sys
import tempfile

from selenium.webdriver.support.ui import Select

import pagedriver
from page_flows_test import check

PG_BIN = "/usr/lib/postgresql/15/bin/"
COLLEAGUE_SITE = 0x00D00042
STARTED_AT = 1_765_000_000_000


def as_server_user(cmd):
    return (["runuser", "-u", "nobody", "--"] if os.geteuid() == 0 else []) + cmd


class Postgres:
    """A server of the test's own, stopped at the end however the test ends."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="lm-pg-gui-")
        if os.geteuid() == 0:
            nobody = pwd.getpwnam("nobody")
            os.chown(self.dir, nobody.pw_uid, nobody.pw_gid)
        data = os.path.join(self.dir, "data")
        # Stops the server and removes its folder once this process ends,
        # however it ends (killed for its time included).
        self.watchdog = subprocess.Popen(
            ["sh", "-c", 'cat >/dev/null; "$@" >/dev/null 2>&1; rm -rf "$0"', self.dir]
            + as_server_user([PG_BIN + "pg_ctl", "-D", data, "-m", "immediate", "stop"]),
            stdin=subprocess.PIPE, start_new_session=True)
        subprocess.run(as_server_user([PG_BIN + "initdb", "-D", data, "-A", "trust", "-U", "lmadmin", "-E", "UTF8",
                                       "--no-locale"]), check=True, capture_output=True, timeout=120)
        subprocess.run(as_server_user([PG_BIN + "pg_ctl", "-D", data, "-w", "-t", "60", "-l",
                                       os.path.join(self.dir, "log"), "-o",
                                       "-k %s -c listen_addresses='' -p 5432 -c fsync=off" % self.dir, "start"]),
                       check=True, capture_output=True, timeout=120)

    def uri(self, user, db="team"):
        return "postgresql://%s@/%s?host=%s&port=5432" % (user, db, self.dir)

    def sql(self, text, db="team"):
        subprocess.run([PG_BIN + "psql", "-v", "ON_ERROR_STOP=1", "-q", self.uri("lmadmin", db), "-c", text],
                       check=True, capture_output=True, timeout=60)

    def stop(self):
        if not os.path.isdir(self.dir):
            return
        subprocess.run(as_server_user([PG_BIN + "pg_ctl", "-D", os.path.join(self.dir, "data"), "-m", "immediate",
                                       "stop"]), capture_output=True, timeout=60)
        subprocess.run(["rm", "-rf", self.dir])
        self.watchdog.stdin.close()
        self.watchdog.wait(timeout=60)


def content_id(kind, *fields):
    """A content id as the store computes it: typed, length-prefixed fields."""
    def field(tag, data):
        return tag + struct.pack("<Q", len(data)) + data
    out = field(b"s", kind.encode())
    for f in fields:
        out += field(b"i", struct.pack("<q", f))
    return hashlib.sha256(out).hexdigest()


def cli(cli_path, env, *args, status=0):
    run = subprocess.run([cli_path, *args], env=env, capture_output=True, text=True, timeout=120)
    check(run.returncode == status, "linkmeter-cli %s: status %d\n%s" % (" ".join(args), run.returncode, run.stderr))
    return run.stdout


def listed(cli_path, env):
    return list(csv.DictReader(io.StringIO(cli(cli_path, env, "records", "list", "--format", "csv"))))


def colleague_sends_a_visit(cli_path, env, pg):
    """The colleague's store holds one visit of its own site, sent as tanaka."""
    cli(cli_path, env, "records", "list")  # the store, created at this version
    store = [os.path.join(d, "site-records.sqlite") for d, _, files in os.walk(env["HOME"])
             if "site-records.sqlite" in files]
    check(len(store) == 1, "one store in the colleague's home: %s" % store)
    db = sqlite3.connect(store[0])
    with db:
        db.execute("INSERT INTO sites(content_id, serial, name, model) VALUES (?, ?, 'HILLTOP', 'VL-B7')",
                   (content_id("site", COLLEAGUE_SITE), COLLEAGUE_SITE))
        db.execute("INSERT INTO visits(content_id, site_id, started_at, ended_at, technician, customer, notes) "
                   "SELECT ?, id, ?, ?, 'Tanaka', 'Hill farm', 'pump house' FROM sites WHERE serial = ?",
                   (content_id("visit", COLLEAGUE_SITE, STARTED_AT), STARTED_AT, STARTED_AT + 3_600_000,
                    COLLEAGUE_SITE))
    db.close()
    cli(cli_path, env, "records", "sync", "--server", pg.uri("tanaka"))
    rows = listed(cli_path, env)
    check([(r["site"], r["sent by"], r["synced"]) for r in rows] == [("00D00042", "tanaka", "yes")],
          "the colleague's visit is sent and synced: %s" % rows)


def sync_now_lists_the_colleague(page, pg):
    page.click("#tab-history")
    page.wait_for(lambda: page.attr("#history-status", "data-state") in ("empty", "ready"), 30, "the history")
    page.type_into("#history-sync-server", pg.uri("sato"))
    page.shot("team-sync-server")
    page.click("#history-sync-now")
    page.wait_attr("#history-sync-status", "data-state", ("done", "failed"), 60)
    check(page.attr("#history-sync-status", "data-state") == "done",
          "the sync is done: %s" % page.text("#history-sync-status"), page)
    check("sato" in page.text("#history-sync-status"), "it says who this computer sends as", page)
    page.wait_for(lambda: page.all("#history-site option[value='%d']" % COLLEAGUE_SITE), 30, "the colleague's site")
    Select(page.find("#history-site")).select_by_value(str(COLLEAGUE_SITE))
    row = "#history-visits tr[data-test=history-visit]"
    page.wait_for(lambda: len(page.all(row)) == 1, 30, "the colleague's visit")
    check(page.attr(row + " [data-test=history-visit-author]", "data-sent-by") == "tanaka",
          "listed with its author", page)
    check(page.attr(row + " [data-test=history-visit-synced]", "data-synced") == "true", "marked synced", page)
    check("pump house" in page.text(row), "with the colleague's notes", page)
    page.shot("team-sync-colleague-visit")


def server_stopped(cli_path, env, pg, rows):
    """No server: a clear message, exit status 1, the store as it was."""
    pg.stop()
    run = subprocess.run([cli_path, "records", "sync", "--server", pg.uri("sato")], env=env, capture_output=True,
                         text=True, timeout=60)
    check(run.returncode == 1, "a sync without its server fails: %d" % run.returncode)
    check("could not be reached" in run.stderr, "and says why: %s" % run.stderr)
    check(listed(cli_path, env) == rows, "the store is as it was")


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "540")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    cli_path = os.environ.get("LM_CLI") or os.path.join(os.path.dirname(binary), "linkmeter-cli")
    pg = Postgres()
    try:
        with pagedriver.shelltest.temp_root() as root:
            pg.sql("CREATE DATABASE team", db="postgres")
            mine = pagedriver.shelltest.private_env(os.path.join(root, "sato"))
            theirs = pagedriver.shelltest.private_env(os.path.join(root, "tanaka"))
            out = cli(cli_path, mine, "records", "server-init", "--server", pg.uri("lmadmin"), "--format", "csv")
            check("created" in out, "server-init sets the schema up: %s" % out)
            again = cli(cli_path, mine, "records", "server-init", "--server", pg.uri("lmadmin"), "--format", "csv")
            check("already there" in again, "a second server-init changes nothing: %s" % again)
            pg.sql("CREATE ROLE sato LOGIN IN ROLE linkmeter_technician;"
                   "CREATE ROLE tanaka LOGIN IN ROLE linkmeter_technician")
            colleague_sends_a_visit(cli_path, theirs, pg)
            os.environ.pop("LINKMETER_DEMO_CONTROL", None)
            os.environ["LANG"] = "en_US.UTF-8"
            page = pagedriver.Page(binary, os.path.join(root, "sato"), artefacts, args=())
            try:
                pagedriver.run_steps(page, [lambda p: sync_now_lists_the_colleague(p, pg)])
                check(not page.errors(), "no errors shown: %s" % page.errors(), page)
            finally:
                page.quit()
            rows = listed(cli_path, mine)
            check([(r["site"], r["sent by"]) for r in rows] == [("00D00042", "tanaka")],
                  "records list on this laptop shows the colleague's visit: %s" % rows)
            server_stopped(cli_path, mine, pg, rows)
    finally:
        pg.stop()
    print("team_sync: ok")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

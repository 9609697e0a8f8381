"""A year of the monitor's site records at the default retention, and the
time of History's queries on it (the site list, the visits, a visit's
records, a unit's trend: the queries records/src/RecordReader.cpp runs).

Usage: monitor-year.py STORE OUT [TOOL]
STORE: any site-records file at this version's schema (its tables, indexes
and triggers are copied, not its rows; `TOOL schema STORE` makes one); OUT:
the year's store, made afresh (about 2 GB). TOOL: bench-monitor-thin; with
it the year's end is thinned by the monitor's own code (packing the hop
statistics of every day past the probes' time), the store is measured
before and after (and after a VACUUM), and the trends are timed through
History's reader as well."""
import os, re, sqlite3, subprocess, sys, time

HERE = os.path.dirname(os.path.abspath(__file__))
SITE = 0x009A0011
YEAR_END = 1775520000000 + 365 * 86400000
TREND_UNITS = (0x00BC0000 + 100, 0x00C80003)


def make(store, out):
    if os.path.exists(out):
        os.remove(out)
    src = sqlite3.connect(f'file:{store}?mode=ro', uri=True)
    rows = src.execute("SELECT type, sql FROM sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite_%' ORDER BY rowid").fetchall()
    dst = sqlite3.connect(out)
    for kind, sql in rows:
        if kind == 'table':
            dst.execute(sql)
    dst.execute(f"PRAGMA user_version={src.execute('PRAGMA user_version').fetchone()[0]}")
    dst.commit()
    dst.close()
    with open(os.path.join(HERE, 'monitor-year.sql')) as gen:
        subprocess.run(['sqlite3', out], stdin=gen, check=True, stdout=subprocess.DEVNULL)
    # Indexes and triggers after the rows: built once, not row by row.
    dst = sqlite3.connect(out)
    for kind, sql in rows:
        if kind != 'table':
            dst.execute(sql)
    dst.commit()
    dst.close()


def timed(label, work):
    best = None
    for _ in range(3):
        start = time.perf_counter()
        n = work()
        ms = (time.perf_counter() - start) * 1000
        best = ms if best is None else min(best, ms)
    print(f'{label}: {best:.1f} ms ({n} rows)')


def history(out):
    db = sqlite3.connect(f'file:{out}?mode=ro', uri=True)
    print('store', round(os.path.getsize(out) / 1e6, 1), 'MB')
    for name, size in db.execute('SELECT name, sum(pgsize) FROM dbstat GROUP BY name ORDER BY 2 DESC LIMIT 6'):
        print(' ', name, round(size / 1e6, 1), 'MB')
    reader = open(os.path.join(HERE, '..', '..', 'records', 'src', 'RecordReader.cpp')).read()
    summaries = re.search(r'kSummaries = R"sql\((.*?)\)sql"', reader, re.S).group(1)
    timed('sites', lambda: len(db.execute(
        'SELECT s.id, count(v.id), max(v.started_at) FROM sites s LEFT JOIN visits v ON v.site_id = s.id GROUP BY s.id').fetchall()))

    def visits():
        rows = db.execute('SELECT v.id, v.content_id, v.started_at, v.technician, v.ended_at, EXISTS (SELECT 1 FROM '
                          'sync_marks m WHERE m.visit_id = v.id) FROM visits v JOIN sites s ON s.id = v.site_id '
                          'WHERE s.serial = ? ORDER BY v.started_at DESC, v.id DESC', (SITE,)).fetchall()
        for r in rows:
            db.execute('SELECT content_id, replaces FROM visit_versions WHERE visit_id = ?', (r[0],)).fetchall()
        return len(rows)
    timed('visits', visits)
    for visit in (365, 1):
        timed(f'records of visit {visit}', lambda: len(db.execute(summaries.replace('?1', str(visit))).fetchall()))
    for unit in TREND_UNITS:
        timed(f'trend of unit {unit:08X} (hop_stats rows only)', lambda: len(db.execute(
            'SELECT v.id, su.id, h.sent, h.answered, h.level_min, h.level_avg, h.battery FROM hop_stats h '
            'JOIN surveys su ON su.id = h.survey_id JOIN visits v ON v.id = su.visit_id JOIN sites s ON s.id = v.site_id '
            'WHERE h.unit = ? AND s.serial = ? ORDER BY v.started_at, su.started_at, h.route, h.hop', (unit, SITE)).fetchall()))


def through(tool, out):
    print('live pages', round(sqlite3.connect(out).execute('SELECT sum(pgsize) FROM dbstat').fetchone()[0] / 1e6, 1), 'MB')
    for unit in TREND_UNITS:
        subprocess.run([tool, 'trend', out, f'{unit:08X}'], check=True)


if __name__ == '__main__':
    make(sys.argv[1], sys.argv[2])
    history(sys.argv[2])
    if len(sys.argv) > 3:
        tool = sys.argv[3]
        through(tool, sys.argv[2])
        subprocess.run([tool, 'thin', sys.argv[2], str(YEAR_END)], check=True)
        print('after thinning:')
        history(sys.argv[2])
        through(tool, sys.argv[2])
        sqlite3.connect(sys.argv[2]).execute('VACUUM')
        print('after VACUUM:', round(os.path.getsize(sys.argv[2]) / 1e6, 1), 'MB')

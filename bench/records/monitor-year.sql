-- The site records of a year of a 256-unit site (16 repeaters, 15 units behind
-- each) surveyed every 10 minutes, as the monitor's default retention leaves
-- them: 365 day visits of the monitor, every round's survey and hop
-- statistics, the probes of the last 30 days, and a probe-thinning record for
-- each older day. Run by monitor-year.py on a store holding only the tables.
PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-400000;
INSERT INTO sites(id, content_id, serial, name, model) VALUES (1, 'site', 10092561, 'Soak site', 'LM-B');
WITH RECURSIVE d(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM d WHERE n < 364)
INSERT INTO visits(id, content_id, site_id, started_at, ended_at, technician, notes)
SELECT n + 1, 'visit' || n, 1, 1775520000000 + n * 86400000, 1775520000000 + (n + 1) * 86400000, 'monitor', 'the rounds of one day' FROM d;
CREATE TEMP TABLE r(route INTEGER, hop INTEGER, from_unit INTEGER, unit INTEGER);
WITH RECURSIVE k(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM k WHERE n < 255)
INSERT INTO r SELECT n, 0, 10092561, CASE WHEN n < 16 THEN 13107200 + n ELSE 13107200 + (n - 16) / 15 END FROM k;
INSERT INTO r SELECT route, 1, 13107200 + (route - 16) / 15, 12320768 + (route - 16) FROM r WHERE route >= 16 AND hop = 0;
WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < 52560)
INSERT INTO surveys(id, content_id, visit_id, kind, started_at, ended_at, probes_per_route, routes_json, thresholds_json)
SELECT n, printf('%064x', n), (n - 1) / 144 + 1, 'site', 1775520000000 + (n - 1) * 600000, 1775520000000 + (n - 1) * 600000 + 60000, 5,
  (SELECT '[' || group_concat(j, ',') || ']' FROM (SELECT route, '[' || group_concat(unit, ',') || ']' AS j FROM (SELECT * FROM r ORDER BY route, hop) GROUP BY route ORDER BY route)),
  '{"level":{"weak":80},"battery":{"ok":20}}' FROM s;
INSERT INTO hop_stats SELECT su.id, r.route, r.hop, r.from_unit, r.unit, 5, 5 - (su.id + r.route) % 2,
  100 + (su.id * 7 + r.route * 13) % 60 - 4.0, 100 + (su.id * 7 + r.route * 13) % 60 + 0.4, 100 + (su.id * 7 + r.route * 13) % 60 + 3.0, 90.0
  FROM surveys su, r ORDER BY su.id, r.route, r.hop;
WITH RECURSIVE q(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM q WHERE n < 4)
INSERT INTO probes SELECT su.id, r.route, q.n, su.started_at + r.route * 50 + q.n * 10, (su.id + r.route + q.n) % 17 != 0,
  CASE WHEN r.route < 16 THEN x'015A5A' ELSE x'015A5A025A5A' END
  FROM surveys su, (SELECT DISTINCT route FROM r) r, q WHERE su.visit_id > 335 ORDER BY su.id, r.route, q.n;
INSERT INTO thinnings(content_id, visit_id, taken_at, source, raw, decoded_json)
SELECT 'thin' || v.id, v.id, v.started_at + 31 * 86400000, 'monitor-009A0011', x'',
  '{"policy":{"probeDays":30,"hopDays":365},"probes":184320,"hops":0,"surveys":0,"removed":[' ||
  (SELECT group_concat(printf('{"survey":"%064x","part":"probes","count":1280,"sha256":"%064x"}', su.id, su.id), ',') FROM surveys su WHERE su.visit_id = v.id) || ']}'
  FROM visits v WHERE v.id <= 335;
INSERT INTO thinned_parts SELECT su.id, 'probes', 1280, printf('%064x', su.id), t.id FROM surveys su JOIN thinnings t ON t.visit_id = su.visit_id;

-- Linkmeter team records on PostgreSQL, server schema version 5: the count
-- of each record's parts, kept as they arrive.
-- Brings a version-4 server up to date, keeping its records:
--   linkmeter-cli records server-init --server SERVICE
-- or: psql "service=SERVICE" -v ON_ERROR_STOP=1 -1 -f team-records-5.sql
--
-- A sync compares what each side holds of a site, a record's parts by their
-- number. Counting them at every sync read every part of the site (of every
-- site, as the counts were grouped), so a year of a monitored site made each
-- sync outlast its statement timeout. The counts are kept instead, by
-- triggers on the part tables as rows arrive or go; the parts themselves stay
-- the records, checked against their seals as before.
-- Every object is named with its schema, and functions run with
-- search_path = linkmeter, pg_catalog, pg_temp.

SET LOCAL search_path = linkmeter, pg_catalog, pg_temp;

DO $$
BEGIN
  IF (SELECT max(version) FROM linkmeter.schema_version) IS DISTINCT FROM 4 THEN
    RAISE EXCEPTION 'team-records-5.sql applies to a server at schema version 4 only';
  END IF;
END $$;

INSERT INTO linkmeter.schema_version VALUES (5);

-- The number of parts of one kind a record (a survey, scan or settings
-- write, by its content id) has on the server.
CREATE TABLE linkmeter.part_counts (
  head text NOT NULL,
  part text NOT NULL CHECK (part IN ('probes', 'hops', 'rounds', 'keys')),
  n bigint NOT NULL CHECK (n >= 0),
  PRIMARY KEY (head, part)
);

-- A sync adding parts meanwhile waits for the counts and their triggers:
-- parts committed before are counted here, parts added after by the triggers.
LOCK TABLE linkmeter.probes, linkmeter.hop_stats, linkmeter.scan_rounds, linkmeter.settings_write_keys IN SHARE MODE;

INSERT INTO linkmeter.part_counts (head, part, n)
  SELECT survey, 'probes', count(*) FROM linkmeter.probes GROUP BY survey
  UNION ALL SELECT survey, 'hops', count(*) FROM linkmeter.hop_stats GROUP BY survey
  UNION ALL SELECT scan, 'rounds', count(*) FROM linkmeter.scan_rounds GROUP BY scan
  UNION ALL SELECT write_id, 'keys', count(*) FROM linkmeter.settings_write_keys GROUP BY write_id;

-- Parts added or removed by one statement, counted by record. Run as the
-- schema's owner: technicians read the counts and never write them.
CREATE FUNCTION linkmeter.count_parts() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
DECLARE
  part text := CASE TG_TABLE_NAME WHEN 'probes' THEN 'probes' WHEN 'hop_stats' THEN 'hops'
                                  WHEN 'scan_rounds' THEN 'rounds' ELSE 'keys' END;
  head_column text := CASE TG_TABLE_NAME WHEN 'scan_rounds' THEN 'scan'
                                         WHEN 'settings_write_keys' THEN 'write_id' ELSE 'survey' END;
BEGIN
  IF TG_OP = 'INSERT' THEN
    EXECUTE format('INSERT INTO linkmeter.part_counts AS c (head, part, n) '
                   'SELECT %I, $1, count(*) FROM new_rows GROUP BY %I '
                   'ON CONFLICT (head, part) DO UPDATE SET n = c.n + EXCLUDED.n', head_column, head_column)
      USING part;
  ELSE
    EXECUTE format('UPDATE linkmeter.part_counts c SET n = c.n - o.n '
                   'FROM (SELECT %I AS head, count(*) AS n FROM old_rows GROUP BY %I) o '
                   'WHERE c.head = o.head AND c.part = $1', head_column, head_column)
      USING part;
  END IF;
  RETURN NULL;
END $$;
REVOKE ALL ON FUNCTION linkmeter.count_parts() FROM PUBLIC;

CREATE TRIGGER counts_added AFTER INSERT ON linkmeter.probes REFERENCING NEW TABLE AS new_rows
  FOR EACH STATEMENT EXECUTE FUNCTION linkmeter.count_parts();
CREATE TRIGGER counts_added AFTER INSERT ON linkmeter.hop_stats REFERENCING NEW TABLE AS new_rows
  FOR EACH STATEMENT EXECUTE FUNCTION linkmeter.count_parts();
CREATE TRIGGER counts_added AFTER INSERT ON linkmeter.scan_rounds REFERENCING NEW TABLE AS new_rows
  FOR EACH STATEMENT EXECUTE FUNCTION linkmeter.count_parts();
CREATE TRIGGER counts_added AFTER INSERT ON linkmeter.settings_write_keys REFERENCING NEW TABLE AS new_rows
  FOR EACH STATEMENT EXECUTE FUNCTION linkmeter.count_parts();
CREATE TRIGGER counts_removed AFTER DELETE ON linkmeter.probes REFERENCING OLD TABLE AS old_rows
  FOR EACH STATEMENT EXECUTE FUNCTION linkmeter.count_parts();
CREATE TRIGGER counts_removed AFTER DELETE ON linkmeter.hop_stats REFERENCING OLD TABLE AS old_rows
  FOR EACH STATEMENT EXECUTE FUNCTION linkmeter.count_parts();
CREATE TRIGGER counts_removed AFTER DELETE ON linkmeter.scan_rounds REFERENCING OLD TABLE AS old_rows
  FOR EACH STATEMENT EXECUTE FUNCTION linkmeter.count_parts();
CREATE TRIGGER counts_removed AFTER DELETE ON linkmeter.settings_write_keys REFERENCING OLD TABLE AS old_rows
  FOR EACH STATEMENT EXECUTE FUNCTION linkmeter.count_parts();

GRANT SELECT ON linkmeter.part_counts TO linkmeter_technician, linkmeter_admin;

-- Linkmeter team records on PostgreSQL, server schema version 1.
--
-- The same records as a laptop's site-records store, keyed by content id,
-- in the schema "linkmeter". Applied once, as the database's owner:
--   linkmeter-cli records server-init --server SERVICE
-- or: psql "service=SERVICE" -v ON_ERROR_STOP=1 -1 -f team-records-1.sql
--
-- Every content id is computed again here, with the server's own sha256(),
-- over the same typed, length-prefixed fields the laptops hash: a row whose
-- id does not match its content is refused, so no client can forge a record
-- or pass one off under another's id. Who sent a row is the session user,
-- set here, never taken from the client.
--
-- Roles: linkmeter_technician may only SELECT and INSERT (the records are
-- append-only by privilege); linkmeter_admin may also DELETE. Both are
-- groups without login; give each person a login role in one of them.

CREATE SCHEMA linkmeter;
SET LOCAL search_path = linkmeter, pg_catalog;

DO $$
BEGIN
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'linkmeter_technician') THEN
    CREATE ROLE linkmeter_technician NOLOGIN;
  END IF;
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'linkmeter_admin') THEN
    CREATE ROLE linkmeter_admin NOLOGIN;
  END IF;
END $$;

CREATE TABLE schema_version (version integer NOT NULL);
INSERT INTO schema_version VALUES (1);

-- ---- The content-id encoding ------------------------------------------------
-- A field is a tag byte ('i' integer, 'n' absent, 's' UTF-8 text, 'b' bytes),
-- its length as 8 little-endian bytes, then its bytes; an integer is its 8
-- little-endian two's-complement bytes. The id is the hex SHA-256 of the
-- record's kind (a text field) followed by its fields.

CREATE FUNCTION le64(v bigint) RETURNS bytea LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
  SELECT substring(b FROM 8 FOR 1) || substring(b FROM 7 FOR 1) || substring(b FROM 6 FOR 1)
      || substring(b FROM 5 FOR 1) || substring(b FROM 4 FOR 1) || substring(b FROM 3 FOR 1)
      || substring(b FROM 2 FOR 1) || substring(b FROM 1 FOR 1)
  FROM (SELECT int8send(v) AS b) s
$$;

CREATE FUNCTION field(tag text, data bytea) RETURNS bytea LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
  SELECT convert_to(tag, 'UTF8') || le64(length(data)) || data
$$;

CREATE FUNCTION f_int(v bigint) RETURNS bytea LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
  SELECT CASE WHEN v IS NULL THEN field('n', ''::bytea) ELSE field('i', le64(v)) END
$$;

CREATE FUNCTION f_text(t text) RETURNS bytea LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
  SELECT field('s', convert_to(coalesce(t, ''), 'UTF8'))
$$;

CREATE FUNCTION f_bytes(b bytea) RETURNS bytea LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
  SELECT field('b', coalesce(b, ''::bytea))
$$;

CREATE FUNCTION hex_id(kind text, fields bytea) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
  SELECT encode(sha256(f_text(kind) || fields), 'hex')
$$;

CREATE FUNCTION site_id(serial bigint) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
  SELECT hex_id('site', f_int(serial))
$$;

CREATE FUNCTION visit_id(site_serial bigint, started_at bigint) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
  SELECT hex_id('visit', f_int(site_serial) || f_int(started_at))
$$;

-- replaces: the replaced versions' ids, space separated, sorted.
CREATE FUNCTION version_id(visit text, replaces text, made_at bigint, technician text, customer text, notes text)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
  SELECT hex_id('visit-version', f_text(visit) || f_int(cardinality(ids))
      || coalesce((SELECT string_agg(f_text(id), ''::bytea ORDER BY n) FROM unnest(ids) WITH ORDINALITY AS u(id, n)),
                  ''::bytea)
      || f_int(made_at) || f_text(technician) || f_text(customer) || f_text(notes))
  FROM (SELECT string_to_array(replaces, ' ') AS ids) s
$$;

-- A record kept without bytes is its decoded answer too.
CREATE FUNCTION raw_id(kind text, visit text, taken_at bigint, unit bigint, source text, header bytea, raw bytea,
                       decoded_json text)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
  SELECT hex_id(kind, f_text(visit) || f_int(taken_at) || f_int(unit) || f_text(source) || f_bytes(header)
      || f_bytes(raw)
      || CASE WHEN length(coalesce(header, '')) = 0 AND length(coalesce(raw, '')) = 0
              THEN f_text(decoded_json) ELSE ''::bytea END)
$$;

-- The registration a survey was measured with enters only when there was one.
CREATE FUNCTION survey_id(visit text, kind text, started_at bigint, probes_per_route bigint, routes_json text,
                          thresholds_json text, registration_content_id text)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
  SELECT hex_id('survey', f_text(visit) || f_text(kind) || f_int(started_at) || f_int(probes_per_route)
      || f_text(routes_json) || f_text(thresholds_json)
      || CASE WHEN coalesce(registration_content_id, '') = '' THEN ''::bytea
              ELSE f_text(registration_content_id) END)
$$;

CREATE FUNCTION scan_id(visit text, started_at bigint, unit bigint, settings_json text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
  SELECT hex_id('channel-scan', f_text(visit) || f_int(started_at) || f_int(unit) || f_text(settings_json))
$$;

-- ---- The records ------------------------------------------------------------
-- Times are milliseconds since 1970 UTC, units serial numbers, as on the
-- laptops. sent_by and sent_at are set by the server on insert.

CREATE TABLE sites (
  content_id text PRIMARY KEY,
  serial bigint NOT NULL UNIQUE,
  name text NOT NULL DEFAULT '',
  model text NOT NULL DEFAULT '',
  sent_by name NOT NULL DEFAULT session_user,
  sent_at timestamptz NOT NULL DEFAULT now()
);

CREATE TABLE visits (
  content_id text PRIMARY KEY,
  site text NOT NULL REFERENCES sites ON DELETE CASCADE,
  started_at bigint NOT NULL,
  technician text NOT NULL DEFAULT '',
  customer text NOT NULL DEFAULT '',
  notes text NOT NULL DEFAULT '',
  sent_by name NOT NULL DEFAULT session_user,
  sent_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX visits_by_site ON visits(site, started_at);

-- Edits of a visit's technician, customer and notes; never changed, only added.
CREATE TABLE visit_versions (
  content_id text PRIMARY KEY,
  visit text NOT NULL REFERENCES visits ON DELETE CASCADE,
  replaces text NOT NULL CHECK (replaces <> ''),
  made_at bigint NOT NULL,
  technician text NOT NULL DEFAULT '',
  customer text NOT NULL DEFAULT '',
  notes text NOT NULL DEFAULT '',
  sent_by name NOT NULL DEFAULT session_user,
  sent_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX visit_versions_by_visit ON visit_versions(visit);

-- When a visit, survey or scan ended: added once it has, never changed.
CREATE TABLE visit_ends (
  visit text PRIMARY KEY REFERENCES visits ON DELETE CASCADE,
  ended_at bigint NOT NULL
);

-- Registration snapshots, downloads, event logs, settings read-backs, a
-- site's acceptances and the waivers of its units.
CREATE TABLE raw_records (
  content_id text PRIMARY KEY,
  visit text NOT NULL REFERENCES visits ON DELETE CASCADE,
  kind text NOT NULL CHECK (kind IN ('registration', 'download', 'event-log', 'settings-readback', 'acceptance',
                                     'waiver')),
  taken_at bigint NOT NULL,
  unit bigint,
  source text NOT NULL DEFAULT '',
  header bytea,
  raw bytea NOT NULL,
  decoded_json text,
  sent_by name NOT NULL DEFAULT session_user,
  sent_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX raw_records_by_visit ON raw_records(visit);

CREATE TABLE surveys (
  content_id text PRIMARY KEY,
  visit text NOT NULL REFERENCES visits ON DELETE CASCADE,
  kind text NOT NULL CHECK (kind IN ('route', 'site')),
  started_at bigint NOT NULL,
  probes_per_route integer NOT NULL,
  routes_json text NOT NULL,
  thresholds_json text NOT NULL,
  registration_content_id text,
  sent_by name NOT NULL DEFAULT session_user,
  sent_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX surveys_by_visit ON surveys(visit);

CREATE TABLE survey_ends (
  survey text PRIMARY KEY REFERENCES surveys ON DELETE CASCADE,
  ended_at bigint NOT NULL
);

CREATE TABLE probes (
  survey text NOT NULL REFERENCES surveys ON DELETE CASCADE,
  route integer NOT NULL,
  seq integer NOT NULL,
  at bigint NOT NULL,
  answered boolean NOT NULL,
  raw bytea NOT NULL,
  PRIMARY KEY (survey, route, seq)
);

-- A survey's hop statistics, sent once the survey (or its visit) has ended.
CREATE TABLE hop_stats (
  survey text NOT NULL REFERENCES surveys ON DELETE CASCADE,
  route integer NOT NULL,
  hop integer NOT NULL,
  from_unit bigint NOT NULL,
  unit bigint NOT NULL,
  sent integer NOT NULL,
  answered integer NOT NULL,
  level_min double precision,
  level_avg double precision,
  level_max double precision,
  battery double precision,
  PRIMARY KEY (survey, route, hop)
);

CREATE TABLE channel_scans (
  content_id text PRIMARY KEY,
  visit text NOT NULL REFERENCES visits ON DELETE CASCADE,
  started_at bigint NOT NULL,
  unit bigint,
  settings_json text NOT NULL,
  sent_by name NOT NULL DEFAULT session_user,
  sent_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX channel_scans_by_visit ON channel_scans(visit);

CREATE TABLE scan_ends (
  scan text PRIMARY KEY REFERENCES channel_scans ON DELETE CASCADE,
  ended_at bigint NOT NULL
);

CREATE TABLE scan_rounds (
  scan text NOT NULL REFERENCES channel_scans ON DELETE CASCADE,
  round integer NOT NULL,
  at bigint NOT NULL,
  raw bytea NOT NULL,
  decoded_json text,
  PRIMARY KEY (scan, round)
);

CREATE TABLE settings_writes (
  content_id text PRIMARY KEY,
  visit text NOT NULL REFERENCES visits ON DELETE CASCADE,
  written_at bigint NOT NULL,
  unit bigint,
  succeeded boolean NOT NULL,
  message text NOT NULL DEFAULT '',
  sent_by name NOT NULL DEFAULT session_user,
  sent_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX settings_writes_by_visit ON settings_writes(visit);

CREATE TABLE settings_write_keys (
  write_id text NOT NULL REFERENCES settings_writes ON DELETE CASCADE,
  position integer NOT NULL,
  key text NOT NULL,
  old_json text,
  new_json text NOT NULL,
  PRIMARY KEY (write_id, position)
);

-- ---- Verification on insert ---------------------------------------------

CREATE FUNCTION refuse(tbl text, id text) RETURNS void LANGUAGE plpgsql AS $$
BEGIN
  RAISE EXCEPTION 'refused: % % does not match its content', tbl, id
    USING ERRCODE = 'check_violation', HINT = 'content ids are computed by the server and cannot be chosen';
END $$;

-- The sender is the session user, whatever the client put there.
CREATE FUNCTION stamp_sender() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  NEW.sent_by := session_user;
  NEW.sent_at := now();
  RETURN NEW;
END $$;

CREATE FUNCTION check_site() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF NEW.content_id IS DISTINCT FROM site_id(NEW.serial) THEN PERFORM refuse('site', NEW.content_id); END IF;
  RETURN NEW;
END $$;

CREATE FUNCTION check_visit() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF NEW.content_id IS DISTINCT FROM
     visit_id((SELECT serial FROM sites WHERE content_id = NEW.site), NEW.started_at) THEN
    PERFORM refuse('visit', NEW.content_id);
  END IF;
  RETURN NEW;
END $$;

CREATE FUNCTION check_version() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF NEW.content_id IS DISTINCT FROM
     version_id(NEW.visit, NEW.replaces, NEW.made_at, NEW.technician, NEW.customer, NEW.notes) THEN
    PERFORM refuse('visit version', NEW.content_id);
  END IF;
  RETURN NEW;
END $$;

CREATE FUNCTION check_raw() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF NEW.content_id IS DISTINCT FROM raw_id(NEW.kind, NEW.visit, NEW.taken_at, NEW.unit, NEW.source, NEW.header,
                                            NEW.raw, NEW.decoded_json) THEN
    PERFORM refuse(NEW.kind, NEW.content_id);
  END IF;
  RETURN NEW;
END $$;

CREATE FUNCTION check_survey() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF NEW.content_id IS DISTINCT FROM survey_id(NEW.visit, NEW.kind, NEW.started_at, NEW.probes_per_route,
                                               NEW.routes_json, NEW.thresholds_json,
                                               NEW.registration_content_id) THEN
    PERFORM refuse('survey', NEW.content_id);
  END IF;
  RETURN NEW;
END $$;

CREATE FUNCTION check_scan() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF NEW.content_id IS DISTINCT FROM scan_id(NEW.visit, NEW.started_at, NEW.unit, NEW.settings_json) THEN
    PERFORM refuse('channel scan', NEW.content_id);
  END IF;
  RETURN NEW;
END $$;

-- A settings write's id covers its keys, so it is checked at commit, when
-- the write and every key are in; a key added to a write later is checked
-- the same way, so nobody can add a key to someone else's write.
CREATE FUNCTION settings_write_id(wid text) RETURNS text LANGUAGE sql STABLE AS $$
  SELECT hex_id('settings-write', f_text(w.visit) || f_int(w.written_at) || f_int(w.unit)
      || f_int(CASE WHEN w.succeeded THEN 1 ELSE 0 END) || f_text(w.message)
      || coalesce((SELECT string_agg(f_text(k.key) || f_text(k.new_json)
                                     || CASE WHEN k.old_json IS NULL THEN f_int(NULL) ELSE f_text(k.old_json) END,
                                     ''::bytea ORDER BY k.position)
                   FROM settings_write_keys k WHERE k.write_id = w.content_id), ''::bytea))
  FROM settings_writes w WHERE w.content_id = wid
$$;

CREATE FUNCTION check_settings_write(wid text) RETURNS void LANGUAGE plpgsql AS $$
BEGIN
  IF wid IS DISTINCT FROM settings_write_id(wid) THEN PERFORM refuse('settings write', wid); END IF;
END $$;

CREATE FUNCTION check_write() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  PERFORM check_settings_write(NEW.content_id);
  RETURN NULL;
END $$;

CREATE FUNCTION check_write_key() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  PERFORM check_settings_write(NEW.write_id);
  RETURN NULL;
END $$;

CREATE TRIGGER stamp BEFORE INSERT ON sites FOR EACH ROW EXECUTE FUNCTION stamp_sender();
CREATE TRIGGER stamp BEFORE INSERT ON visits FOR EACH ROW EXECUTE FUNCTION stamp_sender();
CREATE TRIGGER stamp BEFORE INSERT ON visit_versions FOR EACH ROW EXECUTE FUNCTION stamp_sender();
CREATE TRIGGER stamp BEFORE INSERT ON raw_records FOR EACH ROW EXECUTE FUNCTION stamp_sender();
CREATE TRIGGER stamp BEFORE INSERT ON surveys FOR EACH ROW EXECUTE FUNCTION stamp_sender();
CREATE TRIGGER stamp BEFORE INSERT ON channel_scans FOR EACH ROW EXECUTE FUNCTION stamp_sender();
CREATE TRIGGER stamp BEFORE INSERT ON settings_writes FOR EACH ROW EXECUTE FUNCTION stamp_sender();

CREATE TRIGGER verify BEFORE INSERT ON sites FOR EACH ROW EXECUTE FUNCTION check_site();
CREATE TRIGGER verify BEFORE INSERT ON visits FOR EACH ROW EXECUTE FUNCTION check_visit();
CREATE TRIGGER verify BEFORE INSERT ON visit_versions FOR EACH ROW EXECUTE FUNCTION check_version();
CREATE TRIGGER verify BEFORE INSERT ON raw_records FOR EACH ROW EXECUTE FUNCTION check_raw();
CREATE TRIGGER verify BEFORE INSERT ON surveys FOR EACH ROW EXECUTE FUNCTION check_survey();
CREATE TRIGGER verify BEFORE INSERT ON channel_scans FOR EACH ROW EXECUTE FUNCTION check_scan();
CREATE CONSTRAINT TRIGGER verify AFTER INSERT ON settings_writes DEFERRABLE INITIALLY DEFERRED
  FOR EACH ROW EXECUTE FUNCTION check_write();
CREATE CONSTRAINT TRIGGER verify AFTER INSERT ON settings_write_keys DEFERRABLE INITIALLY DEFERRED
  FOR EACH ROW EXECUTE FUNCTION check_write_key();

-- ---- Privileges ---------------------------------------------------------------
-- Functions resolve their names in this schema whoever calls them.
DO $$
DECLARE f regprocedure;
BEGIN
  FOR f IN SELECT p.oid::regprocedure FROM pg_proc p WHERE p.pronamespace = 'linkmeter'::regnamespace LOOP
    EXECUTE format('ALTER FUNCTION %s SET search_path = linkmeter, pg_catalog', f);
  END LOOP;
END $$;

REVOKE ALL ON ALL TABLES IN SCHEMA linkmeter FROM PUBLIC;
GRANT USAGE ON SCHEMA linkmeter TO linkmeter_technician, linkmeter_admin;
GRANT SELECT, INSERT ON ALL TABLES IN SCHEMA linkmeter TO linkmeter_technician;
GRANT SELECT, INSERT, DELETE ON ALL TABLES IN SCHEMA linkmeter TO linkmeter_admin;
REVOKE INSERT ON schema_version FROM linkmeter_technician, linkmeter_admin;

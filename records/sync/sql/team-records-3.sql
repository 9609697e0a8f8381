-- Linkmeter team records on PostgreSQL, server schema version 3: functions
-- nobody can trick, and one text form of a version's replaced ids. Brings a
-- version-2 server up to date, keeping its records:
--   linkmeter-cli records server-init --server SERVICE
-- or: psql "service=SERVICE" -v ON_ERROR_STOP=1 -1 -f team-records-3.sql
--
-- A session's temporary tables come before any search path that does not
-- name pg_temp, so a function naming "sites" would read a technician's own
-- TEMP TABLE sites. Every function here names each object of the schema
-- with the schema, and runs with search_path = linkmeter, pg_catalog,
-- pg_temp: pg_temp last, searched for nothing a name here means.
--
-- A version's replaces is the canonical id list both sides hash: the ids
-- (64 lower-case hex digits each) in ascending byte order, no id twice,
-- joined by exactly one space. Anything else is refused on insert; rows
-- taken before this version are left as they are (NOT VALID), and laptops
-- set their visit aside.
--
-- Records get a receipt number in the order the server takes them: map
-- edits are ordered by it, and their sender is the session user that sent
-- them, never what an edit says.

SET LOCAL search_path = linkmeter, pg_catalog, pg_temp;

DO $$
BEGIN
  IF (SELECT max(version) FROM linkmeter.schema_version) IS DISTINCT FROM 2 THEN
    RAISE EXCEPTION 'team-records-3.sql applies to a server at schema version 2 only';
  END IF;
END $$;

INSERT INTO linkmeter.schema_version VALUES (3);

-- ---- The content-id encoding, as version 1 defines it ---------------------

CREATE OR REPLACE FUNCTION linkmeter.le64(v bigint) RETURNS bytea LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT substring(b FROM 8 FOR 1) || substring(b FROM 7 FOR 1) || substring(b FROM 6 FOR 1)
      || substring(b FROM 5 FOR 1) || substring(b FROM 4 FOR 1) || substring(b FROM 3 FOR 1)
      || substring(b FROM 2 FOR 1) || substring(b FROM 1 FOR 1)
  FROM (SELECT pg_catalog.int8send(v) AS b) s
$$;

CREATE OR REPLACE FUNCTION linkmeter.field(tag text, data bytea) RETURNS bytea
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT pg_catalog.convert_to(tag, 'UTF8') || linkmeter.le64(pg_catalog.length(data)) || data
$$;

CREATE OR REPLACE FUNCTION linkmeter.f_int(v bigint) RETURNS bytea LANGUAGE sql IMMUTABLE PARALLEL SAFE
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT CASE WHEN v IS NULL THEN linkmeter.field('n', ''::bytea) ELSE linkmeter.field('i', linkmeter.le64(v)) END
$$;

CREATE OR REPLACE FUNCTION linkmeter.f_text(t text) RETURNS bytea LANGUAGE sql IMMUTABLE PARALLEL SAFE
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT linkmeter.field('s', pg_catalog.convert_to(coalesce(t, ''), 'UTF8'))
$$;

CREATE OR REPLACE FUNCTION linkmeter.f_bytes(b bytea) RETURNS bytea LANGUAGE sql IMMUTABLE PARALLEL SAFE
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT linkmeter.field('b', coalesce(b, ''::bytea))
$$;

CREATE OR REPLACE FUNCTION linkmeter.hex_id(kind text, fields bytea) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT pg_catalog.encode(pg_catalog.sha256(linkmeter.f_text(kind) || fields), 'hex')
$$;

CREATE OR REPLACE FUNCTION linkmeter.site_id(serial bigint) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT linkmeter.hex_id('site', linkmeter.f_int(serial))
$$;

CREATE OR REPLACE FUNCTION linkmeter.visit_id(site_serial bigint, started_at bigint) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT linkmeter.hex_id('visit', linkmeter.f_int(site_serial) || linkmeter.f_int(started_at))
$$;

-- Whether `ids` is a canonical id list: one or more ids of 64 lower-case hex
-- digits, strictly ascending, joined by exactly one space.
CREATE FUNCTION linkmeter.canonical_ids(ids text) RETURNS boolean LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT ids OPERATOR(pg_catalog.~) '^[0-9a-f]{64}( [0-9a-f]{64})*$'
     AND NOT EXISTS (SELECT FROM (SELECT id, pg_catalog.lag(id) OVER (ORDER BY n) AS prev
                                  FROM pg_catalog.unnest(pg_catalog.string_to_array(ids, ' '))
                                       WITH ORDINALITY AS u(id, n)) s
                     WHERE prev COLLATE pg_catalog."C" >= id COLLATE pg_catalog."C")
$$;

CREATE OR REPLACE FUNCTION linkmeter.version_id(visit text, replaces text, made_at bigint, technician text,
                                                customer text, notes text)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT linkmeter.hex_id('visit-version', linkmeter.f_text(visit) || linkmeter.f_int(pg_catalog.cardinality(ids))
      || coalesce((SELECT pg_catalog.string_agg(linkmeter.f_text(id), ''::bytea ORDER BY n)
                   FROM pg_catalog.unnest(ids) WITH ORDINALITY AS u(id, n)), ''::bytea)
      || linkmeter.f_int(made_at) || linkmeter.f_text(technician) || linkmeter.f_text(customer)
      || linkmeter.f_text(notes))
  FROM (SELECT pg_catalog.string_to_array(replaces, ' ') AS ids) s
$$;

CREATE OR REPLACE FUNCTION linkmeter.raw_id(kind text, visit text, taken_at bigint, unit bigint, source text,
                                            header bytea, raw bytea, decoded_json text)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT linkmeter.hex_id(kind, linkmeter.f_text(visit) || linkmeter.f_int(taken_at) || linkmeter.f_int(unit)
      || linkmeter.f_text(source) || linkmeter.f_bytes(header) || linkmeter.f_bytes(raw)
      || CASE WHEN kind IN ('plan', 'map-edit')
                   OR (pg_catalog.length(coalesce(header, '')) = 0 AND pg_catalog.length(coalesce(raw, '')) = 0)
              THEN linkmeter.f_text(decoded_json) ELSE ''::bytea END)
$$;

CREATE OR REPLACE FUNCTION linkmeter.survey_id(visit text, kind text, started_at bigint, probes_per_route bigint,
                                               routes_json text, thresholds_json text, registration_content_id text)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT linkmeter.hex_id('survey', linkmeter.f_text(visit) || linkmeter.f_text(kind) || linkmeter.f_int(started_at)
      || linkmeter.f_int(probes_per_route) || linkmeter.f_text(routes_json) || linkmeter.f_text(thresholds_json)
      || CASE WHEN coalesce(registration_content_id, '') = '' THEN ''::bytea
              ELSE linkmeter.f_text(registration_content_id) END)
$$;

CREATE OR REPLACE FUNCTION linkmeter.scan_id(visit text, started_at bigint, unit bigint, settings_json text)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT linkmeter.hex_id('channel-scan', linkmeter.f_text(visit) || linkmeter.f_int(started_at)
      || linkmeter.f_int(unit) || linkmeter.f_text(settings_json))
$$;

CREATE OR REPLACE FUNCTION linkmeter.plan_sha256(decoded_json text) RETURNS text LANGUAGE plpgsql IMMUTABLE
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  RETURN decoded_json::pg_catalog.jsonb OPERATOR(pg_catalog.->>) 'sha256';
EXCEPTION WHEN others THEN
  RETURN NULL;
END $$;

-- ---- Verification on insert ---------------------------------------------

CREATE OR REPLACE FUNCTION linkmeter.refuse(tbl text, id text) RETURNS void LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  RAISE EXCEPTION 'refused: % % does not match its content', tbl, id
    USING ERRCODE = 'check_violation', HINT = 'content ids are computed by the server and cannot be chosen';
END $$;

CREATE OR REPLACE FUNCTION linkmeter.stamp_sender() RETURNS trigger LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  NEW.sent_by := session_user;
  NEW.sent_at := pg_catalog.now();
  RETURN NEW;
END $$;

CREATE OR REPLACE FUNCTION linkmeter.check_site() RETURNS trigger LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  IF NEW.content_id IS DISTINCT FROM linkmeter.site_id(NEW.serial) THEN
    PERFORM linkmeter.refuse('site', NEW.content_id);
  END IF;
  RETURN NEW;
END $$;

CREATE OR REPLACE FUNCTION linkmeter.check_visit() RETURNS trigger LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  IF NEW.content_id IS DISTINCT FROM
     linkmeter.visit_id((SELECT s.serial FROM linkmeter.sites s WHERE s.content_id = NEW.site), NEW.started_at) THEN
    PERFORM linkmeter.refuse('visit', NEW.content_id);
  END IF;
  RETURN NEW;
END $$;

CREATE OR REPLACE FUNCTION linkmeter.check_version() RETURNS trigger LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  IF NOT coalesce(linkmeter.canonical_ids(NEW.replaces), false) THEN
    RAISE EXCEPTION 'refused: visit version % replaces ids not in canonical form', NEW.content_id
      USING ERRCODE = 'check_violation',
            HINT = 'replaced ids are ascending, each once, joined by exactly one space';
  END IF;
  IF NEW.content_id IS DISTINCT FROM linkmeter.version_id(NEW.visit, NEW.replaces, NEW.made_at, NEW.technician,
                                                          NEW.customer, NEW.notes) THEN
    PERFORM linkmeter.refuse('visit version', NEW.content_id);
  END IF;
  RETURN NEW;
END $$;

CREATE OR REPLACE FUNCTION linkmeter.check_raw() RETURNS trigger LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  IF NEW.content_id IS DISTINCT FROM linkmeter.raw_id(NEW.kind, NEW.visit, NEW.taken_at, NEW.unit, NEW.source,
                                                      NEW.header, NEW.raw, NEW.decoded_json) THEN
    PERFORM linkmeter.refuse(NEW.kind, NEW.content_id);
  END IF;
  IF NEW.kind = 'plan'
     AND linkmeter.plan_sha256(NEW.decoded_json) IS DISTINCT FROM
         pg_catalog.encode(pg_catalog.sha256(NEW.raw), 'hex') THEN
    RAISE EXCEPTION 'refused: plan % has an image that does not match its sha256', NEW.content_id
      USING ERRCODE = 'check_violation', HINT = 'a plan names the SHA-256 of its image';
  END IF;
  RETURN NEW;
END $$;

CREATE OR REPLACE FUNCTION linkmeter.check_survey() RETURNS trigger LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  IF NEW.content_id IS DISTINCT FROM linkmeter.survey_id(NEW.visit, NEW.kind, NEW.started_at, NEW.probes_per_route,
                                                         NEW.routes_json, NEW.thresholds_json,
                                                         NEW.registration_content_id) THEN
    PERFORM linkmeter.refuse('survey', NEW.content_id);
  END IF;
  RETURN NEW;
END $$;

CREATE OR REPLACE FUNCTION linkmeter.check_scan() RETURNS trigger LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  IF NEW.content_id IS DISTINCT FROM linkmeter.scan_id(NEW.visit, NEW.started_at, NEW.unit, NEW.settings_json) THEN
    PERFORM linkmeter.refuse('channel scan', NEW.content_id);
  END IF;
  RETURN NEW;
END $$;

CREATE OR REPLACE FUNCTION linkmeter.settings_write_id(wid text) RETURNS text LANGUAGE sql STABLE
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT linkmeter.hex_id('settings-write', linkmeter.f_text(w.visit) || linkmeter.f_int(w.written_at)
      || linkmeter.f_int(w.unit) || linkmeter.f_int(CASE WHEN w.succeeded THEN 1 ELSE 0 END)
      || linkmeter.f_text(w.message)
      || coalesce((SELECT pg_catalog.string_agg(linkmeter.f_text(k.key) || linkmeter.f_text(k.new_json)
                                                || CASE WHEN k.old_json IS NULL THEN linkmeter.f_int(NULL)
                                                        ELSE linkmeter.f_text(k.old_json) END,
                                                ''::bytea ORDER BY k.position)
                   FROM linkmeter.settings_write_keys k WHERE k.write_id = w.content_id), ''::bytea))
  FROM linkmeter.settings_writes w WHERE w.content_id = wid
$$;

CREATE OR REPLACE FUNCTION linkmeter.check_settings_write(wid text) RETURNS void LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  IF wid IS DISTINCT FROM linkmeter.settings_write_id(wid) THEN
    PERFORM linkmeter.refuse('settings write', wid);
  END IF;
END $$;

CREATE OR REPLACE FUNCTION linkmeter.check_write() RETURNS trigger LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  PERFORM linkmeter.check_settings_write(NEW.content_id);
  RETURN NULL;
END $$;

CREATE OR REPLACE FUNCTION linkmeter.check_write_key() RETURNS trigger LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  PERFORM linkmeter.check_settings_write(NEW.write_id);
  RETURN NULL;
END $$;

-- ---- Receipts ----------------------------------------------------------------
-- Every record gets a receipt number as the server takes it, from one
-- sequence: the order of map edits is this order, never a time a client
-- wrote. Records taken before this version are numbered in the order they
-- came. Set by the server on insert, whatever the client sends.

CREATE SEQUENCE linkmeter.receipts;
ALTER TABLE linkmeter.raw_records ADD COLUMN received bigint;
UPDATE linkmeter.raw_records r SET received = o.n
FROM (SELECT content_id, pg_catalog.row_number() OVER (ORDER BY sent_at, content_id) AS n
      FROM linkmeter.raw_records) o
WHERE o.content_id = r.content_id;
SELECT pg_catalog.setval('linkmeter.receipts', coalesce((SELECT max(received) FROM linkmeter.raw_records), 0) + 1,
                         false);
-- The default serves copies of the table (a sync's staging table); the
-- trigger below sets the number whatever an insert names.
ALTER TABLE linkmeter.raw_records ALTER COLUMN received SET DEFAULT pg_catalog.nextval('linkmeter.receipts'),
  ALTER COLUMN received SET NOT NULL;
CREATE UNIQUE INDEX raw_records_by_receipt ON linkmeter.raw_records(received);

CREATE FUNCTION linkmeter.stamp_receipt() RETURNS trigger LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  NEW.received := pg_catalog.nextval('linkmeter.receipts');
  RETURN NEW;
END $$;

CREATE TRIGGER receipt BEFORE INSERT ON linkmeter.raw_records FOR EACH ROW EXECUTE FUNCTION linkmeter.stamp_receipt();
GRANT USAGE ON SEQUENCE linkmeter.receipts TO linkmeter_technician, linkmeter_admin;

-- ---- The rule, kept ---------------------------------------------------------
-- Any function of the schema, from this file or a later one, runs with
-- pg_temp last; one without that setting is a fault of the file that made it.
DO $$
DECLARE f regprocedure;
BEGIN
  FOR f IN SELECT p.oid::regprocedure FROM pg_catalog.pg_proc p
           WHERE p.pronamespace = 'linkmeter'::regnamespace LOOP
    EXECUTE pg_catalog.format('ALTER FUNCTION %s SET search_path = linkmeter, pg_catalog, pg_temp', f);
  END LOOP;
END $$;

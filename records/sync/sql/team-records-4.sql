-- Linkmeter team records on PostgreSQL, server schema version 4: sealed parts.
-- Brings a version-3 server up to date, keeping its records:
--   linkmeter-cli records server-init --server SERVICE
-- or: psql "service=SERVICE" -v ON_ERROR_STOP=1 -1 -f team-records-4.sql
--
-- A survey's probes and hop statistics, a scan's rounds, a settings write's
-- keys and a visit's end belong to whoever sent the record they are part of:
-- the server takes them from that sender only (sent_by, the session user,
-- as for every record). A survey, scan or visit that has ended carries a
-- seal, the content id over its head and every part in order, checked here
-- over the parts the server holds; once sealed, a record takes no part.
-- A settings write's id covers its keys already: it is its own seal.
-- Every object is named with its schema, and functions run with
-- search_path = linkmeter, pg_catalog, pg_temp, so no temporary table can
-- stand in for one of ours.

SET LOCAL search_path = linkmeter, pg_catalog, pg_temp;

DO $$
BEGIN
  IF (SELECT max(version) FROM linkmeter.schema_version) IS DISTINCT FROM 3 THEN
    RAISE EXCEPTION 'team-records-4.sql applies to a server at schema version 3 only';
  END IF;
END $$;

INSERT INTO linkmeter.schema_version VALUES (4);

-- ---- The seal encoding ------------------------------------------------------
-- A real is tagged 'r' and is its 8 IEEE 754 bytes, little-endian; an absent
-- one is 'n' as for an integer.
CREATE FUNCTION linkmeter.f_real(v double precision) RETURNS bytea LANGUAGE sql IMMUTABLE PARALLEL SAFE
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT CASE WHEN v IS NULL THEN linkmeter.field('n', ''::bytea)
         ELSE linkmeter.field('r', linkmeter.le64(('x' || encode(float8send(v), 'hex'))::bit(64)::bigint)) END
$$;

-- Probes by route and sequence, then hop statistics by route and hop, each
-- list led by its length.
-- The same fields as linkmeter.f_int, f_bytes, f_text and f_real encode,
-- written out here because a seal covers thousands of parts: a call of one
-- of those functions per field costs a hundred times more. int8send of the
-- byte-swapped value is the little-endian form.
CREATE FUNCTION linkmeter.survey_seal(sid text, ended_at bigint) RETURNS text LANGUAGE sql STABLE
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT linkmeter.hex_id('survey-seal', linkmeter.f_text(sid) || linkmeter.f_int(ended_at)
    || linkmeter.f_int((SELECT count(*) FROM linkmeter.probes p WHERE p.survey = sid))
    || coalesce((SELECT string_agg(
                   '\x690800000000000000'::bytea || int8send((((p.route)::bigint & 255) << 56) | ((((p.route)::bigint >> 8) & 255) << 48)
                       | ((((p.route)::bigint >> 16) & 255) << 40) | ((((p.route)::bigint >> 24) & 255) << 32)
                       | ((((p.route)::bigint >> 32) & 255) << 24) | ((((p.route)::bigint >> 40) & 255) << 16)
                       | ((((p.route)::bigint >> 48) & 255) << 8) | (((p.route)::bigint >> 56) & 255))
                   || '\x690800000000000000'::bytea || int8send((((p.seq)::bigint & 255) << 56) | ((((p.seq)::bigint >> 8) & 255) << 48)
                       | ((((p.seq)::bigint >> 16) & 255) << 40) | ((((p.seq)::bigint >> 24) & 255) << 32)
                       | ((((p.seq)::bigint >> 32) & 255) << 24) | ((((p.seq)::bigint >> 40) & 255) << 16)
                       | ((((p.seq)::bigint >> 48) & 255) << 8) | (((p.seq)::bigint >> 56) & 255))
                   || '\x690800000000000000'::bytea || int8send((((p.at)::bigint & 255) << 56) | ((((p.at)::bigint >> 8) & 255) << 48)
                       | ((((p.at)::bigint >> 16) & 255) << 40) | ((((p.at)::bigint >> 24) & 255) << 32)
                       | ((((p.at)::bigint >> 32) & 255) << 24) | ((((p.at)::bigint >> 40) & 255) << 16)
                       | ((((p.at)::bigint >> 48) & 255) << 8) | (((p.at)::bigint >> 56) & 255))
                   || '\x690800000000000000'::bytea || int8send((((CASE WHEN p.answered THEN 1 ELSE 0 END)::bigint & 255) << 56) | ((((CASE WHEN p.answered THEN 1 ELSE 0 END)::bigint >> 8) & 255) << 48)
                       | ((((CASE WHEN p.answered THEN 1 ELSE 0 END)::bigint >> 16) & 255) << 40) | ((((CASE WHEN p.answered THEN 1 ELSE 0 END)::bigint >> 24) & 255) << 32)
                       | ((((CASE WHEN p.answered THEN 1 ELSE 0 END)::bigint >> 32) & 255) << 24) | ((((CASE WHEN p.answered THEN 1 ELSE 0 END)::bigint >> 40) & 255) << 16)
                       | ((((CASE WHEN p.answered THEN 1 ELSE 0 END)::bigint >> 48) & 255) << 8) | (((CASE WHEN p.answered THEN 1 ELSE 0 END)::bigint >> 56) & 255))
                   || '\x62'::bytea || int8send(((length(p.raw)::bigint & 255) << 56) | (((length(p.raw)::bigint >> 8) & 255) << 48)
                       | (((length(p.raw)::bigint >> 16) & 255) << 40) | (((length(p.raw)::bigint >> 24) & 255) << 32)
                       | (((length(p.raw)::bigint >> 32) & 255) << 24) | (((length(p.raw)::bigint >> 40) & 255) << 16)
                       | (((length(p.raw)::bigint >> 48) & 255) << 8) | ((length(p.raw)::bigint >> 56) & 255)) || p.raw,
                   ''::bytea ORDER BY p.route, p.seq)
                 FROM linkmeter.probes p WHERE p.survey = sid), ''::bytea)
    || linkmeter.f_int((SELECT count(*) FROM linkmeter.hop_stats h WHERE h.survey = sid))
    || coalesce((SELECT string_agg(
                   '\x690800000000000000'::bytea || int8send((((h.route)::bigint & 255) << 56) | ((((h.route)::bigint >> 8) & 255) << 48)
                       | ((((h.route)::bigint >> 16) & 255) << 40) | ((((h.route)::bigint >> 24) & 255) << 32)
                       | ((((h.route)::bigint >> 32) & 255) << 24) | ((((h.route)::bigint >> 40) & 255) << 16)
                       | ((((h.route)::bigint >> 48) & 255) << 8) | (((h.route)::bigint >> 56) & 255))
                   || '\x690800000000000000'::bytea || int8send((((h.hop)::bigint & 255) << 56) | ((((h.hop)::bigint >> 8) & 255) << 48)
                       | ((((h.hop)::bigint >> 16) & 255) << 40) | ((((h.hop)::bigint >> 24) & 255) << 32)
                       | ((((h.hop)::bigint >> 32) & 255) << 24) | ((((h.hop)::bigint >> 40) & 255) << 16)
                       | ((((h.hop)::bigint >> 48) & 255) << 8) | (((h.hop)::bigint >> 56) & 255))
                   || '\x690800000000000000'::bytea || int8send((((h.from_unit)::bigint & 255) << 56) | ((((h.from_unit)::bigint >> 8) & 255) << 48)
                       | ((((h.from_unit)::bigint >> 16) & 255) << 40) | ((((h.from_unit)::bigint >> 24) & 255) << 32)
                       | ((((h.from_unit)::bigint >> 32) & 255) << 24) | ((((h.from_unit)::bigint >> 40) & 255) << 16)
                       | ((((h.from_unit)::bigint >> 48) & 255) << 8) | (((h.from_unit)::bigint >> 56) & 255))
                   || '\x690800000000000000'::bytea || int8send((((h.unit)::bigint & 255) << 56) | ((((h.unit)::bigint >> 8) & 255) << 48)
                       | ((((h.unit)::bigint >> 16) & 255) << 40) | ((((h.unit)::bigint >> 24) & 255) << 32)
                       | ((((h.unit)::bigint >> 32) & 255) << 24) | ((((h.unit)::bigint >> 40) & 255) << 16)
                       | ((((h.unit)::bigint >> 48) & 255) << 8) | (((h.unit)::bigint >> 56) & 255))
                   || '\x690800000000000000'::bytea || int8send((((h.sent)::bigint & 255) << 56) | ((((h.sent)::bigint >> 8) & 255) << 48)
                       | ((((h.sent)::bigint >> 16) & 255) << 40) | ((((h.sent)::bigint >> 24) & 255) << 32)
                       | ((((h.sent)::bigint >> 32) & 255) << 24) | ((((h.sent)::bigint >> 40) & 255) << 16)
                       | ((((h.sent)::bigint >> 48) & 255) << 8) | (((h.sent)::bigint >> 56) & 255))
                   || '\x690800000000000000'::bytea || int8send((((h.answered)::bigint & 255) << 56) | ((((h.answered)::bigint >> 8) & 255) << 48)
                       | ((((h.answered)::bigint >> 16) & 255) << 40) | ((((h.answered)::bigint >> 24) & 255) << 32)
                       | ((((h.answered)::bigint >> 32) & 255) << 24) | ((((h.answered)::bigint >> 40) & 255) << 16)
                       | ((((h.answered)::bigint >> 48) & 255) << 8) | (((h.answered)::bigint >> 56) & 255))
                   || CASE WHEN h.level_min IS NULL THEN '\x6e0000000000000000'::bytea ELSE '\x720800000000000000'::bytea || int8send(((('x' || encode(float8send(h.level_min), 'hex'))::bit(64)::bigint & 255) << 56) | (((('x' || encode(float8send(h.level_min), 'hex'))::bit(64)::bigint >> 8) & 255) << 48)
                       | (((('x' || encode(float8send(h.level_min), 'hex'))::bit(64)::bigint >> 16) & 255) << 40) | (((('x' || encode(float8send(h.level_min), 'hex'))::bit(64)::bigint >> 24) & 255) << 32)
                       | (((('x' || encode(float8send(h.level_min), 'hex'))::bit(64)::bigint >> 32) & 255) << 24) | (((('x' || encode(float8send(h.level_min), 'hex'))::bit(64)::bigint >> 40) & 255) << 16)
                       | (((('x' || encode(float8send(h.level_min), 'hex'))::bit(64)::bigint >> 48) & 255) << 8) | ((('x' || encode(float8send(h.level_min), 'hex'))::bit(64)::bigint >> 56) & 255)) END
                   || CASE WHEN h.level_avg IS NULL THEN '\x6e0000000000000000'::bytea ELSE '\x720800000000000000'::bytea || int8send(((('x' || encode(float8send(h.level_avg), 'hex'))::bit(64)::bigint & 255) << 56) | (((('x' || encode(float8send(h.level_avg), 'hex'))::bit(64)::bigint >> 8) & 255) << 48)
                       | (((('x' || encode(float8send(h.level_avg), 'hex'))::bit(64)::bigint >> 16) & 255) << 40) | (((('x' || encode(float8send(h.level_avg), 'hex'))::bit(64)::bigint >> 24) & 255) << 32)
                       | (((('x' || encode(float8send(h.level_avg), 'hex'))::bit(64)::bigint >> 32) & 255) << 24) | (((('x' || encode(float8send(h.level_avg), 'hex'))::bit(64)::bigint >> 40) & 255) << 16)
                       | (((('x' || encode(float8send(h.level_avg), 'hex'))::bit(64)::bigint >> 48) & 255) << 8) | ((('x' || encode(float8send(h.level_avg), 'hex'))::bit(64)::bigint >> 56) & 255)) END
                   || CASE WHEN h.level_max IS NULL THEN '\x6e0000000000000000'::bytea ELSE '\x720800000000000000'::bytea || int8send(((('x' || encode(float8send(h.level_max), 'hex'))::bit(64)::bigint & 255) << 56) | (((('x' || encode(float8send(h.level_max), 'hex'))::bit(64)::bigint >> 8) & 255) << 48)
                       | (((('x' || encode(float8send(h.level_max), 'hex'))::bit(64)::bigint >> 16) & 255) << 40) | (((('x' || encode(float8send(h.level_max), 'hex'))::bit(64)::bigint >> 24) & 255) << 32)
                       | (((('x' || encode(float8send(h.level_max), 'hex'))::bit(64)::bigint >> 32) & 255) << 24) | (((('x' || encode(float8send(h.level_max), 'hex'))::bit(64)::bigint >> 40) & 255) << 16)
                       | (((('x' || encode(float8send(h.level_max), 'hex'))::bit(64)::bigint >> 48) & 255) << 8) | ((('x' || encode(float8send(h.level_max), 'hex'))::bit(64)::bigint >> 56) & 255)) END
                   || CASE WHEN h.battery IS NULL THEN '\x6e0000000000000000'::bytea ELSE '\x720800000000000000'::bytea || int8send(((('x' || encode(float8send(h.battery), 'hex'))::bit(64)::bigint & 255) << 56) | (((('x' || encode(float8send(h.battery), 'hex'))::bit(64)::bigint >> 8) & 255) << 48)
                       | (((('x' || encode(float8send(h.battery), 'hex'))::bit(64)::bigint >> 16) & 255) << 40) | (((('x' || encode(float8send(h.battery), 'hex'))::bit(64)::bigint >> 24) & 255) << 32)
                       | (((('x' || encode(float8send(h.battery), 'hex'))::bit(64)::bigint >> 32) & 255) << 24) | (((('x' || encode(float8send(h.battery), 'hex'))::bit(64)::bigint >> 40) & 255) << 16)
                       | (((('x' || encode(float8send(h.battery), 'hex'))::bit(64)::bigint >> 48) & 255) << 8) | ((('x' || encode(float8send(h.battery), 'hex'))::bit(64)::bigint >> 56) & 255)) END,
                   ''::bytea ORDER BY h.route, h.hop)
                 FROM linkmeter.hop_stats h WHERE h.survey = sid), ''::bytea))
$$;

CREATE FUNCTION linkmeter.scan_seal(sid text, ended_at bigint) RETURNS text LANGUAGE sql STABLE
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT linkmeter.hex_id('scan-seal', linkmeter.f_text(sid) || linkmeter.f_int(ended_at)
    || linkmeter.f_int((SELECT count(*) FROM linkmeter.scan_rounds r WHERE r.scan = sid))
    || coalesce((SELECT string_agg(
                   '\x690800000000000000'::bytea || int8send((((r.round)::bigint & 255) << 56) | ((((r.round)::bigint >> 8) & 255) << 48)
                       | ((((r.round)::bigint >> 16) & 255) << 40) | ((((r.round)::bigint >> 24) & 255) << 32)
                       | ((((r.round)::bigint >> 32) & 255) << 24) | ((((r.round)::bigint >> 40) & 255) << 16)
                       | ((((r.round)::bigint >> 48) & 255) << 8) | (((r.round)::bigint >> 56) & 255))
                   || '\x690800000000000000'::bytea || int8send((((r.at)::bigint & 255) << 56) | ((((r.at)::bigint >> 8) & 255) << 48)
                       | ((((r.at)::bigint >> 16) & 255) << 40) | ((((r.at)::bigint >> 24) & 255) << 32)
                       | ((((r.at)::bigint >> 32) & 255) << 24) | ((((r.at)::bigint >> 40) & 255) << 16)
                       | ((((r.at)::bigint >> 48) & 255) << 8) | (((r.at)::bigint >> 56) & 255))
                   || '\x62'::bytea || int8send(((length(r.raw)::bigint & 255) << 56) | (((length(r.raw)::bigint >> 8) & 255) << 48)
                       | (((length(r.raw)::bigint >> 16) & 255) << 40) | (((length(r.raw)::bigint >> 24) & 255) << 32)
                       | (((length(r.raw)::bigint >> 32) & 255) << 24) | (((length(r.raw)::bigint >> 40) & 255) << 16)
                       | (((length(r.raw)::bigint >> 48) & 255) << 8) | ((length(r.raw)::bigint >> 56) & 255)) || r.raw
                   || '\x73'::bytea || int8send(((octet_length(convert_to(coalesce(r.decoded_json, ''), 'UTF8'))::bigint & 255) << 56) | (((octet_length(convert_to(coalesce(r.decoded_json, ''), 'UTF8'))::bigint >> 8) & 255) << 48)
                       | (((octet_length(convert_to(coalesce(r.decoded_json, ''), 'UTF8'))::bigint >> 16) & 255) << 40) | (((octet_length(convert_to(coalesce(r.decoded_json, ''), 'UTF8'))::bigint >> 24) & 255) << 32)
                       | (((octet_length(convert_to(coalesce(r.decoded_json, ''), 'UTF8'))::bigint >> 32) & 255) << 24) | (((octet_length(convert_to(coalesce(r.decoded_json, ''), 'UTF8'))::bigint >> 40) & 255) << 16)
                       | (((octet_length(convert_to(coalesce(r.decoded_json, ''), 'UTF8'))::bigint >> 48) & 255) << 8) | ((octet_length(convert_to(coalesce(r.decoded_json, ''), 'UTF8'))::bigint >> 56) & 255)) || convert_to(coalesce(r.decoded_json, ''), 'UTF8'),
                   ''::bytea ORDER BY r.round)
                 FROM linkmeter.scan_rounds r WHERE r.scan = sid), ''::bytea))
$$;

CREATE FUNCTION linkmeter.visit_end_seal(visit text, ended_at bigint) RETURNS text LANGUAGE sql IMMUTABLE
PARALLEL SAFE SET search_path = linkmeter, pg_catalog, pg_temp AS $$
  SELECT linkmeter.hex_id('visit-end', linkmeter.f_text(visit) || linkmeter.f_int(ended_at))
$$;

-- ---- Senders and seals of what was kept before ---------------------------
-- Parts take the sender of their record; ends are sealed over what is held.
ALTER TABLE linkmeter.probes ADD COLUMN sent_by name;
ALTER TABLE linkmeter.hop_stats ADD COLUMN sent_by name;
ALTER TABLE linkmeter.scan_rounds ADD COLUMN sent_by name;
ALTER TABLE linkmeter.settings_write_keys ADD COLUMN sent_by name;
ALTER TABLE linkmeter.visit_ends ADD COLUMN seal text, ADD COLUMN sent_by name;
ALTER TABLE linkmeter.survey_ends ADD COLUMN seal text, ADD COLUMN sent_by name;
ALTER TABLE linkmeter.scan_ends ADD COLUMN seal text, ADD COLUMN sent_by name;

UPDATE linkmeter.probes x SET sent_by = h.sent_by FROM linkmeter.surveys h WHERE h.content_id = x.survey;
UPDATE linkmeter.hop_stats x SET sent_by = h.sent_by FROM linkmeter.surveys h WHERE h.content_id = x.survey;
UPDATE linkmeter.scan_rounds x SET sent_by = h.sent_by FROM linkmeter.channel_scans h WHERE h.content_id = x.scan;
UPDATE linkmeter.settings_write_keys x SET sent_by = h.sent_by FROM linkmeter.settings_writes h
  WHERE h.content_id = x.write_id;
UPDATE linkmeter.visit_ends x SET sent_by = h.sent_by, seal = linkmeter.visit_end_seal(x.visit, x.ended_at)
  FROM linkmeter.visits h WHERE h.content_id = x.visit;
UPDATE linkmeter.survey_ends x SET sent_by = h.sent_by, seal = linkmeter.survey_seal(x.survey, x.ended_at)
  FROM linkmeter.surveys h WHERE h.content_id = x.survey;
UPDATE linkmeter.scan_ends x SET sent_by = h.sent_by, seal = linkmeter.scan_seal(x.scan, x.ended_at)
  FROM linkmeter.channel_scans h WHERE h.content_id = x.scan;

ALTER TABLE linkmeter.probes ALTER sent_by SET DEFAULT session_user, ALTER sent_by SET NOT NULL;
ALTER TABLE linkmeter.hop_stats ALTER sent_by SET DEFAULT session_user, ALTER sent_by SET NOT NULL;
ALTER TABLE linkmeter.scan_rounds ALTER sent_by SET DEFAULT session_user, ALTER sent_by SET NOT NULL;
ALTER TABLE linkmeter.settings_write_keys ALTER sent_by SET DEFAULT session_user, ALTER sent_by SET NOT NULL;
ALTER TABLE linkmeter.visit_ends ALTER sent_by SET DEFAULT session_user, ALTER sent_by SET NOT NULL,
  ALTER seal SET NOT NULL;
ALTER TABLE linkmeter.survey_ends ALTER sent_by SET DEFAULT session_user, ALTER sent_by SET NOT NULL,
  ALTER seal SET NOT NULL;
ALTER TABLE linkmeter.scan_ends ALTER sent_by SET DEFAULT session_user, ALTER sent_by SET NOT NULL,
  ALTER seal SET NOT NULL;

-- ---- Checks on insert -------------------------------------------------------

CREATE FUNCTION linkmeter.refuse_part(what text, head text, why text) RETURNS void LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
BEGIN
  RAISE EXCEPTION 'refused: % of % %', what, head, why
    USING ERRCODE = 'check_violation',
          HINT = 'only the sender of a record adds its parts and its end, and an ended record takes none';
END $$;

-- Parts, checked once per statement over the rows it added (a sync adds a
-- visit's parts of one table in one statement): each sent by the session
-- user, who must be its record's sender, and none for a sealed record. A
-- part the server holds already is skipped by ON CONFLICT before this.
CREATE FUNCTION linkmeter.check_parts() RETURNS trigger LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
DECLARE
  bad record;
BEGIN
  IF TG_TABLE_NAME IN ('probes', 'hop_stats') THEN
    SELECT n.survey AS head, n.sent_by AS sender, h.sent_by AS owner INTO bad
      FROM new_rows n LEFT JOIN linkmeter.surveys h ON h.content_id = n.survey
      WHERE n.sent_by IS DISTINCT FROM session_user OR h.sent_by IS DISTINCT FROM session_user
         OR EXISTS (SELECT FROM linkmeter.survey_ends e WHERE e.survey = n.survey)
      LIMIT 1;
  ELSIF TG_TABLE_NAME = 'scan_rounds' THEN
    SELECT n.scan AS head, n.sent_by AS sender, h.sent_by AS owner INTO bad
      FROM new_rows n LEFT JOIN linkmeter.channel_scans h ON h.content_id = n.scan
      WHERE n.sent_by IS DISTINCT FROM session_user OR h.sent_by IS DISTINCT FROM session_user
         OR EXISTS (SELECT FROM linkmeter.scan_ends e WHERE e.scan = n.scan)
      LIMIT 1;
  ELSE
    SELECT n.write_id AS head, n.sent_by AS sender, h.sent_by AS owner INTO bad
      FROM new_rows n LEFT JOIN linkmeter.settings_writes h ON h.content_id = n.write_id
      WHERE n.sent_by IS DISTINCT FROM session_user OR h.sent_by IS DISTINCT FROM session_user
      LIMIT 1;
  END IF;
  IF NOT FOUND THEN RETURN NULL; END IF;
  IF bad.owner IS DISTINCT FROM session_user THEN
    PERFORM linkmeter.refuse_part(TG_TABLE_NAME, bad.head, 'sent by ' || coalesce(bad.owner::text, 'nobody'));
  ELSIF bad.sender IS DISTINCT FROM session_user THEN
    PERFORM linkmeter.refuse_part(TG_TABLE_NAME, bad.head, 'sent in the name of ' || coalesce(bad.sender::text, 'nobody'));
  END IF;
  PERFORM linkmeter.refuse_part(TG_TABLE_NAME, bad.head, 'which has ended and is sealed');
  RETURN NULL;
END $$;

-- An end: from its record's sender only, not before the record began, and
-- with the seal of the parts held. An end held already is skipped.
CREATE FUNCTION linkmeter.check_end() RETURNS trigger LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog, pg_temp AS $$
DECLARE
  head text;
  head_sender name;
  began bigint;
  want text;
BEGIN
  NEW.sent_by := session_user;
  IF TG_TABLE_NAME = 'visit_ends' THEN
    head := NEW.visit;
    IF EXISTS (SELECT FROM linkmeter.visit_ends x WHERE x.visit = head) THEN RETURN NULL; END IF;
    SELECT h.sent_by, h.started_at INTO head_sender, began FROM linkmeter.visits h WHERE h.content_id = head;
    want := linkmeter.visit_end_seal(head, NEW.ended_at);
  ELSIF TG_TABLE_NAME = 'survey_ends' THEN
    head := NEW.survey;
    IF EXISTS (SELECT FROM linkmeter.survey_ends x WHERE x.survey = head) THEN RETURN NULL; END IF;
    SELECT h.sent_by, h.started_at INTO head_sender, began FROM linkmeter.surveys h WHERE h.content_id = head;
    want := linkmeter.survey_seal(head, NEW.ended_at);
  ELSE
    head := NEW.scan;
    IF EXISTS (SELECT FROM linkmeter.scan_ends x WHERE x.scan = head) THEN RETURN NULL; END IF;
    SELECT h.sent_by, h.started_at INTO head_sender, began FROM linkmeter.channel_scans h
      WHERE h.content_id = head;
    want := linkmeter.scan_seal(head, NEW.ended_at);
  END IF;
  IF head_sender IS DISTINCT FROM session_user THEN
    PERFORM linkmeter.refuse_part(TG_TABLE_NAME, head, 'sent by ' || coalesce(head_sender::text, 'nobody'));
  END IF;
  IF NEW.ended_at < began THEN PERFORM linkmeter.refuse_part(TG_TABLE_NAME, head, 'before it began'); END IF;
  IF NEW.seal IS DISTINCT FROM want THEN
    PERFORM linkmeter.refuse_part(TG_TABLE_NAME, head, 'whose seal does not match the parts the server holds');
  END IF;
  RETURN NEW;
END $$;

CREATE TRIGGER parts AFTER INSERT ON linkmeter.probes REFERENCING NEW TABLE AS new_rows
  FOR EACH STATEMENT EXECUTE FUNCTION linkmeter.check_parts();
CREATE TRIGGER parts AFTER INSERT ON linkmeter.hop_stats REFERENCING NEW TABLE AS new_rows
  FOR EACH STATEMENT EXECUTE FUNCTION linkmeter.check_parts();
CREATE TRIGGER parts AFTER INSERT ON linkmeter.scan_rounds REFERENCING NEW TABLE AS new_rows
  FOR EACH STATEMENT EXECUTE FUNCTION linkmeter.check_parts();
CREATE TRIGGER parts AFTER INSERT ON linkmeter.settings_write_keys REFERENCING NEW TABLE AS new_rows
  FOR EACH STATEMENT EXECUTE FUNCTION linkmeter.check_parts();
CREATE TRIGGER seal BEFORE INSERT ON linkmeter.visit_ends FOR EACH ROW EXECUTE FUNCTION linkmeter.check_end();
CREATE TRIGGER seal BEFORE INSERT ON linkmeter.survey_ends FOR EACH ROW EXECUTE FUNCTION linkmeter.check_end();
CREATE TRIGGER seal BEFORE INSERT ON linkmeter.scan_ends FOR EACH ROW EXECUTE FUNCTION linkmeter.check_end();

-- Linkmeter team records on PostgreSQL, server schema version 2: the site
-- map. Brings a version-1 server up to date, keeping its records:
--   linkmeter-cli records server-init --server SERVICE
-- or: psql "service=SERVICE" -v ON_ERROR_STOP=1 -1 -f team-records-2.sql
-- (a new server takes team-records-1.sql and then this file).
--
-- A site's plans (the image as imported, its decoded form naming its
-- SHA-256) and map edits (a unit placed, planned or sent back to the tray,
-- a plan's scale line, with time and who) are records like the others, in
-- raw_records. Their ids cover the decoded form whatever bytes come with
-- it, and a plan's image must hash to the SHA-256 it names: the map keys a
-- plan by that hash. Functions resolve their names in this schema whoever
-- calls them, as those of version 1 do.

SET LOCAL search_path = linkmeter, pg_catalog;

DO $$
BEGIN
  IF (SELECT max(version) FROM linkmeter.schema_version) IS DISTINCT FROM 1 THEN
    RAISE EXCEPTION 'team-records-2.sql applies to a server at schema version 1 only';
  END IF;
END $$;

INSERT INTO schema_version VALUES (2);

-- No record a laptop could not keep: its store holds no row over 64 MiB.
ALTER TABLE raw_records
  DROP CONSTRAINT raw_records_kind_check,
  ADD CONSTRAINT raw_records_kind_check CHECK (kind IN ('registration', 'download', 'event-log',
      'settings-readback', 'acceptance', 'waiver', 'plan', 'map-edit')),
  ADD CONSTRAINT raw_records_size_check CHECK (octet_length(raw) + coalesce(octet_length(header), 0)
      + coalesce(octet_length(decoded_json), 0) <= 67108864);

CREATE OR REPLACE FUNCTION raw_id(kind text, visit text, taken_at bigint, unit bigint, source text, header bytea,
                                  raw bytea, decoded_json text)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE SET search_path = linkmeter, pg_catalog AS $$
  SELECT hex_id(kind, f_text(visit) || f_int(taken_at) || f_int(unit) || f_text(source) || f_bytes(header)
      || f_bytes(raw)
      || CASE WHEN kind IN ('plan', 'map-edit')
                   OR (length(coalesce(header, '')) = 0 AND length(coalesce(raw, '')) = 0)
              THEN f_text(decoded_json) ELSE ''::bytea END)
$$;

-- The SHA-256 a plan's decoded form names; NULL when it names none.
CREATE FUNCTION plan_sha256(decoded_json text) RETURNS text LANGUAGE plpgsql IMMUTABLE
SET search_path = linkmeter, pg_catalog AS $$
BEGIN
  RETURN decoded_json::jsonb ->> 'sha256';
EXCEPTION WHEN others THEN
  RETURN NULL;
END $$;

CREATE OR REPLACE FUNCTION check_raw() RETURNS trigger LANGUAGE plpgsql
SET search_path = linkmeter, pg_catalog AS $$
BEGIN
  IF NEW.content_id IS DISTINCT FROM raw_id(NEW.kind, NEW.visit, NEW.taken_at, NEW.unit, NEW.source, NEW.header,
                                            NEW.raw, NEW.decoded_json) THEN
    PERFORM refuse(NEW.kind, NEW.content_id);
  END IF;
  IF NEW.kind = 'plan' AND plan_sha256(NEW.decoded_json) IS DISTINCT FROM encode(sha256(NEW.raw), 'hex') THEN
    RAISE EXCEPTION 'refused: plan % has an image that does not match its sha256', NEW.content_id
      USING ERRCODE = 'check_violation', HINT = 'a plan names the SHA-256 of its image';
  END IF;
  RETURN NEW;
END $$;

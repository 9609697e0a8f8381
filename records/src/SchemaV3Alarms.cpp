// Version 3: the monitor's alarms. Local bookkeeping of one computer (never
// exported): what the rules raised and resolved, operators' acknowledgements
// and silences, the rule engine's state per site so a restarted monitor
// carries on, and the outbox every notice goes through.
#include "lm/records/Database.h"
#include "SchemaV3Alarms.h"

namespace lm::records {
namespace {

constexpr const char* kSchemaV3 = R"sql(
CREATE TABLE alarm_events (
  id INTEGER PRIMARY KEY,
  site_serial INTEGER NOT NULL,
  alarm_key TEXT NOT NULL,
  kind TEXT NOT NULL CHECK (kind IN ('raised', 'resolved', 'flapping', 'stable', 'ack')),
  at INTEGER NOT NULL,
  raised_id INTEGER REFERENCES alarm_events(id),
  summary TEXT NOT NULL DEFAULT '',
  detail_json TEXT NOT NULL DEFAULT '{}'
);
CREATE INDEX alarm_events_by_site ON alarm_events(site_serial, at);
CREATE INDEX alarm_events_by_key ON alarm_events(alarm_key, id);
CREATE INDEX alarm_events_by_raise ON alarm_events(raised_id);
CREATE TABLE alarm_engine_state (
  site_serial INTEGER PRIMARY KEY,
  round_at INTEGER NOT NULL,
  state_json TEXT NOT NULL
);
CREATE TABLE alarm_silences (
  id INTEGER PRIMARY KEY,
  site_serial INTEGER,
  subject TEXT NOT NULL,
  created_at INTEGER NOT NULL,
  until_at INTEGER NOT NULL
);
CREATE TABLE alarm_outbox (
  id INTEGER PRIMARY KEY,
  channel TEXT NOT NULL,
  alarm_key TEXT NOT NULL,
  status TEXT NOT NULL,
  created_at INTEGER NOT NULL,
  notice_json TEXT NOT NULL
);
CREATE INDEX alarm_outbox_by_channel ON alarm_outbox(channel, id);
CREATE TABLE alarm_deliveries (
  outbox_id INTEGER PRIMARY KEY REFERENCES alarm_outbox(id),
  delivered_at INTEGER NOT NULL
);
)sql";

}  // namespace

void ApplySchemaV3Alarms(Database& db) { db.Exec(kSchemaV3); }

}  // namespace lm::records

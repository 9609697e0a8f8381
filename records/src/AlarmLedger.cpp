#include "lm/records/AlarmLedger.h"

#include "lm/records/Schema.h"
#include "lm/records/Transaction.h"

namespace lm::records {
namespace {

constexpr const char* kEventColumns =
    "id, site_serial, alarm_key, kind, at, raised_id, summary, detail_json";

AlarmEventRow EventOf(const Statement& s, int first = 0) {
  AlarmEventRow e;
  e.id = s.Int(first);
  e.siteSerial = s.Int(first + 1);
  e.key = s.Text(first + 2);
  e.kind = s.Text(first + 3);
  e.at = s.Int(first + 4);
  e.raisedId = s.OptInt(first + 5);
  e.summary = s.Text(first + 6);
  e.detailJson = s.Text(first + 7);
  return e;
}

int64_t InsertEvent(Database& db, const AlarmEventRow& e) {
  db.Prepare("INSERT INTO alarm_events(site_serial, alarm_key, kind, at, raised_id, summary, detail_json) "
             "VALUES (?, ?, ?, ?, ?, ?, ?)")
      .BindAll(e.siteSerial, e.key, e.kind, e.at, e.raisedId, e.summary, e.detailJson)
      .Run();
  return db.LastInsertId();
}

std::optional<int64_t> LatestRaiseOf(Database& db, const std::string& key) {
  Statement s = db.Prepare("SELECT max(id) FROM alarm_events WHERE alarm_key = ? AND kind = 'raised'");
  s.Bind(1, key);
  return s.Step() ? s.OptInt(0) : std::nullopt;
}

int64_t InsertNotice(Database& db, const NoticeRow& n) {
  db.Prepare("INSERT INTO alarm_outbox(channel, alarm_key, status, created_at, notice_json, monitor, destination) "
             "VALUES (?, ?, ?, ?, ?, ?, ?)")
      .BindAll(n.channel, n.key, n.status, n.createdAt, n.noticeJson, n.monitor, n.destination)
      .Run();
  return db.LastInsertId();
}

// A raise with its end and its latest acknowledgement, from the columns
// the alarm queries below select.
constexpr const char* kAlarmSelect =
    "SELECT r.id, r.site_serial, r.alarm_key, r.kind, r.at, r.raised_id, r.summary, r.detail_json, "
    "(SELECT min(e.at) FROM alarm_events e WHERE e.raised_id = r.id AND e.kind = 'resolved'), "
    "(SELECT max(a.at) FROM alarm_events a WHERE a.raised_id = r.id AND a.kind = 'ack'), "
    "(SELECT a.summary FROM alarm_events a WHERE a.raised_id = r.id AND a.kind = 'ack' ORDER BY a.id DESC LIMIT 1) "
    "FROM alarm_events r WHERE r.kind = 'raised' ";

AlarmRow AlarmOf(const Statement& s) {
  AlarmRow row;
  row.raised = EventOf(s);
  row.endedAt = s.OptInt(8);
  row.ackedAt = s.OptInt(9);
  if (!s.IsNull(10)) row.ackedBy = s.Text(10);
  return row;
}

Database OpenLedgerDatabase(const std::filesystem::path& file) {
  Database db(file.empty() ? std::filesystem::path(":memory:") : file);
  Migrate(db);
  return db;
}

}  // namespace

AlarmLedger::AlarmLedger(const std::filesystem::path& file) : db_(OpenLedgerDatabase(file)) {}

std::optional<std::string> AlarmLedger::LoadState(int64_t siteSerial) {
  std::lock_guard lock(mutex_);
  Statement s = db_.Prepare("SELECT state_json FROM alarm_engine_state WHERE site_serial = ?");
  s.Bind(1, siteSerial);
  if (!s.Step()) return std::nullopt;
  return s.Text(0);
}

void AlarmLedger::SaveRound(const AlarmRoundWrite& round) {
  std::lock_guard lock(mutex_);
  Transaction tx(db_);
  db_.Prepare("INSERT INTO alarm_engine_state(site_serial, round_at, state_json) VALUES (?, ?, ?) "
              "ON CONFLICT(site_serial) DO UPDATE SET round_at = excluded.round_at, state_json = excluded.state_json")
      .BindAll(round.siteSerial, round.at, round.stateJson)
      .Run();
  for (AlarmEventRow e : round.events) {
    if (e.kind != "raised" && !e.raisedId) e.raisedId = LatestRaiseOf(db_, e.key);
    InsertEvent(db_, e);
  }
  for (const NoticeRow& n : round.notices) InsertNotice(db_, n);
  tx.Commit();
}

int64_t ForgetDeliveredNotices(Database& db, const std::string& monitor, int64_t before) {
  Transaction tx(db);
  db.Exec("CREATE TEMP TABLE IF NOT EXISTS forget_notices (id INTEGER PRIMARY KEY)");
  db.Exec("DELETE FROM temp.forget_notices");
  db.Prepare("INSERT INTO temp.forget_notices SELECT o.id FROM alarm_outbox o WHERE o.monitor = ? "
             "AND o.created_at < ? AND o.id < (SELECT max(id) FROM alarm_outbox) "
             "AND EXISTS (SELECT 1 FROM alarm_deliveries d WHERE d.outbox_id = o.id)")
      .BindAll(monitor, before)
      .Run();
  const int64_t gone = db.Changes();
  db.Exec("DELETE FROM alarm_deliveries WHERE outbox_id IN (SELECT id FROM temp.forget_notices)");
  db.Exec("DELETE FROM alarm_outbox WHERE id IN (SELECT id FROM temp.forget_notices)");
  db.Exec("DELETE FROM temp.forget_notices");
  tx.Commit();
  return gone;
}

std::vector<NoticeRow> AlarmLedger::Pending(const std::string& monitor, const std::string& destination, int limit) {
  std::lock_guard lock(mutex_);
  Statement s = db_.Prepare(
      "SELECT o.id, o.channel, o.alarm_key, o.status, o.created_at, o.notice_json, o.monitor, o.destination "
      "FROM alarm_outbox o WHERE o.monitor = ? AND o.destination = ? AND o.id >= ? "
      "AND NOT EXISTS (SELECT 1 FROM alarm_deliveries d WHERE d.outbox_id = o.id) ORDER BY o.id LIMIT ?");
  int64_t& from = deliveredBelow_[{monitor, destination}];
  s.BindAll(monitor, destination, from, limit);
  std::vector<NoticeRow> rows;
  while (s.Step()) rows.push_back({s.Int(0), s.Text(1), s.Text(2), s.Text(3), s.Int(4), s.Text(5), s.Text(6), s.Text(7)});
  if (!rows.empty()) from = rows.front().id;
  return rows;
}

int AlarmLedger::ClaimUnaddressed(const std::string& monitor, const std::string& destination,
                                  const std::string& channel, const std::string& keyPrefix) {
  std::lock_guard lock(mutex_);
  // Only those never delivered: what went out stays as it was recorded.
  db_.Prepare("UPDATE alarm_outbox SET monitor = ?, destination = ? WHERE monitor = '' AND channel = ? "
              "AND substr(alarm_key, 1, length(?4)) = ?4 "
              "AND NOT EXISTS (SELECT 1 FROM alarm_deliveries d WHERE d.outbox_id = alarm_outbox.id)")
      .BindAll(monitor, destination, channel, keyPrefix)
      .Run();
  deliveredBelow_.clear();  // older notices may now be this receiver's
  return db_.Changes();
}

void AlarmLedger::MarkDelivered(const std::vector<int64_t>& outboxIds, int64_t at) {
  std::lock_guard lock(mutex_);
  Transaction tx(db_);
  Statement s = db_.Prepare("INSERT OR IGNORE INTO alarm_deliveries(outbox_id, delivered_at) VALUES (?, ?)");
  for (int64_t id : outboxIds) {
    s.BindAll(id, at).Run();
    s.Reset();
  }
  tx.Commit();
}

int64_t AlarmLedger::AddNotice(const NoticeRow& notice) {
  std::lock_guard lock(mutex_);
  return InsertNotice(db_, notice);
}

std::vector<AlarmRow> AlarmLedger::Alarms(std::optional<int64_t> siteSerial, bool firingOnly, int limit) {
  std::lock_guard lock(mutex_);
  std::string sql = std::string(kAlarmSelect) + "AND (?1 IS NULL OR r.site_serial = ?1) ";
  if (firingOnly) sql += "AND NOT EXISTS (SELECT 1 FROM alarm_events e WHERE e.raised_id = r.id AND e.kind = 'resolved') ";
  Statement s = db_.Prepare(sql + "ORDER BY r.id DESC LIMIT ?2");
  s.Bind(1, siteSerial);
  s.Bind(2, limit);
  std::vector<AlarmRow> rows;
  while (s.Step()) rows.push_back(AlarmOf(s));
  return rows;
}

std::optional<AlarmRow> AlarmLedger::Alarm(int64_t raisedId) {
  std::lock_guard lock(mutex_);
  Statement s = db_.Prepare(std::string(kAlarmSelect) + "AND r.id = ?");
  s.Bind(1, raisedId);
  if (!s.Step()) return std::nullopt;
  return AlarmOf(s);
}

std::optional<int64_t> AlarmLedger::LatestRaise(const std::string& key) {
  std::lock_guard lock(mutex_);
  return LatestRaiseOf(db_, key);
}

std::vector<AlarmEventRow> AlarmLedger::Events(int64_t raisedId) {
  std::lock_guard lock(mutex_);
  Statement s = db_.Prepare(std::string("SELECT ") + kEventColumns +
                            " FROM alarm_events WHERE id = ?1 OR raised_id = ?1 ORDER BY id");
  s.Bind(1, raisedId);
  std::vector<AlarmEventRow> rows;
  while (s.Step()) rows.push_back(EventOf(s));
  return rows;
}

std::vector<AlarmEventRow> AlarmLedger::Timeline(int64_t siteSerial, int64_t from, int64_t to) {
  std::lock_guard lock(mutex_);
  Statement s = db_.Prepare(std::string("SELECT ") + kEventColumns +
                            " FROM alarm_events WHERE site_serial = ? AND at >= ? AND at <= ? ORDER BY at, id");
  s.BindAll(siteSerial, from, to);
  std::vector<AlarmEventRow> rows;
  while (s.Step()) rows.push_back(EventOf(s));
  return rows;
}

bool AlarmLedger::Acknowledge(int64_t raisedId, int64_t at, const std::string& by) {
  std::lock_guard lock(mutex_);
  Transaction tx(db_);
  Statement s = db_.Prepare("SELECT site_serial, alarm_key FROM alarm_events WHERE id = ? AND kind = 'raised'");
  s.Bind(1, raisedId);
  if (!s.Step()) return false;
  AlarmEventRow ack;
  ack.siteSerial = s.Int(0);
  ack.key = s.Text(1);
  ack.kind = "ack";
  ack.at = at;
  ack.raisedId = raisedId;
  ack.summary = by;
  InsertEvent(db_, ack);
  tx.Commit();
  return true;
}

int64_t AlarmLedger::AddSilence(const SilenceRow& silence) {
  std::lock_guard lock(mutex_);
  db_.Prepare("INSERT INTO alarm_silences(site_serial, subject, created_at, until_at) VALUES (?, ?, ?, ?)")
      .BindAll(silence.siteSerial, silence.subject, silence.createdAt, silence.untilAt)
      .Run();
  return db_.LastInsertId();
}

std::vector<SilenceRow> AlarmLedger::Silences(int64_t activeAt) {
  std::lock_guard lock(mutex_);
  Statement s = db_.Prepare(
      "SELECT id, site_serial, subject, created_at, until_at FROM alarm_silences "
      "WHERE created_at <= ?1 AND until_at > ?1 ORDER BY id");
  s.Bind(1, activeAt);
  std::vector<SilenceRow> rows;
  while (s.Step()) rows.push_back({s.Int(0), s.OptInt(1), s.Text(2), s.Int(3), s.Int(4)});
  return rows;
}

}  // namespace lm::records

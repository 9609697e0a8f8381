#pragma once
// The monitor's alarms in the site-records file: events (raised, resolved,
// flapping, stable, ack; never changed once written), the rule engine's
// state per site, silences, and the notice outbox with its deliveries.
// Local to this computer: none of it is exported.
//
// Each call is one short transaction on the ledger's own connection,
// serialised by a mutex, so the survey thread and the delivery thread can
// share one ledger; nothing slow happens while it is held. Calls throw
// SqlError.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "lm/records/Database.h"

namespace lm::records {

struct AlarmEventRow {
  int64_t id = 0;
  int64_t siteSerial = 0;
  std::string key;   // "SITE/rule/subject"
  std::string kind;  // raised, resolved, flapping, stable, ack
  int64_t at = 0;
  std::optional<int64_t> raisedId;  // the raise it belongs to (none for a raise)
  std::string summary;
  std::string detailJson = "{}";
};

// One raise with what followed it.
struct AlarmRow {
  AlarmEventRow raised;
  std::optional<int64_t> endedAt;
  std::optional<int64_t> ackedAt;
  std::string ackedBy;
};

struct NoticeRow {
  int64_t id = 0;
  std::string channel;  // "webhook", "mail"
  std::string key;
  std::string status;  // firing, resolved, test
  int64_t createdAt = 0;
  std::string noticeJson;
  // Whose it is: the monitor that raised it ("monitor-009A0011") and the
  // receiver it goes to (a channel's destination id); each pair has its
  // own queue.
  std::string monitor;
  std::string destination;
};

struct SilenceRow {
  int64_t id = 0;
  std::optional<int64_t> siteSerial;  // none: every site
  std::string subject;                // "unit:SERIAL" or "hop:A-B"
  int64_t createdAt = 0, untilAt = 0;
};

// What one survey round changes, written in one transaction.
struct AlarmRoundWrite {
  int64_t siteSerial = 0;
  int64_t at = 0;
  std::string stateJson;
  std::vector<AlarmEventRow> events;  // raisedId filled in for resolves/flaps
  std::vector<NoticeRow> notices;
};

// Removes the notices of `monitor` delivered and made before `before` (ms):
// the outbox is a queue, and a year of delivered notices would outgrow the
// rest of a monitored site's store. The newest notice of the store stays,
// so an id is never given twice; the alarm events stay. Answers how many went.
int64_t ForgetDeliveredNotices(Database& db, const std::string& monitor, int64_t before);

class AlarmLedger {
 public:
  // The ledger of a site-records file (migrated to the current schema when
  // needed), or of a store kept in memory only when `file` is empty.
  explicit AlarmLedger(const std::filesystem::path& file);

  std::optional<std::string> LoadState(int64_t siteSerial);
  void SaveRound(const AlarmRoundWrite& round);

  // Notices of one monitor to one receiver not yet delivered, oldest first.
  std::vector<NoticeRow> Pending(const std::string& monitor, const std::string& destination, int limit);
  // Notices written before they were addressed (an older build's), of
  // `channel` and alarm keys starting with `keyPrefix` (a site's "SITE/"),
  // given to `monitor` and `destination`; answers how many.
  int ClaimUnaddressed(const std::string& monitor, const std::string& destination, const std::string& channel,
                       const std::string& keyPrefix);
  void MarkDelivered(const std::vector<int64_t>& outboxIds, int64_t at);
  // Adds a notice outside a round (a test notice); answers its id.
  int64_t AddNotice(const NoticeRow& notice);

  // Raises, newest first (every site when `siteSerial` is none), at most
  // `limit`; with `firingOnly` those not resolved.
  std::vector<AlarmRow> Alarms(std::optional<int64_t> siteSerial, bool firingOnly, int limit);
  std::optional<AlarmRow> Alarm(int64_t raisedId);
  // The latest raise of an alarm key.
  std::optional<int64_t> LatestRaise(const std::string& key);
  // Every event of one raise, oldest first.
  std::vector<AlarmEventRow> Events(int64_t raisedId);
  // Every event of a site between two times (ms), oldest first.
  std::vector<AlarmEventRow> Timeline(int64_t siteSerial, int64_t from, int64_t to);

  // False when no raise has that id.
  bool Acknowledge(int64_t raisedId, int64_t at, const std::string& by);
  int64_t AddSilence(const SilenceRow& silence);
  std::vector<SilenceRow> Silences(int64_t activeAt);

 private:
  std::mutex mutex_;
  Database db_;
  // Per monitor and receiver, an id below which every notice was delivered
  // (a delivery is never taken back): Pending reads on from there rather
  // than past a year of delivered notices each time.
  std::map<std::pair<std::string, std::string>, int64_t> deliveredBelow_;
};

}  // namespace lm::records

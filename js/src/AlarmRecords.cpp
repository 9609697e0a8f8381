// linkmeter.records.alarmTimeline and alarmsFiring: what the unattended
// monitor's alarm rules kept for a site, read from the alarm tables of the
// same store file on a connection of their own.
#include <chrono>

#include "RecordsWork.h"
#include "lm/records/AlarmLedger.h"
#include "lm/records/SqlError.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/js/RecordsFailures.h"
#include "sorrel/js/RecordsJson.h"

namespace Sorrel::Js::records_work {
namespace {

namespace rj = records_json;
using lm::json::MakeObject;
using lm::json::Number;
using lm::json::Value;

constexpr int64_t kDefaultSpan = 30LL * 24 * 3600 * 1000;  // thirty days
constexpr int kFiringLimit = 200;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

Value Detail(const std::string& json) {
  auto parsed = lm::json::Parse(json);
  return parsed ? *parsed : Value(lm::json::Object());
}

Value EventJson(const lm::records::AlarmEventRow& e) {
  return MakeObject({{"id", Number(e.id)}, {"key", Value(e.key)}, {"kind", Value(e.kind)}, {"at", Number(e.at)},
                     {"raisedId", e.raisedId ? Number(*e.raisedId) : Value()}, {"summary", Value(e.summary)},
                     {"detail", Detail(e.detailJson)}});
}

template <class F>
Value WithLedger(Store& s, F&& read) {
  try {
    lm::records::AlarmLedger ledger(s.report().path);
    return read(ledger);
  } catch (const lm::records::SqlError& e) {
    throw cef::JsExecuteException(records_failure::kIo, std::string("the alarms could not be read: ") + e.what());
  }
}

}  // namespace

Value AlarmTimeline(Store& s, const Arg& r) {
  const int64_t serial = rj::Int64(r, "serial");
  const int64_t to = rj::TimeOr(r, "to", NowMs());
  const int64_t from = rj::TimeOr(r, "from", to - kDefaultSpan);
  return WithLedger(s, [&](lm::records::AlarmLedger& ledger) {
    lm::json::Array events;
    for (const auto& e : ledger.Timeline(serial, from, to)) events.push_back(EventJson(e));
    return Value(events);
  });
}

Value AlarmsFiring(Store& s, const Arg& r) {
  const int64_t serial = rj::Int64(r, "serial");
  return WithLedger(s, [&](lm::records::AlarmLedger& ledger) {
    lm::json::Array alarms;
    for (const auto& a : ledger.Alarms(serial, true, kFiringLimit)) {
      alarms.push_back(MakeObject({{"id", Number(a.raised.id)}, {"key", Value(a.raised.key)},
                                   {"startedAt", Number(a.raised.at)}, {"summary", Value(a.raised.summary)},
                                   {"ackedAt", a.ackedAt ? Number(*a.ackedAt) : Value()}}));
    }
    return Value(alarms);
  });
}

}  // namespace Sorrel::Js::records_work

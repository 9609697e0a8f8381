// Recorded data in blocks: EISUC from the logger on the optical port, EWSUC
// from a far unit by radio. MODE 0 asks for every stored record, 1 for the
// records not read before, 2 for the newest RANGE records; MODE 9 asks for
// the next block of the transfer in progress.

#include <algorithm>

#include "linkmeter/sim/CommandTable.h"
#include "linkmeter/sim/RecordedData.h"
#include "linkmeter/sim/Route.h"

namespace linkmeter::sim {
namespace {

constexpr std::size_t kOpticalBlock = 1024;
constexpr std::size_t kRadioBlock = 512;
constexpr long long kNextBlock = 9;

std::optional<RecordSelection> Selection(const Exchange& x, std::uint32_t serial) {
  RecordSelection s;
  switch (x.Number("MODE", 0)) {
    case 0: s.kind = RecordSelection::Kind::kAll; break;
    case 1: {
      s.kind = RecordSelection::Kind::kSince;
      auto it = x.unit.lastRead.find(serial);
      s.since = it == x.unit.lastRead.end() ? 0 : it->second;
      break;
    }
    case 2:
      if (x.Number("RANGE", 0) < 0) return std::nullopt;
      s.kind = RecordSelection::Kind::kLast;
      s.count = static_cast<std::size_t>(x.Number("RANGE", 0));
      break;
    default: return std::nullopt;
  }
  return s;
}

std::string TakeBlock(BlockTransfer& t, std::size_t size) {
  std::string block = t.bytes.substr(t.position, size);
  t.position += block.size();
  return block;
}

Answer OpticalRecords(Exchange& x) {
  if (!x.unit.optical) return WithStatus(status::kOpticalNoLogger);
  auto& transfer = x.conversation.opticalRecords;
  if (x.Number("MODE", 0) == kNextBlock) {
    if (!transfer) return WithStatus(status::kOpticalBadRequest);
    Answer a = WithStatus(status::kOpticalOk);
    a["DATA"] = TakeBlock(*transfer, kOpticalBlock);
    if (transfer->position >= transfer->bytes.size()) transfer.reset();
    return a;
  }
  const OpticalLogger& logger = *x.unit.optical;
  auto selection = Selection(x, logger.design.serial);
  if (!selection) return WithStatus(status::kOpticalBadRequest);
  RecordingSpan span{logger.recordingSince, logger.recording ? 0 : logger.stoppedAt, false};
  RecordedBlock block = ReadRecorded(logger.design, span, x.UnitTime(), *selection);
  x.unit.lastRead[logger.design.serial] = block.lastRecordTime;
  Answer a = WithStatus(status::kOpticalOk);
  a["DATA"] = block.header;
  a["SIZE"] = std::to_string(block.data.size());
  transfer = BlockTransfer{};
  transfer->bytes = std::move(block.data);
  return a;
}

Answer StartFarRecords(Exchange& x) {
  auto route = ResolveRoute(x);
  if (!route) return WithStatus(status::kRadioBadRequest);
  bool reachable = ReadRoute(x, *route).complete && route->remote;
  auto hops = static_cast<long long>(route->hops.size()) + (reachable ? 0 : 2);
  auto air = std::chrono::milliseconds(x.radio.Design().hopMs * hops);
  BlockTransfer t;
  t.readyAt = x.tick + air;
  t.elapsedSec = (air.count() + 999) / 1000;
  t.failed = !reachable;
  if (reachable) {
    auto selection = Selection(x, route->remote->serial);
    if (!selection) return WithStatus(status::kRadioBadRequest);
    // The far unit reads its memory when the request has reached it.
    std::int64_t farNow = x.now + x.unit.farUnits[route->remote->serial].clockOffsetSec + t.elapsedSec;
    const RemoteUnitSpec& unit = *route->remote;
    RecordingSpan span{x.unit.startUnix - 7 * 86400,
                       unit.stoppedAgoSec > 0 ? x.unit.startUnix - unit.stoppedAgoSec : 0, true};
    RecordedBlock block = ReadRecorded(unit, span, farNow, *selection);
    x.unit.lastRead[route->remote->serial] = block.lastRecordTime;
    t.header = std::move(block.header);
    t.bytes = std::move(block.data);
  }
  x.conversation.farRecords = std::move(t);
  return WithStatus(status::kRadioAccepted);
}

Answer NextFarRecords(Exchange& x) {
  auto& t = x.conversation.farRecords;
  if (!t) return WithStatus(status::kRadioNoOperation);
  if (x.tick < t->readyAt) return WithStatus(status::kRadioWorking);
  if (t->failed) {
    t.reset();
    return WithStatus(status::kRadioNoAnswer);
  }
  Answer a = WithStatus(status::kOpticalOk);
  if (!t->headerSent) {
    t->headerSent = true;
    a["SIZE"] = std::to_string(t->header.size() + t->bytes.size());
    a["TIME"] = std::to_string(t->elapsedSec);
    a["DATA"] = t->header + TakeBlock(*t, kRadioBlock - t->header.size());
  } else {
    a["DATA"] = TakeBlock(*t, kRadioBlock);
  }
  if (t->position >= t->bytes.size()) t.reset();
  return a;
}

Answer FarRecords(Exchange& x) {
  return x.Number("MODE", 0) == kNextBlock ? NextFarRecords(x) : StartFarRecords(x);
}

}  // namespace

void AddRecordCommands(CommandTable& table) {
  table.Add("EISUC", OpticalRecords);
  table.Add("EWSUC", FarRecords);
}

}  // namespace linkmeter::sim

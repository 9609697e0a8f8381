#pragma once
// What a command's answer is made from: the request, the unit's state, the
// state of this connection's multi-exchange conversations and the clocks.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "linkmeter/sim/RadioModel.h"
#include "linkmeter/sim/Status.h"
#include "linkmeter/sim/UnitState.h"
#include "vantor/com/TFrame.h"

namespace linkmeter::sim {

using SteadyTime = std::chrono::steady_clock::time_point;
using Answer = com::vantor::FieldMap;  // answer fields, STATUS included

struct Exchange;

// A radio operation in the air: polls answer "working" until readyAt, then
// `finish` makes the final answer from the exchange that started it.
struct RadioOperation {
  com::vantor::TBody start;
  SteadyTime readyAt;
  bool cancelled = false;
  std::function<Answer(Exchange&)> finish;
};

// A block transfer of recorded data or log records, handed out piece by piece.
struct BlockTransfer {
  std::string bytes;
  std::size_t position = 0;
  bool headerSent = false;  // EWSUC: the header travels with the first block
  std::string header;
  std::int64_t elapsedSec = 0;
  SteadyTime readyAt;
  bool failed = false;  // the far unit did not answer
  bool single = false;  // one block only, then the transfer ends
};

// Per connection: the conversations that take several exchanges.
struct Conversation {
  std::optional<RadioOperation> radio;
  std::optional<BlockTransfer> opticalRecords;  // EISUC
  std::optional<BlockTransfer> farRecords;      // EWSUC
  std::optional<BlockTransfer> logRecords;      // ELOGS
  std::optional<BlockTransfer> trend;           // ETRND
  int lanTestPolls = 0;                         // ETLAN ACT 1
  std::optional<std::string> registrationWrite; // WSETF between SAVE frames
};

struct Exchange {
  const com::vantor::TBody& request;
  UnitState& unit;  // its mutex is held
  Conversation& conversation;
  const RadioModel& radio;
  std::int64_t now;  // PC time, unix seconds
  SteadyTime tick;

  bool Has(const std::string& key) const { return request.Find(key).has_value(); }
  std::string Text(const std::string& key) const;
  // A decimal field (atoi rules); `fallback` when absent.
  long long Number(const std::string& key, long long fallback = 0) const;
  // Unit clock in unix seconds.
  std::int64_t UnitTime() const { return now + unit.clockOffsetSec; }
};

Answer WithStatus(Status status);

using Handler = std::function<Answer(Exchange&)>;

}  // namespace linkmeter::sim

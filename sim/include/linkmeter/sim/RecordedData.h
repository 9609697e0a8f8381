#pragma once
// The recorded data a remote unit holds: a 64-byte header and its records,
// generated from the unit's channels and recording interval so that header
// fields (interval, start time, state, age, stored bytes, model, channel
// types) always agree with the data handed out.

#include <cstdint>
#include <string>
#include <vector>

#include "linkmeter/sim/Site.h"

namespace linkmeter::sim {

// Header field offsets.
namespace header {
inline constexpr std::size_t kInterval = 0;     // u16 seconds
inline constexpr std::size_t kStartTime = 2;    // u64 unix seconds of the first stored record
inline constexpr std::size_t kState = 11;       // 1 while recording
inline constexpr std::size_t kAge = 12;         // u32 seconds since the last record
inline constexpr std::size_t kSentBytes = 30;   // u16 data bytes that follow this header
inline constexpr std::size_t kStoredBytes = 32; // u16 data bytes stored
inline constexpr std::size_t kSerial = 36;      // u32
inline constexpr std::size_t kChType1 = 42;
inline constexpr std::size_t kChType2 = 43;
inline constexpr std::size_t kSubtype = 62;
inline constexpr std::size_t kSize = 64;
}  // namespace header

inline constexpr std::size_t kMemoryBytes = 32000;  // a logger's data memory

struct RecordedBlock {
  std::string header;  // 64 bytes
  std::string data;    // the records handed out, oldest first
  std::int64_t lastRecordTime = 0;
};

// Bytes one record of these channel types takes.
std::size_t RecordWidth(const std::vector<int>& chTypes);

// What ranges of records a read asks for.
struct RecordSelection {
  enum class Kind { kAll, kSince, kLast } kind = Kind::kAll;
  std::int64_t since = 0;  // kSince: records after this unix time
  std::size_t count = 0;   // kLast: this many newest records
};

// When a unit recorded, and how its header is read.
struct RecordingSpan {
  std::int64_t since = 0;      // the first record
  std::int64_t stoppedAt = 0;  // 0 while recording
  // A stopped unit with a full memory keeps its recording start in the
  // header (readers then date the last record by its age): VL-RA loggers
  // read on the optical port, and far units of models 92..94 and 96..98.
  bool viaRadio = false;
};

// A unit's data memory: 16000 bytes for a model 98 with channel type 0x42.
std::size_t MemoryBytes(const RemoteUnitSpec& unit);

// The unit's memory at unix time `now`.
RecordedBlock ReadRecorded(const RemoteUnitSpec& unit, const RecordingSpan& span, std::int64_t now,
                           const RecordSelection& selection);

// The raw value of channel `index` at time t (plausible for its type).
std::uint32_t ChannelValue(int chType, std::uint32_t unitKey, int index, std::int64_t t);

// Little-endian helpers shared by the answer tables.
void PutLe(std::string& bytes, std::size_t offset, std::uint64_t value, std::size_t width);
std::uint64_t GetLe(const std::string& bytes, std::size_t offset, std::size_t width);

}  // namespace linkmeter::sim

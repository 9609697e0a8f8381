#pragma once
// Recorded data fetched in blocks (EISUC, EWSUC): the 64-byte header, the
// data bytes, and the times of the first and last record worked out from
// the header.

#include <cstddef>
#include <cstdint>
#include <string>

#include "vantor/com/RecordedDataHeader.h"

namespace com::vantor {

struct RecordedData {
  std::string header;
  std::string data;
  std::int64_t firstDataTime = 0;
  std::int64_t lastDataTime = 0;
};

RecordedDataHeader HeaderView(const std::string& header);

// The logger on the optical port: a stopped VL-RA (92..94) with a full
// memory, or a header without start time, dates its last record by its age.
std::int64_t LastTimeOptical(const RecordedDataHeader& h, std::int64_t now);
// A far unit: its memory counts as full at 32000 bytes for 92..94, 96, 97,
// and for 98 at 16000 bytes with channel type 0x42 (else 32000); timeField
// is the answer's TIME.
std::int64_t LastTimeRadio(const RecordedDataHeader& h, std::int64_t notedNow, std::int64_t timeField);
// last − (m − 1) × interval, m records collected.
std::int64_t FirstTime(const RecordedDataHeader& h, std::int64_t last, std::size_t collectedBytes);

}  // namespace com::vantor

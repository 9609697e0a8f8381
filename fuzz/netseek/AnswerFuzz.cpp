// Feeds arbitrary datagrams to the answer handling of a run and checks what
// ends up in the result table.
//
// Input: one control byte (bit 0: parameter run instead of search; bit 1:
// cut the rest into 256-byte datagrams instead of length-prefixed ones),
// then the datagrams.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "AnswerHandler.h"
#include "Datagram.h"
#include "ResultTable.h"
#include "RunLog.h"

namespace {

using netseek::Datagram;

std::vector<std::span<const std::uint8_t>> Split(const std::uint8_t* data, std::size_t size,
                                                 bool fixed) {
  std::vector<std::span<const std::uint8_t>> parts;
  std::size_t at = 0;
  while (at < size) {
    std::size_t length;
    if (fixed) {
      length = netseek::kDatagramSize;
    } else {
      if (size - at < 2) break;
      length = (data[at] | (data[at + 1] << 8)) % 1025;  // a receive reads up to 1024
      at += 2;
    }
    length = std::min(length, size - at);
    parts.emplace_back(data + at, length);
    at += length;
  }
  return parts;
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckTable(const netseek::ResultTable& table) {
  for (std::size_t i = 0; i < table.Size(); ++i) {
    const Datagram& record = *table.At(i);
    Check(netseek::HasHeader(record, netseek::Command::kSearch));
    Check(netseek::StatusOf(record) == 0);
    for (std::size_t j = 0; j < i; ++j) Check(!netseek::IsSameUnit(record, *table.At(j)));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool paramRun = (data[0] & 1) != 0;
  const auto parts = Split(data + 1, size - 1, (data[0] & 2) != 0);

  netseek::ResultTable table;
  netseek::RunLog log;
  netseek::AnswerHandler handler(paramRun ? netseek::Mode::kSetParam : netseek::Mode::kSearch,
                                 table, log);
  std::size_t wellFormed = 0;
  for (const auto& part : parts) {
    const netseek::Finish finish = handler.OnDatagram(3, part, "192.0.2.1");
    const bool ok = part.size() == netseek::kDatagramSize && part[3] == 0 &&
                    netseek::HasHeader(part, paramRun ? netseek::Command::kSetParam
                                                      : netseek::Command::kSearch);
    wellFormed += ok ? 1 : 0;
    if (paramRun) {
      Check(finish == (ok ? netseek::kResultSuccess : netseek::kResultBadAnswer));
    } else {
      Check(!finish.has_value());
    }
  }
  Check(paramRun ? table.Size() == 0 : table.Size() <= wellFormed);
  CheckTable(table);
  const std::string bytes = log.Encode();  // every line must convert
  Check(bytes.size() >= 2 * log.Lines().size());
  table.Release();
  Check(table.Size() == 0 && table.At(0) == nullptr);
  return 0;
}

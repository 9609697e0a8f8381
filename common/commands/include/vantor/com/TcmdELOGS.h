#pragma once
// ELOGS: the base unit's event log. MODE 1 reads one block; MODE 0 asks
// for block after block (ACT "1") until an answer without DATA, or until
// Limit records are parsed. Records: length, category, number, UTC time,
// local time, text.

#include <vector>

#include "vantor/com/RowCommand.h"

namespace com::vantor {

struct LogEntry {
  std::uint16_t number = 0;
  std::uint8_t category = 0;
  std::uint64_t utcTime = 0;
  std::uint64_t localTime = 0;
  std::string text;  // ANSI code page
};

class TcmdELOGS : public TcmdRow<"ELOGS"> {
 public:
  static constexpr std::size_t kRecordHeader = 12;

  void Reset() override;
  Bytes BuildSendData(int phase) override;
  void ParseRecvData(int phase, std::string_view answer) override;
  bool IsContinue(int phase) const override;

  const std::vector<LogEntry>& Logs() const { return logs_; }

 private:
  void TakeRecords();

  std::string buffer_;
  std::size_t parsed_ = 0;  // bytes of buffer_ taken as records
  std::vector<LogEntry> logs_;
  bool end_ = false;
};

}  // namespace com::vantor

#pragma once
// The process-wide state behind the exported functions: the result table,
// the parameter datagram, the log file path and the lists of the current run.
// Every operation takes the library's lock, so calls from several threads
// are served one after another instead of corrupting a run.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "AdapterTable.h"
#include "AnswerHandler.h"
#include "Datagram.h"
#include "ResultTable.h"
#include "RunLog.h"

namespace netseek {

// Longest log file path, in UTF-16 units with the terminator.
inline constexpr std::size_t kMaxLogPathUnits = 260;
inline constexpr const char* kDefaultLogName = "UdpResult.txt";

class Library {
 public:
  static Library& Instance();

  // The number of units found; -10 for a bad argument; -2 when there were
  // local addresses but none could send, -1 when the loop could not run.
  std::int32_t DoSearch(const void* parent, std::uint16_t destPort, std::int32_t timeLimitSec);
  // A copy of record `index` of the last search, if there is one.
  std::optional<Datagram> Record(std::uint32_t index);
  void CloseSearch();
  // The run result of sending `fields` to the unit.
  std::int32_t SetParam(const void* parent, std::uint16_t destPort, std::int32_t timeLimitSec,
                        const UnitFields& fields);
  // UTF-16 units stored (terminator included), or 0 with the default path.
  std::int32_t LogSettings(const char* ansiPath);

 private:
  Library() = default;
  static bool IsValidRun(const void* parent, std::int32_t timeLimitSec);
  // Runs the loop in `mode` sending `outgoing`, writes the log and clears
  // the run's lists; returns the run result.
  std::int32_t Execute(Mode mode, const Datagram& outgoing, std::int32_t timeLimitSec);
  std::int32_t RunLoop(Mode mode, const Datagram& outgoing, std::int32_t timeLimitSec);
  std::string LogFilePath() const;

  std::mutex mutex_;
  ResultTable results_;
  AdapterTable adapters_;
  RunLog log_;
  Datagram paramDatagram_{};
  std::uint16_t destPort_ = 0;
  std::u16string logPath_;
  std::string moduleFolder_;
  std::size_t runAddresses_ = 0;  // local addresses of the last run
};

}  // namespace netseek

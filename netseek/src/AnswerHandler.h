#pragma once
// Judges what arrives on a run's sockets. A search keeps every well-formed
// success answer of a unit not yet listed and ignores the rest (logging why);
// a parameter run ends with the first answer, well-formed or not.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "ResultTable.h"
#include "RunLog.h"

namespace netseek {

enum class Mode { kSearch = 0, kSetParam = 1 };

// Run results.
inline constexpr std::int32_t kResultSuccess = 1;
inline constexpr std::int32_t kResultRunning = 0;
inline constexpr std::int32_t kResultLoopFailed = -1;
inline constexpr std::int32_t kResultNotSent = -2;
inline constexpr std::int32_t kResultSendFailed = -3;
inline constexpr std::int32_t kResultBadAnswer = -4;
inline constexpr std::int32_t kResultTimedOut = -5;
inline constexpr std::int32_t kResultBadArgument = -10;

// What a socket delivered must end the run with, if anything.
using Finish = std::optional<std::int32_t>;

class AnswerHandler {
 public:
  AnswerHandler(Mode mode, ResultTable& results, RunLog& log)
      : mode_(mode), results_(results), log_(log) {}

  // A datagram of `bytes.size()` bytes arrived on socket `fd` from `sender`.
  Finish OnDatagram(int fd, std::span<const std::uint8_t> bytes, const std::string& sender);
  // Receiving on socket `fd` failed with `error`.
  Finish OnReceiveError(int fd, int error);

 private:
  Finish OnSearchAnswer(int fd, const Datagram& answer);
  Finish OnParamAnswer(int fd, const Datagram& answer);
  Finish Ignore() const;

  Mode mode_;
  ResultTable& results_;
  RunLog& log_;
};

}  // namespace netseek

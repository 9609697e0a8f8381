#include "AnswerHandler.h"

#include <algorithm>
#include <cerrno>

#include "LogTexts.h"
#include "lm/Text.h"

namespace netseek {

Finish AnswerHandler::Ignore() const {
  return mode_ == Mode::kSetParam ? Finish(kResultBadAnswer) : std::nullopt;
}

Finish AnswerHandler::OnReceiveError(int fd, int error) {
  const bool wouldBlock = error == EAGAIN || error == EWOULDBLOCK;
  log_.Add(lm::text::Format(wouldBlock ? logtext::kWouldBlock : logtext::kReceiveFailed, fd,
                            error));
  // Nothing was there to read after all: no answer has failed yet.
  if (wouldBlock) return std::nullopt;
  return Ignore();
}

Finish AnswerHandler::OnDatagram(int fd, std::span<const std::uint8_t> bytes,
                                 const std::string& sender) {
  const int length = static_cast<int>(bytes.size());
  log_.Add(lm::text::Format(logtext::kReceived, length, fd, sender.c_str()));
  if (bytes.size() != kDatagramSize) {
    log_.Add(lm::text::Format(logtext::kBadLength, fd, length));
    return Ignore();
  }
  Datagram answer;
  std::copy(bytes.begin(), bytes.end(), answer.begin());
  return mode_ == Mode::kSearch ? OnSearchAnswer(fd, answer) : OnParamAnswer(fd, answer);
}

Finish AnswerHandler::OnSearchAnswer(int fd, const Datagram& answer) {
  if (!HasHeader(answer, Command::kSearch)) {
    log_.Add(lm::text::Format(logtext::kBadHeader, fd));
    return std::nullopt;
  }
  if (StatusOf(answer) != 0) {
    log_.Add(lm::text::Format(logtext::kFailureStatus, fd));
    return std::nullopt;
  }
  results_.Add(answer);
  return std::nullopt;
}

Finish AnswerHandler::OnParamAnswer(int fd, const Datagram& answer) {
  if (!HasHeader(answer, Command::kSetParam)) {
    log_.Add(lm::text::Format(logtext::kBadHeader, fd));
    return kResultBadAnswer;
  }
  if (StatusOf(answer) != 0) {
    log_.Add(lm::text::Format(logtext::kFailureStatus, fd));
    return kResultBadAnswer;
  }
  return kResultSuccess;
}

}  // namespace netseek

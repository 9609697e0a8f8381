#pragma once
// RSETF: the registration information, read block by block. Every request
// asks for SIZE bytes at OFFSET = bytes received so far; each DATA goes to
// the streaming registration reader. The read ends when the reader has the
// whole registration or fails, or when an answer brings nothing new (0002-0001
// "no more", another STATUS, an answer not taken in, an empty block): a unit
// that keeps answering the same way must not keep the call for ever.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "lm/Json.h"
#include "vantor/com/RegInfoJson.h"
#include "vantor/com/RegInfoReader.h"
#include "vantor/com/RowCommand.h"

namespace com::vantor {

class TcmdRSETFAnalyze : public TcmdRow<"RSETF"> {
 public:
  static constexpr int kDefaultBlock = 1024;
  static constexpr int kMaxBlock = 4096;

  TcmdRSETFAnalyze() { SetSendNumber("SIZE", kDefaultBlock); }

  // The SIZE of every request, 1..kMaxBlock; false (and unchanged) otherwise.
  bool SetBlockSize(int bytes);

  void Reset() override;
  Bytes BuildSendData(int phase) override;
  void ParseRecvData(int phase, std::string_view answer) override;
  bool IsContinue(int phase) const override;
  // 0002-0000 and the whole registration read.
  bool IsSuccess() const override;

  // The JSON form of the registration after a successful read, else none;
  // handed over once (the units were converted while the blocks arrived).
  std::optional<lm::json::Value> TakeRegInfo();
  // Every DATA byte taken in, in order: the registration image as read.
  std::span<const std::uint8_t> Image() const { return reader_.Bytes(); }
  std::size_t Received() const { return reader_.Bytes().size(); }

 private:
  RegInfoReader reader_;
  RegInfoJsonBuilder json_;
  RegInfoStep step_ = RegInfoStep::kNeedMore;
  bool more_ = false;  // the last answer brought bytes and the reader wants more
};

}  // namespace com::vantor

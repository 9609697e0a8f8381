#include "vantor/com/TFrameReader.h"

#include <algorithm>

namespace com::vantor {

void TFrameReader::Append(std::string_view bytes) {
  if (skip_ > 0) {
    auto dropped = static_cast<std::size_t>(std::min<std::uint64_t>(skip_, bytes.size()));
    skip_ -= dropped;
    bytes.remove_prefix(dropped);
  }
  buffer_.append(bytes);
}

TFrameReader::Status TFrameReader::Next(std::size_t capacity, Bytes& frame) {
  FrameProbe probe = ProbeFrame(buffer_);
  if (probe.state == FrameProbe::State::kInvalid) {
    Reset();
    return Status::kInvalid;
  }
  if (probe.length > capacity) {
    // Drop what is here and remember how much of the frame is still to come.
    auto here = std::min<std::uint64_t>(probe.length, buffer_.size());
    skip_ = probe.length - here;
    buffer_.erase(0, static_cast<std::size_t>(here));
    return Status::kOversize;
  }
  if (probe.state == FrameProbe::State::kNeedMore) return Status::kNeedMore;
  auto length = static_cast<std::size_t>(probe.length);
  frame.assign(buffer_, 0, length);
  buffer_.erase(0, length);
  return Status::kFrame;
}

void TFrameReader::Reset() {
  buffer_.clear();
  skip_ = 0;
}

}  // namespace com::vantor

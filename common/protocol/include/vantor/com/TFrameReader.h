#pragma once
// Cuts whole T frames out of a byte stream. Bytes go in as they arrive;
// frames come out one at a time. Memory stays bounded by what actually
// arrived: a frame announced longer than the caller's capacity is never
// buffered, its bytes are dropped as they come in.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "vantor/com/TFrame.h"

namespace com::vantor {

class TFrameReader {
 public:
  enum class Status {
    kFrame,     // a whole frame was taken out
    kNeedMore,  // no whole frame yet
    kInvalid,   // the stream does not start with a frame; the buffer was dropped
    kOversize,  // the next frame exceeds the capacity; it is being dropped
  };

  // Takes in received bytes (after dropping what remains of an oversize frame).
  void Append(std::string_view bytes);
  // Takes the next whole frame of at most `capacity` bytes into `frame`.
  Status Next(std::size_t capacity, Bytes& frame);
  // Drops the buffered bytes; the rest of an oversize frame is still dropped
  // when it arrives.
  void Clear() { buffer_.clear(); }
  // Drops everything, including the memory of an oversize frame.
  void Reset();

  std::size_t Buffered() const { return buffer_.size(); }
  // Bytes still to be dropped of an oversize frame.
  std::uint64_t PendingSkip() const { return skip_; }

 private:
  Bytes buffer_;
  std::uint64_t skip_ = 0;
};

}  // namespace com::vantor

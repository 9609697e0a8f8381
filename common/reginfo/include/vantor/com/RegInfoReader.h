#pragma once
// Reads a registration image while its blocks arrive. Append() adds bytes;
// Step() takes at most one record and says what happened; Run() steps until
// the reader needs more bytes, fails or is complete. Error and Complete are
// final.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "vantor/com/RegInfoImage.h"

namespace com::vantor {

enum class RegInfoStep { kContinue, kNeedMore, kError, kComplete };

class RegInfoReader {
 public:
  void Append(std::span<const uint8_t> bytes);
  RegInfoStep Step();
  RegInfoStep Run();

  bool IsComplete() const { return state_ == State::kComplete; }
  bool IsFailed() const { return state_ == State::kFailed; }
  // The records taken so far; the whole registration once complete.
  const RegInfoImage& Image() const { return image_; }
  // Bytes taken as records (trailing bytes after completion are not counted).
  size_t Consumed() const { return consumed_; }
  // Every byte appended so far, in order, trailing bytes included.
  std::span<const uint8_t> Bytes() const { return buffer_; }

 private:
  enum class State { kHeader, kGroup, kRepeaters, kRemoteUnits, kComplete, kFailed };

  RegInfoStep StepHeader();
  RegInfoStep StepGroup();
  RegInfoStep StepRepeater();
  RegInfoStep StepRemoteUnit();
  RegInfoStep Fail();
  RegInfoStep Finish();
  std::span<const uint8_t> Pending() const;
  // The pending record's length when it is fully present, 0 when more bytes
  // are needed.
  size_t RecordLength() const;
  void Take(size_t length);

  std::vector<uint8_t> buffer_;
  size_t consumed_ = 0;
  State state_ = State::kHeader;
  unsigned groupsLeft_ = 0;
  unsigned repeatersLeft_ = 0;
  unsigned remoteUnitsLeft_ = 0;
  RegInfoImage image_;
};

}  // namespace com::vantor

#include "vantor/com/RegInfoReader.h"

#include "vantor/com/AdapterBase.h"
#include "vantor/com/RegInfoVelaHeader.h"

namespace com::vantor {

void RegInfoReader::Append(std::span<const uint8_t> bytes) {
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

RegInfoStep RegInfoReader::Run() {
  RegInfoStep step;
  do {
    step = Step();
  } while (step == RegInfoStep::kContinue);
  return step;
}

RegInfoStep RegInfoReader::Step() {
  switch (state_) {
    case State::kHeader: return StepHeader();
    case State::kGroup: return StepGroup();
    case State::kRepeaters: return StepRepeater();
    case State::kRemoteUnits: return StepRemoteUnit();
    case State::kComplete: return RegInfoStep::kComplete;
    case State::kFailed: break;
  }
  return RegInfoStep::kError;
}

std::span<const uint8_t> RegInfoReader::Pending() const { return std::span(buffer_).subspan(consumed_); }

size_t RegInfoReader::RecordLength() const {
  AdapterBaseR r(Pending());
  size_t length = r.U16(0);
  return r.Size() >= 2 && r.Size() >= length ? length : 0;
}

void RegInfoReader::Take(size_t length) { consumed_ += length; }

RegInfoStep RegInfoReader::Fail() {
  state_ = State::kFailed;
  return RegInfoStep::kError;
}

RegInfoStep RegInfoReader::Finish() {
  state_ = State::kComplete;
  return RegInfoStep::kComplete;
}

RegInfoStep RegInfoReader::StepHeader() {
  AdapterBaseR r(Pending());
  if (r.Size() < 4) return RegInfoStep::kNeedMore;
  if (r.U32(0) == 0) {  // length, type and group count all 0: nothing registered
    Take(4);
    return Finish();
  }
  if (r.U8(2) != RegInfoVelaHeader::kType) return Fail();
  // A length that no header can have would never let the reader advance.
  if (r.U16(0) != RegInfoVelaHeader::kLength) return Fail();
  size_t length = RecordLength();
  if (length == 0) return RegInfoStep::kNeedMore;
  auto header = RegInfoVelaHeader::FromBytes(Pending().first(length));
  if (!header) return Fail();
  image_.serial = header->Serial();
  groupsLeft_ = header->GroupCount();
  Take(length);
  state_ = State::kGroup;
  return RegInfoStep::kContinue;
}

RegInfoStep RegInfoReader::StepGroup() {
  if (groupsLeft_ == 0) return Finish();
  AdapterBaseR r(Pending());
  if (r.Size() < 5) return RegInfoStep::kNeedMore;
  if (r.U8(2) != RegInfoVelaGroup::kType || r.U16(0) != RegInfoVelaGroup::kLength) return Fail();
  size_t length = RecordLength();
  if (length == 0) return RegInfoStep::kNeedMore;
  auto group = RegInfoVelaGroup::FromBytes(Pending().first(length));
  if (!group) return Fail();
  --groupsLeft_;
  repeatersLeft_ = group->RepeaterCount();
  remoteUnitsLeft_ = group->RemoteUnitCount();
  image_.groups.push_back({*group, {}, {}});
  Take(length);
  state_ = State::kRepeaters;
  return RegInfoStep::kContinue;
}

RegInfoStep RegInfoReader::StepRepeater() {
  if (repeatersLeft_ == 0) {
    state_ = State::kRemoteUnits;
    return RegInfoStep::kContinue;
  }
  AdapterBaseR r(Pending());
  if (r.Size() < 3) return RegInfoStep::kNeedMore;
  if (r.U8(2) != RegInfoVelaRepeater::kType || r.U16(0) != RegInfoVelaRepeater::kLength) return Fail();
  size_t length = RecordLength();
  if (length == 0) return RegInfoStep::kNeedMore;
  auto repeater = RegInfoVelaRepeater::FromBytes(Pending().first(length));
  if (!repeater) return Fail();
  --repeatersLeft_;
  image_.groups.back().repeaters.push_back(*repeater);
  Take(length);
  return RegInfoStep::kContinue;
}

RegInfoStep RegInfoReader::StepRemoteUnit() {
  if (remoteUnitsLeft_ == 0) {
    state_ = State::kGroup;
    return RegInfoStep::kContinue;
  }
  AdapterBaseR r(Pending());
  if (r.Size() < 3) return RegInfoStep::kNeedMore;
  if (!RegInfoVelaRemoteUnit::IsRemoteUnitType(r.U8(2))) return Fail();
  if (r.U16(0) != RegInfoVelaRemoteUnit::kLength && r.U16(0) != RegInfoVelaRemoteUnit::kLongLength) return Fail();
  size_t length = RecordLength();
  if (length == 0) return RegInfoStep::kNeedMore;
  auto unit = RegInfoVelaRemoteUnit::FromBytes(Pending().first(length));
  if (!unit) return Fail();
  --remoteUnitsLeft_;
  image_.groups.back().remoteUnits.push_back(std::move(*unit));
  Take(length);
  return RegInfoStep::kContinue;
}

}  // namespace com::vantor

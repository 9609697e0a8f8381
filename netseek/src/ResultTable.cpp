#include "ResultTable.h"

#include <algorithm>

namespace netseek {

ResultTable::UnitKey ResultTable::KeyOf(const Datagram& answer) {
  UnitKey key;
  std::copy_n(answer.begin() + kUnitKeyOffset, kUnitKeySize, key.begin());
  return key;
}

bool ResultTable::Add(const Datagram& answer) {
  UnitKey key = KeyOf(answer);
  if (units_.contains(key)) return false;
  records_.push_back(answer);
  try {
    units_.insert(key);
  } catch (...) {
    records_.pop_back();
    throw;
  }
  return true;
}

const Datagram* ResultTable::At(std::size_t index) const {
  return index < records_.size() ? &records_[index] : nullptr;
}

void ResultTable::Release() {
  std::vector<Datagram>().swap(records_);
  std::unordered_set<UnitKey, KeyHash>().swap(units_);
}

}  // namespace netseek

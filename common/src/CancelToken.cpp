#include "lm/CancelToken.h"

namespace lm {

CancelToken::Subscription::Subscription(Subscription&& other) noexcept : token_(other.token_), id_(other.id_) {
  other.token_ = nullptr;
}

CancelToken::Subscription& CancelToken::Subscription::operator=(Subscription&& other) noexcept {
  if (this != &other) {
    Reset();
    token_ = other.token_;
    id_ = other.id_;
    other.token_ = nullptr;
  }
  return *this;
}

CancelToken::Subscription::~Subscription() { Reset(); }

void CancelToken::Subscription::Reset() {
  if (token_) token_->Remove(id_);
  token_ = nullptr;
}

void CancelToken::Cancel(bool abandon) {
  std::lock_guard lock(mutex_);
  if (abandon) abandoned_ = true;
  cancelled_ = true;
  for (auto& [id, listener] : listeners_) listener(abandon);
}

CancelToken::Subscription CancelToken::Listen(Listener listener) {
  std::lock_guard lock(mutex_);
  if (cancelled_) listener(abandoned_);
  const std::uint64_t id = nextId_++;
  listeners_.emplace(id, std::move(listener));
  return Subscription(this, id);
}

void CancelToken::Remove(std::uint64_t id) {
  std::lock_guard lock(mutex_);
  listeners_.erase(id);
}

}  // namespace lm

#pragma once
// The cancellation of one call, shared by the code that runs the call and
// whoever may cancel it (the page's cancel request, the router giving the
// query up). Once cancelled it stays cancelled; an abandoning cancel (the
// page is gone) also stays. Listeners hear of every cancel at once.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace lm {

class CancelToken {
 public:
  // Called on the cancelling thread with the abandon flag, under the token's
  // lock: a listener must be quick and must not touch the token again.
  using Listener = std::function<void(bool abandon)>;

  // Removes its listener when destroyed; once it is gone no call is running.
  class Subscription {
   public:
    Subscription() = default;
    Subscription(CancelToken* token, std::uint64_t id) : token_(token), id_(id) {}
    Subscription(Subscription&& other) noexcept;
    Subscription& operator=(Subscription&& other) noexcept;
    ~Subscription();

   private:
    void Reset();
    CancelToken* token_ = nullptr;
    std::uint64_t id_ = 0;
  };

  CancelToken() = default;
  CancelToken(const CancelToken&) = delete;
  CancelToken& operator=(const CancelToken&) = delete;

  void Cancel(bool abandon);
  bool IsCancelled() const { return cancelled_.load(); }
  bool IsAbandoned() const { return abandoned_.load(); }

  // Registers a listener for later cancels; when the token is already
  // cancelled the listener is called once before this returns.
  [[nodiscard]] Subscription Listen(Listener listener);

 private:
  void Remove(std::uint64_t id);

  std::atomic<bool> cancelled_{false};
  std::atomic<bool> abandoned_{false};
  std::mutex mutex_;
  std::uint64_t nextId_ = 1;
  std::map<std::uint64_t, Listener> listeners_;
};

}  // namespace lm

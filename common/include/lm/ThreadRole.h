#pragma once
// Which thread runs the window loop. The shell marks its main thread while
// the GTK main loop serves windows; device code, which knows nothing of
// GTK, asks here before it blocks on a unit, so input and output that would
// freeze the window fails loudly in checked builds instead.
//
// Checked builds define LM_THREAD_CHECKS for the device libraries; the
// LM_EXPECT_OFF_WINDOW_THREAD macro is empty without it. The registry itself
// is always there, so marking costs nothing in a release build.

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace lm::thread_role {

namespace detail {
inline std::atomic<std::thread::id>& WindowThread() {
  static std::atomic<std::thread::id> id{};
  return id;
}
}  // namespace detail

// True on the thread currently marked as the window thread.
inline bool OnWindowThread() { return detail::WindowThread().load() == std::this_thread::get_id(); }

// Aborts with a message naming the operation; used by the checks below.
[[noreturn]] inline void ReportBlockingOnWindowThread(const char* what) {
  std::fprintf(stderr, "device I/O on the window thread: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

inline void ExpectOffWindowThread(const char* what) {
  if (OnWindowThread()) ReportBlockingOnWindowThread(what);
}

// Marks the calling thread as the window thread for the scope's life and
// restores the previous mark at the end (nested loops, tests).
class WindowThreadScope {
 public:
  WindowThreadScope() : previous_(detail::WindowThread().exchange(std::this_thread::get_id())) {}
  ~WindowThreadScope() { detail::WindowThread().store(previous_); }
  WindowThreadScope(const WindowThreadScope&) = delete;
  WindowThreadScope& operator=(const WindowThreadScope&) = delete;

 private:
  std::thread::id previous_;
};

}  // namespace lm::thread_role

#ifdef LM_THREAD_CHECKS
#define LM_EXPECT_OFF_WINDOW_THREAD(what) ::lm::thread_role::ExpectOffWindowThread(what)
#else
#define LM_EXPECT_OFF_WINDOW_THREAD(what) ((void)0)
#endif

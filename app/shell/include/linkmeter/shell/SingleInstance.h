#pragma once
// One running copy per user session. With a session bus the application's
// D-Bus uniqueness decides and a second start activates the first; without
// one a lock file and a Unix socket in the user's runtime folder do the same.
// Main thread only.

#include <gtk/gtk.h>

#include <functional>
#include <string>

namespace linkmeter::shell {

class SingleInstance {
 public:
  enum class Role { kPrimary, kHandedOver };
  enum class Mode { kUnique, kNonUnique };

  // `app` must not be registered yet; `runtimeDir` holds the lock and socket
  // when there is no session bus.
  SingleInstance(GtkApplication* app, std::string runtimeDir, Mode mode);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // kHandedOver when another copy runs; it has been asked to show its window.
  Role Acquire();
  // In the primary: what a later start asks for.
  void SetPresentHandler(std::function<void()> present) { present_ = std::move(present); }
  bool UsesSessionBus() const { return usesBus_; }

 private:
  Role AcquireLock();
  bool ListenLocal();
  void RequestPresent(bool viaBus);
  static void OnActivate(GApplication*, gpointer self);
  static gboolean OnIncoming(GSocketService*, GSocketConnection*, GObject*, gpointer self);

  GtkApplication* app_;
  std::string runtimeDir_;
  Mode mode_;
  bool usesBus_ = false;
  int lockFd_ = -1;
  GSocketService* service_ = nullptr;
  std::string socketPath_;
  std::function<void()> present_;
};

}  // namespace linkmeter::shell

#pragma once
// Power events for the page: the script handed to app.onSystemEvent, and the
// watcher that turns the system's D-Bus signals into those events.
// Main thread only.

#include <gio/gio.h>

#include <functional>
#include <optional>
#include <string>

namespace linkmeter::shell {

enum class PowerEvent { kPowerStatusChange, kResumeAutomatic, kResumeSuspend, kSuspend, kPowerSettingChange };

// The script for one event; `monitorPowerOn` only for a display power change
// (a power setting change).
std::string PowerEventScript(PowerEvent event, std::optional<bool> monitorPowerOn = std::nullopt);

// Listens on the system bus for logind's PrepareForSleep (suspend, resume)
// and UPower's OnBattery (power status change), and on the session bus for
// the display's power-save mode where the desktop reports it. While awake it
// holds logind's delay lock for sleep, so the system waits for the suspend
// event to be handed to the pages; the lock goes right after and is taken
// again on resume, which is told as resumeAutomatic, then resumeSuspend.
// Without a bus, or without logind, the rest still works and nothing fails.
class PowerWatcher {
 public:
  using Sink = std::function<void(PowerEvent, std::optional<bool> monitorPowerOn)>;
  explicit PowerWatcher(Sink sink);
  ~PowerWatcher();
  PowerWatcher(const PowerWatcher&) = delete;
  PowerWatcher& operator=(const PowerWatcher&) = delete;

 private:
  struct Bus {
    GDBusConnection* connection = nullptr;
    guint subscriptions[2] = {0, 0};
  };
  static void OnSystemBus(GObject*, GAsyncResult* result, gpointer self);
  static void OnSessionBus(GObject*, GAsyncResult* result, gpointer self);
  static void OnSleep(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* params,
                      gpointer self);
  static void OnUPower(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* params,
                       gpointer self);
  static void OnDisplay(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* params,
                        gpointer self);
  static void Release(Bus& bus);
  void TakeDelayLock();
  static void OnDelayLock(GObject* bus, GAsyncResult* result, gpointer self);
  void ReleaseDelayLock();

  Sink sink_;
  GCancellable* cancel_;
  Bus system_;
  Bus session_;
  std::optional<bool> onBattery_;
  int delayFd_ = -1;         // logind's sleep delay lock while held
  bool delayAsked_ = false;  // a request for it is on its way
  bool sleeping_ = false;    // between the suspend and the resume
};

}  // namespace linkmeter::shell

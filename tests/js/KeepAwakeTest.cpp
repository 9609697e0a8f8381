// The keep-awake lock against logind: run inside a private bus with
// python3-dbusmock's logind template on it (RunWithLogindMock.sh), or with
// no system bus at all.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "sorrel/js/KeepAwake.h"

using Sorrel::Js::LogindKeepAwake;

namespace {

GDBusConnection* SystemBus() { return g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr); }

// "what/who/mode" of every lock logind holds, joined with ";".
std::string Inhibitors(GDBusConnection* bus) {
  GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                                                "org.freedesktop.login1.Manager", "ListInhibitors", nullptr,
                                                G_VARIANT_TYPE("(a(ssssuu))"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr,
                                                nullptr);
  if (!reply) return "no reply";
  std::string out;
  GVariantIter* it = nullptr;
  g_variant_get(reply, "(a(ssssuu))", &it);
  const gchar *what, *who, *why, *mode;
  guint32 uid, pid;
  while (g_variant_iter_next(it, "(&s&s&s&suu)", &what, &who, &why, &mode, &uid, &pid))
    out += std::string(out.empty() ? "" : ";") + what + "/" + who + "/" + mode;
  g_variant_iter_free(it);
  g_variant_unref(reply);
  return out;
}

// What logind lists once it has caught up: the stand-in drops a lock when it
// sees the descriptor closed, which may come a little after the close.
std::string SettledInhibitors(GDBusConnection* bus, const std::string& expected) {
  std::string now = Inhibitors(bus);
  for (int i = 0; i < 100 && now != expected; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    now = Inhibitors(bus);
  }
  return now;
}

void ExpectInhibitors(GDBusConnection* bus, const std::string& expected) {
  EXPECT_EQ(SettledInhibitors(bus, expected), expected);
}

// logind appears on the bus once the mock has started.
bool WaitForLogind(GDBusConnection* bus) {
  for (int i = 0; i < 200; ++i) {
    if (Inhibitors(bus) != "no reply") return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

TEST(LogindKeepAwake, HoldsOneLockForWhatIsWanted) {
  GDBusConnection* bus = SystemBus();
  if (!bus || !WaitForLogind(bus)) GTEST_SKIP() << "no logind mock on the system bus";
  {
    LogindKeepAwake lock;
    lock.Hold(true, false);
    EXPECT_EQ(lock.Held(), "sleep");
    ExpectInhibitors(bus, "sleep/Linkmeter/block");
    lock.Hold(true, true);
    EXPECT_EQ(lock.Held(), "sleep:idle");
    ExpectInhibitors(bus, "sleep:idle/Linkmeter/block");  // the earlier lock is gone
    lock.Hold(false, false);
    EXPECT_EQ(lock.Held(), "");
    ExpectInhibitors(bus, "");
    lock.Hold(false, true);
    ExpectInhibitors(bus, "idle/Linkmeter/block");
  }
  // Destroying the holder lets the lock go.
  ExpectInhibitors(bus, "");
  g_object_unref(bus);
}

TEST(LogindKeepAwakeWithoutBus, HoldsNothingAndDoesNotFail) {
  if (GDBusConnection* bus = SystemBus()) {
    g_object_unref(bus);
    GTEST_SKIP() << "a system bus is present";
  }
  LogindKeepAwake lock;
  lock.Hold(true, true);
  EXPECT_EQ(lock.Held(), "");
}

}  // namespace

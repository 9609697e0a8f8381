// The unit's lease as the search's probe takes it: a wait that ends when the
// unit comes free, when the call is cancelled or when its limit has passed.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "sorrel/com/UnitLease.h"

namespace search_test {
namespace {

using Sorrel::Com::UnitGate;
using Sorrel::Com::UnitLease;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

TEST(UnitLease, BoundedWaitEndsOnFreeCancelOrLimit) {
  enum class Meanwhile { kNothing, kRelease, kCancel };
  const struct {
    const char* what;
    bool busy;
    bool cancelledBefore;
    Meanwhile meanwhile;
    bool held;
    milliseconds atLeast, below;
  } cases[] = {
      {"free unit", false, false, Meanwhile::kNothing, true, milliseconds(0), milliseconds(200)},
      {"free unit, cancelled call", false, true, Meanwhile::kNothing, false, milliseconds(0), milliseconds(200)},
      {"busy unit, limit passes", true, false, Meanwhile::kNothing, false, milliseconds(300), milliseconds(2000)},
      {"busy unit comes free", true, false, Meanwhile::kRelease, true, milliseconds(100), milliseconds(1500)},
      {"busy unit, call cancelled", true, false, Meanwhile::kCancel, false, milliseconds(100), milliseconds(1500)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    UnitGate gate;
    lm::CancelToken cancel;
    if (c.cancelledBefore) cancel.Cancel(false);
    std::optional<UnitLease> other;
    if (c.busy) other.emplace(gate, nullptr);
    std::thread meanwhile([&] {
      std::this_thread::sleep_for(milliseconds(100));
      if (c.meanwhile == Meanwhile::kRelease) other.reset();
      if (c.meanwhile == Meanwhile::kCancel) cancel.Cancel(false);
    });
    const auto start = Clock::now();
    {
      UnitLease lease(gate, &cancel, c.meanwhile == Meanwhile::kNothing ? milliseconds(300) : milliseconds(5000));
      const auto waited = Clock::now() - start;
      EXPECT_EQ(lease.Held(), c.held);
      EXPECT_GE(waited, c.atLeast);
      EXPECT_LT(waited, c.below);
    }
    meanwhile.join();
    // Whatever the outcome, the gate is left as the other holder has it.
    other.reset();
    UnitLease after(gate, nullptr, milliseconds(0));
    EXPECT_TRUE(after.Held());
  }
}

}  // namespace
}  // namespace search_test

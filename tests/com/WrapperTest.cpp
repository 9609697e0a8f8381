#include <gtest/gtest.h>

#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComRegistration.h"
#include "sorrel/com/ComServices.h"

namespace {

// No device function is cancellable from its wrapper: pages cancel through
// "jsquery:cancel" with the id app.jsQuery returns, and the router cancels
// on navigation and close.
TEST(DeviceWrappers, EveryWrapperReturnsUndefined) {
  Sorrel::Com::ComServices devices;
  Sorrel::cef::Manager manager;
  Sorrel::Com::RegisterComFunctions(manager, devices);
  size_t wrappers = 0;
  for (const auto& [name, handler] : manager.Factory()) {
    if (handler->ScriptName().rfind("app.com.", 0) != 0) continue;
    ++wrappers;
    const std::string script = handler->Script();
    EXPECT_TRUE(script.ends_with("return undefined;};")) << name << ": " << script;
    EXPECT_EQ(handler->Cancellable(), 0) << name;
  }
  EXPECT_GE(wrappers, 5u);
}

}  // namespace

#pragma once
// The native functions of the bridge itself: app.addEventListener,
// app.removeEventListener, app.execEventListener, app.sendProcessMessage.

namespace Sorrel::cef {
class Manager;
}

namespace Sorrel::cef::webext {

void RegisterBridgeNatives(Manager& manager);

}  // namespace Sorrel::cef::webext

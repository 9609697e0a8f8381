#pragma once
// Registers the host functions with the manager, in their fixed order.

namespace Sorrel::cef {
class Manager;
}

namespace Sorrel::Js {

// Windows, shell, dialogs, menus, message boxes and files; before the
// device functions.
void RegisterHostFunctions(cef::Manager& manager);
// The sibling-application functions; after the device functions.
void RegisterSiblingFunctions(cef::Manager& manager);

}  // namespace Sorrel::Js

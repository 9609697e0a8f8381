#pragma once
// The developer keys of every browser view: Ctrl+Shift+I opens the
// inspector and F5 reloads, both only when developer tools are available;
// Ctrl+Shift+H asks for the API documentation window.

#include <gtk/gtk.h>

#include <filesystem>

namespace linkmeter::shell {

enum class DevKeyAction { kNone, kInspector, kReload, kApiDocs };

// What a key press does; kNone leaves the key to the page.
DevKeyAction DeveloperKeyAction(guint keyval, GdkModifierType state, bool devtools);

// Developer tools are available with devtools_resources.pak beside the
// executable, or when asked for on the command line.
bool DevtoolsAvailable(const std::filesystem::path& exeDir, bool forced);

}  // namespace linkmeter::shell

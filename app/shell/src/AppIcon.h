#pragma once
// The window icon, drawn at start-up: signal bars on a rounded tile.

#include <gdk-pixbuf/gdk-pixbuf.h>

namespace linkmeter::shell {

// A new reference, or null when it cannot be drawn.
GdkPixbuf* AppIcon();

}  // namespace linkmeter::shell

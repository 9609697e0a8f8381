#include "AppIcon.h"

#include <gdk/gdk.h>

namespace linkmeter::shell {

GdkPixbuf* AppIcon() {
  constexpr int kSize = 48;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize);
  cairo_t* cr = cairo_create(surface);
  // Tile.
  cairo_new_sub_path(cr);
  cairo_arc(cr, 40, 8, 6, -G_PI / 2, 0);
  cairo_arc(cr, 40, 40, 6, 0, G_PI / 2);
  cairo_arc(cr, 8, 40, 6, G_PI / 2, G_PI);
  cairo_arc(cr, 8, 8, 6, G_PI, 3 * G_PI / 2);
  cairo_close_path(cr);
  cairo_set_source_rgb(cr, 0.08, 0.36, 0.62);
  cairo_fill(cr);
  // Four rising bars.
  cairo_set_source_rgb(cr, 1, 1, 1);
  for (int i = 0; i < 4; ++i) {
    const double height = 8 + i * 7;
    cairo_rectangle(cr, 9 + i * 8, 39 - height, 6, height);
  }
  cairo_fill(cr);
  cairo_destroy(cr);
  GdkPixbuf* icon = gdk_pixbuf_get_from_surface(surface, 0, 0, kSize, kSize);
  cairo_surface_destroy(surface);
  return icon;
}

}  // namespace linkmeter::shell

#include "sorrel/js/FileNames.h"

#include <glib.h>

namespace Sorrel::Js {
namespace {

std::optional<std::string> Taken(gchar* converted, gsize length) {
  if (!converted) return std::nullopt;
  std::string out(converted, length);
  g_free(converted);
  // A NUL inside would cut the name short further on.
  if (out.find('\0') != std::string::npos) return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::string> FileNameToText(const std::string& name) {
  gsize written = 0;
  gchar* text = g_filename_to_utf8(name.data(), static_cast<gssize>(name.size()), nullptr, &written, nullptr);
  return Taken(text, written);
}

std::optional<std::string> TextToFileName(const std::string& text) {
  gsize written = 0;
  gchar* name = g_filename_from_utf8(text.data(), static_cast<gssize>(text.size()), nullptr, &written, nullptr);
  return Taken(name, written);
}

std::string FileNameForDisplay(const std::string& name) {
  gchar* shown = g_filename_display_name(name.c_str());
  std::string out = shown ? shown : "";
  g_free(shown);
  return out;
}

}  // namespace Sorrel::Js

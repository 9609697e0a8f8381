#include "linkmeter/shell/DeveloperKeys.h"

namespace linkmeter::shell {

DevKeyAction DeveloperKeyAction(guint keyval, GdkModifierType state, bool devtools) {
  const guint key = gdk_keyval_to_lower(keyval);
  const GdkModifierType mods = GdkModifierType(state & gtk_accelerator_get_default_mod_mask());
  const bool ctrlShift = mods == GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK);
  if (ctrlShift && key == GDK_KEY_i) return devtools ? DevKeyAction::kInspector : DevKeyAction::kNone;
  if (ctrlShift && key == GDK_KEY_h) return DevKeyAction::kApiDocs;
  if (keyval == GDK_KEY_F5) return devtools ? DevKeyAction::kReload : DevKeyAction::kNone;
  return DevKeyAction::kNone;
}

bool DevtoolsAvailable(const std::filesystem::path& exeDir, bool forced) {
  std::error_code ec;
  return forced || std::filesystem::exists(exeDir / "devtools_resources.pak", ec);
}

}  // namespace linkmeter::shell

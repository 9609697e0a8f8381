// The page-process extension module of the program: the bridge with every
// page function the program registers.
#include <webkit2/webkit-web-extension.h>

#include "PageStrings.h"
#include "PageUiRequests.h"
#include "linkmeter/Registration.h"
#include "sorrel/cef/webext/Extension.h"
#include "sorrel/com/ComServices.h"

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(WebKitWebExtension* extension,
                                                                                 const GVariant* data) {
  auto* init = const_cast<GVariant*>(data);
  gboolean demo = FALSE;      // set by the program's --demo
  gboolean japanese = FALSE;  // the user's system language, read by the program
  if (init && g_variant_is_of_type(init, G_VARIANT_TYPE_VARDICT)) {
    g_variant_lookup(init, "demo", "b", &demo);
    g_variant_lookup(init, "systemJapanese", "b", &japanese);
  }
  Sorrel::Js::webext::ApplyProgramStrings(init);  // the workspace's folders, as the program has them
  Sorrel::cef::webext::Extension::Start(extension, init, [demo, japanese](Sorrel::cef::Manager& manager) {
    // The page process only lists the device functions; its units stay unused
    // for the life of the process.
    static auto* devices = new Sorrel::Com::ComServices();
    linkmeter::RegisterPageFunctions(manager, *devices, demo != FALSE, japanese ? "ja" : "en");
  });
  Sorrel::Js::webext::InstallPageUiRequests();  // windows and locks live in the UI process
}

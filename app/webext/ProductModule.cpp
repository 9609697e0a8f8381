// The page-process extension module of the program: the bridge with every
// page function the program registers.
#include <webkit2/webkit-web-extension.h>

#include "PageUiRequests.h"
#include "linkmeter/Registration.h"
#include "sorrel/cef/webext/Extension.h"

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(WebKitWebExtension* extension,
                                                                                 const GVariant* data) {
  Sorrel::cef::webext::Extension::Start(extension, const_cast<GVariant*>(data), linkmeter::RegisterPageFunctions);
  Sorrel::Js::webext::InstallPageUiRequests();  // windows and locks live in the UI process
}

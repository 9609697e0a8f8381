#include "PageUiRequests.h"

#include "sorrel/cef/webext/Document.h"
#include "sorrel/cef/webext/Extension.h"
#include "sorrel/js/UiRequests.h"

namespace Sorrel::Js::webext {

void InstallPageUiRequests() {
  InstallUiRequestSender([](const cef::JsNativeHandler::Call& call, const std::string& queryName,
                            const lm::json::Value& arg) {
    auto* nc = static_cast<cef::webext::NativeCallContext*>(call.engine);
    if (!nc) return false;
    const std::string request = "jsquery:" + queryName + " " + lm::json::ToText(arg);
    return cef::webext::Extension::Get().Queries().Start(nc->document, request.c_str()) != 0;
  });
}

}  // namespace Sorrel::Js::webext

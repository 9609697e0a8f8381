#include "linkmeter/shell/Automation.h"

#include <cstdio>

namespace linkmeter::shell {

Automation::Automation(WebKitWebContext* context, std::string name, std::string version, ViewSource views)
    : context_(WEBKIT_WEB_CONTEXT(g_object_ref(context))),
      name_(std::move(name)),
      version_(std::move(version)),
      views_(std::move(views)) {
  g_signal_connect(context_, "automation-started", G_CALLBACK(OnStarted), this);
}

Automation::~Automation() {
  g_signal_handlers_disconnect_by_data(context_, this);
  g_object_unref(context_);
}

void Automation::OnStarted(WebKitWebContext*, WebKitAutomationSession* session, gpointer self) {
  auto* automation = static_cast<Automation*>(self);
  unsigned major = 0, minor = 0, micro = 0;
  std::sscanf(automation->version_.c_str(), "%u.%u.%u", &major, &minor, &micro);
  WebKitApplicationInfo* info = webkit_application_info_new();
  webkit_application_info_set_name(info, automation->name_.c_str());
  webkit_application_info_set_version(info, static_cast<guint64>(major), static_cast<guint64>(minor),
                                      static_cast<guint64>(micro));
  webkit_automation_session_set_application_info(session, info);
  webkit_application_info_unref(info);
  g_signal_connect(session, "create-web-view", G_CALLBACK(OnCreateWebView), self);
}

WebKitWebView* Automation::OnCreateWebView(WebKitAutomationSession*, gpointer self) {
  return static_cast<Automation*>(self)->views_();
}

}  // namespace linkmeter::shell

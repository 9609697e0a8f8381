#pragma once
// WebDriver sessions on the program's own window: the application's name and
// version are reported when a session starts, and each browsing context the
// driver asks for is a view built for automation. Only with --automation,
// since it lets a local client drive the page. Main thread only.

#include <webkit2/webkit2.h>

#include <functional>
#include <string>

namespace linkmeter::shell {

class Automation {
 public:
  // Gives the view for a new browsing context (transfer none).
  using ViewSource = std::function<WebKitWebView*()>;

  Automation(WebKitWebContext* context, std::string name, std::string version, ViewSource views);
  ~Automation();
  Automation(const Automation&) = delete;
  Automation& operator=(const Automation&) = delete;

 private:
  static void OnStarted(WebKitWebContext*, WebKitAutomationSession* session, gpointer self);
  static WebKitWebView* OnCreateWebView(WebKitAutomationSession*, gpointer self);

  WebKitWebContext* context_;
  std::string name_;
  std::string version_;  // "major.minor.micro"
  ViewSource views_;
};

}  // namespace linkmeter::shell

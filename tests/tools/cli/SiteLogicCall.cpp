// Runs site-logic calls for a test script: one request per input line,
// {"function": name, "args": [...]}, one answer per output line,
// {"answer": value} or {"error": text}. A request {"native": script name,
// "args": [...]} calls one of the program's channel-type natives
// (linkmeter.chtype.*) as the page process would, so a script can give the
// page's modules under Node the very channel types the command line uses.
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "linkmeter/cli/SiteLogic.h"
#include "sorrel/cef/JsFunctionHandler.h"
#include "sorrel/js/ChannelTypeFunctions.h"

namespace {

using lm::json::Value;

// Native script name → native name, and the handlers that run them.
struct Natives {
  Sorrel::cef::JsFunctionHandler handlers;
  std::map<std::string, std::string> byScript;

  Natives() {
    for (std::shared_ptr<Sorrel::cef::JsNativeHandler> h :
         {std::shared_ptr<Sorrel::cef::JsNativeHandler>(std::make_shared<Sorrel::Js::ChTypeDescribe>()),
          std::shared_ptr<Sorrel::cef::JsNativeHandler>(std::make_shared<Sorrel::Js::ChTypeToReal>()),
          std::shared_ptr<Sorrel::cef::JsNativeHandler>(std::make_shared<Sorrel::Js::ChTypeFormat>())}) {
      byScript[h->ScriptName()] = h->NativeName();
      handlers.Add(h);
    }
  }

  std::optional<Value> Call(const std::string& script, const lm::json::Array& args, std::string* error) {
    auto it = byScript.find(script);
    if (it == byScript.end()) return *error = "no native " + script, std::nullopt;
    Sorrel::cef::JsNativeHandler::Call call{it->second, args, Value(), {}, nullptr};
    handlers.Execute(call);
    if (!call.exception.empty()) return *error = call.exception, std::nullopt;
    return call.returnValue;
  }
};

}  // namespace

int main() {
  linkmeter::cli::SiteLogic logic;
  if (!logic.Ready()) {
    std::cerr << logic.LoadError() << "\n";
    return 1;
  }
  Natives natives;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.empty()) continue;
    std::optional<Value> request = lm::json::Parse(line);
    std::string error = "a request is {\"function\": name, \"args\": [...]} or {\"native\": name, \"args\": [...]}";
    std::optional<Value> answer;
    if (request && request->is<lm::json::Object>() && request->get("args").is<lm::json::Array>()) {
      const lm::json::Array& args = request->get("args").get<lm::json::Array>();
      if (request->get("function").is<std::string>()) {
        answer = logic.Call(request->get("function").get<std::string>(), args, &error);
      } else if (request->get("native").is<std::string>()) {
        answer = natives.Call(request->get("native").get<std::string>(), args, &error);
      }
    }
    std::cout << (answer ? lm::json::ToText(lm::json::MakeObject({{"answer", *answer}}))
                         : lm::json::ToText(lm::json::MakeObject({{"error", lm::json::String(error)}})))
              << "\n";
  }
  return 0;
}

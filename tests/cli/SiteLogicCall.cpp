// Runs site-logic calls for a test script: one request per input line,
// {"function": name, "args": [...]}, one answer per output line,
// {"answer": value} or {"error": text}.
#include <iostream>
#include <string>

#include "linkmeter/cli/SiteLogic.h"

int main() {
  linkmeter::cli::SiteLogic logic;
  if (!logic.Ready()) {
    std::cerr << logic.LoadError() << "\n";
    return 1;
  }
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.empty()) continue;
    std::optional<lm::json::Value> request = lm::json::Parse(line);
    std::string error = "a request is {\"function\": name, \"args\": [...]}";
    std::optional<lm::json::Value> answer;
    if (request && request->is<lm::json::Object>() && request->get("function").is<std::string>() &&
        request->get("args").is<lm::json::Array>()) {
      answer = logic.Call(request->get("function").get<std::string>(), request->get("args").get<lm::json::Array>(),
                          &error);
    }
    std::cout << (answer ? lm::json::ToText(lm::json::MakeObject({{"answer", *answer}}))
                         : lm::json::ToText(lm::json::MakeObject({{"error", lm::json::String(error)}})))
              << "\n";
  }
  return 0;
}

#include "linkmeter/shell/Locale.h"

#include <clocale>

namespace linkmeter::shell {

std::vector<std::string> LocaleCandidates(const std::string& name) {
  std::vector<std::string> out;
  if (name == "Japanese") out = {"ja_JP.UTF-8", "ja_JP.utf8"};
  else if (!name.empty()) out = {name};
  out.push_back("C.UTF-8");
  return out;
}

std::string SelectLocale(const std::string& name) {
  std::string chosen = "C";
  for (const auto& candidate : LocaleCandidates(name)) {
    if (std::setlocale(LC_ALL, candidate.c_str())) {
      chosen = candidate;
      break;
    }
  }
  std::setlocale(LC_NUMERIC, "C");
  return chosen;
}

namespace {

// "ja_JP.UTF-8" → "ja"; "" for an empty text.
std::string LanguageOf(const std::string& name) {
  return name.substr(0, name.find_first_of("_.@-"));
}

}  // namespace

std::string SystemLanguage(const std::function<const char*(const char*)>& getenv) {
  auto value = [&](const char* name) {
    const char* v = getenv(name);
    return std::string(v ? v : "");
  };
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    locale = value(name);
    if (!locale.empty()) break;
  }
  if (locale.empty() || LanguageOf(locale) == "C" || locale == "POSIX") return "en";
  // LANGUAGE lists languages by preference; the first one the page has wins.
  const std::string list = value("LANGUAGE");
  for (std::size_t at = 0; at < list.size();) {
    std::size_t end = list.find(':', at);
    if (end == std::string::npos) end = list.size();
    const std::string lang = LanguageOf(list.substr(at, end - at));
    if (lang == "ja" || lang == "en") return lang;
    at = end + 1;
  }
  return LanguageOf(locale) == "ja" ? "ja" : "en";
}

}  // namespace linkmeter::shell

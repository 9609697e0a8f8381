#pragma once
// The process locale from the locale name of the string table.

#include <functional>
#include <string>
#include <vector>

namespace linkmeter::shell {

// The locales to try, best first: "Japanese" stands for the Japanese UTF-8
// locale under its usual spellings, any other name for itself; C.UTF-8
// always comes last.
std::vector<std::string> LocaleCandidates(const std::string& name);

// Sets the first candidate the system has for every category and returns
// it. Numbers keep the C conventions, so JSON and script texts always use a
// decimal point. Never fails: with nothing installed the C locale stays.
std::string SelectLocale(const std::string& name);

// The user's language for the page, "ja" or "en", from the environment as
// the C library reads message languages: LANGUAGE (a list, first ja or en
// entry) unless the messages locale is C or POSIX, then LC_ALL,
// LC_MESSAGES, LANG, the first one set. Japanese when it names ja.
std::string SystemLanguage(const std::function<const char*(const char*)>& getenv);

}  // namespace linkmeter::shell

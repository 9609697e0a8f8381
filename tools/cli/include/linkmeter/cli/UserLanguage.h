#pragma once
// The language of the words the command line writes for people (the page's
// message tables): Japanese when this computer's language is, else English.

#include <string>

namespace linkmeter::cli {

// "ja" or "en", from LANGUAGE, LC_ALL, LC_MESSAGES or LANG, the first set.
std::string UserLanguage();

}  // namespace linkmeter::cli

#include "linkmeter/cli/UserLanguage.h"

#include <cstdlib>

namespace linkmeter::cli {

std::string UserLanguage() {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v && *v) return std::string(v).rfind("ja", 0) == 0 ? "ja" : "en";
  }
  return "en";
}

}  // namespace linkmeter::cli

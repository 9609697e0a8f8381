#include "vantor/com/StatusCode.h"

#include <cstdio>
#include <cstdlib>

namespace com::vantor {

std::string StatusCode::Text() const {
  char text[24];
  std::snprintf(text, sizeof text, "%04d-%04d", group, detail);
  return text;
}

StatusCode StatusCode::FromText(const std::string& text) {
  if (text.size() != 9 || text[4] != '-') return {};
  return {std::atoi(text.substr(0, 4).c_str()), std::atoi(text.substr(5).c_str())};
}

}  // namespace com::vantor

#include "sorrel/js/HostDoc.h"

#include <cstdlib>
#include <sstream>

namespace Sorrel::Js {
namespace {

// One integer at the front of `s` (after spaces); false when there is none.
bool TakeInt(std::string& s, int& out) {
  const auto start = s.find_first_not_of(' ');
  if (start == std::string::npos) return false;
  const char* begin = s.c_str() + start;
  char* end = nullptr;
  const long n = std::strtol(begin, &end, 10);
  if (end == begin) return false;
  out = static_cast<int>(n);
  s.erase(0, static_cast<size_t>(end - s.c_str()));
  return true;
}

}  // namespace

std::vector<int> FailureCodes(const std::string& code) {
  std::vector<int> codes;
  std::stringstream parts(code);
  for (std::string part; std::getline(parts, part, ',');) {
    int lo = 0, hi = 0;
    if (!TakeInt(part, lo)) continue;
    const auto dots = part.find("…");
    if (dots != std::string::npos && (part.erase(0, dots + std::string("…").size()), TakeInt(part, hi))) {
      for (int c = lo; lo <= hi ? c <= hi : c >= hi; c += lo <= hi ? 1 : -1) codes.push_back(c);
    } else {
      codes.push_back(lo);
    }
  }
  return codes;
}

}  // namespace Sorrel::Js

#include "sorrel/cef/ResUrl.h"

namespace Sorrel::cef::res {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string CutQueryAndFragment(std::string_view url) {
  url = url.substr(0, url.find('#'));
  url = url.substr(0, url.find('?'));
  return std::string(url);
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      int hi = HexValue(text[i + 1]);
      int lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

std::string_view HostOf(std::string_view url) {
  size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return {};
  size_t hostEnd = url.find('/', scheme + 3);
  if (hostEnd == std::string_view::npos) return {};
  return url.substr(scheme + 3, hostEnd - scheme - 3);
}

ResTarget SplitResUrl(std::string_view url) {
  size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return {};
  size_t hostEnd = url.find('/', scheme + 3);
  if (hostEnd == std::string_view::npos) return {};
  size_t packageEnd = url.find('/', hostEnd + 1);
  if (packageEnd == std::string_view::npos) return {};
  return {std::string(url.substr(hostEnd + 1, packageEnd - hostEnd - 1)),
          std::string(url.substr(packageEnd + 1))};
}

bool IsPlainName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("\0/\\", 3)) == std::string_view::npos;
}

bool IsContainedRelativePath(std::string_view path) {
  if (!path.empty() && path.front() == '/') return false;
  if (path.find('\0') != std::string_view::npos) return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view segment = path.substr(start, end - start);
    if (segment == "." || segment == "..") return false;
    start = end + 1;
  }
  return true;
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

}  // namespace Sorrel::cef::res

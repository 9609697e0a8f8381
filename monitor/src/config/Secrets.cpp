#include "lm/monitor/config/Secrets.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace lm::monitor {
namespace {

bool TokenLike(const std::string& segment) {
  if (segment.size() < 16) return false;
  for (unsigned char c : segment) {
    if (std::isdigit(c)) return true;
  }
  return false;
}

std::string Mode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// Each "name=value" of a query with its value hidden.
std::string HiddenQuery(const std::string& query) {
  std::string out;
  size_t start = 0;
  while (start <= query.size()) {
    size_t amp = query.find('&', start);
    if (amp == std::string::npos) amp = query.size();
    const std::string pair = query.substr(start, amp - start);
    const size_t eq = pair.find('=');
    out += (out.empty() ? "" : "&") + (eq == std::string::npos ? "***" : pair.substr(0, eq + 1) + "***");
    start = amp + 1;
  }
  return out;
}

std::string HiddenPath(const std::string& path) {
  std::string out;
  size_t start = 0;
  while (start < path.size()) {
    size_t slash = path.find('/', start + 1);
    if (slash == std::string::npos) slash = path.size();
    const std::string segment = path.substr(start + 1, slash - start - 1);
    out += "/" + (TokenLike(segment) ? std::string("***") : segment);
    start = slash;
  }
  return out;
}

}  // namespace

UrlParts SplitUrl(const std::string& url) {
  UrlParts p;
  const size_t colon = url.find("://");
  if (colon == std::string::npos || colon == 0) return p;
  p.scheme = url.substr(0, colon);
  for (char& c : p.scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string rest = url.substr(colon + 3);
  const size_t hash = rest.find('#');
  if (hash != std::string::npos) rest.erase(hash);
  const size_t q = rest.find('?');
  if (q != std::string::npos) p.query = rest.substr(q + 1), rest.erase(q);
  const size_t slash = rest.find('/');
  if (slash != std::string::npos) p.path = rest.substr(slash), rest.erase(slash);
  // The user info ends at the last '@' before the path: a password may hold one.
  const size_t at = rest.rfind('@');
  if (at != std::string::npos) {
    p.hasUserInfo = true;
    const std::string info = rest.substr(0, at);
    const size_t c = info.find(':');
    p.user = info.substr(0, c);
    if (c != std::string::npos) p.password = info.substr(c + 1);
    rest.erase(0, at + 1);
  }
  if (!rest.empty() && rest.front() == '[') {
    const size_t close = rest.find(']');
    if (close == std::string::npos) return p;
    p.host = rest.substr(1, close - 1);
    if (close + 1 < rest.size() && rest[close + 1] == ':') p.port = rest.substr(close + 2);
  } else {
    const size_t c = rest.rfind(':');
    p.host = rest.substr(0, c);
    if (c != std::string::npos) p.port = rest.substr(c + 1);
  }
  p.ok = !p.host.empty();
  return p;
}

std::string HiddenUrl(const std::string& url) {
  const UrlParts p = SplitUrl(url);
  if (!p.ok) return url.empty() ? url : "***";  // nothing to tell apart: hide it whole
  std::string out = p.scheme + "://";
  if (p.hasUserInfo) out += p.user + (p.password.empty() ? "" : ":***") + "@";
  out += p.host.find(':') != std::string::npos ? "[" + p.host + "]" : p.host;
  if (!p.port.empty()) out += ":" + p.port;
  out += HiddenPath(p.path);
  if (!p.query.empty()) out += "?" + HiddenQuery(p.query);
  return out;
}

bool CarriesSecret(const std::string& url) {
  const UrlParts p = SplitUrl(url);
  if (!p.ok) return true;
  return !p.password.empty() || !p.query.empty() || HiddenPath(p.path) != p.path;
}

bool IsLoopbackHost(const std::string& host) {
  std::string h = host;
  for (char& c : h) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (h == "localhost" || h == "::1" || h == "0:0:0:0:0:0:0:1") return true;
  unsigned a = 0, b = 0, c = 0, d = 0;
  char tail = 0;
  return std::sscanf(h.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) == 4 && a == 127 && b < 256 && c < 256 &&
         d < 256;
}

std::string Scrubbed(std::string text, const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    if (secret.empty()) continue;
    for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3)) {
      text.replace(at, secret.size(), "***");
    }
  }
  return text;
}

std::string FileModeProblem(const std::string& path, bool holdsSecrets) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return path + " cannot be read: " + std::strerror(errno);
  if (st.st_uid != ::geteuid() && st.st_uid != 0) {
    return path + " belongs to another user (uid " + std::to_string(st.st_uid) + "): it could be changed behind you";
  }
  if ((st.st_mode & 022) != 0) {
    return path + " may be changed by others (mode " + Mode(st.st_mode) + "): make it writable by its owner only";
  }
  if (holdsSecrets && (st.st_mode & 044) != 0) {
    return path + " holds a password or token and may be read by others (mode " + Mode(st.st_mode) +
           "): make it 0600";
  }
  return "";
}

std::string ReceiverId(const std::string& kind, const std::string& text) {
  std::unique_ptr<gchar, decltype(&g_free)> sum(g_compute_checksum_for_string(G_CHECKSUM_SHA256, text.c_str(), -1),
                                                g_free);
  return kind + ":" + std::string(sum.get()).substr(0, 16);
}

}  // namespace lm::monitor

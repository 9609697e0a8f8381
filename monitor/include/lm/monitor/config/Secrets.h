#pragma once
// What the monitor keeps secret and how: URLs printed with their passwords
// and tokens hidden, the rule that credentials travel only over TLS (or to
// this computer), and the file modes a configuration or credentials file
// must have. Each check answers "" or the reason, in words for the log.

#include <string>
#include <vector>

namespace lm::monitor {

// The parts of a URL the rules look at; `ok` false when it is no URL.
struct UrlParts {
  bool ok = false;
  std::string scheme, user, password, host, port, path, query;
  bool hasUserInfo = false;
};
UrlParts SplitUrl(const std::string& url);

// `url` with its password, its query values and any path segment that
// looks like a token (16 characters or more, with a digit) shown as "***".
std::string HiddenUrl(const std::string& url);

// Whether the URL carries something secret: a user with a password, a
// query (where webhook tokens travel), a token-like path segment.
bool CarriesSecret(const std::string& url);

// 127.0.0.0/8, ::1, localhost: traffic that never leaves this computer.
bool IsLoopbackHost(const std::string& host);

// `text` with every one of `secrets` (that is not empty) replaced by "***".
std::string Scrubbed(std::string text, const std::vector<std::string>& secrets);

// A file the monitor reads its settings or credentials from: refused when
// anyone but its owner may write it, when its owner is neither this user
// nor root, or, when it holds secrets, when anyone but its owner may read it.
std::string FileModeProblem(const std::string& path, bool holdsSecrets);

// A short, stable id of a receiver (its URL or address in full, secrets
// included) that names it in the outbox without keeping the secret there.
std::string ReceiverId(const std::string& kind, const std::string& text);

}  // namespace lm::monitor

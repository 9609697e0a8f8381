#pragma once
// What a team-records operation throws when it cannot go on; TeamSync and
// ServerSchema turn it into their answer. The message is for the user.

#include <stdexcept>
#include <string>
#include <utility>

namespace lm::teamsync {

enum class SyncFailureKind {
  kUsage,        // a server name that cannot be used (a password in it)
  kUnreachable,  // the server could not be reached, or the connection dropped
  kRefused,      // the server refused (privileges, a record it does not accept)
  kSchema,       // no team records on the server, or a newer schema
  kUnverified,   // the server sent a record whose content id does not match
  kStore,        // the local store failed
};

class SyncFailure : public std::runtime_error {
 public:
  SyncFailure(SyncFailureKind kind, const std::string& message, std::string row = {})
      : std::runtime_error(message), kind_(kind), row_(std::move(row)) {}
  SyncFailureKind kind() const { return kind_; }
  // kUnverified: the server's row that failed, as text for people ("" if none).
  const std::string& row() const { return row_; }

 private:
  SyncFailureKind kind_;
  std::string row_;
};

}  // namespace lm::teamsync

#pragma once
// The payloads of a query and its answer between the two processes, each one
// byte string ("ay", ending in a NUL) with its fields in text:
//   query   "<frame id> <request id> <request>"
//   answer  "<1|0> <code> <text>"
// A tuple of the same fields costs each side a walk over its type and
// children for every message, which measured as much as the rest of a
// query's trip between the processes.

#include <glib.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace Sorrel::cef::webkit {

struct QueryRequest {
  int64_t frameId = 0;
  int64_t requestId = 0;
  std::string_view request;  // into the payload, which ends in a NUL
};

struct QueryAnswer {
  bool success = false;
  int32_t code = 0;
  std::string_view text;  // into the payload, which ends in a NUL
};

// Floating references, as WebKit's message constructors take them.
GVariant* EncodeQueryRequest(int64_t frameId, int64_t requestId, std::string_view request);
GVariant* EncodeQueryAnswer(bool success, int32_t code, std::string_view text);

// Empty when the payload is not one of the above.
std::optional<QueryRequest> DecodeQueryRequest(GVariant* payload);
std::optional<QueryAnswer> DecodeQueryAnswer(GVariant* payload);

}  // namespace Sorrel::cef::webkit

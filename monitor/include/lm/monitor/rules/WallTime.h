#pragma once
// Wall-clock time as the alarms keep and show it: milliseconds since 1970
// (UTC).

#include <cstdint>
#include <string>

namespace lm::monitor {

int64_t WallNowMs();
// `ms` in UTC through strftime's `format` (whole seconds).
std::string UtcFormat(int64_t ms, const char* format);

}  // namespace lm::monitor

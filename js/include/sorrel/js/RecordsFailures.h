#pragma once
// The failure codes (code1) of the site-records page functions
// (linkmeter.records.*), once for the program. The page's RECORDS_FAILURE
// (web/linkmeter/src/records/records.js) is checked against this table and
// the functions' documented failures against both (tests/tools/apidoc
// PageListsTest.cpp).

#include <cstdint>
#include <string_view>

namespace Sorrel::Js {

struct RecordsFailure {
  std::string_view name;  // the page's name for it
  int32_t code;
};

namespace records_failure {
inline constexpr int32_t kMissing = -1;     // an argument is missing
inline constexpr int32_t kInvalid = -2;     // an argument is not what it must be
inline constexpr int32_t kBusy = -20;       // another program held the store past its busy time-out
inline constexpr int32_t kNotFound = -21;   // no such site, visit or record
inline constexpr int32_t kRefused = -22;    // a value or file the store cannot take
inline constexpr int32_t kNewerFile = -23;  // written by a newer version
inline constexpr int32_t kDamagedFile = -24;
inline constexpr int32_t kIo = -25;         // the file system refused, or the store could not be opened
inline constexpr int32_t kInternal = -26;
inline constexpr int32_t kServerUnreachable = -27;  // the team server
inline constexpr int32_t kServerRefused = -28;
inline constexpr int32_t kUnverified = -29;  // a record from the server failed its check
}  // namespace records_failure

inline constexpr RecordsFailure kRecordsFailures[] = {
    {"missing", records_failure::kMissing},
    {"invalid", records_failure::kInvalid},
    {"busy", records_failure::kBusy},
    {"notFound", records_failure::kNotFound},
    {"refused", records_failure::kRefused},
    {"newerFile", records_failure::kNewerFile},
    {"damagedFile", records_failure::kDamagedFile},
    {"io", records_failure::kIo},
    {"internal", records_failure::kInternal},
    {"serverUnreachable", records_failure::kServerUnreachable},
    {"serverRefused", records_failure::kServerRefused},
    {"unverified", records_failure::kUnverified},
};

}  // namespace Sorrel::Js

#pragma once
// What one stored record holds, in a line a technician reads in `records
// show`: a registration's groups and units, a survey's routes and probes, a
// scan's rounds, a download's bytes, a log's events, a settings read's
// values, a settings write's keys and the unit's answer.

#include <string>

#include "lm/Json.h"

namespace linkmeter::cli {

class PageCalls;

// `record` is an entry of readVisit's records; `visit` the whole answer
// (settings writes are in it in full). Reads the record's content through
// linkmeter.records.readRecord; "" when it cannot be read.
std::string RecordContents(PageCalls& page, const lm::json::Value& record, const lm::json::Value& visit);

}  // namespace linkmeter::cli

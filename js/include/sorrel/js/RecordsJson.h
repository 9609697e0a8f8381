#pragma once
// The site records as the page passes and receives them: argument objects
// read into the store's records (a bad member raises JsArgumentException,
// -1 when missing, -2 when invalid) and stored records as JSON. Bytes are
// base64 text; decoded forms, routes, thresholds and setting values are any
// JSON the page gives, kept as its text.

#include <string>

#include "lm/Json.h"
#include "lm/records/Records.h"
#include "sorrel/cef/ArgReader.h"

namespace Sorrel::Js::records_json {

using cef::ArgReader;
namespace rec = lm::records;

std::string Base64(const rec::Bytes& bytes);

// Readers of one member; optional ones leave `fallback` when absent.
int64_t Int64(const ArgReader& r, const std::string& path);
std::optional<int64_t> OptInt64(const ArgReader& r, const std::string& path);
rec::Millis TimeOr(const ArgReader& r, const std::string& path, rec::Millis fallback);
std::string TextOr(const ArgReader& r, const std::string& path);
rec::Bytes BytesOr(const ArgReader& r, const std::string& path);
// A JSON member as text; empty when absent or null.
std::string JsonText(const ArgReader& r, const std::string& path, ArgReader::Need need);

rec::SiteInfo ReadSite(const ArgReader& r);
rec::VisitInfo ReadVisitInfo(const ArgReader& r, rec::Millis now);
// updateVisit's "replaces": the version ids (64 hex digits) the edit replaces.
std::vector<std::string> ReadReplaces(const ArgReader& r);
rec::RawRecord ReadRaw(const ArgReader& r, rec::RawKind kind, rec::Millis now);
rec::SurveyInfo ReadSurveyInfo(const ArgReader& r, rec::Millis now);
std::vector<rec::Probe> ReadProbes(const ArgReader& r);
std::vector<rec::HopStats> ReadHops(const ArgReader& r);
rec::ScanInfo ReadScanInfo(const ArgReader& r, rec::Millis now);
std::vector<rec::ScanRound> ReadRounds(const ArgReader& r);
rec::SettingsWrite ReadSettingsWrite(const ArgReader& r, rec::Millis now);

lm::json::Value SiteJson(const rec::SiteRow& s);
lm::json::Value VisitJson(const rec::VisitRow& v);
lm::json::Value VisitRecordsJson(const rec::VisitRecords& v);
lm::json::Value RawJson(const rec::StoredRaw& r);
lm::json::Value SurveyJson(const rec::StoredSurvey& s);
lm::json::Value ScanJson(const rec::StoredScan& s);
lm::json::Value TrendJson(const rec::TrendPoint& p);
lm::json::Value CountsJson(const rec::ImportCounts& c);

}  // namespace Sorrel::Js::records_json

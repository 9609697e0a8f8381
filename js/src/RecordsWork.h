#pragma once
// The work of each linkmeter.records function, shared by the functions'
// file and their registration with its descriptions.

#include <utility>

#include "lm/Json.h"
#include "lm/records/RecordStore.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/js/RecordsFunctions.h"

namespace Sorrel::Js::records_work {

using Arg = cef::ArgReader;
using Store = lm::records::RecordStore;

// The value of a store call, or its failure raised for the page: the one
// place the store's failures become the bridge's.
template <class T>
T Take(lm::records::Result<T> result) {
  if (!result) throw cef::JsExecuteException(RecordsQuery::StoreCode(result.error().code), result.error().message);
  return std::move(*result);
}

lm::json::Value Status(Store& s, const Arg& r);
lm::json::Value ListSites(Store& s, const Arg& r);
lm::json::Value ListVisits(Store& s, const Arg& r);
lm::json::Value BeginVisit(Store& s, const Arg& r);
lm::json::Value EndVisit(Store& s, const Arg& r);
lm::json::Value UpdateVisit(Store& s, const Arg& r);
RecordsQuery::Work RawWork(lm::records::RawKind kind);
lm::json::Value RecordSurvey(Store& s, const Arg& r);
lm::json::Value AddSurveyProbes(Store& s, const Arg& r);
lm::json::Value RecordScan(Store& s, const Arg& r);
lm::json::Value RecordSettingsWrite(Store& s, const Arg& r);
lm::json::Value ReadVisit(Store& s, const Arg& r);
lm::json::Value ReadRecord(Store& s, const Arg& r);
lm::json::Value UnitTrend(Store& s, const Arg& r);
lm::json::Value ExportSite(Store& s, const Arg& r);
lm::json::Value ExportVisit(Store& s, const Arg& r);
lm::json::Value Import(Store& s, const Arg& r);
lm::json::Value Sync(Store& s, const Arg& r);
lm::json::Value SyncProgress(Store& s, const Arg& r);
lm::json::Value ServerInit(Store& s, const Arg& r);
// SiteMapRecords.cpp
lm::json::Value ReadSiteMap(Store& s, const Arg& r);
// PlanPages.cpp
lm::json::Value RenderPlanPage(Store& s, const Arg& r);
// AlarmRecords.cpp
lm::json::Value AlarmTimeline(Store& s, const Arg& r);
lm::json::Value AlarmsFiring(Store& s, const Arg& r);

}  // namespace Sorrel::Js::records_work

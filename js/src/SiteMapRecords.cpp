// linkmeter.records.readSiteMap: a site's plans and map edits from every
// visit, oldest first, without the plans' images (readRecord of kind "plan"
// gives one in full). The page works out the positions at any moment from
// the edits, in the order the team server took them (their receipts), then
// this computer's own order for those not sent yet.
#include "RecordsWork.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/js/RecordsJson.h"

namespace Sorrel::Js::records_work {
namespace {

namespace rj = records_json;
namespace rec = lm::records;
using lm::json::Array;
using lm::json::MakeObject;
using lm::json::Number;
using lm::json::Value;

// A record's JSON without its bytes: the map needs a plan's image only when
// it draws that plan.
Value WithoutBytes(const rec::StoredRaw& r) {
  Value v = rj::RawJson(r);
  auto& o = v.get<lm::json::Object>();
  o.erase("raw");
  o.erase("header");
  return v;
}

}  // namespace

Value ReadSiteMap(Store& s, const Arg& r) {
  Array plans, edits;
  for (const auto& visit : Take(s.ListVisits(rj::Int64(r, "serial")))) {
    const rec::VisitRecords read = Take(s.ReadVisit(visit.id));
    for (const auto& rec : read.records) {
      if (rec.kind == rec::RawKindName(rec::RawKind::kPlan)) {
        plans.push_back(WithoutBytes(Take(s.ReadRaw(rec::RawKind::kPlan, rec.id))));
      } else if (rec.kind == rec::RawKindName(rec::RawKind::kMapEdit)) {
        // Who made it, until the server's receipt names who sent it.
        Value edit = WithoutBytes(Take(s.ReadRaw(rec::RawKind::kMapEdit, rec.id)));
        edit.get<lm::json::Object>()["technician"] = lm::json::String(read.visit.info.technician);
        edits.push_back(std::move(edit));
      }
    }
  }
  return MakeObject({{"plans", Value(plans)}, {"edits", Value(edits)}});
}

}  // namespace Sorrel::Js::records_work

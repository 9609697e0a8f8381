#pragma once
// linkmeter.records.*: the page's calls on the site-records store. Each is a
// query run on the query task group's workers (the store blocks on its
// file), taking one argument object and answering JSON. A bad argument
// fails with -1 (missing) or -2 (invalid); a failure of the store with
// -20 … -26 by its kind (see RecordsQuery::StoreCode).

#include <functional>
#include <memory>
#include <string>

#include "lm/records/StoreResult.h"
#include "sorrel/cef/ArgReader.h"
#include "sorrel/cef/JsQueryHandler.h"
#include "sorrel/js/HostDoc.h"
#include "sorrel/js/RecordsAccess.h"

namespace Sorrel::cef {
class Manager;
}

namespace Sorrel::Js {

class RecordsQuery : public cef::JsQueryHandler, public Described {
 public:
  // The work of one call: reads the argument, asks the store, answers JSON.
  using Work = std::function<lm::json::Value(lm::records::RecordStore&, const cef::ArgReader&)>;

  RecordsQuery(const std::string& name, std::shared_ptr<RecordsAccess> access, Work work, HostDoc doc);

  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
  const HostDoc& Doc() const override { return doc_; }

  // -20 busy, -21 not found, -22 invalid, -23 newer file, -24 damaged file,
  // -25 io, -26 internal.
  static int32_t StoreCode(lm::records::StoreErrorCode code);

 private:
  std::shared_ptr<RecordsAccess> access_;
  Work work_;
  HostDoc doc_;
};

// The `linkmeter.records` namespace and its functions over `access`.
void RegisterRecordsFunctions(cef::Manager& manager, std::shared_ptr<RecordsAccess> access);

}  // namespace Sorrel::Js

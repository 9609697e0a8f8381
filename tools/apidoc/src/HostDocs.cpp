// The descriptions written here for functions whose classes do not carry
// their own: the unit functions. Host functions describe themselves beside
// their checks (Sorrel::Js::Described).
#include "DescribedTables.h"
#include "DocBuilder.h"

namespace linkmeter::apidoc {

const std::vector<FunctionDoc>& DescribedFunctions() {
  static const std::vector<FunctionDoc> all = detail::UnitDocs();
  return all;
}

}  // namespace linkmeter::apidoc

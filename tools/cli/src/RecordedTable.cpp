#include "linkmeter/cli/RecordedTable.h"

#include "linkmeter/cli/SiteLogic.h"

namespace linkmeter::cli {
namespace {

// The command line's words for the decoder's refusals.
std::string RefusalText(const std::string& code) {
  if (code == "header") return "the download's header is too short";
  if (code == "width") return "the download's channels have no width";
  return "the download could not be decoded: " + code;
}

}  // namespace

RecordedTable DecodeRecorded(SiteLogic& logic, const lm::json::Value& answer) {
  RecordedTable out;
  std::string error;
  auto decoded = logic.Call("recordedTable", {answer}, &error);
  if (!decoded) {
    out.error = "the download could not be decoded: " + error;
  } else if (const std::string code = MemberText(*decoded, "error"); !code.empty()) {
    out.error = RefusalText(code);
  } else {
    out.table = TableOf(*decoded);
    out.decoded = MemberValue(*decoded, "decoded");
  }
  return out;
}

}  // namespace linkmeter::cli

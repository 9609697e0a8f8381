#pragma once
// The base of the host's native functions: positional arguments as the page
// passed them, and the readers they share. Errors are raised as the bridge's
// exceptions; the dispatcher turns them into the page exception.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lm/Json.h"
#include "sorrel/cef/JsNativeHandler.h"
#include "sorrel/js/HostDoc.h"

namespace Sorrel::Js {

using Args = std::vector<lm::json::Value>;

class HostNative : public cef::JsNativeHandler, public Described {
 public:
  using JsNativeHandler::JsNativeHandler;

  bool Execute(Call& call) final;

 protected:
  // The function's own work. The result goes to call.returnValue, or
  // call.returnUndefined is set.
  virtual void Run(const Args& args, Call& call) = 0;

  // Text at position 0 under `name`: code 0 with "'name' is not found." or
  // "'name' must have type string.".
  static std::string TextAt0(const Args& args, const std::string& name);
  static void ReturnUndefined(Call& call) { call.returnUndefined = true; }
};

// True when the value is a number without a fraction inside [lo, hi].
bool IsInteger(const lm::json::Value& v, double lo, double hi);
// A JavaScript-style integer of a number (truncated), 0 for anything else.
int64_t ToInteger(const lm::json::Value& v);

}  // namespace Sorrel::Js

#include "sorrel/js/HostNative.h"

#include <cmath>

#include "sorrel/cef/Exception.h"

namespace Sorrel::Js {

bool HostNative::Execute(Call& call) {
  Run(call.arguments, call);
  return true;
}

std::string HostNative::TextAt0(const Args& args, const std::string& name) {
  cef::Ensure(!args.empty(), 0, cef::MsgNotFound(name));
  cef::Ensure(args[0].is<std::string>(), 0, cef::MsgMustBeString(name));
  return args[0].get<std::string>();
}

bool IsInteger(const lm::json::Value& v, double lo, double hi) { return lm::json::IsIntegral(v, lo, hi); }

int64_t ToInteger(const lm::json::Value& v) {
  if (!v.is<double>()) return 0;
  double d = v.get<double>();
  if (!std::isfinite(d)) return 0;
  d = std::trunc(d);
  if (d >= 9.2e18) return INT64_MAX;
  if (d <= -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(d);
}

}  // namespace Sorrel::Js

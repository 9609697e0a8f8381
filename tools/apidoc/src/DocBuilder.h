#pragma once
// A compact way to write one described entry.

#include "linkmeter/apidoc/FunctionDoc.h"

namespace linkmeter::apidoc::detail {

inline FunctionDoc Doc(const char* script, const char* group, const char* call, const char* summary,
                       std::vector<ArgDoc> args, const char* result, std::vector<FailureDoc> failures,
                       const char* example) {
  FunctionDoc d;
  d.script = script;
  d.group = group;
  d.call = call;
  d.summary = summary;
  d.args = std::move(args);
  d.result = result;
  d.failures = std::move(failures);
  d.example = example;
  return d;
}

}  // namespace linkmeter::apidoc::detail

#include "sorrel/cef/webext/ConsoleForwarder.h"

#include <cstdio>

#include "sorrel/cef/webext/GRef.h"

namespace Sorrel::cef::webext {
namespace {

// Takes the native reporter and wraps each console method; the caller's
// place comes from the second line of a fresh stack ("fn@url:line:column").
constexpr const char* kWrapScript = R"JS((function (report) {
  'use strict';
  function text(v) {
    if (typeof v === 'string') return v;
    try { var j = JSON.stringify(v); if (j !== undefined) return j; } catch (e) {}
    return String(v);
  }
  ['log', 'info', 'warn', 'error', 'debug'].forEach(function (level) {
    var original = console[level];
    console[level] = function () {
      var where = /@?([^@]*):(\d+):\d+$/.exec((new Error().stack || '').split('\n')[1] || '');
      report(level, Array.prototype.map.call(arguments, text).join(' '), where ? where[1] : '',
             where ? Number(where[2]) : 0);
      return original.apply(console, arguments);
    };
  });
}))JS";

std::string StringOf(JSCValue* value) {
  gchar* s = jsc_value_to_string(value);
  std::string out = s ? s : "";
  g_free(s);
  return out;
}

void Report(GPtrArray* args) {
  if (args->len < 4) return;
  auto at = [args](guint i) { return static_cast<JSCValue*>(g_ptr_array_index(args, i)); };
  const std::string line = ConsoleLine(StringOf(at(0)), StringOf(at(2)), jsc_value_to_int32(at(3)), StringOf(at(1)));
  std::fputs(line.c_str(), stderr);
}

JSCValue* CallReport(GPtrArray* args, gpointer) {
  Report(args);
  return jsc_value_new_undefined(jsc_context_get_current());
}

}  // namespace

std::string ConsoleLine(const std::string& level, const std::string& source, int line, const std::string& text) {
  std::string out = "console: " + level + " " + source + ":" + std::to_string(line) + ": ";
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else out.push_back(c);
  }
  return out + "\n";
}

void ForwardConsole(JSCContext* context) {
  auto wrap = GRef<JSCValue>::Adopt(jsc_context_evaluate(context, kWrapScript, -1));
  auto report = GRef<JSCValue>::Adopt(jsc_value_new_function_variadic(context, "report", G_CALLBACK(CallReport),
                                                                      nullptr, nullptr, JSC_TYPE_VALUE));
  if (wrap && jsc_value_is_function(wrap.get())) {
    JSCValue* result = jsc_value_function_call(wrap.get(), JSC_TYPE_VALUE, report.get(), G_TYPE_NONE);
    if (result) g_object_unref(result);
  }
  jsc_context_clear_exception(context);
}

}  // namespace Sorrel::cef::webext

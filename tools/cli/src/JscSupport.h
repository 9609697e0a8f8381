#pragma once
// What the command line's JavaScriptCore host (ScriptContext) needs of GLib
// and JavaScriptCore: owning pointers for objects and texts, arguments of a
// variadic function, and the pending exception of a context as one line.

#include <jsc/jsc.h>

#include <memory>
#include <string>

namespace linkmeter::cli::jsc {

struct GObjectUnref {
  void operator()(gpointer p) const {
    if (p) g_object_unref(p);
  }
};
template <typename T>
using GRef = std::unique_ptr<T, GObjectUnref>;

struct GFree {
  void operator()(gpointer p) const { g_free(p); }
};
using GText = std::unique_ptr<char, GFree>;

inline JSCValue* Arg(GPtrArray* args, guint i) {
  return args && i < args->len ? static_cast<JSCValue*>(g_ptr_array_index(args, i)) : nullptr;
}

// An argument as text; "" for none, undefined or null.
inline std::string TextArg(GPtrArray* args, guint i) {
  JSCValue* v = Arg(args, i);
  if (!v || jsc_value_is_undefined(v) || jsc_value_is_null(v)) return {};
  GText text(jsc_value_to_string(v));
  return text ? text.get() : std::string();
}

inline double NumberArg(GPtrArray* args, guint i) {
  JSCValue* v = Arg(args, i);
  return v && jsc_value_is_number(v) ? jsc_value_to_double(v) : 0;
}

// "Name: message" of the context's pending exception, which is cleared;
// "" when none is pending.
inline std::string TakeException(JSCContext* context) {
  JSCException* exception = jsc_context_get_exception(context);
  if (!exception) return {};
  const char* name = jsc_exception_get_name(exception);
  const char* message = jsc_exception_get_message(exception);
  std::string text = name && *name ? name : "Error";
  if (message && *message) {
    text += std::string(": ") + message;
  } else if (GText whole(jsc_exception_to_string(exception)); whole && *whole) {
    // A thrown value that is no Error: its own text.
    text += std::string(": ") + whole.get();
  }
  jsc_context_clear_exception(context);
  return text;
}

}  // namespace linkmeter::cli::jsc

#pragma once
// What the command line's two JavaScriptCore hosts (SiteLogic, PageFlows)
// share: owning pointers for GLib objects and texts, and the pending
// exception of a context as one line.

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

#pragma once
// Copies a document's console messages to standard error (the program's
// --console): console.log, info, warn, error and debug each print one line
// "console: <level> <source>:<line>: <text>" and then do what they did
// before. WebKit reports page console messages neither to the extension nor,
// for an ephemeral session, to its own system-console switch, so the
// document's console object is wrapped instead.

#include <jsc/jsc.h>

#include <string>

namespace Sorrel::cef::webext {

// Wraps the console of the context's window; nothing is left in the page's
// global scope.
void ForwardConsole(JSCContext* context);

// One printed line; newlines in the text are written as "\n".
std::string ConsoleLine(const std::string& level, const std::string& source, int line, const std::string& text);

}  // namespace Sorrel::cef::webext

#pragma once
// The page text the bridge injects: the app.jsQuery glue and the wrapper of
// each page function.

#include <string>

namespace Sorrel::cef {

class JsQueryFactory;
class Manager;

// "if(!app.inner){ app.inner = {};}"
extern const char* const kInnerNamespaceScript;
// The definition of app.jsQuery.
extern const char* const kJsQueryGlueScript;

// scriptName = function(arg, onSuccess, onFailure, onProgress){ ... };
std::string DefaultWrapperScript(const std::string& scriptName, const std::string& queryName,
                                 bool cancellable);

// The glue, then each handler's Script in query-name order.
std::string BuildQueryScript(const JsQueryFactory& factory);

// The whole injected page script: prelude, native declarations in native-name
// order, then the query glue and wrappers.
std::string BuildPageScript(const Manager& manager);

}  // namespace Sorrel::cef

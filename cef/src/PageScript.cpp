#include "sorrel/cef/PageScript.h"

#include "sorrel/cef/JsQueryFactory.h"
#include "sorrel/cef/Manager.h"
#include "JsQueryGlueText.h"

namespace Sorrel::cef {

const char* const kInnerNamespaceScript = "if(!app.inner){ app.inner = {};}";

// The definition of app.jsQuery comes from JsQueryGlue.js, embedded at
// build time as it is (see cmake/EmbedText.cmake).
const char* const kJsQueryGlueScript = kJsQueryGlueText;

std::string DefaultWrapperScript(const std::string& scriptName, const std::string& queryName,
                                 bool cancellable) {
  std::string s = scriptName;
  s += " = function(arg, onSuccess, onFailure, onProgress){  var id = app.jsQuery('";
  s += queryName;
  s += "', arg, onSuccess, onFailure, onProgress);  return ";
  s += cancellable ? "function(){cefQueryCancel(id);}" : "undefined";
  s += ";};";
  return s;
}

std::string BuildQueryScript(const JsQueryFactory& factory) {
  std::string s = kInnerNamespaceScript;
  s += kJsQueryGlueScript;
  for (const auto& [name, handler] : factory) s += handler->Script();
  return s;
}

std::string BuildPageScript(const Manager& manager) {
  std::string s = manager.Prelude();
  for (const auto& [nativeName, handler] : manager.NativeHandlersByName()) {
    s += handler->ScriptName() + " = function(){ native function " + nativeName + "(); return " +
         nativeName + "(arguments);};";
  }
  s += BuildQueryScript(manager.Factory());
  return s;
}

}  // namespace Sorrel::cef

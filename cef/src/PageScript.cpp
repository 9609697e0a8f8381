#include "sorrel/cef/PageScript.h"

#include "sorrel/cef/JsQueryFactory.h"
#include "sorrel/cef/Manager.h"

namespace Sorrel::cef {

const char* const kInnerNamespaceScript = "if(!app.inner){ app.inner = {};}";

const char* const kJsQueryGlueScript =
    R"GLUE(app.jsQuery = function(name, arg, onSuccess, onFailure, onProgress){  if(typeof(name) != 'string')  {    throw new Error("Invalid arguments; 'name' is required and must have type string");  }  if(typeof(arg) == 'undefined')  {    arg = null;  }  if(onSuccess && (typeof(onSuccess) != 'function'))  {    throw new Error("Invalid arguments; 'onSuccess' must have type function");  }  if(onFailure && (typeof(onFailure) != 'function'))  {    throw new Error("Invalid arguments; 'onFailure' must have type function");  }  if(onProgress && (typeof(onProgress) != 'function'))  {    throw new Error("Invalid arguments; 'onProgress' must have type function");  }  if(onProgress){    arg.onProgressID = 'progress-' + (new Date()).getTime();    app.addEventListener(arg.onProgressID, onProgress);  }  var query = {};  query.request = 'jsquery:' + name + ' ';  if(arg){query.request += JSON.stringify(arg);}  query.onSuccess = function(response){    if(onProgress){app.removeEventListener(arg.onProgressID);}    response = JSON.parse(response);    if(onSuccess){onSuccess(response);}    else {console.log(response);}  };  query.onFailure = function(error_code, error_object){    if(onProgress){app.removeEventListener(arg.onProgressID);}    var err = JSON.parse(error_object);    err.api = name;    if(onFailure){onFailure(err);}    else {console.error(err);}  };  return window.cefQuery(query)};)GLUE";

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

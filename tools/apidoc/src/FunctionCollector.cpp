#include <algorithm>
#include <map>

#include "linkmeter/apidoc/FunctionDoc.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/js/HostDoc.h"

namespace linkmeter::apidoc {
namespace {

constexpr const char* kGroups[] = {"Windows and shell", "Files",        "Dialogs and menus", "Sibling application",
                                   "Units", "Display values", "Device commands", "Other"};

int GroupRank(const std::string& group) {
  const auto* end = std::end(kGroups);
  const auto* at = std::find(std::begin(kGroups), end, group);
  return at == end ? static_cast<int>(std::size(kGroups)) : static_cast<int>(at - std::begin(kGroups));
}

// The parameter list a page text declares: "PAGE = function(x, y){…".
std::string DeclaredParameters(const std::string& script) {
  const auto open = script.find("function(");
  if (open == std::string::npos) return "()";
  const auto close = script.find(')', open);
  if (close == std::string::npos) return "()";
  return script.substr(open + 8, close - open - 7);
}

FunctionDoc Describe(const std::string& script, const std::string& name, const std::string& kind) {
  static const std::map<std::string, FunctionDoc> described = [] {
    std::map<std::string, FunctionDoc> byScript;
    for (const FunctionDoc& doc : DescribedFunctions()) byScript.emplace(doc.script, doc);
    return byScript;
  }();
  constexpr std::string_view kCommand = "ComTcmd";
  FunctionDoc doc;
  if (auto it = described.find(script); it != described.end()) {
    doc = it->second;
  } else if (kind == "query" && name.rfind(kCommand, 0) == 0) {
    doc = CommandDoc(name.substr(kCommand.size()));
  }
  if (doc.script.empty()) {
    doc.described = false;
    doc.group = "Other";
    doc.summary = "Registered, not yet described.";
  }
  doc.script = script;
  doc.name = name;
  doc.kind = kind;
  return doc;
}

// A host function describes itself beside its checks.
FunctionDoc FromHost(const Sorrel::Js::HostDoc& host, const std::string& script) {
  FunctionDoc doc;
  static_cast<Sorrel::Js::HostDoc&>(doc) = host;
  doc.script = script;
  return doc;
}

}  // namespace

std::vector<FunctionDoc> CollectFunctions(const Sorrel::cef::Manager& manager) {
  std::vector<FunctionDoc> docs;
  for (const auto& native : manager.NativeHandlers()) {
    const auto* host = dynamic_cast<const Sorrel::Js::Described*>(native.get());
    FunctionDoc doc = host ? FromHost(host->Doc(), native->ScriptName())
                           : Describe(native->ScriptName(), native->NativeName(), "native");
    doc.name = native->NativeName();
    doc.kind = "native";
    if (doc.call.empty()) doc.call = "()";
    docs.push_back(std::move(doc));
  }
  for (const auto& [queryName, handler] : manager.Factory()) {
    const std::string page = handler->Script();
    if (page.empty()) continue;  // carried between processes, not callable by the page
    const auto* host = dynamic_cast<const Sorrel::Js::Described*>(handler.get());
    FunctionDoc doc = host ? FromHost(host->Doc(), handler->ScriptName())
                           : Describe(handler->ScriptName(), queryName, "query");
    doc.name = queryName;
    doc.kind = "query";
    doc.cancellable = handler->Cancellable() != 0;
    doc.call = DeclaredParameters(page);
    docs.push_back(std::move(doc));
  }
  std::stable_sort(docs.begin(), docs.end(), [](const FunctionDoc& a, const FunctionDoc& b) {
    const int ra = GroupRank(a.group), rb = GroupRank(b.group);
    return ra != rb ? ra < rb : a.script < b.script;
  });
  return docs;
}

}  // namespace linkmeter::apidoc

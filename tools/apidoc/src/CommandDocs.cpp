// Documentation of the device commands, made from their catalogue rows.
#include <sstream>

#include "linkmeter/apidoc/FunctionDoc.h"
#include "vantor/com/CommandCatalogue.h"
#include "vantor/com/KindText.h"

namespace linkmeter::apidoc {
namespace {

namespace cat = com::vantor::catalogue;

// A value that passes the key's check, as page text.
std::string ExampleValue(const cat::ArgDef& def) {
  const cat::Check& c = def.check;
  if (def.reader == cat::Reader::kInteger) {
    if (c.kind != cat::Check::Kind::kRange) return "0";
    return std::to_string(c.lo <= 0 && c.hi >= 0 ? 0 : c.lo);
  }
  if (def.reader != cat::Reader::kBytes && def.reader != cat::Reader::kText) return "{…}";
  if (c.kind == cat::Check::Kind::kWords) return "\"" + std::string(c.words[0]) + "\"";
  const std::int64_t n = c.kind == cat::Check::Kind::kLength ? std::max<std::int64_t>(c.lo, 1) : 1;
  if (def.reader == cat::Reader::kText) return "\"" + std::string(static_cast<std::size_t>(std::min<std::int64_t>(n, 8)), 'A') + "\"";
  std::string bytes = "[";
  for (std::int64_t i = 0; i < std::min<std::int64_t>(n, 64); ++i) bytes += i ? ",0" : "0";
  return bytes + "]";
}

std::string Example(const cat::CommandRow& row) {
  std::ostringstream out;
  out << "// unit: a comInfo from app.com.searchUSB or app.com.searchLAN\n" << cat::ScriptName(row) << "({comInfo: unit";
  bool anyRequired = false;
  for (const cat::ArgDef& def : row.args) {
    if (def.need != cat::Need::kRequired) continue;
    out << ", " << def.key << ": " << ExampleValue(def);
    anyRequired = true;
  }
  // Only optional keys (a settings write sends the keys given): show one.
  if (!anyRequired && !row.args.empty()) out << ", " << row.args[0].key << ": " << ExampleValue(row.args[0]);
  out << "},\n  r => console.log(r.isSuccess, r.STATUS, r.msg),\n  e => console.error(e.api, e.code1, e.msg));";
  return out.str();
}

std::vector<FailureDoc> Failures(const cat::CommandRow& row) {
  std::vector<FailureDoc> failures{
      {"-1", "a required key (or comInfo) is missing: \"Invalid arguments : '<key>' is not found.\""},
      {"-2", "a key of the wrong kind, or a comInfo member missing or invalid: \"Invalid arguments : '<key>' value is "
             "invalid.\""},
      {"0", "\"Invalid arguments\": the unit's model is not served by this program"},
      {"code1, code2", "the connection could not be opened: msg \"fail to open : \" and the library's text"},
      {"code1, code2", "the exchange failed (for example a receive time-out): msg is the library's text"},
  };
  if (!row.args.empty()) {
    failures.insert(failures.begin() + 2,
                    {"0", "a value outside what the key accepts: \"Invalid arguments : '<key>'\"; nothing is sent"});
  }
  return failures;
}

}  // namespace

FunctionDoc CommandDoc(const std::string& mnemonic) {
  const cat::CommandRow* row = cat::FindRow(mnemonic);
  if (!row) return {};
  FunctionDoc doc;
  doc.script = cat::ScriptName(*row);
  doc.group = "Device commands";
  std::string summary(row->summary);
  if (!summary.empty()) summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
  doc.summary = summary + " (" + std::string(row->name) + "; success when STATUS is " + row->success.Text() + ").";
  if (!row->conversation.empty()) doc.summary += " Exchanges: " + std::string(row->conversation) + ".";
  doc.args.push_back({"comInfo", "object", "required", "a unit description as a search returns it"});
  for (const cat::ArgDef& def : row->args) {
    doc.args.push_back({std::string(def.key), cat::ReaderText(def.reader),
                        def.need == cat::Need::kRequired ? "required" : "optional", cat::DescribeCheck(def)});
  }
  doc.result =
      "The device result object: STATUS (the answer's status text, when there is one), cmdName, comInfo, "
      "isSuccess, isCancel, isTimeout, msg (when there is something to say)";
  for (const cat::ResultDef& r : row->results) {
    doc.result += "; " + cat::MemberText(r) + (r.when == cat::When::kSuccess ? ", only on success" : "");
  }
  doc.result += ".";
  doc.failures = Failures(*row);
  doc.example = Example(*row);
  return doc;
}

}  // namespace linkmeter::apidoc

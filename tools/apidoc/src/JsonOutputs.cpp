#include "lm/Json.h"
#include "linkmeter/apidoc/Outputs.h"
#include "vantor/com/CommandCatalogue.h"

namespace linkmeter::apidoc {
namespace {

namespace cat = com::vantor::catalogue;
using lm::json::Value;

Value Str(std::string_view s) { return lm::json::String(std::string(s)); }

Value Limit(std::int64_t n) { return n == cat::Check::kNoLimit ? Value() : lm::json::Number(n); }

Value CheckJson(const cat::Check& c) {
  switch (c.kind) {
    case cat::Check::Kind::kAny: return lm::json::MakeObject({{"kind", Str("any")}});
    case cat::Check::Kind::kRange:
      return lm::json::MakeObject({{"kind", Str("range")}, {"lo", Limit(c.lo)}, {"hi", Limit(c.hi)}});
    case cat::Check::Kind::kLength:
      return lm::json::MakeObject({{"kind", Str("length")}, {"lo", Limit(c.lo)}, {"hi", Limit(c.hi)}});
    case cat::Check::Kind::kWords: {
      lm::json::Array words;
      for (std::string_view w : c.words) {
        if (!w.empty()) words.push_back(Str(w));
      }
      return lm::json::MakeObject({{"kind", Str("words")}, {"words", Value(words)}});
    }
  }
  return Value();
}

const char* ReaderName(cat::Reader r) {
  switch (r) {
    case cat::Reader::kInteger: return "integer";
    case cat::Reader::kBytes: return "bytes";
    case cat::Reader::kText: return "text";
    default: return "object";
  }
}

Value RowJson(const cat::CommandRow& row) {
  lm::json::Array args;
  for (const cat::ArgDef& def : row.args) {
    Value arg = lm::json::MakeObject({{"key", Str(def.key)},
                                      {"reader", Str(ReaderName(def.reader))},
                                      {"need", Str(def.need == cat::Need::kRequired ? "required" : "optional")},
                                      {"sent", lm::json::Bool(def.encoding != cat::Encoding::kKept)},
                                      {"check", CheckJson(def.check)}});
    if (def.secret) arg.get<lm::json::Object>()["secret"] = lm::json::Bool(true);
    // An object packed into one field: its integer members and their ranges.
    if (const auto members = cat::PackedMembers(def.packing); !members.empty()) {
      lm::json::Array list;
      for (const cat::PackedMember& m : members) {
        list.push_back(lm::json::MakeObject({{"name", Str(m.name)}, {"lo", lm::json::Number(m.lo)}, {"hi", lm::json::Number(m.hi)}}));
      }
      arg.get<lm::json::Object>()["members"] = Value(list);
    }
    args.push_back(std::move(arg));
  }
  return lm::json::MakeObject({{"script", Str(cat::ScriptName(row))},
                               {"success", Str(row.success.Text())},
                               {"family", Str(cat::FamilyName(row.family))},
                               {"args", Value(args)}});
}

// The settings blocks in the order the page shows their forms, and the
// radio surveys (the first is the usual one).
Value BlocksJson() {
  lm::json::Array blocks;
  for (const cat::SettingsBlock& b : cat::kSettingsBlocks) {
    blocks.push_back(lm::json::MakeObject(
        {{"name", Str(b.name)}, {"read", Str(b.read)}, {"write", Str(b.write)}, {"form", lm::json::Bool(b.form)}}));
  }
  return Value(blocks);
}

Value SurveysJson() {
  lm::json::Array surveys;
  for (const cat::CommandRow* row : cat::SurveyRows()) surveys.push_back(Str(row->name));
  return Value(surveys);
}

}  // namespace

std::string CatalogueRulesJson() {
  lm::json::Object commands;
  for (const cat::CommandRow& row : cat::kCatalogue) commands[std::string(row.name)] = RowJson(row);
  return lm::json::ToText(lm::json::MakeObject(
             {{"commands", Value(commands)}, {"blocks", BlocksJson()}, {"surveys", SurveysJson()}})) +
         "\n";
}

std::string ApiDocJson(const std::vector<FunctionDoc>& docs) {
  lm::json::Array all;
  for (const FunctionDoc& d : docs) {
    lm::json::Array args, failures;
    for (const ArgDoc& a : d.args) {
      args.push_back(lm::json::MakeObject(
          {{"name", Str(a.name)}, {"type", Str(a.type)}, {"need", Str(a.need)}, {"accepted", Str(a.accepted)}}));
    }
    for (const FailureDoc& f : d.failures) {
      failures.push_back(lm::json::MakeObject({{"code", Str(f.code)}, {"cause", Str(f.cause)}}));
    }
    all.push_back(lm::json::MakeObject({{"script", Str(d.script)},
                                        {"name", Str(d.name)},
                                        {"kind", Str(d.kind)},
                                        {"cancellable", lm::json::Bool(d.cancellable)},
                                        {"group", Str(d.group)},
                                        {"call", Str(d.call)},
                                        {"summary", Str(d.summary)},
                                        {"args", Value(args)},
                                        {"result", Str(d.result)},
                                        {"failures", Value(failures)},
                                        {"example", Str(d.example)},
                                        {"described", lm::json::Bool(d.described)}}));
  }
  return lm::json::ToText(Value(all)) + "\n";
}

}  // namespace linkmeter::apidoc

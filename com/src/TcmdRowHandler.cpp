#include "sorrel/com/TcmdRowHandler.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "lm/Text.h"
#include "sorrel/cef/Exception.h"

namespace Sorrel::Com::row_handler {
namespace {

namespace cat = com::vantor::catalogue;
using Sorrel::cef::ArgReader;

lm::json::Value ByteArray(std::string_view bytes) {
  lm::json::Array out;
  out.reserve(bytes.size());
  for (char c : bytes) out.emplace_back(static_cast<double>(static_cast<unsigned char>(c)));
  return lm::json::Value(std::move(out));
}

// An integer JSON cannot carry exactly travels as its decimal text.
lm::json::Value WideNumber(std::uint64_t n) {
  constexpr std::uint64_t kExact = std::uint64_t{1} << 53;
  if (n > kExact) return lm::json::String(std::to_string(n));
  return lm::json::Number(static_cast<double>(n));
}

lm::json::Value Signals(std::string_view level) {
  struct Entry {
    int number, level, battery;
  };
  std::vector<Entry> entries;
  for (std::size_t at = 0; at + 3 <= level.size(); at += 3) {  // trailing bytes of a short record are ignored
    entries.push_back({static_cast<unsigned char>(level[at]), static_cast<unsigned char>(level[at + 1]),
                       static_cast<unsigned char>(level[at + 2])});
  }
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.number < b.number; });
  lm::json::Array out;
  for (const Entry& e : entries) {
    out.push_back(lm::json::MakeObject({{"battery", lm::json::Number(e.battery)},
                                        {"level", lm::json::Number(e.level)},
                                        {"number", lm::json::Number(e.number)}}));
  }
  return lm::json::Value(std::move(out));
}

lm::json::Value Unpacked(cat::Packing packing, const cat::PackedValues& values) {
  lm::json::Object out;
  const auto members = cat::PackedMembers(packing);
  for (std::size_t i = 0; i < members.size(); ++i) {
    out[std::string(members[i].name)] = lm::json::Number(static_cast<double>(values[i]));
  }
  return lm::json::Value(std::move(out));
}

// The member made from an answer field; none when the conversation collects
// it. `exact` is cleared when the field does not decode into its kind.
std::optional<lm::json::Value> MemberValue(const cat::ResultDef& def, std::string_view field, bool& exact) {
  exact = true;
  switch (def.kind) {
    case cat::Member::kBytes: return ByteArray(field);
    case cat::Member::kNumber: return lm::json::Number(std::atoi(std::string(field).c_str()));
    case cat::Member::kHexNumber:
      return lm::json::Number(static_cast<double>(std::strtoul(("0x" + std::string(field)).c_str(), nullptr, 0)));
    case cat::Member::kHex8:
      return lm::json::String(lm::text::Format(
          "%08lX", static_cast<unsigned long>(std::strtoul(("0x" + std::string(field)).c_str(), nullptr, 0) & 0xFFFFFFFFul)));
    case cat::Member::kText: return lm::json::String(lm::text::AnsiToUtf8Lenient(field, &exact));
    case cat::Member::kSignals: return Signals(field);
    case cat::Member::kUnpacked:
      if (auto values = cat::Unpack(def.packing, field)) return Unpacked(def.packing, *values);
      exact = false;
      return std::nullopt;
    case cat::Member::kLogs:
    case cat::Member::kRecorded: return std::nullopt;  // collected by the conversation
  }
  return std::nullopt;
}

// The members of a packed object key, each a required integer.
cat::PackedValues ReadPacked(const ArgReader& reader, const cat::ArgDef& def) {
  cat::PackedValues values;
  for (const cat::PackedMember& m : cat::PackedMembers(def.packing)) {
    int32_t n = 0;
    reader.Int32(std::string(def.key) + "." + std::string(m.name), n);
    values.push_back(n);
  }
  return values;
}

ArgReader::Need NeedOf(const cat::ArgDef& def) {
  return def.need == cat::Need::kRequired ? ArgReader::Need::Required : ArgReader::Need::Optional;
}

cat::ArgValue ReadValue(const ArgReader& reader, const cat::ArgDef& def, bool& present) {
  const std::string key(def.key);
  const auto need = NeedOf(def);
  switch (def.reader) {
    case cat::Reader::kInteger: {
      int32_t n = 0;
      present = reader.Int32(key, n, need);
      return std::int64_t{n};
    }
    case cat::Reader::kBytes: {
      std::vector<uint8_t> bytes;
      present = reader.Bytes(key, bytes, need);
      return std::string(bytes.begin(), bytes.end());
    }
    case cat::Reader::kText: {
      std::string text;
      present = reader.AnsiString(key, text, need);
      return text;
    }
    case cat::Reader::kObject: {
      present = reader.Object(key, need) != nullptr;
      if (present) return ReadPacked(reader, def);
      return cat::PackedValues{};
    }
  }
  return std::int64_t{0};
}

[[noreturn]] void Refused(const cat::ArgDef& def, int32_t code = 0) {
  throw Sorrel::cef::JsArgumentException(code, "'" + std::string(def.key) + "'");
}

// An object key the command takes as the page gave it.
void HandOver(const ArgReader& reader, const cat::ArgDef& def, com::vantor::RowFields& command) {
  const std::string key(def.key);
  if (!reader.Object(key, NeedOf(def))) return;
  if (int code = command.SetObjectArg(def.key, *reader.Find(key, ArgReader::Need::Required)); code != 0) {
    Refused(def, code);
  }
}

}  // namespace

void ReadArguments(const ArgReader& reader, com::vantor::RowFields& command) {
  for (const cat::ArgDef& def : command.Row().args) {
    if (def.reader == cat::Reader::kObject && def.packing == cat::Packing::kNone) {
      HandOver(reader, def, command);
      continue;
    }
    bool present = false;
    cat::ArgValue value = ReadValue(reader, def, present);
    if (present && command.SetArg(def.key, value) != 0) Refused(def);
  }
}

bool Succeeded(const com::vantor::Tcmd& command) {
  return command.GetResult().status == com::vantor::ExecResult::kCompleted && command.IsSuccess();
}

void AddAnswerMembers(const com::vantor::Tcmd& command, const cat::CommandRow& row, lm::json::Object& result) {
  const bool succeeded = Succeeded(command);
  lm::json::Object undecoded;
  for (const cat::ResultDef& def : row.results) {
    if (def.when == cat::When::kSuccess && !succeeded) continue;
    auto field = command.GetRecvField(std::string(def.field));
    if (!field) continue;
    bool exact = true;
    if (auto value = MemberValue(def, *field, exact)) result[std::string(def.name)] = std::move(*value);
    if (!exact) undecoded[std::string(def.name)] = ByteArray(*field);
  }
  if (!undecoded.empty()) result["undecoded"] = lm::json::Value(std::move(undecoded));
}

void AddLogs(const std::vector<com::vantor::LogEntry>& logs, lm::json::Object& result) {
  lm::json::Array out;
  for (const auto& e : logs) {
    out.push_back(lm::json::MakeObject({{"category", lm::json::Number(e.category)},
                                        {"localtime", WideNumber(e.localTime)},
                                        {"number", lm::json::Number(e.number)},
                                        {"str", lm::json::String(lm::text::AnsiToUtf8Lenient(e.text))},
                                        {"utctime", WideNumber(e.utcTime)}}));
  }
  result["logs"] = lm::json::Value(std::move(out));
}

void AddRecorded(const com::vantor::RecordedData& recorded, lm::json::Object& result) {
  result["Header"] = ByteArray(recorded.header);
  result["Data"] = ByteArray(recorded.data);
  result["FirstDataTime"] = lm::json::Number(recorded.firstDataTime);
  result["LastDataTime"] = lm::json::Number(recorded.lastDataTime);
}

bool RowSupports(const cat::CommandRow& row, const ComInfo& info, bool usual) {
  if (row.models.empty()) return usual;
  const auto code = static_cast<int>(ModelCode(info.Serial()));
  return std::find(row.models.begin(), row.models.end(), code) != row.models.end();
}

}  // namespace Sorrel::Com::row_handler

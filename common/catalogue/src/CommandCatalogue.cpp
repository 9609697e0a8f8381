#include "vantor/com/CommandCatalogue.h"

namespace com::vantor::catalogue {
namespace {

std::string Bound(std::int64_t n) { return n == Check::kNoLimit ? std::string() : std::to_string(n); }

bool InLimits(const Check& check, std::int64_t n) { return n >= check.lo && n <= check.hi; }

bool MembersFit(Packing packing, const PackedValues& values) {
  const auto members = PackedMembers(packing);
  if (members.empty() || values.size() != members.size()) return false;
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (values[i] < members[i].lo || values[i] > members[i].hi) return false;
  }
  return true;
}

// For accepted members only: each fits its width.
std::string Pack(Packing packing, const PackedValues& values) {
  std::string out;
  const auto members = PackedMembers(packing);
  for (std::size_t i = 0; i < members.size(); ++i) {
    const std::string digits = std::to_string(values[i]);
    const auto width = static_cast<std::size_t>(members[i].width);
    if (digits.size() < width) out.append(width - digits.size(), '0');
    out += digits;
  }
  return out;
}

}  // namespace

const CommandRow* FindRow(std::string_view name) {
  for (const CommandRow& row : kCatalogue) {
    if (row.name == name) return &row;
  }
  return nullptr;
}

const ArgDef* FindArg(const CommandRow& row, std::string_view key) {
  for (const ArgDef& def : row.args) {
    if (def.key == key) return &def;
  }
  return nullptr;
}

bool Accepts(const ArgDef& def, const ArgValue& value) {
  if (const auto* members = std::get_if<PackedValues>(&value)) {
    return def.reader == Reader::kObject && MembersFit(def.packing, *members);
  }
  const bool number = std::holds_alternative<std::int64_t>(value);
  if (number != (def.reader == Reader::kInteger)) return false;
  const Check& check = def.check;
  switch (check.kind) {
    case Check::Kind::kAny: return true;
    case Check::Kind::kRange: return number && InLimits(check, std::get<std::int64_t>(value));
    case Check::Kind::kLength:
      return !number && InLimits(check, static_cast<std::int64_t>(std::get<std::string>(value).size()));
    case Check::Kind::kWords:
      if (number) return false;
      for (std::string_view word : check.words) {
        if (!word.empty() && word == std::get<std::string>(value)) return true;
      }
      return false;
  }
  return false;
}

std::string Encode(const ArgDef& def, const ArgValue& value) {
  if (const auto* n = std::get_if<std::int64_t>(&value)) return std::to_string(*n);
  if (const auto* members = std::get_if<PackedValues>(&value)) return Pack(def.packing, *members);
  std::string bytes = std::get<std::string>(value);
  if (def.encoding == Encoding::kPadded && def.check.kind == Check::Kind::kLength &&
      bytes.size() < static_cast<std::size_t>(def.check.hi)) {
    bytes.resize(static_cast<std::size_t>(def.check.hi), '\0');
  }
  if (def.encoding == Encoding::kRelay && bytes.empty()) bytes.assign(1, '\0');
  return bytes;
}

std::optional<PackedValues> Unpack(Packing packing, std::string_view field) {
  const auto members = PackedMembers(packing);
  PackedValues out;
  std::size_t at = 0;
  for (const PackedMember& m : members) {
    const auto width = static_cast<std::size_t>(m.width);
    if (field.size() < at + width) return std::nullopt;
    std::int64_t n = 0;
    for (char c : field.substr(at, width)) {
      if (c < '0' || c > '9') return std::nullopt;
      n = n * 10 + (c - '0');
    }
    out.push_back(n);
    at += width;
  }
  if (members.empty() || at != field.size()) return std::nullopt;
  return out;
}

std::vector<std::string_view> SentFields(const CommandRow& row) {
  std::vector<std::string_view> fields;
  for (const ArgDef& def : row.args) {
    if (def.encoding == Encoding::kKept) continue;
    fields.push_back(def.field);
    if (!def.alsoSets.field.empty()) fields.push_back(def.alsoSets.field);
  }
  return fields;
}

std::vector<const CommandRow*> SurveyRows() {
  std::vector<const CommandRow*> rows;
  for (const CommandRow& row : kCatalogue) {
    const auto signals = [](const ResultDef& r) { return r.kind == Member::kSignals; };
    if (std::any_of(row.results.begin(), row.results.end(), signals)) rows.push_back(&row);
  }
  return rows;
}

std::vector<std::string_view> SecretKeys() {
  std::vector<std::string_view> keys;
  for (const CommandRow& row : kCatalogue) {
    for (const ArgDef& def : row.args) {
      if (def.secret && std::find(keys.begin(), keys.end(), def.key) == keys.end()) keys.push_back(def.key);
    }
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

bool IsSecretKey(std::string_view key) {
  static const std::vector<std::string_view> keys = SecretKeys();
  return std::binary_search(keys.begin(), keys.end(), key);
}

std::string QueryName(const CommandRow& row) { return "ComTcmd" + std::string(row.name); }
std::string ScriptName(const CommandRow& row) { return "app.com.tcmd" + std::string(row.name); }

const char* FamilyName(Family family) {
  switch (family) {
    case Family::kPlain: return "plain";
    case Family::kWireless: return "wireless";
    case Family::kVLB1: return "VLB1";
  }
  return "?";
}

std::string DescribeCheck(const ArgDef& def) {
  if (def.reader == Reader::kObject && def.packing != Packing::kNone) {
    std::string members;
    for (const PackedMember& m : PackedMembers(def.packing)) {
      members += std::string(members.empty() ? "{" : ", ") + std::string(m.name) + " " + std::to_string(m.lo) +
                 ".." + std::to_string(m.hi);
    }
    return members + "}";
  }
  const Check& c = def.check;
  switch (c.kind) {
    case Check::Kind::kAny: return "any";
    case Check::Kind::kRange:
      if (c.hi == Check::kNoLimit) return ">= " + std::to_string(c.lo);
      return std::to_string(c.lo) + ".." + std::to_string(c.hi);
    case Check::Kind::kLength:
      if (c.lo == c.hi) return "exactly " + std::to_string(c.lo) + " bytes";
      if (c.hi == Check::kNoLimit) return "at least " + std::to_string(c.lo) + " bytes";
      if (c.lo == 0) return "at most " + Bound(c.hi) + " bytes";
      return std::to_string(c.lo) + ".." + Bound(c.hi) + " bytes";
    case Check::Kind::kWords: {
      std::string words;
      for (std::string_view w : c.words) {
        if (w.empty()) continue;
        if (!words.empty()) words += ", ";
        words += "\"" + std::string(w) + "\"";
      }
      return "one of " + words;
    }
  }
  return "?";
}

std::string DescribeArg(const ArgDef& def) {
  static const char* const kReaders[] = {"integer", "bytes", "text", "object"};
  std::string line = std::string(def.key) + " " + kReaders[static_cast<int>(def.reader)] +
                     (def.need == Need::kRequired ? " required " : " optional ") + DescribeCheck(def);
  if (def.encoding != Encoding::kKept) line += " -> " + std::string(def.field);
  return line;
}

}  // namespace com::vantor::catalogue

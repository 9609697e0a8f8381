#include "lm/teamsync/RowText.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "lm/teamsync/SyncFailure.h"

namespace lm::teamsync {
namespace {

[[noreturn]] void BadValue(const std::string& text) {
  throw SyncFailure(SyncFailureKind::kUnverified, "the team server sent a value that is not what it should be: " +
                                                      text.substr(0, 40));
}

// Each character's value as a hex digit, -1 for none: a table, since a
// plan's image comes as tens of millions of digits.
const std::array<int8_t, 256> kHexDigits = [] {
  std::array<int8_t, 256> t{};
  t.fill(-1);
  for (int c = 0; c < 10; ++c) t['0' + c] = static_cast<int8_t>(c);
  for (int c = 0; c < 6; ++c) t['a' + c] = t['A' + c] = static_cast<int8_t>(10 + c);
  return t;
}();

int HexDigit(char c) { return kHexDigits[static_cast<uint8_t>(c)]; }

bool NeedsEscape(char c) { return c == '\\' || c == '\t' || c == '\n' || c == '\r'; }

// COPY's text form of a value; runs without a character to escape (a plan's
// hex digits are one) are appended whole.
void AppendEscaped(std::string& out, const std::string& value) {
  size_t from = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    if (!NeedsEscape(value[i])) continue;
    out.append(value, from, i - from);
    switch (value[i]) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      default: out += "\\r";
    }
    from = i + 1;
  }
  out.append(value, from, std::string::npos);
}

}  // namespace

PgValue LocalValue(const records::Statement& st, int column, ColumnType type) {
  if (st.IsNull(column)) return std::nullopt;
  switch (type) {
    case ColumnType::kInt: return std::to_string(st.Int(column));
    case ColumnType::kBool: return std::string(st.Int(column) ? "t" : "f");
    case ColumnType::kText: return st.Text(column);
    case ColumnType::kReal: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.17g", st.Real(column));
      return std::string(buf);
    }
    case ColumnType::kBytes: {
      static const char* const kHex = "0123456789abcdef";
      const records::Bytes bytes = st.Blob(column);
      std::string out(2 + bytes.size() * 2, 'x');
      out[0] = '\\';
      char* digit = out.data() + 2;
      for (uint8_t b : bytes) {
        *digit++ = kHex[b >> 4];
        *digit++ = kHex[b & 15];
      }
      return out;
    }
  }
  return std::nullopt;
}

int64_t IntOf(const PgValue& v) {
  if (!v || v->empty()) BadValue(v.value_or("NULL"));
  size_t used = 0;
  int64_t n = 0;
  try {
    n = std::stoll(*v, &used);
  } catch (...) {
    BadValue(*v);
  }
  if (used != v->size()) BadValue(*v);
  return n;
}

std::optional<int64_t> OptIntOf(const PgValue& v) { return v ? std::optional<int64_t>(IntOf(v)) : std::nullopt; }

bool BoolOf(const PgValue& v) {
  if (v == "t" || v == "1") return true;
  if (v == "f" || v == "0") return false;
  BadValue(v.value_or("NULL"));
}

records::Bytes BytesOf(const PgValue& v) {
  if (!v) return {};
  const std::string& s = *v;
  if (s.size() < 2 || s[0] != '\\' || s[1] != 'x' || s.size() % 2) BadValue(s);
  records::Bytes out((s.size() - 2) / 2);
  for (size_t i = 2, o = 0; i < s.size(); i += 2, ++o) {
    const int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
    if ((hi | lo) < 0) BadValue(s);
    out[o] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return out;
}

void BindLocal(records::Statement& st, int index, ColumnType type, const PgValue& value) {
  if (!value) {
    st.BindNull(index);
    return;
  }
  switch (type) {
    case ColumnType::kInt: st.Bind(index, IntOf(value)); break;
    case ColumnType::kBool: st.Bind(index, int64_t{BoolOf(value)}); break;
    case ColumnType::kText: st.Bind(index, *value); break;
    case ColumnType::kBytes: st.Bind(index, BytesOf(value)); break;
    case ColumnType::kReal:
      try {
        st.Bind(index, std::stod(*value));
      } catch (...) {
        BadValue(*value);
      }
      break;
  }
}

std::optional<records::RawKind> RawKindNamed(const std::string& name) {
  using records::RawKind;
  for (auto k : {RawKind::kRegistration, RawKind::kDownload, RawKind::kEventLog, RawKind::kSettingsReadback,
                 RawKind::kAcceptance, RawKind::kWaiver, RawKind::kPlan, RawKind::kMapEdit}) {
    if (name == records::RawKindName(k)) return k;
  }
  return std::nullopt;
}

std::optional<int64_t> StreamedSize(const TableLayout& layout, const Row& row) {
  const size_t at = layout.columns.size();
  if (layout.streamed < 0 || row.size() <= at || row[layout.streamed] || !row[at]) return std::nullopt;
  return IntOf(row[at]);
}

namespace {

// A streamed value as COPY text: "\\x" (an escaped backslash), then the hex
// digits of each piece as it comes.
void PutStreamedHex(const Row& row, int64_t size, const ReadPieces& pieces, const CopyPut& put) {
  static const char* const kHex = "0123456789abcdef";
  put("\\\\x");
  std::string digits;
  int64_t sent = 0;
  pieces(row, [&](std::span<const uint8_t> piece) {
    digits.resize(piece.size() * 2);
    char* digit = digits.data();
    for (uint8_t b : piece) *digit++ = kHex[b >> 4], *digit++ = kHex[b & 15];
    put(digits);
    sent += static_cast<int64_t>(piece.size());
  });
  if (sent != size) {
    throw SyncFailure(SyncFailureKind::kStore, "the site records changed while a record's bytes were being sent");
  }
}

}  // namespace

void PutCopyRows(const TableLayout& layout, const Rows& rows, const ReadPieces& pieces, const CopyPut& put) {
  std::string line;
  for (const auto& row : rows) {
    const auto streamed = StreamedSize(layout, row);
    for (size_t c = 0; c < layout.columns.size(); ++c) {
      if (c) line += '\t';
      if (streamed && static_cast<int>(c) == layout.streamed) {
        put(line);
        line.clear();
        PutStreamedHex(row, *streamed, pieces, put);
      } else if (row[c]) {
        AppendEscaped(line, *row[c]);
      } else {
        line += "\\N";
      }
    }
    line += '\n';
    put(line);
    line.clear();
  }
}

namespace {

std::string ShownValue(ColumnType type, const std::string& value) {
  if (type == ColumnType::kBytes) return "<" + std::to_string(value.size() > 2 ? (value.size() - 2) / 2 : 0) + " bytes>";
  constexpr size_t kLongest = 80;
  std::string out = "\"";
  for (size_t i = 0; i < value.size() && i < kLongest; ++i) {
    const auto c = static_cast<unsigned char>(value[i]);
    if (c < 0x20 || c == 0x7f || c == '"' || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + (value.size() > kLongest ? "\"…" : "\"");
}

}  // namespace

std::string ShownRow(const TableLayout& layout, const Row& row) {
  std::string out = std::string(layout.table) + ":";
  std::optional<int64_t> streamed;
  try {
    streamed = StreamedSize(layout, row);
  } catch (const SyncFailure&) {  // a size that is no number: the column shows as it came
  }
  for (size_t c = 0; c < layout.columns.size() && c < row.size(); ++c) {
    out += std::string(c == 0 ? " " : ", ") + layout.columns[c].name + "=";
    if (streamed && static_cast<int>(c) == layout.streamed) out += "<" + std::to_string(*streamed) + " bytes>";
    else out += row[c] ? ShownValue(layout.columns[c].type, *row[c]) : "NULL";
  }
  return out;
}

}  // namespace lm::teamsync

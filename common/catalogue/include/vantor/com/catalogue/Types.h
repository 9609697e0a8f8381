#pragma once
// The shape of a catalogue row: what the page gives (argument keys with
// their reader, need and check), what goes on the wire (send field and
// encoding), what comes back (result members) and how the conversation runs
// (family, success STATUS, timings). Rows are compile-time constants, so the
// named command classes can be bound to them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

#include "vantor/com/StatusCode.h"

namespace com::vantor::catalogue {

// A five-letter mnemonic usable as a template argument: TcmdRow<"EWLEX">.
struct Mnemonic {
  char text[6]{};
  constexpr Mnemonic(const char (&s)[6]) {
    for (int i = 0; i < 6; ++i) text[i] = s[i];
  }
  constexpr explicit Mnemonic(std::string_view s) {
    for (std::size_t i = 0; i < 5 && i < s.size(); ++i) text[i] = s[i];
  }
  constexpr std::string_view View() const { return std::string_view(text); }
  constexpr bool operator==(const Mnemonic&) const = default;
};

// The protocol base a command derives from.
enum class Family : std::uint8_t {
  kPlain,     // Tcmd: one request per exchange
  kWireless,  // TcmdWireless: relayed by radio, ACT polling
  kVLB1,      // TcmdVLB1: signal-level measurement
};

// How an argument key is read from the page's object.
enum class Reader : std::uint8_t {
  kInteger,  // a number without fraction, 32-bit signed
  kBytes,    // an array of numbers 0..255
  kText,     // a string, converted to the ANSI code page
  kObject,   // an object: its members packed into one field (ArgDef::packing),
             // or with no packing handed to the command as it is
};

enum class Need : std::uint8_t { kOptional, kRequired };

// What a field setter accepts. For integers the value, for bytes and text
// the byte length after conversion.
struct Check {
  enum class Kind : std::uint8_t { kAny, kRange, kLength, kWords };
  static constexpr std::int64_t kNoLimit = std::numeric_limits<std::int64_t>::max();

  Kind kind = Kind::kAny;
  std::int64_t lo = 0;
  std::int64_t hi = 0;
  std::array<std::string_view, 4> words{};
};

constexpr Check Any() { return {}; }
constexpr Check Range(std::int64_t lo, std::int64_t hi) { return {Check::Kind::kRange, lo, hi, {}}; }
constexpr Check AtLeast(std::int64_t lo) { return Range(lo, Check::kNoLimit); }
constexpr Check Length(std::int64_t lo, std::int64_t hi) { return {Check::Kind::kLength, lo, hi, {}}; }
constexpr Check Exactly(std::int64_t n) { return Length(n, n); }
constexpr Check AtMost(std::int64_t n) { return Length(0, n); }
constexpr Check MinLength(std::int64_t n) { return Length(n, Check::kNoLimit); }
constexpr Check Words(std::string_view a, std::string_view b = {}, std::string_view c = {},
                      std::string_view d = {}) {
  return {Check::Kind::kWords, 0, 0, {a, b, c, d}};
}

// How an accepted value becomes the bytes of its send field.
enum class Encoding : std::uint8_t {
  kDecimal,  // "%d"
  kRaw,      // the bytes as given
  kAnsi,     // the text in the ANSI code page
  kPadded,   // the bytes, padded with 0x00 to the check's upper length
  kRelay,    // the bytes; an empty array travels as one 0x00 byte
  kKept,     // not sent as given: the command's own conversation uses it
  kPacked,   // an object's members as digits, each zero-padded to its width
};

// How the integer members of an object key make one field, and how that
// field comes back apart. Each member is written as decimal digits
// zero-padded to its width, so the field splits again by the widths.
enum class Packing : std::uint8_t {
  kNone,
  kEvent,  // a report event: enable, week, hour, minute as "%d%d%02d%02d"
};

struct PackedMember {
  std::string_view name;
  std::int64_t lo;
  std::int64_t hi;
  int width;
};

inline constexpr std::array<PackedMember, 4> kEventMembers{{
    {"enable", 0, 1, 1}, {"week", 0, 7, 1}, {"hour", 0, 23, 2}, {"minute", 0, 59, 2}}};

// The members of a packing, in field order; empty for kNone.
constexpr std::span<const PackedMember> PackedMembers(Packing packing) {
  switch (packing) {
    case Packing::kNone: return {};
    case Packing::kEvent: return kEventMembers;
  }
  return {};
}

// A field set to a fixed value.
struct FixedField {
  std::string_view field;
  std::string_view value;
};

struct ArgDef {
  std::string_view key;  // argument key (a dotted path) and the name in errors
  Reader reader = Reader::kInteger;
  Need need = Need::kOptional;
  Check check;
  std::string_view field;  // send field; empty for kKept
  Encoding encoding = Encoding::kDecimal;
  FixedField alsoSets{};   // another field set when this key is given
  Packing packing = Packing::kNone;  // Reader::kObject: how its members make the field
  // The value is a secret (a password, a key): records, exports, logs and
  // printed answers say it was there, never what it is.
  bool secret = false;
};

// How a result member is made from the last answer.
enum class Member : std::uint8_t {
  kBytes,      // the field's bytes as an array of numbers
  kNumber,     // decimal text as a number (atoi rules)
  kHexNumber,  // hexadecimal text ("0x" + text, strtoul) as a number
  kHex8,       // hexadecimal text as eight upper-case hex digits
  kText,       // text in the ANSI code page as a string
  kSignals,    // LEVEL: {number, level, battery} per 3 bytes, stably sorted by number
  kLogs,       // event-log records collected by the conversation
  kRecorded,   // Header, Data, FirstDataTime, LastDataTime collected by the conversation
  kUnpacked,   // an object of the members of ResultDef::packing
};

enum class When : std::uint8_t {
  kPresent,  // whenever the last answer carries the field
  kSuccess,  // only when the command ended normally and succeeded
};

struct ResultDef {
  std::string_view name;  // the member (several for kRecorded: see Member)
  std::string_view field; // the answer field it comes from
  Member kind = Member::kBytes;
  When when = When::kPresent;
  Packing packing = Packing::kNone;  // Member::kUnpacked
};

// Hook values that differ from the family's defaults (0: the default).
struct Timing {
  int recvTimeoutMs = 0;          // answer time-out of the first exchange
  int followUpTimeoutMs = 0;      // answer time-out of follow-up exchanges
  int intervalMs = 0;             // pause before a follow-up exchange
  int settledIntervalMs = 0;      // the pause once the conversation is under way (EWSUC)
  int limitMs = 0;                // longest the conversation may wait (verify loops, EWSUC)
};

struct CommandRow {
  std::string_view name;
  StatusCode success;
  Family family = Family::kPlain;
  std::span<const ArgDef> args;        // in reading order
  std::span<const ResultDef> results;
  std::span<const FixedField> fixed;    // sent with every first request
  // Exchanges beyond the family pattern; such a command has its own class.
  std::string_view conversation;
  std::string_view summary;             // one line for --list and the docs
  Timing timing;
  std::span<const int> models;          // model codes accepted; empty: the usual ones
};

// ---- builders for the row tables ----------------------------------------

constexpr ArgDef Int(std::string_view key, Need need, Check check, std::string_view field = {}) {
  return {key, Reader::kInteger, need, check, field.empty() ? key : field, Encoding::kDecimal, {}};
}
constexpr ArgDef IntKept(std::string_view key, Need need, Check check) {
  return {key, Reader::kInteger, need, check, {}, Encoding::kKept, {}};
}
constexpr ArgDef Bytes(std::string_view key, Need need, Check check, std::string_view field = {},
                        Encoding encoding = Encoding::kRaw) {
  return {key, Reader::kBytes, need, check, field.empty() ? key : field, encoding, {}};
}
constexpr ArgDef BytesKept(std::string_view key, Need need, Check check) {
  return {key, Reader::kBytes, need, check, {}, Encoding::kKept, {}};
}
constexpr ArgDef Text(std::string_view key, Need need, Check check, std::string_view field = {},
                       Encoding encoding = Encoding::kAnsi) {
  return {key, Reader::kText, need, check, field.empty() ? key : field, encoding, {}};
}
constexpr ArgDef Packed(std::string_view key, Need need, Packing packing, std::string_view field = {}) {
  return {key, Reader::kObject, need, Any(), field.empty() ? key : field, Encoding::kPacked, {}, packing};
}
constexpr ArgDef Secret(ArgDef def) {
  def.secret = true;
  return def;
}
constexpr ArgDef AlsoSets(ArgDef def, std::string_view field, std::string_view value) {
  def.alsoSets = {field, value};
  return def;
}

inline constexpr Need kReq = Need::kRequired;
inline constexpr Need kOpt = Need::kOptional;

// Joins argument lists: the shared addressing keys, then a command's own.
template <std::size_t A, std::size_t B>
constexpr std::array<ArgDef, A + B> Join(const std::array<ArgDef, A>& a, const std::array<ArgDef, B>& b) {
  std::array<ArgDef, A + B> out{};
  for (std::size_t i = 0; i < A; ++i) out[i] = a[i];
  for (std::size_t i = 0; i < B; ++i) out[A + i] = b[i];
  return out;
}

// The members a read answers for the keys a write takes: numbers for
// integers, strings for text, byte arrays for bytes, objects for packed keys.
template <std::size_t N>
constexpr std::array<ResultDef, N> ReadBack(const std::array<ArgDef, N>& args) {
  std::array<ResultDef, N> out{};
  for (std::size_t i = 0; i < N; ++i) {
    const ArgDef& a = args[i];
    Member kind = Member::kBytes;
    if (a.reader == Reader::kInteger) kind = Member::kNumber;
    if (a.reader == Reader::kText) kind = Member::kText;
    if (a.reader == Reader::kObject) kind = Member::kUnpacked;
    out[i] = {a.key, a.field, kind, When::kPresent, a.packing};
  }
  return out;
}

}  // namespace com::vantor::catalogue

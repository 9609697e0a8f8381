#include "vantor/com/KindText.h"

namespace com::vantor::catalogue {

const char* ReaderText(Reader reader) {
  switch (reader) {
    case Reader::kInteger: return "integer";
    case Reader::kBytes: return "array of bytes (0..255)";
    case Reader::kText: return "string (length counted in CP932 bytes)";
    case Reader::kObject: return "object";
  }
  return "?";
}

const char* EncodingText(Encoding encoding) {
  switch (encoding) {
    case Encoding::kDecimal: return "decimal text";
    case Encoding::kRaw: return "raw bytes";
    case Encoding::kAnsi: return "ANSI text";
    case Encoding::kPadded: return "raw, padded with 0x00";
    case Encoding::kRelay: return "raw; [] is one 0x00 byte";
    case Encoding::kKept: return "used by the conversation";
    case Encoding::kPacked: return "members as digits zero-padded to widths";
  }
  return "?";
}

std::string PackedWidths(Packing packing) {
  std::string out;
  for (const PackedMember& m : PackedMembers(packing)) {
    out += (out.empty() ? "" : ", ") + std::string(m.name) + " (" + std::to_string(m.width) + ")";
  }
  return out;
}

std::string MemberText(const ResultDef& r, std::string_view quote) {
  const std::string q(quote);
  const std::string name = q + std::string(r.name) + q + ": ";
  const std::string field(r.field);
  switch (r.kind) {
    case Member::kBytes: return name + "array of bytes from " + field;
    case Member::kNumber: return name + "number from " + field;
    case Member::kHexNumber: return name + "number from hexadecimal " + field;
    case Member::kHex8: return name + "eight upper-case hex digits from " + field;
    case Member::kText: return name + "string from " + field;
    case Member::kSignals:
      return q + "Signals" + q + ": [{number, level, battery}] from LEVEL, 3 bytes each, stably sorted by number";
    case Member::kLogs:
      return q + "logs" + q + ": [{number, category, utctime, localtime, str}]; times beyond 2^53 as decimal text";
    case Member::kRecorded:
      return q + "Header" + q + ", " + q + "Data" + q + " (byte arrays), " + q + "FirstDataTime" + q + ", " + q +
             "LastDataTime" + q + " (Unix seconds)";
    case Member::kUnpacked:
      return name + "object of numbers split from " + field + " by width: " + PackedWidths(r.packing);
  }
  return "?";
}

}  // namespace com::vantor::catalogue

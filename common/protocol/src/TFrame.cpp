#include "vantor/com/TFrame.h"

namespace com::vantor {
namespace {

constexpr std::size_t kHeaderSize = 2;  // "T" and the form byte
constexpr std::size_t kValueLengthSize = 2;

void AppendLittleEndian(Bytes& out, std::uint64_t value, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
}

std::uint64_t ReadLittleEndian(std::string_view bytes, std::size_t size) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < size; ++i) {
    value |= std::uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
  }
  return value;
}

std::uint32_t NarrowChecksum(std::uint32_t sum, std::size_t size) {
  return size >= 4 ? sum : sum & ((std::uint32_t{1} << (8 * size)) - 1);
}

}  // namespace

std::optional<LengthForm> LengthFormOf(char byte) {
  switch (byte) {
    case '1': return LengthForm::One;
    case '2': return LengthForm::Two;
    case '4': return LengthForm::Four;
    case 'E': return LengthForm::E;
    default: return std::nullopt;
  }
}

std::size_t LengthFieldSize(LengthForm form) {
  switch (form) {
    case LengthForm::One: return 1;
    case LengthForm::Two: return 2;
    default: return 4;
  }
}

std::size_t ChecksumSize(LengthForm form) {
  return form == LengthForm::E ? 0 : LengthFieldSize(form);
}

std::uint64_t MaxBodyLength(LengthForm form) {
  return (std::uint64_t{1} << (8 * LengthFieldSize(form))) - 1;
}

std::uint32_t ByteSum(std::string_view bytes) {
  std::uint32_t sum = 0;
  for (unsigned char byte : bytes) sum += byte;
  return sum;
}

std::optional<std::string_view> TBody::Find(std::string_view key) const {
  auto it = fields.find(std::string(key));
  if (it == fields.end()) return std::nullopt;
  return std::string_view(it->second);
}

std::optional<Bytes> BuildBody(std::string_view name, const FieldMap& fields) {
  Bytes body(name);
  body.push_back(':');
  for (const auto& [key, value] : fields) {
    if (value.size() > 0xFFFF) return std::nullopt;
    body.append(key);
    body.push_back('=');
    AppendLittleEndian(body, value.size(), kValueLengthSize);
    body.append(value);
  }
  return body;
}

std::optional<Bytes> WrapBody(std::string_view body, LengthForm form) {
  if (body.size() > MaxBodyLength(form)) return std::nullopt;
  Bytes frame;
  frame.reserve(kHeaderSize + LengthFieldSize(form) + body.size() + ChecksumSize(form));
  frame.push_back('T');
  frame.push_back(static_cast<char>(form));
  AppendLittleEndian(frame, body.size(), LengthFieldSize(form));
  frame.append(body);
  AppendLittleEndian(frame, ByteSum(body), ChecksumSize(form));
  return frame;
}

std::optional<Bytes> BuildFrame(std::string_view name, const FieldMap& fields, LengthForm form) {
  auto body = BuildBody(name, fields);
  if (!body) return std::nullopt;
  return WrapBody(*body, form);
}

FrameProbe ProbeFrame(std::string_view buffer) {
  FrameProbe probe;
  if (buffer.empty()) return probe;
  if (buffer[0] != 'T') return {FrameProbe::State::kInvalid, 0};
  if (buffer.size() < kHeaderSize) return probe;
  auto form = LengthFormOf(buffer[1]);
  if (!form) return {FrameProbe::State::kInvalid, 0};
  std::size_t lengthSize = LengthFieldSize(*form);
  if (buffer.size() < kHeaderSize + lengthSize) return probe;
  std::uint64_t bodyLength = ReadLittleEndian(buffer.substr(kHeaderSize), lengthSize);
  probe.length = kHeaderSize + lengthSize + bodyLength + ChecksumSize(*form);
  if (buffer.size() >= probe.length) probe.state = FrameProbe::State::kComplete;
  return probe;
}

std::optional<std::string_view> UnwrapFrame(std::string_view frame) {
  // The shortest frame with a length field and any checksum is 5 bytes.
  if (frame.size() < 5 || frame[0] != 'T') return std::nullopt;
  auto form = LengthFormOf(frame[1]);
  if (!form) return std::nullopt;
  std::size_t lengthSize = LengthFieldSize(*form);
  std::size_t checksumSize = ChecksumSize(*form);
  std::size_t bodyOffset = kHeaderSize + lengthSize;
  if (frame.size() < bodyOffset) return std::nullopt;
  std::uint64_t bodyLength = ReadLittleEndian(frame.substr(kHeaderSize), lengthSize);
  if (frame.size() - bodyOffset != bodyLength + checksumSize) return std::nullopt;
  std::string_view body = frame.substr(bodyOffset, bodyLength);
  if (checksumSize > 0) {
    auto expected = ReadLittleEndian(frame.substr(bodyOffset + bodyLength), checksumSize);
    if (expected != NarrowChecksum(ByteSum(body), checksumSize)) return std::nullopt;
  }
  return body;
}

std::optional<TBody> ParseBody(std::string_view body) {
  auto colon = body.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  TBody parsed;
  parsed.name = std::string(body.substr(0, colon));
  std::string_view rest = body.substr(colon + 1);
  while (!rest.empty()) {
    auto equals = rest.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    std::string key(rest.substr(0, equals));
    rest.remove_prefix(equals + 1);
    if (rest.size() < kValueLengthSize) return std::nullopt;
    std::size_t valueLength = ReadLittleEndian(rest, kValueLengthSize);
    rest.remove_prefix(kValueLengthSize);
    if (rest.size() < valueLength) return std::nullopt;
    parsed.fields[std::move(key)] = Bytes(rest.substr(0, valueLength));
    rest.remove_prefix(valueLength);
  }
  return parsed;
}

std::optional<TBody> ParseFrame(std::string_view frame) {
  auto body = UnwrapFrame(frame);
  if (!body) return std::nullopt;
  return ParseBody(*body);
}

}  // namespace com::vantor

#pragma once
// The T frame: the text-keyed frame every request to and answer from a base
// unit travels in. One codec for the program, the communication library and
// the simulator: requests and answers share the same layout.
//
//   "T", length form, body length, body, checksum      (numbers little-endian)
//   form "1": 1-byte length, 1-byte checksum (sum of body bytes mod 2^8)
//   form "2": 2-byte length, 2-byte checksum (mod 2^16)
//   form "4": 4-byte length, 4-byte checksum (mod 2^32)
//   form "E": 4-byte length, no checksum
//   body: name ":" { key "=" value-length(2 bytes) value }

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace com::vantor {

// Byte strings travel in std::string; std::map<std::string, …> orders keys by
// unsigned byte value, which is the order fields are written in.
using Bytes = std::string;
using FieldMap = std::map<std::string, Bytes>;

enum class LengthForm : char { One = '1', Two = '2', Four = '4', E = 'E' };

// The form selected by the second frame byte, or none for an unknown byte.
std::optional<LengthForm> LengthFormOf(char byte);
// Bytes of the length field and of the checksum of a form.
std::size_t LengthFieldSize(LengthForm form);
std::size_t ChecksumSize(LengthForm form);
// Largest body a form can carry.
std::uint64_t MaxBodyLength(LengthForm form);

// A parsed body: its name and fields (a repeated key keeps its last value).
struct TBody {
  std::string name;
  FieldMap fields;

  // The value of a field, or none when absent.
  std::optional<std::string_view> Find(std::string_view key) const;
};

// ---- building ----------------------------------------------------------

// The body of a frame; none when a value is 65536 bytes or longer (its
// 2-byte length could not say so).
std::optional<Bytes> BuildBody(std::string_view name, const FieldMap& fields);
// A whole frame around a body; none when the body is too long for the form.
std::optional<Bytes> WrapBody(std::string_view body, LengthForm form);
// Both steps at once: the frame of a name and its fields.
std::optional<Bytes> BuildFrame(std::string_view name, const FieldMap& fields,
                                LengthForm form = LengthForm::Two);

// ---- parsing -----------------------------------------------------------

// The body of a complete frame after every check (first byte, form, exact
// length, checksum); none when any fails. The view points into `frame`.
std::optional<std::string_view> UnwrapFrame(std::string_view frame);
// Splits a body into name and fields; none when it does not end exactly
// after its last value (key without "=", short length, value past the end).
std::optional<TBody> ParseBody(std::string_view body);
// Both steps at once.
std::optional<TBody> ParseFrame(std::string_view frame);

// ---- reading from a byte stream ---------------------------------------

// What the start of a stream buffer holds.
struct FrameProbe {
  enum class State {
    kNeedMore,  // not yet enough bytes to tell; `length` is 0 or the full size once known
    kComplete,  // a whole frame of `length` bytes starts the buffer
    kInvalid,   // the first byte is not "T" or the form is unknown
  };
  State state = State::kNeedMore;
  // The whole frame's size (header, body and checksum) when known. Up to
  // 6 + 2^32 - 1 + 4 bytes, so never allocate from it unchecked.
  std::uint64_t length = 0;
};

// Looks at the beginning of `buffer` only; never reads past it.
FrameProbe ProbeFrame(std::string_view buffer);

// Sum of bytes, each taken as 0..255, modulo 2^32 (callers narrow it).
std::uint32_t ByteSum(std::string_view bytes);

}  // namespace com::vantor

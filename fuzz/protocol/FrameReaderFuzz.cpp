// Feeds arbitrary bytes, in arbitrary pieces, through the stream frame
// reader the transports use, with a capacity taken from the input.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vantor/com/TFrame.h"
#include "vantor/com/TFrameReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  std::size_t capacity = (std::size_t{data[0]} << 8 | data[1]) + 1;
  std::size_t piece = static_cast<std::size_t>(data[2] % 64) + 1;
  std::string_view stream(reinterpret_cast<const char*>(data + 3), size - 3);
  com::vantor::TFrameReader reader;
  com::vantor::Bytes frame;
  std::size_t delivered = 0;
  while (!stream.empty()) {
    std::string_view chunk = stream.substr(0, piece);
    stream.remove_prefix(chunk.size());
    reader.Append(chunk);
    for (;;) {
      auto status = reader.Next(capacity, frame);
      if (status == com::vantor::TFrameReader::Status::kFrame) {
        if (frame.size() > capacity || frame[0] != 'T') std::abort();
        if (com::vantor::ProbeFrame(frame).length != frame.size()) std::abort();
        delivered += frame.size();
        continue;
      }
      if (status == com::vantor::TFrameReader::Status::kNeedMore) break;
      if (status == com::vantor::TFrameReader::Status::kInvalid && reader.Buffered() != 0) std::abort();
    }
    // Never holds more than one frame's worth (or a length field still
    // being read) plus the last piece.
    if (reader.Buffered() > std::max<std::size_t>(capacity, 6) + piece) std::abort();
  }
  if (delivered > size) std::abort();
  return 0;
}

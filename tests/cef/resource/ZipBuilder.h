#pragma once
// Builds ZIP archives in memory for the tests, with knobs to damage them.

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lmtest {

struct ZipEntry {
  ZipEntry(std::string n, std::string d, uint16_t m = 8, std::optional<uint32_t> c = std::nullopt,
           std::optional<uint32_t> cs = std::nullopt, std::optional<uint32_t> s = std::nullopt)
      : name(std::move(n)), data(std::move(d)), method(m), crc(c), compressedSize(cs), size(s) {}
  std::string name;
  std::string data;
  uint16_t method = 8;  // 0 stored, 8 deflated, anything else as given
  std::optional<uint32_t> crc;             // overrides the real CRC
  std::optional<uint32_t> compressedSize;  // overrides in the central record
  std::optional<uint32_t> size;
};

class ZipBuilder {
 public:
  ZipBuilder& Add(ZipEntry e) {
    entries_.push_back(std::move(e));
    return *this;
  }
  ZipBuilder& Comment(std::string c) {
    comment_ = std::move(c);
    return *this;
  }
  // Entry count written to the end record (default: the real count).
  ZipBuilder& DeclaredCount(uint16_t n) {
    count_ = n;
    return *this;
  }

  std::string Build() const {
    std::string out, dir;
    for (const auto& e : entries_) {
      std::string payload = e.method == 8 ? Deflate(e.data) : e.data;
      uint32_t crc = e.crc.value_or(Crc(e.data));
      uint32_t csize = e.compressedSize.value_or(static_cast<uint32_t>(payload.size()));
      uint32_t usize = e.size.value_or(static_cast<uint32_t>(e.data.size()));
      uint32_t offset = static_cast<uint32_t>(out.size());
      Put32(out, 0x04034b50); Put16(out, 20); Put16(out, 0); Put16(out, e.method);
      Put32(out, 0); Put32(out, crc); Put32(out, csize); Put32(out, usize);
      Put16(out, static_cast<uint16_t>(e.name.size())); Put16(out, 0);
      out += e.name;
      out += payload;
      Put32(dir, 0x02014b50); Put16(dir, 20); Put16(dir, 20); Put16(dir, 0); Put16(dir, e.method);
      Put32(dir, 0); Put32(dir, crc); Put32(dir, csize); Put32(dir, usize);
      Put16(dir, static_cast<uint16_t>(e.name.size())); Put16(dir, 0); Put16(dir, 0);
      Put16(dir, 0); Put16(dir, 0); Put32(dir, 0); Put32(dir, offset);
      dir += e.name;
    }
    uint32_t dirOffset = static_cast<uint32_t>(out.size());
    out += dir;
    Put32(out, 0x06054b50); Put16(out, 0); Put16(out, 0);
    uint16_t n = count_.value_or(static_cast<uint16_t>(entries_.size()));
    Put16(out, n); Put16(out, n);
    Put32(out, static_cast<uint32_t>(dir.size())); Put32(out, dirOffset);
    Put16(out, static_cast<uint16_t>(comment_.size()));
    out += comment_;
    return out;
  }

  static std::string Deflate(const std::string& data) {
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, data.size()), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
  }
  static uint32_t Crc(const std::string& data) {
    return static_cast<uint32_t>(
        crc32(crc32(0, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
  }
  static void Put16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
  }
  static void Put32(std::string& s, uint32_t v) {
    Put16(s, static_cast<uint16_t>(v & 0xFFFF));
    Put16(s, static_cast<uint16_t>(v >> 16));
  }

 private:
  std::vector<ZipEntry> entries_;
  std::string comment_;
  std::optional<uint16_t> count_;
};

}  // namespace lmtest

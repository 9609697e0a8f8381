#include "vantor/zip/ZipLoader.h"

#include <zlib.h>

#include <cstring>
#include <fstream>
#include <optional>

namespace vantor::zip {
namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kRecordSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndSize = 22;
constexpr size_t kRecordSize = 46;
constexpr size_t kLocalSize = 30;
// The end record sits at most its own size plus the longest comment from the end.
constexpr uint64_t kLongestTail = kEndSize + 0xFFFF;
// Deflate cannot expand data by more than this ratio.
constexpr uint64_t kMaxInflateRatio = 1032;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool Inflate(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return false;
  uint8_t dummy = 0;
  zs.next_in = const_cast<Bytef*>(in.empty() ? &dummy : in.data());
  zs.avail_in = static_cast<uInt>(in.size());
  zs.next_out = out.empty() ? &dummy : out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  int rc = inflate(&zs, Z_FINISH);
  uLong produced = zs.total_out;
  inflateEnd(&zs);
  return (rc == Z_STREAM_END || rc == Z_OK) && produced == out.size();
}

}  // namespace

int ZipLoader::Open(const std::filesystem::path& path) {
  if (opened_) return kOk;
  auto file = std::make_unique<std::ifstream>(path, std::ios::binary);
  if (!*file) return kCannotOpen;
  return OpenStream(std::move(file), path);
}

int ZipLoader::OpenStream(std::unique_ptr<std::istream> stream, const std::filesystem::path& name) {
  std::lock_guard lock(mutex_);
  if (opened_) return kOk;
  if (!stream || !*stream) return kCannotOpen;
  stream_ = std::move(stream);
  stream_->seekg(0, std::ios::end);
  auto end = stream_->tellg();
  if (end < 0) return kCannotOpen;
  fileSize_ = static_cast<uint64_t>(end);

  uint64_t dirOffset = 0;
  uint32_t dirSize = 0;
  uint16_t count = 0;
  if (int rc = FindDirectory(dirOffset, dirSize, count); rc != kOk) return rc;
  directory_.resize(dirSize);
  if (!ReadAt(dirOffset, directory_.data(), dirSize)) return kBadEndRecord;
  if (int rc = WalkDirectory(count); rc != kOk) {
    entries_.clear();
    return rc;
  }
  path_ = name;
  opened_ = true;
  return kOk;
}

bool ZipLoader::ReadAt(uint64_t offset, void* buffer, size_t length) {
  if (offset > fileSize_ || length > fileSize_ - offset) return false;
  if (length == 0) return true;
  stream_->clear();
  stream_->seekg(static_cast<std::streamoff>(offset));
  stream_->read(static_cast<char*>(buffer), static_cast<std::streamsize>(length));
  return static_cast<size_t>(stream_->gcount()) == length;
}

// Searches the tail of the file forwards, so that a signature inside the
// archive comment never wins over the record the comment belongs to. The
// first candidate whose comment ends exactly at the end of the file is taken;
// failing that (bytes appended after the archive), the first one that fits.
// A candidate fits when its fixed part and comment lie inside the file and
// its directory lies before it.
int ZipLoader::FindDirectory(uint64_t& dirOffset, uint32_t& dirSize, uint16_t& count) {
  const uint64_t start = fileSize_ > kLongestTail ? fileSize_ - kLongestTail : 0;
  std::vector<uint8_t> tail(fileSize_ - start);
  if (!ReadAt(start, tail.data(), tail.size())) return kNoEndRecord;
  bool sawSignature = false;
  std::optional<size_t> exact, fitting;
  for (size_t i = 0; i + 4 <= tail.size(); ++i) {
    if (U32(&tail[i]) != kEndSignature) continue;
    sawSignature = true;
    const size_t remaining = tail.size() - i;
    if (remaining < kEndSize || kEndSize + U16(&tail[i + 20]) > remaining) continue;
    if (uint64_t{U32(&tail[i + 16])} + U32(&tail[i + 12]) > start + i) continue;  // directory not before it
    if (kEndSize + U16(&tail[i + 20]) == remaining) {
      exact = i;
      break;
    }
    if (!fitting) fitting = i;
  }
  const std::optional<size_t> chosen = exact ? exact : fitting;
  if (!chosen) return sawSignature ? kBadEndRecord : kNoEndRecord;
  const uint8_t* end = &tail[*chosen];
  count = U16(end + 10);
  dirSize = U32(end + 12);
  dirOffset = U32(end + 16);
  return kOk;
}

int ZipLoader::WalkDirectory(uint16_t count) {
  size_t pos = 0;
  const size_t size = directory_.size();
  for (uint32_t i = 0; i < count; ++i) {
    if (pos >= size) return kRecordPastEnd;
    if (size - pos < kRecordSize) return kBadRecord;
    const uint8_t* rec = &directory_[pos];
    if (U32(rec) != kRecordSignature) return kBadRecord;
    size_t nameLen = U16(rec + 28);
    size_t variable = nameLen + U16(rec + 30) + U16(rec + 32);
    if (variable > size - pos - kRecordSize) return kBadRecord;
    entries_[std::string(reinterpret_cast<const char*>(rec + kRecordSize), nameLen)] = pos;
    pos += kRecordSize + variable;
  }
  return kOk;
}

ZipLoader::Record ZipLoader::RecordAt(size_t position) const {
  const uint8_t* rec = &directory_[position];
  return Record{U16(rec + 10), U32(rec + 16), U32(rec + 20), U32(rec + 24), U32(rec + 42)};
}

std::vector<std::string> ZipLoader::EntryNames() const {
  std::vector<std::string> names;
  for (const auto& [name, pos] : entries_) names.push_back(name);
  return names;
}

// Reads an entry's compressed bytes after checking that they lie inside the file.
int ZipLoader::ReadData(const Record& record, std::vector<uint8_t>& data) {
  uint8_t local[kLocalSize];
  if (!ReadAt(record.localOffset, local, kLocalSize) || U32(local) != kLocalSignature) return kReadFailed;
  uint64_t dataOffset = uint64_t{record.localOffset} + kLocalSize + U16(local + 26) + U16(local + 28);
  if (dataOffset > fileSize_ || record.compressedSize > fileSize_ - dataOffset) return kReadFailed;
  data.resize(record.compressedSize);
  return ReadAt(dataOffset, data.data(), data.size()) ? kOk : kReadFailed;
}

int ZipLoader::Read(const std::string& entry, std::vector<uint8_t>& out) {
  out.clear();
  std::lock_guard lock(mutex_);
  auto it = entries_.find(entry);
  if (!opened_ || it == entries_.end()) return kReadFailed;
  if (!entry.empty() && entry.back() == '/') return kOk;
  const Record record = RecordAt(it->second);

  if (record.method == 0) {
    if (record.compressedSize != record.size) return kReadFailed;
  } else if (record.method == 8) {
    if (record.size > uint64_t{record.compressedSize} * kMaxInflateRatio + 64) return kReadFailed;
  } else {
    return kReadFailed;
  }
  std::vector<uint8_t> data;
  if (ReadData(record, data) != kOk) return kReadFailed;
  if (record.method == 0) {
    out = std::move(data);
  } else {
    out.resize(record.size);
    if (!Inflate(data, out)) {
      out.clear();
      return kReadFailed;
    }
  }
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, out.empty() ? Z_NULL : out.data(), static_cast<uInt>(out.size()));
  if (static_cast<uint32_t>(crc) != record.crc) {
    out.clear();
    return kCrcMismatch;
  }
  return kOk;
}

}  // namespace vantor::zip

#pragma once
// Reads one ZIP archive: finds and walks its central directory on Open, then
// reads stored or deflated entries by exact name. Safe to use from several
// threads: each Read holds the loader's lock while it seeks and reads.

#include <cstdint>
#include <filesystem>
#include <istream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vantor::zip {

class ZipLoader {
 public:
  // Open results.
  static constexpr int kOk = 0;
  static constexpr int kCannotOpen = -1;      // the file cannot be read
  static constexpr int kNoEndRecord = -2;     // no end-of-central-directory signature
  static constexpr int kBadEndRecord = -3;    // end record truncated, or directory outside the file
  static constexpr int kRecordPastEnd = -4;   // fewer records than the count says
  static constexpr int kBadRecord = -5;       // short record, wrong signature, overlong names
  // Read results.
  static constexpr int kReadFailed = -1;      // missing entry, bad data, unsupported method
  static constexpr int kCrcMismatch = -2;

  ZipLoader() = default;
  ZipLoader(const ZipLoader&) = delete;
  ZipLoader& operator=(const ZipLoader&) = delete;

  // Opens the archive at `path`; 0 at once when already open.
  int Open(const std::filesystem::path& path);
  // Same over an in-memory or other seekable stream (tests, fuzzing).
  int OpenStream(std::unique_ptr<std::istream> stream, const std::filesystem::path& name = {});

  // Reads one entry by its exact name. A directory entry ("…/") gives no bytes.
  int Read(const std::string& entry, std::vector<uint8_t>& out);

  bool IsOpen() const { return opened_; }
  bool Has(const std::string& entry) const { return entries_.count(entry) != 0; }
  std::vector<std::string> EntryNames() const;
  const std::filesystem::path& Path() const { return path_; }

 private:
  struct Record {
    uint16_t method;
    uint32_t crc;
    uint32_t compressedSize;
    uint32_t size;
    uint32_t localOffset;
  };

  int FindDirectory(uint64_t& dirOffset, uint32_t& dirSize, uint16_t& count);
  int WalkDirectory(uint16_t count);
  bool ReadAt(uint64_t offset, void* buffer, size_t length);
  Record RecordAt(size_t position) const;
  int ReadData(const Record& record, std::vector<uint8_t>& data);

  std::mutex mutex_;
  std::unique_ptr<std::istream> stream_;
  uint64_t fileSize_ = 0;
  bool opened_ = false;
  std::filesystem::path path_;
  std::vector<uint8_t> directory_;
  std::map<std::string, size_t> entries_;  // name -> record position in directory_
};

}  // namespace vantor::zip

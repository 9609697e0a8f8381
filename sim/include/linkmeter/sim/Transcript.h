#pragma once
// Every frame a simulated unit receives and sends, time-stamped and in hex,
// written as lines to a stream (a file, stderr) and kept for tests.

#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace linkmeter::sim {

struct TranscriptEntry {
  enum class Direction { kReceived, kSent, kNote };
  std::uint32_t unit = 0;
  Direction direction = Direction::kReceived;
  std::chrono::steady_clock::time_point time;
  std::string bytes;  // the frame, or the note's text
};

class Transcript {
 public:
  // Where lines go: nothing (the default), a stream the caller keeps alive, or a file.
  void WriteTo(std::ostream* stream);
  bool WriteToFile(const std::string& path);
  // Whether entries are also kept in memory (tests); on by default.
  void Keep(bool keep);

  void Received(std::uint32_t unit, const std::string& frame);
  void Sent(std::uint32_t unit, const std::string& frame);
  void Note(std::uint32_t unit, const std::string& text);

  std::vector<TranscriptEntry> Entries() const;
  void Clear();

  // "54 32 06 00 …"
  static std::string Hex(const std::string& bytes);

 private:
  void Add(TranscriptEntry entry);

  mutable std::mutex mutex_;
  std::ostream* stream_ = nullptr;
  std::unique_ptr<std::ofstream> file_;
  bool keep_ = true;
  std::vector<TranscriptEntry> entries_;
};

}  // namespace linkmeter::sim

#include "linkmeter/sim/Transcript.h"

#include <ctime>

#include "lm/Text.h"

namespace linkmeter::sim {
namespace {

std::string WallStamp() {
  auto now = std::chrono::system_clock::now();
  auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
  std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  return lm::text::Format("%04d-%02d-%02dT%02d:%02d:%02d.%06dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                          tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(micros % 1000000));
}

const char* DirectionText(TranscriptEntry::Direction d) {
  switch (d) {
    case TranscriptEntry::Direction::kReceived: return "rx";
    case TranscriptEntry::Direction::kSent: return "tx";
    case TranscriptEntry::Direction::kNote: return "--";
  }
  return "";
}

}  // namespace

void Transcript::WriteTo(std::ostream* stream) {
  std::lock_guard lock(mutex_);
  file_.reset();
  stream_ = stream;
}

bool Transcript::WriteToFile(const std::string& path) {
  auto file = std::make_unique<std::ofstream>(path, std::ios::app);
  if (!*file) return false;
  std::lock_guard lock(mutex_);
  file_ = std::move(file);
  stream_ = file_.get();
  return true;
}

void Transcript::Keep(bool keep) {
  std::lock_guard lock(mutex_);
  keep_ = keep;
  if (!keep) entries_.clear();
}

void Transcript::Received(std::uint32_t unit, const std::string& frame) {
  Add({unit, TranscriptEntry::Direction::kReceived, std::chrono::steady_clock::now(), frame});
}
void Transcript::Sent(std::uint32_t unit, const std::string& frame) {
  Add({unit, TranscriptEntry::Direction::kSent, std::chrono::steady_clock::now(), frame});
}
void Transcript::Note(std::uint32_t unit, const std::string& text) {
  Add({unit, TranscriptEntry::Direction::kNote, std::chrono::steady_clock::now(), text});
}

void Transcript::Add(TranscriptEntry entry) {
  std::lock_guard lock(mutex_);
  if (stream_) {
    const bool note = entry.direction == TranscriptEntry::Direction::kNote;
    *stream_ << WallStamp() << ' ' << lm::text::Format("%08X", entry.unit) << ' '
             << DirectionText(entry.direction) << ' ' << (note ? entry.bytes : Hex(entry.bytes)) << '\n';
    stream_->flush();
  }
  if (keep_) entries_.push_back(std::move(entry));
}

std::vector<TranscriptEntry> Transcript::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

void Transcript::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

std::string Transcript::Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (unsigned char b : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

}  // namespace linkmeter::sim

#pragma once
// The log lines of one run, kept in UTF-8 and written at the end of the run
// to the log file in the ANSI code page, each line ending with CR LF.

#include <string>
#include <vector>

namespace netseek {

class RunLog {
 public:
  void Add(std::string line);
  const std::vector<std::string>& Lines() const { return lines_; }
  void Clear() { lines_.clear(); }

  // Creates the file anew and writes every line. A file that cannot be
  // created is skipped silently: the log must never fail a run.
  bool WriteTo(const std::string& path) const;

  // The bytes the file gets: each line in CP932 followed by "\r\n".
  std::string Encode() const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace netseek

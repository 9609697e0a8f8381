#include "RunLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "lm/Text.h"

namespace netseek {

void RunLog::Add(std::string line) { lines_.push_back(std::move(line)); }

std::string RunLog::Encode() const {
  std::string bytes;
  for (const std::string& line : lines_) {
    // Every text we log is convertible; keep the raw line should one not be.
    bytes += lm::text::TryUtf8ToAnsi(line).value_or(line);
    bytes += "\r\n";
  }
  return bytes;
}

bool RunLog::WriteTo(const std::string& path) const {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::string bytes = Encode();
  std::size_t done = 0;
  bool ok = true;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) ok = false;
  return ok;
}

}  // namespace netseek

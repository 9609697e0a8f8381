#include "linkmeter/cli/PendingWritesFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

namespace linkmeter::cli {
namespace {

// A list far larger than any run makes is no list of ours.
constexpr std::uintmax_t kMaxBytes = 256u * 1024 * 1024;

struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

PendingWritesFile::PendingWritesFile(const std::filesystem::path& storePath)
    : path_(std::filesystem::path(storePath).replace_extension(".pending.json")) {}

std::string PendingWritesFile::Load() const {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path_, ec);
  if (ec || size > kMaxBytes) return {};
  std::ifstream in(path_, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return in ? text.str() : std::string();
}

bool PendingWritesFile::Save(const std::string& text) const {
  std::error_code ec;
  if (text.empty()) {
    std::filesystem::remove(path_, ec);
    return !ec;
  }
  std::filesystem::path temp = path_;
  temp += ".new";
  {
    Fd out{::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)};
    if (out.fd < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::write(out.fd, text.data() + done, text.size() - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    if (::fsync(out.fd) != 0) return false;
  }
  std::filesystem::rename(temp, path_, ec);
  return !ec;
}

}  // namespace linkmeter::cli

#include "LanTestSupport.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "lm/Text.h"
#include "netseek/NetSeek.h"

namespace netseek::test {
namespace {

void Put(Bytes& out, std::size_t at, const Bytes& bytes) {
  std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<long>(at));
}

void PutText(Bytes& out, std::size_t at, const std::string& text) {
  std::copy(text.begin(), text.end(), out.begin() + static_cast<long>(at));
}

}  // namespace

Bytes MakeAnswer(const AnswerSpec& design) {
  Bytes out(256, 0);
  out[0] = 0x50;
  out[1] = 0x01;
  out[2] = design.command;
  out[3] = design.status;
  out[5] = design.setting;
  Put(out, 6, design.mac);
  Put(out, 12, design.ip);
  Put(out, 16, design.value16);
  Put(out, 20, design.value20);
  Put(out, 24, design.value24);
  Put(out, 28, design.value28);
  out[32] = static_cast<std::uint8_t>(design.port & 0xFF);
  out[33] = static_cast<std::uint8_t>(design.port >> 8);
  PutText(out, 34, design.serial);
  PutText(out, 42, design.name);
  PutText(out, 74, design.descr);
  out.resize(design.length);
  return out;
}

LabLayout OnePeerLayout() { return {{"10.77.0.1/24"}, {"10.77.0.2/24"}}; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++n;
  return n;
}

std::string SocketOf(const std::string& log, const std::string& address) {
  const std::string opened = "ソケット作成 成功(" + address + ")[nSd=";
  const std::size_t at = log.find(opened);
  if (at == std::string::npos) return {};
  const std::size_t from = at + opened.size();
  return log.substr(from, log.find(']', from) - from);
}

void LanTest::SetUp() {
  char pattern[] = "/tmp/netseek-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  dir_ = pattern;
  logPath_ = dir_ + "/log.txt";
  requestsPath_ = dir_ + "/requests.txt";
  NetnsLab::Failure failure;
  lab_ = NetnsLab::Create(Layout(), failure);
  if (!lab_ && failure.unavailable) GTEST_SKIP() << "network namespace tests skipped: " << failure.reason;
  ASSERT_TRUE(lab_) << failure.reason;
  ASSERT_GT(NetSeek_LogSettings(logPath_.c_str()), 0);
}

void LanTest::TearDown() {
  responder_.reset();
  NetSeek_CloseSearch();
  if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

void LanTest::StartResponder(const std::vector<Bytes>& answers,
                             const std::vector<std::string>& options) {
  std::vector<std::string> argv = {NETSEEK_RESPONDER_PATH, "--lifetime-ms", "15000",
                                   "--requests", requestsPath_};
  argv.insert(argv.end(), options.begin(), options.end());
  responder_.reset();  // the port is free again only once an earlier one has gone
  for (std::size_t i = 0; i < answers.size(); ++i) {
    const std::string path = dir_ + "/answer" + std::to_string(i);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(answers[i].data()),
               static_cast<std::streamsize>(answers[i].size()));
    argv.push_back(path);
  }
  responder_ = lab_->StartInPeer(argv);
  ASSERT_TRUE(responder_);
  ASSERT_TRUE(responder_->WaitForLine("ready", std::chrono::seconds(1)));
}

std::vector<std::string> LanTest::Requests() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(requestsPath_));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string LanTest::LogBytes() const { return ReadFile(logPath_); }

std::string LanTest::LogText() const { return lm::text::AnsiToUtf8(LogBytes()); }

}  // namespace netseek::test

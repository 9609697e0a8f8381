#pragma once
// A stand-in for base units on the LAN: listens on the search port and
// answers every request with a fixed list of datagrams, sent back to the
// request's sender or, like units that answer by broadcast, to the given
// addresses on the interface the request came in on. It records the requests
// it received so tests can check what left the search side.

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace netseek::test {

struct ResponderOptions {
  std::uint16_t port = 62501;
  std::chrono::milliseconds lifetime{5000};  // exits by itself after this
  std::chrono::milliseconds delay{0};        // before answering a request
  std::string requestLog;                    // one line per request, if set
  // Where answers go (port 62502); none means back to the request's sender.
  std::vector<std::string> answerTo;
  std::vector<std::vector<std::uint8_t>> answers;
};

class Responder {
 public:
  explicit Responder(ResponderOptions options) : options_(std::move(options)) {}
  ~Responder();
  Responder(const Responder&) = delete;
  Responder& operator=(const Responder&) = delete;

  // Binds the port; false (with errno set) when it cannot.
  bool Bind();
  // Serves requests until the lifetime has passed.
  void Serve();

  // "a.b.c.d:port length hexbytes", the form written to the request log.
  static std::string DescribeRequest(const std::string& sender, std::uint16_t port,
                                     const std::uint8_t* bytes, std::size_t length);

 private:
  void Answer(const void* to, unsigned toSize, int arrivalInterface);
  void SendAnswers(const void* to, unsigned toSize, int viaInterface);
  void Record(const std::string& line) const;

  ResponderOptions options_;
  int fd_ = -1;
};

// Parses the command line of the responder program; false on a usage error.
// Usage: [--port N] [--lifetime-ms N] [--delay-ms N] [--requests FILE]
//        [--answer-to ADDR]... ANSWER_FILE...
bool ParseResponderArgs(int argc, char** argv, ResponderOptions& options);

}  // namespace netseek::test

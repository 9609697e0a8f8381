// netseek-responder: answers search and parameter datagrams for the tests.
// It prints "ready" once it listens and exits after its lifetime.

#include <cstdio>
#include <exception>

#include "Responder.h"

int main(int argc, char** argv) {
  try {
    netseek::test::ResponderOptions options;
    if (!netseek::test::ParseResponderArgs(argc, argv, options)) {
      std::fprintf(stderr,
                   "usage: %s [--port N] [--lifetime-ms N] [--delay-ms N] [--requests FILE] "
                   "[--answer-to ADDR]... ANSWER_FILE...\n",
                   argv[0]);
      return 2;
    }
    netseek::test::Responder responder(std::move(options));
    if (!responder.Bind()) {
      std::perror("bind");
      return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    responder.Serve();
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "netseek-responder: %s\n", e.what());
    return 2;
  }
}

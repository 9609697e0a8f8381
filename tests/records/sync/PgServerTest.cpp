// The tests' own team server: a test killed (by ctest's time limit, say)
// leaves no server running and no folder behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "PgServer.h"

namespace {

// Running, not a zombie waiting for a parent that is not its own to reap it.
bool Running(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string skip, state;
  stat >> skip >> skip >> state;
  return stat && state != "Z";
}

TEST(PgServer, NoServerOutlivesItsTestKilled) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t test = fork();
  ASSERT_GE(test, 0);
  if (test == 0) {  // the test that gets killed
    close(report[0]);
    try {
      lm::teamsync::test::PgServer server;
      const std::string folder = server.Folder().string() + "\n";
      if (write(report[1], folder.data(), folder.size()) < 0) _exit(1);
      pause();
    } catch (...) {
    }
    _exit(1);
  }
  close(report[1]);
  std::string folder;
  char c;
  while (read(report[0], &c, 1) == 1 && c != '\n') folder += c;
  close(report[0]);
  ASSERT_FALSE(folder.empty()) << "the server did not start";
  long postmaster = 0;
  std::ifstream(folder + "/data/postmaster.pid") >> postmaster;
  ASSERT_GT(postmaster, 0);
  kill(test, SIGKILL);
  waitpid(test, nullptr, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::filesystem::exists(folder) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_FALSE(Running(postmaster)) << "the server outlived its test";
}

}  // namespace

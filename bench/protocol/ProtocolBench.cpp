// Frames built and parsed per second, and exchanges per second over
// loopback TCP through libvcomm (raw, and through ExecutorVela).

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "vantor/vcomm/ExecutorVela.h"
#include "vantor/com/TFrame.h"
#include "vantor/com/TFrameReader.h"
#include "vantor/com/TcmdWireless.h"
#include "vcomm/Library.h"
#include "vcomm/Vcomm.h"

namespace {

using namespace com::vantor;

const FieldMap kFields = {{"BAND", "1"}, {"CH", "12"}, {"ID", "5"}, {"MAX", "3"}, {"RELAY", "0"},
                          {"ROUTE", Bytes(16, '\x01')}};

void BM_BuildFrame(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(BuildFrame("EWLEX", kFields));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildFrame);

void BM_ParseFrame(benchmark::State& state) {
  Bytes frame = *BuildFrame("EWLEX", kFields);
  for (auto _ : state) benchmark::DoNotOptimize(ParseFrame(frame));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseFrame);

void BM_BuildAndParseFrame(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ParseFrame(*BuildFrame("EWLEX", kFields)));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildAndParseFrame);

void BM_TcmdAnswer(benchmark::State& state) {
  Bytes answer = *BuildFrame("EWLEX", {{"STATUS", "0004-0000"}, {"DATA", Bytes(64, 'x')}});
  TcmdWireless command("EWLEX");
  for (auto _ : state) {
    command.ParseRecvData(0, answer);
    benchmark::DoNotOptimize(command.IsSuccess());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TcmdAnswer);

// A unit on loopback: accepts connections one after another, answers the
// login, then answers every request with its name and STATUS 0004-0000.
class EchoUnit {
 public:
  EchoUnit() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
    ::listen(listener_, 4);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~EchoUnit() {
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
  }
  int Port() const { return port_; }

 private:
  void Serve() {
    for (;;) {
      int stream = ::accept(listener_, nullptr, nullptr);
      if (stream < 0) return;
      int one = 1;
      ::setsockopt(stream, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
      Answer(stream);
      ::close(stream);
    }
  }
  static void Answer(int stream) {
    TFrameReader reader;
    Bytes frame;
    char chunk[4096];
    for (;;) {
      ssize_t got = ::recv(stream, chunk, sizeof(chunk), 0);
      if (got <= 0) return;
      reader.Append(std::string_view(chunk, static_cast<std::size_t>(got)));
      while (reader.Next(1 << 16, frame) == TFrameReader::Status::kFrame) {
        auto body = ParseFrame(frame);
        if (!body) return;
        Bytes answer = *BuildFrame(body->name, {{"STATUS", body->name == "LOGIN" ? "0000-0000" : "0004-0000"}});
        ::send(stream, answer.data(), answer.size(), MSG_NOSIGNAL);
      }
    }
  }

  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

void BM_LoopbackExchangeRaw(benchmark::State& state) {
  EchoUnit unit;
  Vcomm_Handle handle = 0;
  if (Vcomm_OpenLANComm("127.0.0.1", unit.Port(), "pw", nullptr, &handle) != 0) {
    state.SkipWithError("cannot open");
    return;
  }
  Bytes request = *BuildFrame("EBSTS", {});
  std::vector<char> buffer(VCOMM_RECV_CAPACITY);
  for (auto _ : state) {
    Vcomm_ClearCommBuf(handle, 1);
    Vcomm_SendComm(handle, request.data(), static_cast<int>(request.size()));
    benchmark::DoNotOptimize(Vcomm_RecvComm(handle, buffer.data(), VCOMM_RECV_CAPACITY, 5));
  }
  Vcomm_CloseComm(handle);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LoopbackExchangeRaw)->UseRealTime();

// A plain command of one exchange.
class OneShot : public Tcmd {
 public:
  OneShot() : Tcmd("EBSTS") {}
  bool IsSuccess() const override { return IsStatus(4, 0); }
};

void BM_LoopbackExecute(benchmark::State& state) {
  EchoUnit unit;
  ExecutorVela executor;
  if (executor.OpenLAN("127.0.0.1", unit.Port(), "pw", nullptr, 0).status != 0) {
    state.SkipWithError("cannot open");
    return;
  }
  OneShot command;
  for (auto _ : state) {
    executor.Execute(command, 0);
    benchmark::DoNotOptimize(command.IsSuccess());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LoopbackExecute)->UseRealTime();

void BM_LoopbackOpenClose(benchmark::State& state) {
  EchoUnit unit;
  for (auto _ : state) {
    Vcomm_Handle handle = 0;
    if (Vcomm_OpenLANComm("127.0.0.1", unit.Port(), "pw", nullptr, &handle) == 0) Vcomm_CloseComm(handle);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LoopbackOpenClose)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  vcomm::Library vcommLibrary;  // the process's device connections
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

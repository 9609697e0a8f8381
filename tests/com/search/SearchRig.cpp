#include "SearchRig.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <condition_variable>
#include <deque>
#include <filesystem>

#include "lm/Text.h"
#include "lm/ThreadRole.h"
#include "sorrel/com/SearchHandlers.h"
#include "sorrel/com/UnitHandlers.h"
#include "vantor/com/RegInfoModel.h"
#include "vantor/com/TFrame.h"
#include "vcomm/UsbBus.h"

namespace search_test {

using linkmeter::sim::TranscriptEntry;

int HookedBus::ConnectNum(Flags& flags, uint16_t deviceType) {
  if (active.fetch_add(1) != 0) ++overlaps;
  lastThread = std::this_thread::get_id();
  const int n = UsbBusProbe::ConnectNum(flags, deviceType);
  --active;
  if (afterConnectNum) std::exchange(afterConnectNum, nullptr)();
  return n;
}

int HookedBus::GetSerials(Serials& serials, uint16_t deviceType) {
  const int n = UsbBusProbe::GetSerials(serials, deviceType);
  if (afterSerials) std::exchange(afterSerials, nullptr)();
  return n;
}

struct TestWindowThread::State {
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<Task> queue;
  bool stop = false;
  uint16_t lastId = 0;
};

TestWindowThread::TestWindowThread() : state_(std::make_shared<State>()) {
  thread_ = std::thread([state = state_] {
    lm::thread_role::WindowThreadScope windowThread;
    std::unique_lock lock(state->mutex);
    for (;;) {
      state->cv.wait(lock, [&] { return state->stop || !state->queue.empty(); });
      if (state->queue.empty()) return;
      Task task = std::move(state->queue.front());
      state->queue.pop_front();
      lock.unlock();
      task();
      task = nullptr;
      lock.lock();
    }
  });
}

TestWindowThread::~TestWindowThread() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stop = true;
  }
  state_->cv.notify_all();
  thread_.join();
}

bool TestWindowThread::Call(Task task) {
  if (IsUiThread()) return task(), true;
  bridge_test::Gate done;
  Post([&] {
    task();
    done.Open();
  });
  return done.Wait(std::chrono::seconds(30));
}

uint16_t TestWindowThread::Post(Task task) {
  std::lock_guard lock(state_->mutex);
  state_->queue.push_back(std::move(task));
  state_->cv.notify_all();
  return ++state_->lastId;
}

SearchRig::SearchRig(linkmeter::sim::SiteSpec site)
    : table_(std::make_unique<Sorrel::Com::ComExecutorVelaFactory>()),
      // LAN searches stay on loopback unless a test brings its own seeker.
      watchers_(std::make_unique<Sorrel::Com::SearchWatchers>(table_, bus_,
                                                              std::make_unique<Sorrel::LoopbackLanSeeker>(0))) {
  char dir[] = "/tmp/lm-search-XXXXXX";
  busDir_ = mkdtemp(dir);
  vcomm::usb::SetBusDirectory(busDir_);
  sim_ = std::make_unique<linkmeter::sim::Simulator>(std::move(site), commands_);
  std::string error;
  if (!sim_->Start(&error)) ADD_FAILURE() << "simulator: " << error;
  manager_.AddQuery(std::make_shared<Sorrel::Com::Open>(table_));
  manager_.AddQuery(std::make_shared<Sorrel::Com::IsOpen>(table_));
  manager_.AddQuery(std::make_shared<Sorrel::Com::SearchUSB>(manager_, *watchers_, table_));
  manager_.AddQuery(std::make_shared<Sorrel::Com::SearchLAN>(manager_, *watchers_, table_));
  manager_.AddQuery(std::make_shared<Sorrel::Com::SearchLogger>(manager_, *watchers_, table_));
  router_ = std::make_unique<Sorrel::cef::BsmsgRouter>(tasks_);
  router_->AttachFactory(manager_.SharedFactory());
}

SearchRig::~SearchRig() {
  router_->Shutdown();
  tasks_.CancelAndWait();
  manager_.SetUiThread(nullptr);
  table_.CloseAll();
  sim_.reset();
  vcomm::usb::SetBusDirectory("");
  std::error_code ec;
  std::filesystem::remove_all(busDir_, ec);
}

int64_t SearchRig::Send(const std::string& request, const std::shared_ptr<bridge_test::RecordingCallback>& cb) {
  const int64_t id = nextId_++;
  EXPECT_TRUE(router_->OnQuery(browser_, id, request, false, cb)) << request;
  return id;
}

std::shared_ptr<Sorrel::Com::ComExecutor> SearchRig::Unit(uint32_t serial) {
  Sorrel::Com::ComInfo info;
  info.usb = std::make_shared<Sorrel::Com::WatchUsbInfo>();
  info.usb->serial = serial;
  info.usb->model = com::vantor::ModelName(serial);
  return table_.Lookup(info);
}

bridge_test::Answer SearchRig::Query(const std::string& request) {
  auto cb = std::make_shared<bridge_test::RecordingCallback>();
  Send(request, cb);
  if (!cb->WaitFor(1, std::chrono::seconds(30))) {
    ADD_FAILURE() << "no answer to " << request;
    return {false, -12345, ""};
  }
  return cb->Answers()[0];
}

std::vector<std::string> SearchRig::Serials(const bridge_test::Answer& answer) const {
  std::vector<std::string> serials;
  auto v = lm::json::Parse(answer.text);
  if (!answer.success || !v || !v->is<lm::json::Array>()) {
    ADD_FAILURE() << "not an array: " << answer.text;
    return serials;
  }
  for (const auto& entry : v->get<lm::json::Array>()) serials.push_back(entry.get("serial").to_str());
  return serials;
}

size_t SearchRig::Received(const std::string& command) const { return Received(0, command); }

size_t SearchRig::Received(uint32_t serial, const std::string& command) const {
  size_t n = 0;
  for (const auto& e : sim_->GetTranscript().Entries()) {
    if (e.direction != TranscriptEntry::Direction::kReceived || (serial != 0 && e.unit != serial)) continue;
    auto body = com::vantor::ParseFrame(e.bytes);
    if (body && body->name == command) ++n;
  }
  return n;
}

linkmeter::sim::BaseUnitSpec UsbUnit(uint32_t serial, const std::string& name) {
  linkmeter::sim::BaseUnitSpec unit;
  unit.serial = serial;
  unit.name = name;
  unit.desc = name + " desc";
  unit.usb = true;
  return unit;
}

linkmeter::sim::RemoteUnitSpec Logger(uint32_t serial, int subtype) {
  linkmeter::sim::RemoteUnitSpec logger;
  logger.serial = serial;
  logger.subtype = subtype;
  logger.name = "OPTICAL";
  return logger;
}

linkmeter::sim::SiteSpec SiteOf(std::vector<linkmeter::sim::BaseUnitSpec> units) {
  linkmeter::sim::SiteSpec site;
  site.name = "search test site";
  site.radio.hopMs = 10;
  site.baseUnits = std::move(units);
  return site;
}

}  // namespace search_test

#include "ComSimRig.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "linkmeter/sim/SiteFile.h"
#include "sorrel/com/ComRegistration.h"
#include "vcomm/UsbBus.h"

namespace comsim {
namespace {

linkmeter::sim::SiteSpec TestSite(int hopMs) {
  linkmeter::sim::SiteSpec site = linkmeter::sim::DemoSite();
  site.radio.hopMs = hopMs;
  site.udp.enabled = false;
  linkmeter::sim::BaseUnitSpec model96;
  model96.serial = kModel96Unit;
  model96.name = "OLD-BASE";
  model96.usb = true;
  site.baseUnits.push_back(model96);
  return site;
}

}  // namespace

ComSimRig::ComSimRig(int hopMs) {
  char dir[] = "/tmp/lm-comsim-XXXXXX";
  busDir_ = mkdtemp(dir);
  vcomm::usb::SetBusDirectory(busDir_);
  sim_ = std::make_unique<linkmeter::sim::Simulator>(TestSite(hopMs), commands_);
  std::string error;
  if (!sim_->Start(&error)) ADD_FAILURE() << "simulator: " << error;
  Sorrel::Com::RegisterComFunctions(manager_, devices_);
  router_ = std::make_unique<Sorrel::cef::BsmsgRouter>(tasks_);
  router_->AttachFactory(manager_.SharedFactory());
}

ComSimRig::~ComSimRig() {
  router_->Shutdown();
  sim_.reset();
  vcomm::usb::SetBusDirectory("");
  std::error_code ec;
  std::filesystem::remove_all(busDir_, ec);
}

std::string ComSimRig::UsbComInfo(uint32_t serial, const std::string& model) const {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", serial);
  return std::string(R"({"com":1,"descr":"d","model":")") + model + R"(","name":"n","serial":")" + text + "\"}";
}

std::string ComSimRig::LanComInfo(int com, const std::string& password) const {
  std::string info = "{\"com\":" + std::to_string(com) + ",\"ipAddr\":\"127.0.0.1\",\"port\":" +
                     std::to_string(sim_->LanPort(kLanUnit)) + ",\"lanPassword\":\"" + password + "\"";
  if (com == 2) info += R"(,"descr":"d","model":"VL-BB","name":"n","serial":"009C0021","mac":"00:1A:2B:01:02:03")";
  return info + "}";
}

int64_t ComSimRig::Send(const std::string& request, const std::shared_ptr<bridge_test::RecordingCallback>& cb) {
  int64_t id = nextId_++;
  EXPECT_TRUE(router_->OnQuery(browser_, id, request, false, cb)) << request;
  return id;
}

bridge_test::Answer ComSimRig::Query(const std::string& request) {
  auto cb = std::make_shared<bridge_test::RecordingCallback>();
  Send(request, cb);
  if (!cb->WaitFor(1, std::chrono::seconds(20))) {
    ADD_FAILURE() << "no answer to " << request;
    return {false, -12345, ""};
  }
  return cb->Answers()[0];
}

std::vector<com::vantor::TBody> ComSimRig::Received(uint32_t serial, const std::string& name) const {
  std::vector<com::vantor::TBody> frames;
  for (const auto& e : sim_->GetTranscript().Entries()) {
    if (e.unit != serial || e.direction != linkmeter::sim::TranscriptEntry::Direction::kReceived) continue;
    auto body = com::vantor::ParseFrame(e.bytes);
    if (body && (name.empty() || body->name == name)) frames.push_back(*body);
  }
  return frames;
}

linkmeter::sim::FaultRule Fault(const std::string& command, linkmeter::sim::FaultKind kind, int times) {
  linkmeter::sim::FaultRule rule;
  rule.command = command;
  rule.kind = kind;
  rule.times = times;
  return rule;
}

lm::json::Object Obj(const bridge_test::Answer& a) {
  auto v = lm::json::Parse(a.text);
  if (!v || !v->is<lm::json::Object>()) return {};
  return v->get<lm::json::Object>();
}

}  // namespace comsim

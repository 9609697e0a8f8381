#include "linkmeter/sim/InProcessSite.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>

#include "linkmeter/sim/SiteFile.h"
#include "lm/Json.h"
#include "lm/Text.h"
#include "vantor/com/RegInfoModel.h"
#include "vcomm/UsbBus.h"

namespace linkmeter::sim {

std::unique_ptr<InProcessSite> InProcessSite::StartDemo(const CommandTable& commands, std::string* error) {
  return Start(DemoSite(), commands, error);
}

std::unique_ptr<InProcessSite> InProcessSite::Start(SiteSpec site, const CommandTable& commands,
                                                    std::string* error) {
  std::unique_ptr<InProcessSite> self(new InProcessSite);
  std::string pattern = (std::filesystem::temp_directory_path() / "linkmeter-demo-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    if (error) *error = "cannot make a folder for the demo's USB bus";
    return nullptr;
  }
  self->busDirectory_ = pattern;
  vcomm::usb::SetBusDirectory(self->busDirectory_);
  SimulatorOptions options;
  options.lanAddress = "127.0.0.1";
  // The LAN search reaches the site's responder on loopback only (any free
  // port, see UdpPort); nothing is broadcast.
  options.udp = true;
  options.udpAddress = "127.0.0.1";
  options.udpPort = 0;
  self->simulator_ = std::make_unique<Simulator>(std::move(site), commands, options);
  // A long demo session keeps no frames in memory; they go to a file on request.
  Transcript& transcript = self->simulator_->GetTranscript();
  transcript.Keep(false);
  if (const char* path = std::getenv("LINKMETER_DEMO_TRANSCRIPT"); path && *path) {
    if (!transcript.WriteToFile(path)) {
      if (error) *error = std::string("cannot write the transcript to ") + path;
      return nullptr;
    }
  }
  if (!self->simulator_->Start(error)) return nullptr;
  // Tests plug units out and in through control lines in this file.
  if (const char* path = std::getenv("LINKMETER_DEMO_CONTROL"); path && *path) {
    self->control_ = std::make_unique<ControlFile>(*self->simulator_, path);
  }
  return self;
}

InProcessSite::~InProcessSite() {
  control_.reset();
  simulator_.reset();
  if (!busDirectory_.empty()) {
    vcomm::usb::SetBusDirectory("");
    std::error_code ignored;
    std::filesystem::remove_all(busDirectory_, ignored);
  }
}

std::string InProcessSite::Summary() const {
  std::string out;
  for (const BaseUnitSpec& unit : simulator_->Site().baseUnits) {
    lm::json::Object info{{"descr", lm::json::Value(unit.desc)},
                          {"model", lm::json::Value(com::vantor::ModelName(unit.serial))},
                          {"name", lm::json::Value(unit.name)},
                          {"serial", lm::json::Value(SerialText(unit.serial))}};
    if (unit.usb) {
      info["com"] = lm::json::Number(1);
    } else {
      info["com"] = lm::json::Number(2);
      info["ipAddr"] = lm::json::Value(unit.lanAddress);
      info["port"] = lm::json::Number(simulator_->LanPort(unit.serial));
      info["lanPassword"] = lm::json::Value(unit.lanPassword);
      info["mac"] = lm::json::Value(lm::text::Format("%d-%d-%d-%d-%d-%d", unit.mac[0], unit.mac[1], unit.mac[2],
                                                     unit.mac[3], unit.mac[4], unit.mac[5]));
    }
    out += "demo base unit: " + lm::json::ToText(lm::json::Value(info)) + "\n";
  }
  return out;
}

}  // namespace linkmeter::sim

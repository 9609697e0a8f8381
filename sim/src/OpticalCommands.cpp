// Commands for the logger lying on the base unit's optical port (EI…) and
// the base unit's own initialisation. Every one answers 0005-0001 when no
// logger lies on the port.

#include "linkmeter/sim/CommandTable.h"
#include "linkmeter/sim/RecordedData.h"
#include "lm/Text.h"

namespace linkmeter::sim {
namespace {

using LoggerHandler = Answer (*)(Exchange&, OpticalLogger&);

Handler NeedsLogger(LoggerHandler handler) {
  return [handler](Exchange& x) {
    if (!x.unit.optical) return WithStatus(status::kOpticalNoLogger);
    return handler(x, *x.unit.optical);
  };
}

Answer Ok() { return WithStatus(status::kOpticalOk); }
Answer Bad() { return WithStatus(status::kOpticalBadRequest); }

Answer Initialise(Exchange& x) {
  std::string mode = x.Text("MODE");
  if (mode == "FACTORY") {
    x.unit.blocks = FactorySettings(x.unit.design);
    x.unit.AddLog(1, "Factory settings", x.now);
  } else if (mode == "RESTART") {
    x.conversation = Conversation{};
    x.unit.AddLog(1, "Restart", x.now);
  } else if (mode == "GSM") {
    x.unit.AddLog(1, "GSM modem reset", x.now);
  } else {
    return Bad();
  }
  return Ok();
}

Answer Register(Exchange& x, OpticalLogger& logger) {
  auto id = x.request.Find("ID");
  auto name = x.request.Find("NAME");
  long long num = x.Number("NUM", -1), ch = x.Number("CH", -1);
  if (!id || id->size() != 8 || !name || name->size() != 8 || num < 1 || num > 250 || ch < 0 || ch > 255) {
    return Bad();
  }
  logger.registration = std::string(*id) + std::string(*name);
  logger.design.num = static_cast<int>(num);
  return Ok();
}

Answer Restart(Exchange& x, OpticalLogger&) { return x.Text("MODE") == "1" ? Ok() : Bad(); }

Answer Scale(Exchange& x, OpticalLogger& logger) {
  if (x.Number("ACT", 1) == 0) {
    if (x.Text("DATA").size() != 64) return Bad();
    logger.scale = x.Text("DATA");
    return Ok();
  }
  Answer a = Ok();
  a["DATA"] = logger.scale.empty() ? std::string(64, '\0') : logger.scale;
  return a;
}

Answer Serial(Exchange&, OpticalLogger& logger) {
  Answer a = Ok();
  a["CODE"] = lm::text::Format("%x", ModelCode(logger.design.serial));
  a["SER"] = lm::text::Format("%x", logger.design.serial);
  return a;
}

// ACT 0 with DATA writes the settings record; ACT 1 reports the logger by
// its record (with or without DATA: the read-back of a write asks the same).
Answer Settings(Exchange& x, OpticalLogger& logger) {
  if (x.Number("ACT", 1) == 0) {
    std::string record = x.Text("DATA");
    if (record.size() != 64 || GetLe(record, 6, 4) != logger.design.serial) return Bad();
    logger.settling.previous = ReceiveRecord(logger.design, logger.settings);
    logger.settling.settlesAt = x.tick + std::chrono::milliseconds(x.unit.settleMs);
    logger.settings = record;
    return Ok();
  }
  Answer a = Ok();
  a["DATA"] = logger.settling.Shown(ReceiveRecord(logger.design, logger.settings), logger.design.subtype, x.tick);
  return a;
}

Answer Handshake(Exchange& x, OpticalLogger& logger) {
  if (x.Has("DATA")) logger.handshake = x.Text("DATA");
  Answer a = Ok();
  a["DATA"] = logger.handshake.empty() ? ReceiveRecord(logger.design, logger.settings) : logger.handshake;
  return a;
}

Answer Recording(Exchange& x, OpticalLogger& logger) {
  long long mode = x.Number("MODE", -1);
  if (mode != 0 && mode != 1) return Bad();
  if (mode == 1 && !logger.recording) logger.recordingSince = x.UnitTime();
  if (mode == 0 && logger.recording) logger.stoppedAt = x.UnitTime();
  logger.recording = mode == 1;
  return Ok();
}

}  // namespace

void AddOpticalCommands(CommandTable& table) {
  table.Add("EINIT", Initialise);
  table.Add("EIREG", NeedsLogger(Register));
  table.Add("EIRSP", NeedsLogger(Restart));
  table.Add("EISCL", NeedsLogger(Scale));
  table.Add("EISER", NeedsLogger(Serial));
  table.Add("EISET", NeedsLogger(Settings));
  table.Add("EISOH", NeedsLogger(Handshake));
  table.Add("EIWRS", NeedsLogger(Recording));
}

}  // namespace linkmeter::sim

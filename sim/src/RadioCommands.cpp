// Radio operations relayed to far units (EW…): ACT 0 starts one and is
// answered 0004-0000, polls (ACT 1) answer 0004-0001 while it is in the air,
// then the final answer with the command's fields; ACT 2 cancels. VLB1
// measures the level on one channel.

#include <algorithm>

#include "linkmeter/sim/CommandTable.h"
#include "linkmeter/sim/RecordedData.h"
#include "linkmeter/sim/Route.h"
#include "vantor/com/CommandCatalogue.h"

namespace linkmeter::sim {
namespace {

using Finish = std::function<Answer(Exchange&, const Route&)>;

// The far unit's memory block a read or write addresses.
std::string& FarBlock(Exchange& x, const Route& route, const std::string& kind) {
  FarUnitMemory& memory = x.unit.farUnits[route.hops.back().serial];
  std::string key = kind + std::to_string(x.Number("NUM", 0));
  auto it = memory.blocks.find(key);
  if (it == memory.blocks.end()) {
    std::size_t size = kind == "PW" ? 16 : 64;
    std::string fill(size, '\0');
    for (std::size_t i = 0; i < size; ++i) fill[i] = static_cast<char>((route.hops.back().serial + i * 7) & 0xFF);
    if (kind == "ST" && route.remote) fill = DefaultSettingsRecord(*route.remote);
    it = memory.blocks.emplace(key, fill).first;
  }
  return it->second;
}

Finish ReadsBlock(std::string kind) {
  return [kind](Exchange& x, const Route& route) {
    Answer a = WithStatus(status::kRadioAccepted);
    std::string& block = FarBlock(x, route, kind);
    if (kind == "ST" && route.remote) {
      const auto& settling = x.unit.farUnits[route.hops.back().serial].settling;
      a["DATA"] = settling.Shown(ReceiveRecord(*route.remote, block), route.remote->subtype, x.tick);
    } else {
      a["DATA"] = block;
    }
    return a;
  };
}

Finish WritesBlock(std::string kind) {
  return [kind](Exchange& x, const Route& route) {
    std::string& block = FarBlock(x, route, kind);
    if (kind == "ST" && route.remote) {
      auto& settling = x.unit.farUnits[route.hops.back().serial].settling;
      settling.previous = ReceiveRecord(*route.remote, block);
      settling.settlesAt = x.tick + std::chrono::milliseconds(x.unit.settleMs);
    }
    block = x.Text("DATA");
    return WithStatus(status::kRadioAccepted);
  };
}

Answer Levels(Exchange& x, const Route& route) {
  RouteReading reading = ReadRoute(x, route);
  Answer a = WithStatus(reading.complete ? status::kRadioAccepted : status::kRadioNoAnswer);
  a["LEVEL"] = reading.level;
  return a;
}

Answer CurrentValues(Exchange& x, const Route& route) {
  Answer a = WithStatus(status::kRadioAccepted);
  std::int64_t t = x.now + x.unit.farUnits[route.hops.back().serial].clockOffsetSec;
  a["TIME"] = std::to_string(t);
  std::string data;
  if (route.remote) {
    for (std::size_t c = 0; c < route.remote->chTypes.size(); ++c) {
      int type = route.remote->chTypes[c];
      PutLe(data, data.size(), ChannelValue(type, route.remote->serial, static_cast<int>(c), t), RecordWidth({type}));
    }
    a["LAST"] = std::to_string((t - x.unit.startUnix) / std::max(1, route.remote->intervalSec));
  }
  a["DATA"] = data;
  return a;
}

Answer SetsClock(Exchange& x, const Route& route) {
  std::string data = x.Text("DATA");
  if (data.size() < 12) return WithStatus(status::kRadioBadRequest);
  auto farTime = static_cast<std::int64_t>(GetLe(data, 0, 4));
  x.unit.farUnits[route.hops.back().serial].clockOffsetSec = farTime - x.now;
  return WithStatus(status::kRadioAccepted);
}

Answer Nothing(Exchange&, const Route&) { return WithStatus(status::kRadioAccepted); }

// Air time: one hop time per hop; a far unit that does not answer costs
// the base unit two more tries.
std::chrono::milliseconds AirTime(const Exchange& x, const Route& route, bool reachable) {
  auto hops = static_cast<int>(route.hops.size()) + (reachable ? 0 : 2);
  return std::chrono::milliseconds(x.radio.Design().hopMs * hops);
}

Answer Start(Exchange& x, const Finish& finish) {
  auto route = ResolveRoute(x);
  if (!route) return WithStatus(status::kRadioBadRequest);
  bool reachable = ReadRoute(x, *route).complete;
  RadioOperation op;
  op.start = x.request;
  op.readyAt = x.tick + AirTime(x, *route, reachable);
  op.finish = [finish, route = *route](Exchange& original) {
    RouteReading reading = ReadRoute(original, route);
    if (!reading.complete) {
      Answer failed = WithStatus(status::kRadioNoAnswer);
      if (original.request.name == "EWLEX" || original.request.name == "EWLRU") failed["LEVEL"] = reading.level;
      return failed;
    }
    return finish(original, route);
  };
  x.conversation.radio = std::move(op);
  return WithStatus(status::kRadioAccepted);
}

Answer Poll(Exchange& x) {
  auto& op = x.conversation.radio;
  if (!op || op->start.name != x.request.name) {
    // A settings write is verified by asking again with the whole request.
    if (x.request.name == "EWSTW" && x.Has("ID") && x.Has("DATA")) {
      auto route = ResolveRoute(x);
      if (!route || !ReadRoute(x, *route).complete) return WithStatus(status::kRadioNoAnswer);
      return ReadsBlock("ST")(x, *route);
    }
    return WithStatus(status::kRadioNoOperation);
  }
  if (x.tick < op->readyAt) return WithStatus(status::kRadioWorking);
  RadioOperation done = std::move(*op);
  op.reset();
  if (done.cancelled) return WithStatus(status::kRadioCancelled);
  Exchange original{done.start, x.unit, x.conversation, x.radio, x.now, x.tick};
  return done.finish(original);
}

Answer Cancel(Exchange& x) {
  auto& op = x.conversation.radio;
  if (!op) return WithStatus(status::kRadioNoOperation);
  op->cancelled = true;
  op->readyAt = x.tick + std::chrono::milliseconds(x.radio.Design().cancelMs);
  return WithStatus(status::kRadioAccepted);
}

Handler RadioOperationHandler(Finish finish) {
  return [finish](Exchange& x) {
    switch (x.Number("ACT", 0)) {
      case 0: return Start(x, finish);
      case 1: return Poll(x);
      case 2: return Cancel(x);
      default: return WithStatus(status::kRadioBadRequest);
    }
  };
}

Answer MeasureChannel(Exchange& x) {
  std::string data = x.Text("DATA");
  if (data.size() != 7 || data[0] != 0x01) return WithStatus(status::kRadioBadRequest);
  Answer a = WithStatus(status::kRadioAccepted);
  if (static_cast<unsigned char>(data[1]) == 0x3E) {
    std::set<int> own;
    for (const auto& g : x.unit.design.groups) own.insert(g.freq);
    const int channel = static_cast<unsigned char>(data[5]);
    const std::uint64_t reading = x.unit.channelReadings[channel]++;
    data[5] = static_cast<char>(x.radio.ChannelLevel(channel, own, x.unit.design.interference, reading));
  } else if (static_cast<unsigned char>(data[1]) != 0xAF) {
    return WithStatus(status::kRadioBadRequest);
  }
  a["DATA"] = data;
  return a;
}

// What a radio row's final answer is, from what the row carries: LEVEL for
// the surveys, the far unit's clock and current values for EWPTM and EWRSC,
// otherwise the memory block named by letters 3 and 4 of the mnemonic (OL,
// PL, PS, PW, ST), written when the row sends DATA, read when it returns it.
Finish FinishFor(const com::vantor::catalogue::CommandRow& row) {
  namespace cat = com::vantor::catalogue;
  auto returns = [&](cat::Member kind, std::string_view name) {
    return std::any_of(row.results.begin(), row.results.end(),
                       [&](const cat::ResultDef& r) { return r.kind == kind && r.name == name; });
  };
  if (returns(cat::Member::kSignals, "Signals")) return Levels;
  if (row.name == "EWPTM") return SetsClock;
  if (row.name == "EWRSC") return CurrentValues;
  const std::string block(row.name.substr(2, 2));
  if (cat::FindArg(row, "DATA")) return WritesBlock(block);
  if (returns(cat::Member::kBytes, "DATA")) return ReadsBlock(block);
  return Nothing;
}

}  // namespace

void AddRadioCommands(CommandTable& table) {
  for (const auto& row : com::vantor::catalogue::kCatalogue) {
    if (row.family == com::vantor::catalogue::Family::kWireless) {
      table.Add(std::string(row.name), RadioOperationHandler(FinishFor(row)));
    }
  }
  table.Add("VLB1", MeasureChannel);
}

}  // namespace linkmeter::sim

#pragma once
// One connection's conversation with a simulated base unit: takes request
// frames, answers them from the command table, and bends the answer as the
// unit's fault plan says.

#include <map>
#include <string>

#include "linkmeter/sim/Exchange.h"
#include "linkmeter/sim/Transcript.h"

namespace linkmeter::sim {

class CommandTable;

// What the connection does with one request.
struct Reply {
  std::string bytes;  // sent as they are; empty = nothing to send
  int delayMs = 0;    // wait this long first
  bool close = false; // close the connection (after sending `bytes`)
};

class UnitSession {
 public:
  UnitSession(UnitState& unit, const RadioModel& radio, const CommandTable& commands, Transcript& transcript);

  // The reply to one whole request frame.
  Reply Answer(const std::string& frame);

  // The reply to a LAN login frame; `accepted` says whether the password matched.
  Reply Login(const std::string& frame, bool& accepted);

 private:
  sim::Answer Compose(const com::vantor::TBody& request);
  Reply Frame(const std::string& name, const sim::Answer& fields, const FaultEffect& effect);
  // A withhold fault empties DATA and keeps its bytes; the next DATA of the
  // same command gets them in front.
  void Withhold(const std::string& name, bool withhold, sim::Answer& fields);

  UnitState& unit_;
  const RadioModel& radio_;
  const CommandTable& commands_;
  Transcript& transcript_;
  Conversation conversation_;
  // DATA bytes a withhold fault kept back, per command, for its next answer.
  std::map<std::string, std::string> withheld_;
};

}  // namespace linkmeter::sim

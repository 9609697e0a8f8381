#pragma once
// Commands for the protocol tests.

#include "vantor/com/Tcmd.h"

namespace com::vantor::testing {

// A plain T command that asks for `extra` follow-up exchanges and counts
// its hook calls.
class CountingCmd : public Tcmd {
 public:
  explicit CountingCmd(int extra = 0, std::string name = "EBSTS") : Tcmd(std::move(name)), extra_(extra) {}

  void Reset() override {
    ++resets;
    answers = 0;
    Tcmd::Reset();
  }
  void OnFinish() override { ++finishes; }
  Bytes BuildSendData(int phase) override {
    ++builds;
    return Tcmd::BuildSendData(phase);
  }
  void ParseRecvData(int phase, std::string_view answer) override {
    ++answers;
    Tcmd::ParseRecvData(phase, answer);
  }
  bool IsContinue(int /*phase*/) const override { return extra_ < 0 || answers <= extra_; }
  bool IsSuccess() const override { return IsStatus(2, 0); }

  int HookCalls() const { return resets + finishes + builds + answers; }

  int resets = 0;
  int finishes = 0;
  int builds = 0;
  int answers = 0;

 private:
  int extra_;  // negative: continue for ever
};

}  // namespace com::vantor::testing

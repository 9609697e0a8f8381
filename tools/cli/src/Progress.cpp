#include "linkmeter/cli/Progress.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "linkmeter/cli/Output.h"

namespace linkmeter::cli {

void Progress::Step(double done, double total, const std::string& rawText) {
  // What is under way names units: one line of the log whatever the name holds.
  const std::string text = OneLine(rawText);
  const double share = total > 0 ? std::clamp(done / total, 0.0, 1.0) : 0.0;
  if (!terminal_) {
    if (text == lastText_) return;  // a bar would only have moved
    lastText_ = text;
    // One write a line: a monitor's outbox and sync threads log to the same stream.
    err_ << (text + "\n") << std::flush;
    return;
  }
  constexpr int kWidth = 24;
  const int filled = static_cast<int>(std::lround(share * kWidth));
  std::string line = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] " +
                     std::to_string(static_cast<int>(std::lround(share * 100))) + "% " + text;
  err_ << (line + "\x1b[K") << std::flush;
  barShown_ = true;
}

void Progress::Line(const std::string& text) {
  err_ << ((barShown_ ? "\r\x1b[K" : "") + text + "\n") << std::flush;
  if (barShown_) barShown_ = false;
}

void Progress::Finish() {
  if (!barShown_) return;
  err_ << "\n" << std::flush;
  barShown_ = false;
}

}  // namespace linkmeter::cli

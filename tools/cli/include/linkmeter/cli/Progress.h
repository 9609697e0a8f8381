#pragma once
// Progress of a subcommand on standard error: a bar redrawn in place on a
// terminal, plain lines otherwise (a log file reads them in order). Quiet
// for JSON/CSV pipelines is the caller's choice, not this class's.

#include <iosfwd>
#include <string>

namespace linkmeter::cli {

class Progress {
 public:
  Progress(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}
  ~Progress() { Finish(); }

  // `done` of `total` steps, with what is under way.
  void Step(double done, double total, const std::string& text);
  // A line of its own (a warning, a step ended), below any bar.
  void Line(const std::string& text);
  // Ends the bar's line, if one is drawn.
  void Finish();

 private:
  std::ostream& err_;
  bool terminal_;
  bool barShown_ = false;
  std::string lastText_;
};

}  // namespace linkmeter::cli

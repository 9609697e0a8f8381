#include "lm/monitor/loop/MonitorLog.h"

#include <cmath>
#include <ctime>
#include <sstream>

namespace lm::monitor {
namespace {

std::string Word(const std::string& text) { return LogWord(text); }

std::string Seconds1(std::chrono::milliseconds ms) {
  std::ostringstream text;
  text.setf(std::ios::fixed);
  text.precision(1);
  text << static_cast<double>(ms.count()) / 1000.0 << 's';
  return text.str();
}

std::string WholeSeconds(std::chrono::milliseconds ms) {
  return std::to_string((ms.count() + 999) / 1000) + "s";
}

}  // namespace

std::string QuotedLogWord(const std::string& text) {
  std::string quoted = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    if (c >= ' ' && c != 0x7f) quoted += static_cast<char>(c);
    else if (c == '\n' || c == '\r' || c == '\t') quoted += ' ';
  }
  return quoted + "\"";
}

std::string LogWord(const std::string& text) {
  bool bare = !text.empty();
  for (unsigned char c : text) bare = bare && c > ' ' && c != '"' && c != '\\' && c != 0x7f;
  return bare ? text : QuotedLogWord(text);
}

std::string UtcText(std::chrono::system_clock::time_point at) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(
      std::chrono::floor<std::chrono::seconds>(at));
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string SurveyLogLine(std::chrono::system_clock::time_point at, const std::string& unit,
                          const SurveySummary& summary, std::chrono::milliseconds took) {
  std::ostringstream line;
  line << UtcText(at) << " unit=" << Word(unit) << " answered=" << summary.answered
       << " silent=" << summary.silent;
  if (summary.weakest) {
    line << " weakest=" << Word(summary.weakest->from + ">" + summary.weakest->to)
         << " level=" << std::lround(summary.weakest->level);
  } else {
    line << " weakest=none";
  }
  line << " duration=" << Seconds1(took);
  if (summary.recordId) line << " record=" << *summary.recordId;
  return line.str();
}

std::string FailureLogLine(std::chrono::system_clock::time_point at, const std::string& unit,
                           const std::string& error, std::chrono::milliseconds retryIn) {
  return UtcText(at) + " unit=" + Word(unit) + " failed=" + Word(error.empty() ? "unknown" : error) +
         " retry=" + WholeSeconds(retryIn);
}

}  // namespace lm::monitor

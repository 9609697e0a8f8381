#pragma once
// The monitor's log lines: one per survey or failed try, key=value words
// after a UTC time, so a journal reader or a script can pick them apart.

#include <chrono>
#include <string>

#include "lm/monitor/loop/SurveyAttempt.h"

namespace lm::monitor {

// A value of a key=value word: bare when it holds no space, quote,
// backslash or control byte; else quoted with \" and \\ escaped, line
// breaks and tabs made spaces and other control bytes dropped, so no value
// can end the line or start a word of its own.
std::string LogWord(const std::string& text);
// The same, always quoted (summary="…").
std::string QuotedLogWord(const std::string& text);

// "2026-12-09T06:00:00Z" (whole seconds, UTC).
std::string UtcText(std::chrono::system_clock::time_point at);

// "<time> unit=U answered=6 silent=1 weakest=A>B level=92 duration=4.1s record=17"
// (weakest=none without an answering hop; record only when recorded).
std::string SurveyLogLine(std::chrono::system_clock::time_point at, const std::string& unit,
                          const SurveySummary& summary, std::chrono::milliseconds took);

// "<time> unit=U failed=\"why\" retry=4s"
std::string FailureLogLine(std::chrono::system_clock::time_point at, const std::string& unit,
                           const std::string& error, std::chrono::milliseconds retryIn);

}  // namespace lm::monitor

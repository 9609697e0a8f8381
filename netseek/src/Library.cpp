#include "Library.h"

#include <chrono>
#include <exception>

#include "LogTexts.h"
#include "ModuleFolder.h"
#include "SearchRun.h"
#include "lm/Text.h"

namespace netseek {

Library& Library::Instance() {
  static Library library;
  return library;
}

bool Library::IsValidRun(const void* parent, std::int32_t timeLimitSec) {
  return parent != nullptr && timeLimitSec >= 1 && timeLimitSec <= 10;
}

std::int32_t Library::DoSearch(const void* parent, std::uint16_t destPort,
                               std::int32_t timeLimitSec) {
  std::lock_guard lock(mutex_);
  destPort_ = destPort;
  if (!IsValidRun(parent, timeLimitSec)) return kResultBadArgument;
  results_.Release();
  const std::int32_t result = Execute(Mode::kSearch, MakeRequest(Command::kSearch), timeLimitSec);
  // A search that could send from none of the local addresses searched
  // nothing; that must not read as an empty network. With no local address
  // at all the network is empty indeed.
  if (result == kResultLoopFailed || (result == kResultNotSent && runAddresses_ > 0)) {
    return result;
  }
  return static_cast<std::int32_t>(results_.Size());
}

std::optional<Datagram> Library::Record(std::uint32_t index) {
  std::lock_guard lock(mutex_);
  const Datagram* record = results_.At(index);
  if (record == nullptr) return std::nullopt;
  return *record;
}

void Library::CloseSearch() {
  std::lock_guard lock(mutex_);
  results_.Release();
}

std::int32_t Library::SetParam(const void* parent, std::uint16_t destPort,
                               std::int32_t timeLimitSec, const UnitFields& fields) {
  std::lock_guard lock(mutex_);
  paramDatagram_ = MakeParamDatagram(fields);
  destPort_ = destPort;
  if (!IsValidRun(parent, timeLimitSec)) return kResultBadArgument;
  return Execute(Mode::kSetParam, paramDatagram_, timeLimitSec);
}

std::int32_t Library::LogSettings(const char* ansiPath) {
  std::lock_guard lock(mutex_);
  logPath_.clear();
  if (ansiPath == nullptr || *ansiPath == '\0') return 0;
  std::optional<std::string> utf8 = lm::text::TryAnsiToUtf8(ansiPath);
  if (!utf8) return 0;
  std::optional<std::u16string> utf16 = lm::text::TryUtf8ToUtf16(*utf8);
  // Too long a path is refused rather than cut: a cut path names another file.
  if (!utf16 || utf16->size() + 1 > kMaxLogPathUnits) return 0;
  logPath_ = std::move(*utf16);
  return static_cast<std::int32_t>(logPath_.size() + 1);
}

std::int32_t Library::Execute(Mode mode, const Datagram& outgoing, std::int32_t timeLimitSec) {
  moduleFolder_ = EnterModuleFolder();
  if (adapters_.Empty()) adapters_.Fill();
  runAddresses_ = adapters_.Entries().size();
  const std::int32_t result = RunLoop(mode, outgoing, timeLimitSec);
  log_.WriteTo(LogFilePath());
  adapters_.Clear();
  log_.Clear();
  return result;
}

std::int32_t Library::RunLoop(Mode mode, const Datagram& outgoing, std::int32_t timeLimitSec) {
  try {
    RunSettings settings{mode, outgoing, destPort_, std::chrono::seconds(timeLimitSec)};
    SearchRun run(settings, adapters_, results_, log_);
    return run.Run();
  } catch (const std::exception&) {
    // The loop could not be set up or could not go on (out of memory).
    log_.Add(logtext::kLoopFailed);
    return kResultLoopFailed;
  }
}

std::string Library::LogFilePath() const {
  if (logPath_.empty()) return moduleFolder_ + kDefaultLogName;
  return lm::text::TryUtf16ToUtf8(logPath_).value_or(std::string());
}

}  // namespace netseek

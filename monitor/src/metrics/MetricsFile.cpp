#include "lm/monitor/metrics/MetricsFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace lm::monitor {
namespace {

// A label value: backslash, double quote and line feed escaped.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '"') out += "\\\"";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out + "\"";
}

std::string Number(double v) {
  if (!std::isfinite(v)) return "NaN";
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

void Family(std::ostringstream& out, const char* name, const char* help) {
  out << "# HELP " << name << ' ' << help << "\n# TYPE " << name << " gauge\n";
}

void HopFamilies(std::ostringstream& out, const RoundObservation& round) {
  Family(out, "linkmeter_hop_level_median", "Median level (0..255) of the hop in the last survey.");
  for (const HopSample& h : round.hops) {
    if (!h.median) continue;
    out << "linkmeter_hop_level_median{site=" << Quoted(round.site) << ",from=" << Quoted(h.from)
        << ",to=" << Quoted(h.to) << "} " << Number(*h.median) << '\n';
  }
  Family(out, "linkmeter_hop_loss_ratio", "Share of the hop's probes unanswered in the last survey (0..1).");
  for (const HopSample& h : round.hops) {
    if (h.asked == 0) continue;
    out << "linkmeter_hop_loss_ratio{site=" << Quoted(round.site) << ",from=" << Quoted(h.from)
        << ",to=" << Quoted(h.to) << "} " << Number(static_cast<double>(h.asked - h.answered) / h.asked) << '\n';
  }
}

void UnitFamilies(std::ostringstream& out, const RoundObservation& round, const EngineState& state) {
  auto labels = [&](const UnitSample& u) {
    return "{site=" + Quoted(round.site) + ",unit=" + Quoted(u.serial) + ",name=" + Quoted(u.label) + "}";
  };
  Family(out, "linkmeter_unit_battery_percent", "Battery of the unit when last heard, in percent.");
  for (const UnitSample& u : round.units) {
    if (u.battery) out << "linkmeter_unit_battery_percent" << labels(u) << ' ' << Number(*u.battery) << '\n';
  }
  Family(out, "linkmeter_unit_last_heard_timestamp_seconds", "When the unit last answered, seconds since 1970.");
  for (const UnitSample& u : round.units) {
    auto heard = state.lastHeard.find(u.serial);
    if (heard == state.lastHeard.end()) continue;
    out << "linkmeter_unit_last_heard_timestamp_seconds" << labels(u) << ' ' << Number(heard->second / 1000.0) << '\n';
  }
}

void SiteFamilies(std::ostringstream& out, const RoundObservation& round, const EngineState& state) {
  int firing = 0;
  for (const auto& [key, s] : state.subjects) firing += s.firing ? 1 : 0;
  Family(out, "linkmeter_site_alarms_firing", "Alarms firing at the site.");
  out << "linkmeter_site_alarms_firing{site=" << Quoted(round.site) << "} " << firing << '\n';
  Family(out, "linkmeter_site_last_survey_timestamp_seconds", "When the last survey of the site ended, seconds since 1970.");
  out << "linkmeter_site_last_survey_timestamp_seconds{site=" << Quoted(round.site) << "} "
      << Number(round.at / 1000.0) << '\n';
}

}  // namespace

std::string MetricsText(const RoundObservation& round, const EngineState& state) {
  std::ostringstream out;
  HopFamilies(out, round);
  UnitFamilies(out, round, state);
  SiteFamilies(out, round, state);
  return out.str();
}

std::string WriteFileAtomically(const std::string& path, const std::string& text) {
  // An unpredictable name made here and nowhere else: O_EXCL refuses a file
  // (or a symbolic link) someone planted under it, so the write can never
  // land in another file; the rename then replaces the name itself.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 8; ++attempt) {
    uint64_t nonce = 0;
    if (::getrandom(&nonce, sizeof nonce, 0) != sizeof nonce) return path + ": no random name: " + std::strerror(errno);
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(nonce));
    temporary = path + suffix;
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) return temporary + ": " + std::strerror(errno);
  }
  if (fd < 0) return path + ": no temporary name was free";
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool whole = done == text.size() && ::fsync(fd) == 0;
  const int writeErrno = errno;
  ::close(fd);
  if (!whole || ::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string why = std::strerror(whole ? errno : writeErrno);
    ::unlink(temporary.c_str());
    return path + ": " + why;
  }
  return "";
}

}  // namespace lm::monitor

#include "linkmeter/sim/SimMain.h"

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <sstream>

#include "linkmeter/sim/SiteFile.h"
#include "lm/Version.h"
#include "vcomm/UsbBus.h"

namespace linkmeter::sim {
namespace {

const char* const kUsage =
    "usage: linkmeter-sim [OPTIONS]\n"
    "Serves a simulated site: LAN base units on TCP, USB base units on the USB bus.\n"
    "\n"
    "  --site FILE          the site file (default: the built-in demo site)\n"
    "  --print-demo         print the demo site file and exit\n"
    "  --lan-address ADDR   listen on ADDR instead of the site file's addresses\n"
    "  --udp ADDR:PORT      answer search and parameter datagrams there\n"
    "  --hop-ms N           air time per radio hop in milliseconds\n"
    "  --usb-bus DIR        the USB bus directory (default: as libvcomm)\n"
    "  --no-usb             do not attach USB units at start\n"
    "  --transcript FILE    write every frame to FILE ('-' for stderr)\n"
    "  --control            read control lines on standard input:\n"
    "                       attach SERIAL | detach SERIAL | fault SERIAL {json} |\n"
    "                       clear SERIAL | move SERIAL METRES |\n"
    "                       level SERIAL 1..255|off | ports | quit\n"
    "  --help               show this text\n"
    "  --version            print the version and exit\n";

struct Args {
  std::string site, transcript, usbBus;
  bool printDemo = false, control = false, help = false, version = false;
  SimulatorOptions options;
};

bool SplitHostPort(const std::string& text, std::string& host, int& port) {
  auto colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  host = text.substr(0, colon);
  port = std::atoi(text.substr(colon + 1).c_str());
  return !host.empty() && port >= 0 && port <= 65535;
}

bool ParseArgs(const std::vector<std::string>& args, Args& a, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    const std::string* v = nullptr;
    if (arg == "--help" || arg == "-h") a.help = true;
    else if (arg == "--version") a.version = true;
    else if (arg == "--print-demo") a.printDemo = true;
    else if (arg == "--control") a.control = true;
    else if (arg == "--no-usb") a.options.attachUsb = false;
    else if (arg == "--site" && (v = value())) a.site = *v;
    else if (arg == "--transcript" && (v = value())) a.transcript = *v;
    else if (arg == "--usb-bus" && (v = value())) a.usbBus = *v;
    else if (arg == "--lan-address" && (v = value())) a.options.lanAddress = *v;
    else if (arg == "--hop-ms" && (v = value())) a.options.hopMs = std::atoi(v->c_str());
    else if (arg == "--udp" && (v = value())) {
      std::string host;
      int port = 0;
      if (!SplitHostPort(*v, host, port)) return error = "--udp wants ADDR:PORT", false;
      a.options.udp = true, a.options.udpAddress = host, a.options.udpPort = port;
    } else {
      error = "unknown or incomplete option: " + arg;
      return false;
    }
  }
  return true;
}

void PrintSite(Simulator& simulator, std::ostream& out) {
  for (const auto& unit : simulator.Site().baseUnits) {
    out << SerialText(unit.serial) << ' ' << unit.name;
    if (unit.usb) out << " usb " << (simulator.IsAttached(unit.serial) ? "attached" : "detached");
    else out << " lan " << unit.lanAddress << ':' << simulator.LanPort(unit.serial);
    out << '\n';
  }
  if (simulator.UdpPort()) out << "udp " << simulator.UdpPort() << '\n';
  out.flush();
}

// Blocked before any thread starts, so they all inherit it and only the
// sigwait below takes SIGINT and SIGTERM.
void BlockStopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int WaitForSignal() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  int signal = 0;
  sigwait(&set, &signal);
  return 0;
}

// A repeater or remote unit anywhere on the site.
bool SiteHasUnit(const SiteSpec& site, std::uint32_t serial) {
  for (const auto& base : site.baseUnits) {
    for (const auto& g : base.groups) {
      for (const auto& r : g.repeaters) if (r.serial == serial) return true;
      for (const auto& u : g.remoteUnits) if (u.serial == serial) return true;
    }
  }
  return false;
}

// "move SERIAL METRES" and "level SERIAL 1..255|off": the site changed
// between two visits, so a hop weakens or recovers.
bool ChangeSite(Simulator& simulator, const std::string& command, std::uint32_t serial, std::istream& words,
                std::string& error) {
  if (!SiteHasUnit(simulator.Site(), serial)) return error = "no repeater or remote unit " + SerialText(serial), false;
  std::string value, extra;
  words >> value >> extra;
  char* end = nullptr;
  const double number = std::strtod(value.c_str(), &end);
  const bool isNumber = !value.empty() && end && *end == '\0' && std::isfinite(number);
  if (command == "level" && value == "off" && extra.empty()) return simulator.Radio().PinLevel(serial, std::nullopt), true;
  if (command == "level" && isNumber && extra.empty() && number >= 1 && number <= 255 && number == std::floor(number)) {
    return simulator.Radio().PinLevel(serial, static_cast<int>(number)), true;
  }
  if (command == "move" && isNumber && extra.empty() && number > 0) return simulator.Radio().MoveUnit(serial, number), true;
  error = command == "move" ? "move wants a distance in metres above 0" : "level wants 1..255 or off";
  return false;
}

}  // namespace

bool RunControlLine(Simulator& simulator, const std::string& line, std::ostream& out) {
  std::istringstream words(line);
  std::string command, serialText;
  words >> command >> serialText;
  if (command == "quit") return false;
  if (command == "ports") return PrintSite(simulator, out), true;
  auto serial = ParseSerial(serialText);
  if (!serial) return out << "error: give a serial number\n", true;
  std::string error;
  bool ok = false;
  if (command == "attach") ok = simulator.AttachUsb(*serial, &error);
  else if (command == "detach") ok = simulator.DetachUsb(*serial) || (error = "not attached", false);
  else if (command == "clear") ok = (simulator.ClearFaults(*serial), true);
  else if (command == "move" || command == "level") ok = ChangeSite(simulator, command, *serial, words, error);
  else if (command == "fault") {
    std::string json;
    std::getline(words, json);
    auto rule = ParseFaultRule(json, &error);
    if (rule) simulator.InjectFault(*serial, *rule), ok = true;
  } else {
    error = "unknown command " + command;
  }
  out << (ok ? "ok" : "error: " + error) << '\n';
  out.flush();
  return true;
}

int SimMain(const CommandTable& commands, const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err) {
  Args a;
  std::string error;
  if (!ParseArgs(args, a, error)) return err << "linkmeter-sim: " << error << "\n\n" << kUsage, 2;
  if (a.help) return out << kUsage, 0;
  if (a.version) return out << lm::kVersionText << '\n', 0;
  if (a.printDemo) return out << DemoSiteText(), 0;
  auto site = a.site.empty() ? std::optional<SiteSpec>(DemoSite()) : LoadSiteFile(a.site, &error);
  if (!site) return err << "linkmeter-sim: " << error << '\n', 1;
  if (!a.usbBus.empty()) vcomm::usb::SetBusDirectory(a.usbBus);

  if (!a.control) BlockStopSignals();

  Simulator simulator(std::move(*site), commands, a.options);
  if (a.transcript == "-") simulator.GetTranscript().WriteTo(&err);
  else if (!a.transcript.empty() && !simulator.GetTranscript().WriteToFile(a.transcript)) {
    return err << "linkmeter-sim: cannot write " << a.transcript << '\n', 1;
  }
  simulator.GetTranscript().Keep(false);
  if (!simulator.Start(&error)) return err << "linkmeter-sim: " << error << '\n', 1;
  PrintSite(simulator, out);
  if (!a.control) return WaitForSignal();
  std::string line;
  while (std::getline(in, line)) {
    if (!RunControlLine(simulator, line, out)) break;
  }
  return 0;
}

}  // namespace linkmeter::sim

#include "linkmeter/cli/ArgParser.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace linkmeter::cli {
namespace {

// A file that cannot be read now will not be read later either: said at
// once, before any work starts.
bool Readable(const std::string& path, std::string& error) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error = "cannot read " + path + ": it is a folder";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> ParsedArgs::Get(std::string_view name) const {
  auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

std::optional<ParsedArgs> ParseArgs(const std::vector<std::string>& args, const std::vector<OptionRule>& known,
                                    std::string& error) {
  ParsedArgs parsed;
  bool onlyWords = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (onlyWords || a.size() < 2 || a[0] != '-') {
      parsed.positionals.push_back(a);
      continue;
    }
    if (a == "--") {
      onlyWords = true;
      continue;
    }
    const size_t eq = a.find('=');
    const std::string name = a.substr(0, eq);
    auto rule = std::find_if(known.begin(), known.end(), [&](const OptionRule& s) { return s.name == name; });
    if (rule == known.end()) {
      error = "unknown option: " + name;
      return std::nullopt;
    }
    if (parsed.Has(name)) {
      error = name + " given twice";
      return std::nullopt;
    }
    std::string value;
    if (rule->takesValue) {
      if (eq != std::string::npos) {
        value = a.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        error = name + " needs a value";
        return std::nullopt;
      }
      if (value.empty()) {
        error = name + " needs a value";
        return std::nullopt;
      }
    } else if (eq != std::string::npos) {
      error = name + " takes no value";
      return std::nullopt;
    }
    if (rule->inputFile) {
      value = AbsolutePath(value);
      if (!Readable(value, error)) return std::nullopt;
    }
    parsed.values.emplace(name, std::move(value));
  }
  return parsed;
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

std::optional<long> ParseCount(const std::string& text, long lo, long hi) {
  long n = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, n);
  if (text.empty() || ec != std::errc() || ptr != end || n < lo || n > hi) return std::nullopt;
  return n;
}

}  // namespace linkmeter::cli

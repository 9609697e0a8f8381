#pragma once
// What a subcommand prints on standard output: a table a person reads, CSV
// or JSON for scripts (--format table|csv|json).

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "lm/Json.h"

namespace linkmeter::cli {

enum class Format { kTable, kCsv, kJson };

std::optional<Format> ParseFormat(const std::string& text);

struct Table {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
};

class Output {
 public:
  Output(std::ostream& out, Format format) : out_(out), format_(format) {}
  Format format() const { return format_; }
  // The stream itself, for output written line by line as it comes (monitor).
  std::ostream& Stream() const { return out_; }

  // The result: `table` as aligned columns or CSV, `json` for --format json
  // (its serials as text: WithSerialText).
  // `notes` are lines a person reads after the table (table format only).
  void Write(const Table& table, const lm::json::Value& json, const std::vector<std::string>& notes = {});

 private:
  std::ostream& out_;
  Format format_;
};

// Aligned columns under a header line and a rule, at most kTableWidth
// columns wide: the widest columns wrap their cells onto more lines (at
// spaces where they can) until the table fits. Kana and kanji count two.
inline constexpr size_t kTableWidth = 100;
void WriteAligned(std::ostream& out, const Table& table);
// `text` with every line wider than `width` columns broken at a space
// (between bracketed options rather than inside one), the rest of it on a
// line of its own indented by `indent` spaces.
std::string FitLines(const std::string& text, size_t width = kTableWidth, size_t indent = 8);
// `text` with each control byte (a line break among them) as a space: a
// name from a unit or a file stays one line of a table or the log.
std::string OneLine(std::string text);
// RFC 4180 CSV with a header row; a text cell that a spreadsheet would take
// for a formula gets a leading apostrophe.
void WriteCsv(std::ostream& out, const Table& table);

// JSON as the command line writes it: a serial the page's functions give as
// a number (the members IsSerialKey names, or a list under them) becomes
// the text every other output and input shows, "009C0021".
bool IsSerialKey(const std::string& key);
lm::json::Value WithSerialText(const lm::json::Value& json);

// The table a site-logic function answers ({header: [...], rows: [[...]]}),
// every cell as text (NumberText).
Table TableOf(const lm::json::Value& table);

// Number text without a needless fraction ("12", "12.5"); "" for null.
std::string NumberText(const lm::json::Value& v);
// A member of an object as text ("" when missing or not an object).
std::string MemberText(const lm::json::Value& object, const std::string& key);
// A member of an object (null when missing or not an object).
const lm::json::Value& MemberValue(const lm::json::Value& object, const std::string& key);
// A member of an object that is a list (empty when missing or not a list).
const lm::json::Array& MemberArray(const lm::json::Value& object, const std::string& key);
// A time (ms since 1970 UTC) as "YYYY-MM-DD hh:mm:ss" in this computer's
// time zone, as the page shows times; `withZone` adds the zone's name.
std::string LocalTimeText(int64_t ms, bool withZone = false);
// "1 logger", "2 loggers": a count with its noun (an English plural in -s).
std::string CountOf(size_t n, const std::string& noun);

}  // namespace linkmeter::cli

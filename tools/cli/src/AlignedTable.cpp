// WriteAligned (Output.h): columns padded to a common width, and a table
// wider than kTableWidth narrowed by wrapping its widest columns.
#include <algorithm>
#include <numeric>
#include <ostream>

#include "linkmeter/cli/Output.h"

namespace linkmeter::cli {
namespace {

constexpr size_t kGap = 2;          // spaces between columns
constexpr size_t kNarrowest = 8;    // no column is wrapped narrower, unless its header word is wider

// The code point starting at s[at] and its length in bytes.
char32_t CodePoint(const std::string& s, size_t at, size_t& length) {
  const auto b = static_cast<unsigned char>(s[at]);
  length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
  if (at + length > s.size()) length = 1;
  char32_t c = length == 1 ? b : b & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) c = (c << 6) | (static_cast<unsigned char>(s[at + i]) & 0x3F);
  return c;
}

// Columns a terminal gives the code point: two for the wide East Asian ones.
size_t Columns(char32_t c) {
  const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                    (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                    (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
  return wide ? 2 : 1;
}

size_t Width(const std::string& s) {
  size_t width = 0;
  for (size_t at = 0, length = 0; at < s.size(); at += length) width += Columns(CodePoint(s, at, length));
  return width;
}

// Splits `word` into pieces of at most `width` columns (one code point at least).
std::vector<std::string> Broken(const std::string& word, size_t width) {
  std::vector<std::string> pieces{""};
  size_t used = 0;
  for (size_t at = 0, length = 0; at < word.size(); at += length) {
    const size_t w = Columns(CodePoint(word, at, length));
    if (used + w > width && !pieces.back().empty()) {
      pieces.emplace_back();
      used = 0;
    }
    pieces.back() += word.substr(at, length);
    used += w;
  }
  return pieces;
}

// `text` in lines of at most `width` columns, broken at spaces where it can.
std::vector<std::string> Wrapped(const std::string& text, size_t width) {
  if (Width(text) <= width) return {text};
  std::vector<std::string> lines{""};
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    for (const std::string& piece : Broken(text.substr(start, end - start), width)) {
      const std::string joined = lines.back().empty() ? piece : lines.back() + " " + piece;
      if (Width(joined) <= width) lines.back() = joined;
      else lines.push_back(piece);
    }
    start = end + 1;
  }
  return lines;
}

// The widest word of `text` (split at spaces).
size_t WidestWord(const std::string& text) {
  size_t word = 0;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    word = std::max(word, Width(text.substr(start, end - start)));
    start = end + 1;
  }
  return word;
}

size_t Words(const std::string& text) {
  return text.empty() ? 0 : static_cast<size_t>(std::count(text.begin(), text.end(), ' ')) + 1;
}

// What a column gives when the table is too wide: first its header wraps
// down to its widest cell, then the column of the most text (width times
// words per cell: prose before times and serials) narrows a step at a time,
// never below its widest header word, kNarrowest, or its widest cell word
// up to kWordKept, so a serial or a number is never cut.
constexpr size_t kWordKept = 16;

struct Column {
  size_t width = 0, cells = 0, floor = 0;
  double words = 1;  // per cell, at least one
};

std::vector<Column> Measured(const Table& table) {
  std::vector<Column> columns(table.columns.size());
  std::vector<size_t> cellWord(columns.size(), 0), wordCount(columns.size(), 0);
  for (const auto& row : table.rows) {
    for (size_t i = 0; i < row.size() && i < columns.size(); ++i) {
      columns[i].cells = std::max(columns[i].cells, Width(row[i]));
      cellWord[i] = std::max(cellWord[i], WidestWord(row[i]));
      wordCount[i] += Words(row[i]);
    }
  }
  for (size_t i = 0; i < columns.size(); ++i) {
    Column& c = columns[i];
    c.width = std::max(c.cells, Width(table.columns[i]));
    c.floor = std::min(c.width, std::max({WidestWord(table.columns[i]), kNarrowest, std::min(cellWord[i], kWordKept)}));
    if (!table.rows.empty()) c.words = std::max(1.0, static_cast<double>(wordCount[i]) / table.rows.size());
  }
  return columns;
}

std::vector<size_t> Widths(const Table& table) {
  std::vector<Column> columns = Measured(table);
  size_t total = columns.empty() ? 0 : (columns.size() - 1) * kGap;
  for (const Column& c : columns) total += c.width;
  for (Column& c : columns) {  // headers wrap first
    const size_t header = std::max(c.cells, c.floor);
    const size_t give = std::min(total > kTableWidth ? total - kTableWidth : 0, c.width - std::min(c.width, header));
    c.width -= give;
    total -= give;
  }
  for (; total > kTableWidth; --total) {
    Column* most = nullptr;
    for (Column& c : columns) {
      if (c.width > c.floor && (!most || c.width * c.words > most->width * most->words)) most = &c;
    }
    if (!most) break;
    --most->width;
  }
  std::vector<size_t> widths;
  for (const Column& c : columns) widths.push_back(c.width);
  return widths;
}

// Where to break a line too wide: the space before `width` columns that
// is least deep in brackets (a usage breaks between its options, not inside
// one), the latest of those; npos when none.
size_t BreakAt(const std::string& line, size_t width, size_t indent) {
  size_t best = std::string::npos, bestDepth = 0, columns = 0;
  int depth = 0;
  for (size_t at = 0, length = 0; at < line.size() && columns <= width; at += length) {
    const char32_t c = CodePoint(line, at, length);
    if (c == ' ' && columns > indent && (best == std::string::npos || static_cast<size_t>(std::max(depth, 0)) <= bestDepth)) {
      best = at;
      bestDepth = static_cast<size_t>(std::max(depth, 0));
    }
    depth += c == '(' || c == '[' ? 1 : c == ')' || c == ']' ? -1 : 0;
    columns += Columns(c);
  }
  return best;
}

}  // namespace

std::string FitLines(const std::string& text, size_t width, size_t indent) {
  std::string out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (Width(line) > width) {
      const size_t at = BreakAt(line, width, indent);
      if (at == std::string::npos) break;
      out += line.substr(0, at) + "\n";
      line = std::string(indent, ' ') + line.substr(at + 1);
    }
    out += line + (end < text.size() ? "\n" : "");
    start = end + 1;
  }
  return out;
}

void WriteAligned(std::ostream& out, const Table& table) {
  const std::vector<size_t> widths = Widths(table);
  auto row = [&](const std::vector<std::string>& cells) {
    std::vector<std::vector<std::string>> wrapped;
    size_t height = 1;
    for (size_t i = 0; i < widths.size(); ++i) {
      wrapped.push_back(Wrapped(i < cells.size() ? cells[i] : std::string(), widths[i]));
      height = std::max(height, wrapped.back().size());
    }
    for (size_t line = 0; line < height; ++line) {
      std::string text;
      for (size_t i = 0; i < widths.size(); ++i) {
        const std::string cell = line < wrapped[i].size() ? wrapped[i][line] : std::string();
        text += cell;
        if (i + 1 < widths.size()) text += std::string(widths[i] - std::min(widths[i], Width(cell)) + kGap, ' ');
      }
      while (!text.empty() && text.back() == ' ') text.pop_back();
      out << text << "\n";
    }
  };
  row(table.columns);
  std::vector<std::string> rule;
  for (size_t w : widths) rule.push_back(std::string(w, '-'));
  row(rule);
  for (const auto& cells : table.rows) row(cells);
}

}  // namespace linkmeter::cli

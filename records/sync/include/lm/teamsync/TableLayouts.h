#pragma once
// The tables a sync moves, in the order a visit's rows are written: for each,
// its columns as the server names them, how the local store and the server
// select a visit's rows, and the inventory item each row belongs to.
//
// Both selects answer the table's columns followed by one more, the row's
// key: its item is key + suffix. A record's item is its content id; an end
// time's is the content id + ":end"; a record's parts (probes, hop
// statistics, scan rounds, write keys) are counted under the parent's
// content id + ":probes" and so on. A part's or an end's server select
// answers two more after the key: who sent the row and who sent its record.
// Parts come before their record's end: the end's seal covers them.

#include <span>
#include <string>
#include <vector>

namespace lm::teamsync {

enum class ColumnType { kInt, kReal, kText, kBytes, kBool };

struct Column {
  const char* name;
  ColumnType type;
};

struct TableLayout {
  const char* table;  // on the server (schema linkmeter)
  std::vector<Column> columns;
  const char* suffix;
  const char* localSelect;   // ?1: the local visit id
  const char* serverSelect;  // $1: the keys wanted, a text[]
  bool pullOnly = false;     // what the server says of a record (a receipt): fetched, never sent
  // A bytes column that may travel apart from its row, in pieces (a plan's
  // image; RowText.h's StreamedSize); -1 for none. Both selects answer its
  // size after the key, the local one the row's id in its own table next.
  int streamed = -1;
};

std::span<const TableLayout> TableLayouts();
const TableLayout& LayoutOf(const std::string& table);

// Every item of the visits in scope with its count: (visit content id,
// item, count). ?1 / $1: a site serial, or NULL for every site; locally
// ?2 a visit's content id, or NULL for every visit.
extern const char* const kLocalInventory;
extern const char* const kServerInventory;

}  // namespace lm::teamsync

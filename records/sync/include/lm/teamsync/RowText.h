#pragma once
// Rows as they travel between the store and the server: every value in
// PostgreSQL's text form (integers in decimal, booleans t/f, bytes as \x and
// hex digits), NULL as nullopt.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lm/records/Records.h"
#include "lm/records/Statement.h"
#include "lm/teamsync/PgConnection.h"
#include "lm/teamsync/TableLayouts.h"

namespace lm::teamsync {

using Row = std::vector<PgValue>;
using Rows = std::vector<Row>;
// A visit's rows by table name.
using VisitRows = std::map<std::string, Rows>;

// Column `column` of a local row in text form.
PgValue LocalValue(const records::Statement& st, int column, ColumnType type);
// Binds a text-form value to a local statement's parameter.
void BindLocal(records::Statement& st, int index, ColumnType type, const PgValue& value);

// A streamed value (TableLayout::streamed) travels apart from its row: its
// column is NULL and its size follows the row's columns. Its bytes are read
// where they are kept, a piece of at most kPieceBytes at a time.
constexpr size_t kPieceBytes = size_t{1} << 20;
using PieceSink = std::function<void(std::span<const uint8_t>)>;
// Hands each piece of a row's streamed value to `take`, in order.
using ReadPieces = std::function<void(const Row& row, const PieceSink& take)>;
// The size of a row's streamed value; nullopt when its value is in the row.
std::optional<int64_t> StreamedSize(const TableLayout& layout, const Row& row);

// Each row's columns as a COPY text line, handed to `put` in pieces; a
// streamed value's bytes are read from `pieces` and sent as they come.
void PutCopyRows(const TableLayout& layout, const Rows& rows, const ReadPieces& pieces, const CopyPut& put);

// A row as a line for people: "table: column=value, ...", control
// characters as \u escapes, long values cut, bytes as their count.
std::string ShownRow(const TableLayout& layout, const Row& row);

int64_t IntOf(const PgValue& v);
std::optional<int64_t> OptIntOf(const PgValue& v);
records::Bytes BytesOf(const PgValue& v);
// The kind of raw record a sync moves by that name ("plan"); nullopt for none.
std::optional<records::RawKind> RawKindNamed(const std::string& name);
bool BoolOf(const PgValue& v);

}  // namespace lm::teamsync

#pragma once
// Rows as they travel between the store and the server: every value in
// PostgreSQL's text form (integers in decimal, booleans t/f, bytes as \x and
// hex digits), NULL as nullopt.

#include <map>
#include <string>
#include <vector>

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

// The first `columns` values of each row as COPY text lines.
std::string CopyText(const Rows& rows, size_t columns);

// A row as a line for people: "table: column=value, ...", control
// characters as \u escapes, long values cut, bytes as their count.
std::string ShownRow(const TableLayout& layout, const Row& row);

int64_t IntOf(const PgValue& v);
std::optional<int64_t> OptIntOf(const PgValue& v);
records::Bytes BytesOf(const PgValue& v);
bool BoolOf(const PgValue& v);

}  // namespace lm::teamsync

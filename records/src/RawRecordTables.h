#pragma once

#include <initializer_list>

namespace lm::records {

class Database;

// Creates tables of raw records made in a visit, in the shape of the
// registration snapshots and downloads (content id, visit, time, unit,
// source, header, raw bytes, decoded form): the tables in the order given,
// then an index of each by visit, then a trigger on each that removes the
// visit's sync mark when a record is added, as every other record does.
// The statement texts are what the schema keeps, so they never change.
void CreateRawRecordTables(Database& db, std::initializer_list<const char*> tables);

}  // namespace lm::records

#pragma once
// The load of the configuration at start-up: every terminal with its
// devices. Their loops, parameter values, phones and keys are read per
// terminal when first needed (CTerminal::ReadDependants).
//
// Ids are taken in ascending order. Rows that cannot make a record are left
// out of memory and keep their rows, and the load goes on: an id out of its
// range (a negative terminal number, a device address outside the type's bus
// addresses, a loop number below 1), a type description that no longer reads.
// A slave whose master is missing loads unattached. A parameter, phone or key
// row that is missing is added with its initial value when the terminal's
// dependants are read.
#include "db/Terminal.h"

#include <memory>
#include <vector>

namespace tornu {

class CConfigDatabase;
class IRowSource;

// How the tables are read: the fastest way the database allows (the
// embedded SQLite file directly, a PostgreSQL server through its own client
// library), or always through the driver.
enum class TableAccess { Fastest, Driver };

// Appends the terminals to `terminals`. Reads the terminal and device tables
// with one query each; false when the database is unavailable or a table
// cannot be read whole: nothing is appended then, and the database is marked
// unavailable with the driver's text. Both ways of reading give the same
// records.
bool LoadConfiguration(CConfigDatabase& db, const ParamDescList& params,
                       std::vector<std::unique_ptr<CTerminal>>& terminals,
                       TableAccess access = TableAccess::Fastest);

// The same from any row source.
bool LoadConfiguration(IRowSource& source, CConfigDatabase& db, const ParamDescList& params,
                       std::vector<std::unique_ptr<CTerminal>>& terminals);

} // namespace tornu

// The ledger in SQLite (PrintLog.db beside the start file) behind the interface of print/Ledger.h. On
// Linux this lives in a module that the program loads on its first print or history
// (services/LedgerLoader.cpp), so that libsqlite3 stays out of start-up; on Windows SQLite is linked in.
#pragma once
#include <memory>
#include <string>

#include "print/Ledger.h"

namespace kb {

// The schema this program writes (PRAGMA user_version); docs/ledger.md gives each version's changes.
constexpr int LedgerSchemaVersion = 1;

// Opens (making it, and reading the last version's CSV ledger into it, on first use) the ledger beside
// `startFile`. Never fails outright: a ledger that cannot be opened says why in problem().
std::unique_ptr<Ledger> openSqliteLedger(const std::string& startFile);

} // namespace kb

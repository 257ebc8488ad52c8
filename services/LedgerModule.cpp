// The ledger module's one entry, which services/LedgerLoader.cpp looks up: the ledger for a start file.
#include "services/LedgerSqlite.h"

extern "C" __attribute__((visibility("default"))) kb::Ledger* kbOpenLedger(const std::string* startFile) {
    return kb::openSqliteLedger(*startFile).release();
}

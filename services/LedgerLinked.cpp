// The ledger where SQLite is linked into the program (the Windows build).
#include "services/LedgerOpen.h"
#include "services/LedgerSqlite.h"

namespace kb {

std::unique_ptr<Ledger> openLedger(const std::string& startFile) {
    return openSqliteLedger(startFile);
}

} // namespace kb

// The ledger where SQLite is linked into the program (the Windows build).
#include "services/LedgerOpen.h"
#include "services/LedgerSqlite.h"

#include <exception>

namespace kb {

std::unique_ptr<Ledger> openLedger(const std::string& startFile) {
    try {
        return openSqliteLedger(startFile);
    } catch (const std::exception& e) {
        return std::make_unique<NoLedger>(e.what());
    }
}

} // namespace kb

// The ledger beside a start file (PrintLog.db), for the print service and the history. Opened only
// when a run prints or the history is asked for, never at start-up.
#pragma once
#include <memory>
#include <string>

#include "print/Ledger.h"

namespace kb {

// Never null and never throws: a ledger that cannot be opened (or whose module cannot be loaded) says
// why in problem() and records nothing.
std::unique_ptr<Ledger> openLedger(const std::string& startFile);

// A ledger that records nothing, with the reason.
class NoLedger final : public Ledger {
  public:
    explicit NoLedger(std::string why) : m_problem(std::move(why)) {}
    const std::string& problem() const override { return m_problem; }
    std::optional<std::int64_t> recordSheet(const SheetRecord&) override { return std::nullopt; }
    bool setState(std::int64_t, SheetState, const std::string&, const std::string&) override { return false; }
    std::optional<PrintedBefore> firstRepeat(const std::vector<SeriesKey>&) override { return std::nullopt; }
    std::optional<std::int32_t> nextFreeSerial(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::vector<WaitingSheet> waitingSheets() override { return {}; }
    std::vector<HistorySheet> lastSheets(std::size_t) override { return {}; }
    bool exportCsv(const std::function<bool(std::string_view)>&) override { return false; }
    CopyOutcome updateCopy() override { return {false, m_problem}; }

  private:
    std::string m_problem;
};

} // namespace kb

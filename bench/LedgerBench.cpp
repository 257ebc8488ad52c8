// The check a numbered run makes before it prints: the whole ledger read from disk (a full 5 MB
// PrintLog.csv and its older PrintLog.1.csv), parsed, each sheet given its job's end, and every sheet
// compared with this run's labels. The worst case: every sheet carries the run's line 1 and serial
// numbers, so each is compared label by label, and none is a repeat (another date).
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "services/Codec.h"
#include "services/PrintLogFile.h"

namespace {

// Fills PrintLog.csv (and PrintLog.1.csv) to just under the size at which the ledger turns over.
void fillLedger(const QString& folder) {
    for (const char* name : {"PrintLog.1.csv", "PrintLog.csv"}) {
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        file.open(QIODevice::WriteOnly);
        QByteArray text = "\xEF\xBB\xBF";
        text += QByteArray::fromStdString(kb::csvRecord(kb::ledgerColumns()));
        for (int job = 1; text.size() < kb::PrintLogFile::RotateAt - 400; ++job) {
            kb::LedgerRow row{"2026-12-09T10:00:00+09:00",
                              "command",
                              "kbtest",
                              std::to_string(job),
                              "1",
                              "1-30",
                              "検体番号",
                              "ABC-1 26/12/08",
                              "検体番号",
                              "ABC-30 26/12/08",
                              "1",
                              "30",
                              "queued",
                              ""};
            text += QByteArray::fromStdString(kb::csvRecord(row));
            row.state = "printed";
            text += QByteArray::fromStdString(kb::csvRecord(row));
        }
        file.write(text);
    }
}

void LedgerRepeatCheck(benchmark::State& state) {
    QTemporaryDir dir;
    fillLedger(dir.path());
    const kb::PrintLogFile log(dir.path());
    // The run's label: the ledger's line 1, its stem and numbers, but another day's date.
    kb::NumberedLabel label;
    label.where = kb::NumberedLine::Line2;
    label.fixedLine1 = *kb::toSjis(QStringLiteral("検体番号"));
    label.NumberStem = "ABC";
    label.withDate = true;
    label.dateField = "26/12/09";
    const kb::TypedLabels labels(label, true, 1, 30);
    for (auto _ : state)
        benchmark::DoNotOptimize(log.firstRepeat(labels));
    state.counters["sheets"] = double(kb::ledgerSheets(log.readAll()).size());
}
BENCHMARK(LedgerRepeatCheck)->Unit(benchmark::kMillisecond);

} // namespace

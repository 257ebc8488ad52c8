// The ledger's database at 1 000 000 labels: the repeat check of a 300- and a 3 000-label run (serials
// in a row, or scattered as a list's may be), the copy's update after a run of 300 labels, one sheet's
// synchronous record, the history, and the size per label. The ledger is filled once, in one transaction (33 334 sheets of 30 labels of 1 000
// series), in a folder of its own that goes when the bench ends.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sqlite3.h>
#include <unistd.h>

#include "services/LedgerSqlite.h"

namespace fs = std::filesystem;

namespace {

constexpr int Labels = 1'000'000;
const std::string Line1 = "検体番号";

std::string stem(int series) {
    return "S" + std::to_string(1000 + series);
}

struct Full {
    fs::path folder;
    std::string start;
    std::unique_ptr<kb::Ledger> ledger;

    Full() {
        char name[] = "/tmp/kb-ledger-bench-XXXXXX";
        folder = ::mkdtemp(name);
        start = (folder / "StartFile.txt").string();
        std::ofstream(start) << "1\r\n10\r\n10\r\n\r\n0\r\n";
        kb::openSqliteLedger(start); // the schema
        sqlite3* db = nullptr;
        sqlite3_open((folder / "PrintLog.db").c_str(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt *sheet = nullptr, *label = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO sheet(time, program, printer, job, run, sheet, state) VALUES "
                           "('2026-12-09T10:00:00+09:00', 'window', 'kbtest', ?1, ?1, 1, 'printed')",
                           -1, &sheet, nullptr);
        sqlite3_prepare_v2(db,
                           "INSERT INTO label(sheet_id, position, line1, line2, stem, serial, list_row) "
                           "VALUES (?, ?, ?, ?, ?, ?, 0)",
                           -1, &label, nullptr);
        for (int i = 0; i < Labels; ++i) {
            if (i % 30 == 0) {
                sqlite3_bind_int(sheet, 1, i / 30 + 1);
                sqlite3_step(sheet);
                sqlite3_reset(sheet);
            }
            // Series after series, 1 000 labels each.
            const std::string s = stem(i / 1000),
                              line2 = s + "-" + std::to_string(i % 1000 + 1) + " 26/12/09";
            sqlite3_bind_int64(label, 1, i / 30 + 1);
            sqlite3_bind_int(label, 2, i % 30 + 1);
            sqlite3_bind_text(label, 3, Line1.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(label, 4, line2.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(label, 5, s.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(label, 6, i % 1000 + 1);
            sqlite3_step(label);
            sqlite3_reset(label);
        }
        sqlite3_finalize(sheet);
        sqlite3_finalize(label);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        ledger = kb::openSqliteLedger(start);
        ledger->updateCopy(); // the whole copy, once
    }
    ~Full() { fs::remove_all(folder); }
};

Full& full() {
    static Full f;
    return f;
}

// A run of `count` labels of a series the ledger holds, numbered past its end: none repeats. A typed
// run's serials follow each other (one look-up); a list's may not: every second number, each label
// looked up on its own.
std::vector<kb::SeriesKey> run(int count, int step) {
    std::vector<kb::SeriesKey> keys;
    for (int i = 0; i < count; ++i)
        keys.push_back({Line1, stem(500), 1001 + i * step});
    return keys;
}

kb::SheetRecord sheetOf(int first) {
    kb::SheetRecord r{"2026-12-09T11:00:00+09:00", "window", "kbtest", "1", "bench", 1, {}};
    for (int i = 0; i < 30; ++i)
        r.labels.push_back(
            {i + 1, Line1, "X-" + std::to_string(first + i) + " 26/12/09", "X", first + i, 0, "", ""});
    return r;
}

void RepeatCheck(benchmark::State& state) {
    kb::Ledger& ledger = *full().ledger;
    const auto keys = run(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state)
        benchmark::DoNotOptimize(ledger.firstRepeat(keys));
    state.counters["labels in the ledger"] = Labels;
}
BENCHMARK(RepeatCheck)
    ->ArgsProduct({{300, 3000}, {1, 2}})
    ->ArgNames({"labels", "step"})
    ->Unit(benchmark::kMillisecond);

// The copy's update after a run of 10 sheets (300 labels) whose jobs ended: the run's own record is
// not timed.
void CopyUpdateAfterRun(benchmark::State& state) {
    kb::Ledger& ledger = *full().ledger;
    int serial = 1;
    for (auto _ : state) {
        state.PauseTiming();
        for (int s = 0; s < 10; ++s, serial += 30)
            ledger.setState(*ledger.recordSheet(sheetOf(serial)), kb::SheetState::Printed, "", "t");
        state.ResumeTiming();
        if (!ledger.updateCopy().upToDate)
            state.SkipWithError("copy not written");
    }
    state.counters["copy MB"] = double(fs::file_size(full().folder / "PrintLog.csv")) / 1e6;
}
BENCHMARK(CopyUpdateAfterRun)->Unit(benchmark::kMillisecond)->Iterations(20);

// The whole copy written afresh (the first time, or after someone else wrote it): once in a while, and
// the one slow update.
void CopyAfresh(benchmark::State& state) {
    kb::Ledger& ledger = *full().ledger;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(full().folder / "PrintLog.csv");
        state.ResumeTiming();
        if (!ledger.updateCopy().upToDate)
            state.SkipWithError("copy not written");
    }
}
BENCHMARK(CopyAfresh)->Unit(benchmark::kMillisecond)->Iterations(2);

// One sheet of 30 labels, committed to the disk.
void RecordSheet(benchmark::State& state) {
    kb::Ledger& ledger = *full().ledger;
    int serial = 1'000'001;
    for (auto _ : state)
        benchmark::DoNotOptimize(ledger.recordSheet(sheetOf(serial += 30)));
}
BENCHMARK(RecordSheet)->Unit(benchmark::kMillisecond)->Iterations(50);

void History(benchmark::State& state) {
    kb::Ledger& ledger = *full().ledger;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ledger.lastSheets(20));
        benchmark::DoNotOptimize(ledger.nextFreeSerial(Line1, stem(999)));
    }
    const auto bytes = double(fs::file_size(full().folder / "PrintLog.db"));
    state.counters["database MB"] = bytes / 1e6;
    state.counters["bytes per label"] = bytes / Labels;
}
BENCHMARK(History)->Unit(benchmark::kMicrosecond);

} // namespace

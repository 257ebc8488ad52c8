// How long the rules take for one full sheet and for one composition, without any printer.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "content/Composition.h"
#include "bench/RecordingSurface.h"
#include "print/PrintRules.h"

namespace {

using kbbench::RecordingSurface;

kb::SheetJob numberedJob() {
    kb::ComposeInput in;
    in.line1 = "HELLO";
    in.line2 = "ABCDEFGHIJ";
    in.line2Work = "ABCDEFGHIJ";
    in.dateChecked = true;
    in.dateField = "26/12/07";
    in.numberingOn = true;
    in.firstNumber = 7;
    const kb::Composition c = kb::compose(in);
    kb::SheetJob job;
    job.startPosition = 1;
    job.labels = std::make_shared<const kb::TypedLabels>(c.label, true, 7, 30);
    return job;
}

void PrintSheetPlain(benchmark::State& state) {
    RecordingSurface surface;
    kb::NumberedLabel label;
    label.fixedLine1 = "HELLO";
    label.fixedLine2 = "ABC";
    kb::SheetJob job;
    job.labels = std::make_shared<const kb::TypedLabels>(label, false, 1, 30);
    for (auto _ : state) {
        benchmark::DoNotOptimize(kb::PrintSheet(surface, job, 1, 1, 30));
        benchmark::DoNotOptimize(surface.textBytes);
    }
}
BENCHMARK(PrintSheetPlain);

void PrintSheetNumbered(benchmark::State& state) {
    RecordingSurface surface;
    const kb::SheetJob job = numberedJob();
    for (auto _ : state) {
        benchmark::DoNotOptimize(kb::PrintSheet(surface, job, 1, 1, 30));
        benchmark::DoNotOptimize(surface.textBytes);
    }
}
BENCHMARK(PrintSheetNumbered);

void Compose(benchmark::State& state) {
    kb::ComposeInput in;
    in.line1 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
    in.line2 = "ABCDEFGHIJKLMNOPQRST";
    in.line2Work = in.line2;
    in.dateChecked = true;
    in.dateField = "26/12/07";
    in.numberingOn = true;
    in.firstNumber = 12;
    for (auto _ : state)
        benchmark::DoNotOptimize(kb::compose(in));
}
BENCHMARK(Compose);

void SplitRun(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(kb::splitRun(25, 10));
}
BENCHMARK(SplitRun);

} // namespace

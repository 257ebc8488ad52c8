// How long the rules take for one full sheet and for one composition, without any printer.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "content/Composition.h"
#include "print/PrintRules.h"

namespace {

// Keeps what a printer would receive, so the drawing cannot be optimised away.
class RecordingSurface final : public kb::PrintSurface {
  public:
    struct Op {
        int kind, a, b, c, d;
    };
    std::vector<Op> ops;
    std::size_t textBytes = 0;

    bool beginDocument() override {
        ops.clear();
        textBytes = 0;
        return true;
    }
    bool endDocument() override { return true; }
    std::int32_t dpiX() const override { return 600; }
    std::int32_t dpiY() const override { return 600; }
    void setPen(std::int32_t w, std::uint32_t c) override { ops.push_back({0, w, int(c), 0, 0}); }
    void setBrush(std::uint32_t c) override { ops.push_back({1, int(c), 0, 0, 0}); }
    void rectangle(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) override {
        ops.push_back({2, l, t, r, b});
    }
    void setFont(std::int32_t p, std::uint32_t c) override { ops.push_back({3, p, int(c), 0, 0}); }
    std::int32_t textHeight(const std::string& s) override { return 80 + int(s.size() % 3); }
    void textOut(std::int32_t x, std::int32_t y, const std::string& s) override {
        ops.push_back({4, x, y, 0, 0});
        textBytes += s.size();
    }
};

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

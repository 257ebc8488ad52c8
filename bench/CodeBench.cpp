// What the labels' 2D codes cost: one sheet of 30 numbered labels drawn onto a recording surface and
// printed to a PDF through the program's print surface, without a code, with QR codes and with Data
// Matrix codes; and the check of a run's 30 labels before printing. libzint is the real one, loaded
// from its module beside this program, as the window and the command load it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <vector>

#include "content/Composition.h"
#include "bench/RecordingSurface.h"
#include "print/PrintRules.h"
#include "services/CodeCheck.h"
#include "services/QtPrintSurface.h"
#include "services/ZintCodeWriter.h"

namespace {

using kbbench::RecordingSurface;

// HELLO above, 検体-1 26/12/07 … 検体-30 26/12/07 below; the code carries line 2.
kb::SheetJob sheet(kb::CodeKind kind, kb::CodeWriter& writer) {
    kb::ComposeInput in;
    in.line1 = "HELLO";
    in.line2 = "\x8c\x9f\x91\xcc"; // 検体
    in.line2Work = in.line2;
    in.dateChecked = true;
    in.dateField = "26/12/07";
    in.numberingOn = true;
    kb::SheetJob job;
    job.labels = std::make_shared<const kb::TypedLabels>(kb::compose(in).label, in.numberingOn, in.firstNumber, 30);
    job.code = {kind, kb::CodeText::Line2, &writer};
    return job;
}

const kb::CodeKind Kinds[] = {kb::CodeKind::None, kb::CodeKind::Qr, kb::CodeKind::DataMatrix};

void SheetRecorded(benchmark::State& state) {
    kb::ZintCodeWriter writer;
    const kb::SheetJob job = sheet(Kinds[state.range(0)], writer);
    RecordingSurface surface;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kb::PrintSheet(surface, job, 1, 1, 30));
        benchmark::DoNotOptimize(surface.ops.data());
    }
    state.counters["rectangles"] = static_cast<double>(surface.rectangles());
}
BENCHMARK(SheetRecorded)->ArgName("none|qr|datamatrix")->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void SheetToPdf(benchmark::State& state) {
    kb::ZintCodeWriter writer;
    const kb::SheetJob job = sheet(Kinds[state.range(0)], writer);
    QTemporaryDir folder;
    for (auto _ : state) {
        // Made afresh for every sheet, as a print run makes its printer.
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(folder.filePath(QStringLiteral("sheet.pdf")));
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setColorMode(QPrinter::Color);
        kb::QtPrintSurface surface(printer);
        if (!kb::PrintSheet(surface, job, 1, 1, 30) || !surface.finish())
            state.SkipWithError("printing failed");
    }
    state.counters["bytes"] =
        static_cast<double>(QFileInfo(folder.filePath(QStringLiteral("sheet.pdf"))).size());
}
BENCHMARK(SheetToPdf)->ArgName("none|qr|datamatrix")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void CheckBeforePrinting(benchmark::State& state) {
    kb::ZintCodeWriter writer;
    const kb::SheetJob job = sheet(Kinds[state.range(0)], writer);
    const std::vector<kb::SheetRange> ranges{{1, 1, 30}};
    for (auto _ : state)
        benchmark::DoNotOptimize(kb::firstCodeRefusal(job, ranges, 1200, 1200));
}
BENCHMARK(CheckBeforePrinting)->ArgName("qr|datamatrix")->DenseRange(1, 2)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv); // fonts and the PDF engine
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// What the window's start-up spends on Qt's Japanese translation: loading qtbase_ja.qm (the file is
// mapped, not read) and installing it, which makes Qt's widgets look up their texts in it; and one
// lookup of a text Qt asks for, such as the print dialog's title.
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <benchmark/benchmark.h>

namespace {

const QString Folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);

void LoadAndInstall(benchmark::State& state) {
    for (auto _ : state) {
        QTranslator translator;
        if (!translator.load(QStringLiteral("qtbase_ja"), Folder)) {
            state.SkipWithError("qtbase_ja.qm not found (qt6-translations-l10n)");
            break;
        }
        QCoreApplication::installTranslator(&translator);
        QCoreApplication::removeTranslator(&translator);
    }
}
BENCHMARK(LoadAndInstall);

void Lookup(benchmark::State& state) {
    QTranslator translator;
    if (!translator.load(QStringLiteral("qtbase_ja"), Folder)) {
        state.SkipWithError("qtbase_ja.qm not found (qt6-translations-l10n)");
        return;
    }
    QCoreApplication::installTranslator(&translator);
    for (auto _ : state)
        benchmark::DoNotOptimize(QCoreApplication::translate("QPrintDialog", "Print"));
    QCoreApplication::removeTranslator(&translator);
}
BENCHMARK(Lookup);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

// A list of labels from Excel as the window and the command take it: a 10 000-row code page 932 CSV
// (a header, Japanese line 1, a numbered stem on every other row) read from disk, composed row by row,
// and listed label by label as text (serial, both lines back in Unicode, as --list prints them).
// Beside it, 100 000 labels handed out one at a time from ten rows, which keeps one label per row.
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "content/ListLabels.h"
#include "services/Codec.h"
#include "services/ListFile.h"

namespace {

struct BenchClock final : kb::Clock {
    std::string todayText() const override { return "26/12/09"; }
};

QString writeList(const QTemporaryDir& dir, int rows) {
    QString text = QStringLiteral("品名,ロット,枚数,番号\r\n");
    for (int i = 1; i <= rows; ++i) {
        if (i % 2)
            text +=
                QStringLiteral("検体～%1,LOT-%2,1,%3\r\n").arg(i).arg(i % 97).arg(i, 4, 10, QLatin1Char('0'));
        else
            text += QStringLiteral("\"培地, 第%1\",保存 －80℃,1,\r\n").arg(i);
    }
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray::fromStdString(*kb::toSjis(text)));
    return path;
}

std::size_t listAll(const kb::ListLabels& labels) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const kb::ListLabel l = labels.at(i);
        const QString line = QStringLiteral("%1\t%2\t%3\t%4")
                                 .arg(l.row)
                                 .arg(l.serial ? QString::number(*l.serial) : QStringLiteral("-"),
                                      kb::fromSjis(l.lines.line1), kb::fromSjis(l.lines.line2));
        bytes += static_cast<std::size_t>(line.toUtf8().size());
    }
    return bytes;
}

void ListReadComposeAndList(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = writeList(dir, static_cast<int>(state.range(0)));
    const BenchClock clock;
    const kb::ListOptions options{true, std::nullopt, 0};
    std::size_t labels = 0;
    for (auto _ : state) {
        const kb::ListReading reading = kb::readListFile(path);
        const kb::ListComposition run = kb::composeList(reading, options, clock);
        if (!run.refusals.empty())
            state.SkipWithError(kb::englishText(run.refusals.front()).c_str());
        labels = run.labels.size();
        benchmark::DoNotOptimize(listAll(run.labels));
    }
    state.counters["labels"] = double(labels);
}
BENCHMARK(ListReadComposeAndList)->Arg(10000)->Unit(benchmark::kMillisecond);

// Each step alone, on the same list.
void ListReadOnly(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = writeList(dir, 10000);
    for (auto _ : state)
        benchmark::DoNotOptimize(kb::readListFile(path));
}
BENCHMARK(ListReadOnly)->Unit(benchmark::kMillisecond);

void ListComposeOnly(benchmark::State& state) {
    QTemporaryDir dir;
    const kb::ListReading reading = kb::readListFile(writeList(dir, 10000));
    const BenchClock clock;
    for (auto _ : state)
        benchmark::DoNotOptimize(kb::composeList(reading, kb::ListOptions{true, std::nullopt, 0}, clock));
}
BENCHMARK(ListComposeOnly)->Unit(benchmark::kMillisecond);

// 100 000 labels, ten rows of 10 000, each label made when asked for.
void ListHundredThousandLabels(benchmark::State& state) {
    kb::ListReading reading;
    for (int r = 1; r <= 10; ++r) {
        kb::ListRow row;
        row.row = r;
        row.line1 = "SAMPLE " + std::to_string(r);
        row.line2 = "LOT";
        row.count = 10000;
        row.firstSerial = 1;
        row.serialWidth = 5;
        reading.rows.push_back(row);
    }
    const BenchClock clock;
    const kb::ListComposition run = kb::composeList(reading, kb::ListOptions{}, clock);
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < run.labels.size(); ++i)
            bytes += run.labels.at(i).lines.line2.size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["labels"] = double(run.labels.size());
    state.counters["rows kept"] = double(run.labels.rows().size());
}
BENCHMARK(ListHundredThousandLabels)->Unit(benchmark::kMillisecond);

} // namespace

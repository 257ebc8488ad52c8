// "Print": the print dialog, the run over as many sheets as it needs, and what follows a run.
#include <QListWidget>
#include <QPrinter>
#include <QStringList>
#include <QTimer>
#include <QToolButton>
#include <utility>
#include <vector>

#include "app/Tfrmmain.h"
#include "print/PrintRules.h"
#include "services/PrinterCheck.h"
#include "services/QtPrintSurface.h"
#include "settings/Error.h"

namespace kb {

namespace {

constexpr int PauseAfterRunMs = 12000;

// Sets a flag for the lifetime of a scope, even when an error leaves it.
class FlagScope {
  public:
    explicit FlagScope(bool& flag) : m_flag(flag), m_old(std::exchange(flag, true)) {}
    ~FlagScope() { m_flag = m_old; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& m_flag;
    bool m_old;
};

// The positions named in a message: "29, 30".
QString positionList(const std::vector<std::int32_t>& positions) {
    QStringList names;
    for (std::int32_t p : positions)
        names << QString::number(p);
    return names.join(QStringLiteral(", "));
}

// The sheets of the run that reached the printer before it stopped.
QString sheetsPrinted(int sheets) {
    if (sheets == 0)
        return QStringLiteral("印刷されたシートはありません");
    if (sheets == 1)
        return QStringLiteral("1 枚目のシートは印刷されました");
    return QStringLiteral("1～%1 枚目のシートは印刷されました").arg(sheets);
}

QString span(std::int32_t first, std::int32_t last) {
    return first == last ? QString::number(first) : QStringLiteral("%1～%2").arg(first).arg(last);
}

// The labels of sheets [from, to) of a run, as the messages name them: by serial number when the run
// is numbered, else by sheet and position.
QString labelsText(const std::vector<SheetRange>& ranges, std::size_t from, std::size_t to,
                   std::int32_t startPosition, std::int32_t firstNumber, bool numbering) {
    if (numbering) {
        const RunStretch s = stretchOf(ranges, from, to, firstNumber, startPosition);
        return QStringLiteral("番号 %1").arg(span(s.firstSerial, s.lastSerial));
    }
    QStringList sheets;
    for (std::size_t i = from; i < to; ++i)
        sheets << QStringLiteral("%1 枚目の位置 %2")
                      .arg(ranges[i].sheet)
                      .arg(span(ranges[i].first, ranges[i].last));
    return sheets.join(QStringLiteral("、"));
}

constexpr int JobWatchIntervalMs = 1000;

} // namespace

void Tfrmmain::connectPrintHandlers() {
    connect(cmdPrint2, &QToolButton::clicked, this, [this] { guarded([this] { cmdPrint2Click(); }); });
    m_jobTimer = new QTimer(this);
    m_jobTimer->setInterval(JobWatchIntervalMs);
    connect(m_jobTimer, &QTimer::timeout, this, [this] { guarded([this] { watchJobs(); }); });
}

bool Tfrmmain::PrintRun() {
    std::unique_ptr<QPrinter> printer = m_services.dialogs.choosePrinter(this);
    if (!printer)
        return false;
    // A queue that would hold or lose the job, or a name that would silently print elsewhere, is
    // reported before anything is sent, and nothing of the run changes.
    const QString problem = checkPrinter(*printer);
    if (!problem.isEmpty())
        throw Error(problem.toStdString());

    SheetCount = 1;
    const std::int32_t labels = entry.SampleCount * entry.LabelsPerSample;

    SheetJob job;
    job.backColour = previewBackColour();
    job.fontColour = previewFontColour();
    job.offsetRightIndex = OffsetRightIndex;
    job.offsetDownIndex = OffsetDownIndex;
    job.firstNumber = entry.FirstNumber;
    job.startPosition = start.StartPosition;
    // The composed lines, not the preview memo's: its 64-byte limit is a limit of the screen only.
    job.label = numberedLabel;

    QtPrintSurface surface(*printer);
    const std::vector<SheetRange> ranges = splitRun(start.StartPosition, labels);
    m_run = RunProgress{};
    m_run.ranges = ranges;
    m_run.queue = printer->printerName();
    m_run.toFile = printer->outputFormat() == QPrinter::PdfFormat;
    // Every label must land on the paper chosen: one beyond its edge would be lost with its number
    // while the run looked printed. (A label on the paper but outside the printer's printable area
    // still prints: the printer clips its own margin and the user corrects it with the offsets.)
    const std::vector<std::int32_t> off =
        positionsOffPaper(surface.paper(), OffsetRightIndex, OffsetDownIndex, ranges);
    if (!off.empty()) {
        throw Error(QStringLiteral("印刷できません。用紙「%1」からはみ出すラベルがあります（位置 %2）。"
                                   "ラベルシートは A4 です。用紙を A4 にして印刷してください")
                        .arg(surface.paperName(), positionList(off))
                        .toStdString());
    }

    auto failed = [&](int sheetsDone) {
        // A file holds the whole run or nothing of it.
        if (surface.toFile())
            return Error(QStringLiteral("印刷できませんでした。ファイル「%1」に書き込めませんでした：%2。"
                                        "ファイルには何も書き込まれていません")
                             .arg(surface.printerLabel(), surface.failure())
                             .toStdString());
        return Error(
            QStringLiteral("印刷できませんでした。プリンター「%1」が印刷を受け付けませんでした：%2。%3")
                .arg(surface.printerLabel(), surface.failure(), sheetsPrinted(sheetsDone))
                .toStdString());
    };
    int done = 0;
    for (const SheetRange& range : ranges) {
        const bool taken = PrintSheet(surface, m_services.pause, job, range.sheet, range.first, range.last);
        m_run.jobs = surface.jobIds();
        if (!taken)
            throw failed(done);
        ++done;
        // A file's sheets count only once the whole file is written.
        if (!m_run.toFile)
            m_run.held = static_cast<std::size_t>(done);
    }
    // A file holds every sheet of the run: none of them is printed until it is written whole.
    if (!surface.finish())
        throw failed(0);
    return true;
}

void Tfrmmain::storeAfterRun(std::int32_t next) {
    try {
        m_startFile.SaveStartFile(1, next, start);
        // The lists always hold a selection; should one ever be missing, the offset in force is kept
        // rather than storing -1, which would read back as a 5 mm shift.
        const int down = ListBox7->currentRow();
        const int right = ListBox6->currentRow();
        m_startFile.SaveStartFile(2, down >= 0 ? down : OffsetDownIndex, start);
        m_startFile.SaveStartFile(3, right >= 0 ? right : OffsetRightIndex, start);
    } catch (const Error& e) {
        // The labels are on paper: this must not read as a failed print (printing again would
        // repeat their numbers), and the user must learn where the sheet stands, since only this
        // session remembers it.
        throw Error(QStringLiteral("ラベルは印刷されました。ただし、次の開始位置 %1 "
                                   "をスタートファイルに保存できませんでした：%2")
                        .arg(next)
                        .arg(QString::fromUtf8(e.what()))
                        .toStdString());
    }
}

void Tfrmmain::cmdPrint2Click() {
    FlagScope busy(m_busy);
    // Another run may hold the start file, or may have moved the position since the map was drawn.
    if (!holdStartFile())
        return;
    const std::int32_t runStart = start.StartPosition;
    const bool numbering = numberedLabel.where != NumberedLine::None;
    const auto watch = [&](std::int32_t next) {
        if (m_run.toFile || m_run.jobs.empty())
            return;
        WatchedRun run{
            m_run.queue,
            m_run.jobs,
            std::vector<JobState>(m_run.jobs.size(), JobState::Pending),
            std::vector<SheetRange>(m_run.ranges.begin(),
                                    m_run.ranges.begin() + static_cast<std::ptrdiff_t>(m_run.jobs.size())),
            runStart,
            entry.FirstNumber,
            numbering,
            next};
        m_watched.push_back(std::move(run));
        m_jobTimer->start();
    };
    bool printed = false;
    try {
        printed = PrintRun();
    } catch (const Error& e) {
        if (m_run.held == 0)
            throw;
        // The sheets the print queue took are on their way to the paper: the next run starts after
        // the last of their labels, so that no position and no serial number is used twice.
        const std::int32_t next = stretchOf(m_run.ranges, 0, m_run.held, entry.FirstNumber, runStart).next;
        storeAfterRun(next);
        watch(next);
        UpdateSheetCount();
        throw Error(QStringLiteral("%1。%2 は印刷にまわりました。%3 は印刷されていません。次の開始位置 %4 "
                                   "を保存しました")
                        .arg(QString::fromUtf8(e.what()),
                             labelsText(m_run.ranges, 0, m_run.held, runStart, entry.FirstNumber, numbering),
                             labelsText(m_run.ranges, m_run.held, m_run.ranges.size(), runStart,
                                        entry.FirstNumber, numbering))
                        .arg(next)
                        .toStdString());
    }
    if (!printed)
        return;

    const std::int32_t labels = entry.SampleCount * entry.LabelsPerSample;
    const std::int32_t next = nextStartPosition(runStart, labels);
    storeAfterRun(next);
    watch(next);

    {
        // The window keeps its look but takes no input until it is back on the entry screen; the input
        // comes back even when returning there fails.
        const InputHold hold(this);
        m_services.pause.pause(PauseAfterRunMs);
        cmdExitClick();
    }
    entry.setDateChecked(false);
    entry.setEdit2Text("");
    showEntryModel();
}

void Tfrmmain::watchJobs() {
    // Each failure is told once, with the labels that did not print; the user may move the start
    // position back to the first of them, as long as no later run has moved it. The list is brought up
    // to date before anything is shown: the timer goes on while a message box is open, and a look then
    // must find nothing to tell twice.
    std::vector<WatchedRun> failedRuns;
    for (WatchedRun& run : m_watched) {
        const std::vector<JobState> before = run.states;
        const std::size_t over = pollJobs(run.queue.toStdString(), run.jobs, run.states);
        WatchedRun failed = run;
        failed.ranges.clear();
        for (std::size_t i = 0; i < run.jobs.size(); ++i)
            if (jobFailed(run.states[i]) && !jobFailed(before[i]))
                failed.ranges.push_back(run.ranges[i]);
        if (!failed.ranges.empty())
            failedRuns.push_back(std::move(failed));
        if (over == run.jobs.size())
            run.jobs.clear(); // watched to the end
    }
    std::erase_if(m_watched, [](const WatchedRun& run) { return run.jobs.empty(); });
    if (m_watched.empty())
        m_jobTimer->stop();

    for (const WatchedRun& run : failedRuns) {
        QStringList lines;
        for (std::size_t i = 0; i < run.ranges.size(); ++i)
            lines << QStringLiteral("%1 枚目（位置 %2、%3）")
                         .arg(run.ranges[i].sheet)
                         .arg(span(run.ranges[i].first, run.ranges[i].last))
                         .arg(labelsText(run.ranges, i, i + 1, run.startPosition, run.firstNumber,
                                         run.numbering));
        const QString what =
            QStringLiteral("プリンター「%1」で印刷が中止されました。次のラベルは印刷されていません：%2")
                .arg(run.queue, lines.join(QStringLiteral("、")));
        const std::int32_t back = run.ranges.front().first;
        if (start.StartPosition != run.storedNext || !m_lock.held()) {
            m_services.dialogs.message(this,
                                       what + QStringLiteral("。開始位置はその後の操作で変わっているため、"
                                                             "そのままにします。"));
            continue;
        }
        if (m_services.dialogs.ask(this,
                                   what + QStringLiteral("。\n\n開始位置を %1 に戻しますか？").arg(back)) &&
            start.StartPosition == run.storedNext) {
            m_startFile.SaveStartFile(1, back, start);
            UpdateSheetCount();
        }
    }
}

} // namespace kb

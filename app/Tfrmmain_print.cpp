// "Print": the print dialog, the run over as many sheets as it needs, and what follows a run.
#include <QDateTime>
#include <QDir>
#include <QListWidget>
#include <QPrinter>
#include <QStringList>
#include <QTimer>
#include <QToolButton>
#include <utility>
#include <vector>

#include "app/Tfrmmain.h"
#include "print/PrintRules.h"
#include "print/PrintRun.h"
#include "services/Codec.h"
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
    m_watchClock.start();
    connect(m_jobTimer, &QTimer::timeout, this, [this] { guarded([this] { watchJobs(); }); });
}

bool Tfrmmain::PrintRun() {
    std::unique_ptr<QPrinter> printer = m_services.dialogs.choosePrinter(this);
    if (!printer)
        return false;
    const bool toFile = printer->outputFormat() == QPrinter::PdfFormat;
    // Labels for the printer only: a file is no label on paper, and the ledger keeps none of it.
    if (!toFile && !confirmRepeat())
        return false;
    SheetCount = 1;
    const std::int32_t runStart = start.StartPosition;
    const bool numbering = numberedLabel.where != NumberedLine::None;

    SheetJob job;
    job.backColour = previewBackColour();
    job.fontColour = previewFontColour();
    job.offsetRightIndex = OffsetRightIndex;
    job.offsetDownIndex = OffsetDownIndex;
    job.firstNumber = entry.FirstNumber;
    job.startPosition = runStart;
    // The composed lines, not the preview memo's: its 64-byte limit is a limit of the screen only.
    job.label = numberedLabel;

    QtPrintSurface surface(*printer);
    // A queue that would hold or lose the job, or a name that would silently print elsewhere, is
    // reported before anything is sent, and nothing of the run changes.
    SpoolerQueue queue(printer->printerName());
    // The lists always hold a selection; should one ever be missing, the offset in force is kept
    // rather than storing -1, which would read back as a 5 mm shift.
    const int down = ListBox7->currentRow();
    const int right = ListBox6->currentRow();
    StartFileStore store(m_startFile, start, down >= 0 ? down : OffsetDownIndex,
                         right >= 0 ? right : OffsetRightIndex);
    LoggedStore logged(store, m_log,
                       LedgerRun{QStringLiteral("window"), printer->printerName(), &job, numbering});
    kb::PrintRun run(surface, toFile ? nullptr : &queue, toFile ? static_cast<RunStore*>(&store) : &logged,
                     m_services.pause);
    const RunAccount a = run.run(job, splitRun(runStart, entry.SampleCount * entry.LabelsPerSample));
    tellLedgerProblem();

    if (!a.jobs.empty()) {
        // The sheets the print queue took are watched until each has printed or failed.
        m_watched.push_back(
            WatchedRun{queue, JobWatch(a.jobs),
                       std::vector<SheetRange>(a.ranges.begin(),
                                               a.ranges.begin() + static_cast<std::ptrdiff_t>(a.taken)),
                       runStart, entry.FirstNumber, numbering, a.next, logged.rows()});
        m_jobTimer->start();
    }
    const QString why = QString::fromStdString(a.why);
    const auto labels = [&](std::size_t from, std::size_t to) {
        return labelsText(a.ranges, from, to, runStart, entry.FirstNumber, numbering);
    };
    switch (a.end) {
    case RunEnd::Printed:
        return true;
    case RunEnd::QueueRefused:
        throw Error(queueProblem(printer->printerName(), a.queue).toStdString());
    case RunEnd::OffPaper:
        // A label on the paper but outside the printer's printable area still prints: the printer
        // clips its own margin and the user corrects it with the offsets.
        throw Error(QStringLiteral("印刷できません。用紙「%1」からはみ出すラベルがあります（位置 %2）。"
                                   "ラベルシートは A4 です。用紙を A4 にして印刷してください")
                        .arg(surface.paperName(), positionList(a.offPaper))
                        .toStdString());
    case RunEnd::NotStorable:
        throw Error(
            QStringLiteral("印刷できません。スタートファイル「%1」に次の開始位置を保存できません：%2。"
                           "保存できないと次の印刷が同じ位置に重なるため、何も印刷していません")
                .arg(QDir::toNativeSeparators(QString::fromStdString(m_startFile.path())), why)
                .toStdString());
    case RunEnd::FileNotWritten:
        // A file holds the whole run or nothing of it.
        throw Error(QStringLiteral("印刷できませんでした。ファイル「%1」に書き込めませんでした：%2。"
                                   "ファイルには何も書き込まれていません")
                        .arg(surface.printerLabel(), why)
                        .toStdString());
    default:
        break;
    }
    UpdateSheetCount();
    const QString notPrinted =
        a.taken < a.ranges.size()
            ? QStringLiteral("。%1 は印刷されていません").arg(labels(a.taken, a.ranges.size()))
            : QString();
    if (a.end == RunEnd::NotStored) {
        // The labels are on paper: this must not read as a failed print (printing again would
        // repeat their numbers), and the user must learn where the sheet stands, since only this
        // session remembers it.
        throw Error(QStringLiteral("ラベルは印刷されました。ただし、次の開始位置 %1 "
                                   "をスタートファイルに保存できませんでした：%2")
                        .arg(stretchOf(a.ranges, 0, a.taken, entry.FirstNumber, runStart).next)
                        .arg(why)
                        .toStdString() +
                    notPrinted.toStdString());
    }
    const QString refused =
        QStringLiteral("印刷できませんでした。プリンター「%1」が印刷を受け付けませんでした：%2。%3")
            .arg(surface.printerLabel(), why, sheetsPrinted(static_cast<int>(a.taken)));
    if (a.taken == 0)
        throw Error(refused.toStdString());
    // The sheets the print queue took are on their way to the paper, and the start file already names
    // the position after them: no position and no serial number is used twice.
    throw Error(QStringLiteral("%1。%2 は印刷にまわりました%3。次の開始位置 %4 を保存しました")
                    .arg(refused, labels(0, a.taken), notPrinted)
                    .arg(a.next)
                    .toStdString());
}

bool Tfrmmain::confirmRepeat() {
    if (numberedLabel.where == NumberedLine::None)
        return true; // the same plain label printed every day is no mistake
    const std::int32_t first = entry.FirstNumber;
    const std::int32_t last = first + entry.SampleCount * entry.LabelsPerSample - 1;
    const auto repeat = m_log.firstRepeat(numberedLabel, first, last);
    if (!repeat)
        return true;
    const LedgerRow& r = repeat->sheet.row;
    const QDateTime when = QDateTime::fromString(QString::fromStdString(r.time), Qt::ISODate);
    const auto text = [](const LabelText& l) {
        return QStringLiteral("「%1 %2」")
            .arg(QString::fromStdString(l.line1), QString::fromStdString(l.line2));
    };
    const QString labels = repeat->lastSerial == repeat->serial
                               ? QStringLiteral("%1（番号 %2）").arg(text(repeat->label)).arg(repeat->serial)
                               : QStringLiteral("%1～%2（番号 %3～%4）")
                                     .arg(text(repeat->label), text(repeat->lastLabel))
                                     .arg(repeat->serial)
                                     .arg(repeat->lastSerial);
    return m_services.dialogs.ask(
        this,
        QStringLiteral("このラベルは印刷済みです：%1 は %2 にプリンター「%3」で印刷されました（位置 %4）。"
                       "\n\n同じ番号のラベルをもう一度印刷しますか？")
            .arg(labels,
                 when.isValid() ? when.toString(QStringLiteral("yyyy/MM/dd HH:mm"))
                                : QString::fromStdString(r.time),
                 QString::fromStdString(r.printer), QString::fromStdString(r.positions)));
}

void Tfrmmain::tellLedgerProblem() {
    if (m_ledgerTold || m_log.problem().isEmpty())
        return;
    m_ledgerTold = true;
    m_services.dialogs.message(this, QStringLiteral("印刷記録 %1 に書き込めないため、記録は残りません（%2）。"
                                                    "印刷はそのまま続けます。")
                                         .arg(QDir::toNativeSeparators(m_log.path()), m_log.problem()));
}

void Tfrmmain::cmdPrint2Click() {
    FlagScope busy(m_busy);
    // Another run may hold the start file, or may have moved the position since the map was drawn.
    if (!holdStartFile())
        return;
    // The run has stored the position after its last label, with the offsets of the lists, as each
    // sheet went to the printer.
    if (!PrintRun())
        return;
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
    // A held job or a printer that stopped or needs attention is told once too: the labels wait in
    // the queue, and only someone at the printer or the queue can let them through.
    struct Tell {
        std::vector<std::size_t> failed, lost, held, waiting;
        std::vector<std::string> heldWhy, printerWhy;
        bool printerStopped = false;
        WatchedRun run;
    };
    std::vector<Tell> tells;
    for (WatchedRun& run : m_watched) {
        const WatchNews news = run.watch.poll(run.queue, m_watchClock.elapsed());
        m_log.appendEnded(run.rows, run.watch, news);
        Tell tell{{}, {}, news.held, {}, {}, {}, false, run};
        for (std::size_t i : news.held)
            for (const std::string& why : run.watch.status(i).reasons)
                tell.heldWhy.push_back(why);
        if (news.printerChanged) {
            tell.printerWhy = blockingReasons(news.printer.reasons);
            tell.printerStopped = news.printer.stopped;
            if (tell.printerStopped || !tell.printerWhy.empty())
                tell.waiting = run.watch.open();
        }
        for (std::size_t i : news.ended) {
            const JobState state = run.watch.status(i).state;
            if (jobFailed(state))
                tell.failed.push_back(i);
            else if (state == JobState::Lost)
                tell.lost.push_back(i);
        }
        if (!tell.failed.empty() || !tell.lost.empty() || !tell.held.empty() || !tell.waiting.empty())
            tells.push_back(std::move(tell));
    }
    std::erase_if(m_watched, [](const WatchedRun& run) { return run.watch.over(); });
    tellLedgerProblem();
    if (m_watched.empty())
        m_jobTimer->stop();

    for (const Tell& t : tells) {
        const WatchedRun& run = t.run;
        const auto sheets = [&](const std::vector<std::size_t>& which) {
            QStringList lines;
            for (std::size_t i : which)
                lines << QStringLiteral("%1 枚目（位置 %2、%3）")
                             .arg(run.ranges[i].sheet)
                             .arg(span(run.ranges[i].first, run.ranges[i].last))
                             .arg(labelsText(run.ranges, i, i + 1, run.startPosition, run.firstNumber,
                                             run.numbering));
            return lines.join(QStringLiteral("、"));
        };
        const auto because = [](const std::vector<std::string>& reasons) {
            QStringList words;
            for (const std::string& word : reasonWords(reasons, Wording::Japanese))
                words << QString::fromStdString(word);
            return words.isEmpty() ? QString()
                                   : QStringLiteral("（%1）").arg(words.join(QStringLiteral("、")));
        };
        if (!t.held.empty())
            m_services.dialogs.message(
                this, QStringLiteral("プリンター「%1」で次のラベルのジョブが保留されています%2：%3。"
                                     "保留が解除されると印刷されます。")
                          .arg(run.queue.name(), because(t.heldWhy), sheets(t.held)));
        if (!t.waiting.empty())
            m_services.dialogs.message(
                this, (t.printerStopped ? QStringLiteral("プリンター「%1」が停止しています%2。")
                                        : QStringLiteral("プリンター「%1」が印刷できない状態です%2。"))
                              .arg(run.queue.name(), because(t.printerWhy)) +
                          QStringLiteral("次のラベルはキューで待っていて、プリンターが印刷できるようになると"
                                         "印刷されます：%1。")
                              .arg(sheets(t.waiting)));
        if (!t.lost.empty()) {
            // The print system could no longer be asked: the labels may or may not be on paper, and
            // moving the position back could print over them.
            m_services.dialogs.message(
                this, QStringLiteral("プリンター「%1」の印刷システムに問い合わせられなくなりました。"
                                     "次のラベルが印刷されたかどうか分かりません：%2。"
                                     "用紙を確かめてください。開始位置はそのままにします。")
                          .arg(run.queue.name(), sheets(t.lost)));
        }
        if (t.failed.empty())
            continue;
        const QString what =
            QStringLiteral("プリンター「%1」で印刷が中止されました。次のラベルは印刷されていません：%2")
                .arg(run.queue.name(), sheets(t.failed));
        const std::int32_t back = run.ranges[t.failed.front()].first;
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

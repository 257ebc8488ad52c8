// "Print": the print dialog, the run over as many sheets as it needs, and what follows a run.
#include <QDateTime>
#include <QDir>
#include <QListWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QStringList>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <utility>
#include <vector>

#include "app/CodeChoice.h"
#include "app/Tfrmmain.h"
#include "services/Codec.h"
#include "services/PrintService.h"
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

const QString Dash = QStringLiteral("～");

// The labels of sheets [from, to) of a run, as the messages name them: by serial number when the run
// is numbered, else by sheet and position.
QString labelsText(const RunLabels& labels, const std::vector<SheetRange>& ranges, std::size_t from,
                   std::size_t to, std::int32_t startPosition) {
    const RunStretch stretch = stretchOf(ranges, from, to, startPosition);
    if (const auto rows = rowsOf(labels, stretch.first, stretch.last)) {
        const RunLabel first = labels.at(stretch.first);
        return QStringLiteral("一覧の %1 行目のラベル %2 枚（「%3 %4」から）")
            .arg(span(rows->first, rows->last, Dash))
            .arg(stretch.labels)
            .arg(fromSjis(first.lines.line1), fromSjis(first.lines.line2));
    }
    if (const QString serials = serialSpan(labels, stretch, Dash); !serials.isEmpty())
        return QStringLiteral("番号 %1").arg(serials);
    QStringList sheets;
    for (std::size_t i = from; i < to; ++i)
        sheets << QStringLiteral("%1 枚目の位置 %2")
                      .arg(ranges[i].sheet)
                      .arg(span(ranges[i].first, ranges[i].last, Dash));
    return sheets.join(QStringLiteral("、"));
}

// Sheets of a watched run: "2 枚目（位置 1～30、番号 31～60）、…".
QString sheetsText(const RunFollow& follow, const std::vector<SheetNote>& notes) {
    QStringList lines;
    for (const SheetNote& n : notes) {
        const QString serials = serialSpan(follow.labels(), n.stretch, Dash);
        lines << QStringLiteral("%1 枚目（位置 %2、%3）")
                     .arg(n.range.sheet)
                     .arg(span(n.range.first, n.range.last, Dash),
                          serials.isEmpty() ? QStringLiteral("%1 枚目の位置 %2")
                                                  .arg(n.range.sheet)
                                                  .arg(span(n.range.first, n.range.last, Dash))
                                            : QStringLiteral("番号 %1").arg(serials));
    }
    return lines.join(QStringLiteral("、"));
}

// The reasons the jobs of these sheets give.
std::vector<std::string> jobReasons(const std::vector<SheetNote>& notes) {
    std::vector<std::string> reasons;
    for (const SheetNote& n : notes)
        reasons.insert(reasons.end(), n.status.reasons.begin(), n.status.reasons.end());
    return reasons;
}

// "（用紙切れ、カバーが開いています）", or nothing without reasons.
QString because(const std::vector<std::string>& reasons) {
    const QString words = reasonText(reasons, Wording::Japanese, QStringLiteral("、"));
    return words.isEmpty() ? QString() : QStringLiteral("（%1）").arg(words);
}

constexpr int FollowIntervalMs = 1000;

} // namespace

void Tfrmmain::connectPrintHandlers() {
    connect(cmdPrint2, &QToolButton::clicked, this, [this] { guarded([this] { cmdPrint2Click(); }); });
    m_jobTimer = new QTimer(this);
    m_jobTimer->setInterval(FollowIntervalMs);
    m_watchClock.start();
    connect(m_jobTimer, &QTimer::timeout, this, [this] { guarded([this] { watchJobs(); }); });
}

PrintOrder Tfrmmain::printOrder() {
    PrintOrder order;
    // The composed lines, not the preview memo's: its 64-byte limit is a limit of the screen only.
    if (m_list)
        order.labels = m_list;
    else
        order.labels =
            std::make_shared<const TypedLabels>(numberedLabel, numberedLabel.where != NumberedLine::None,
                                                entry.FirstNumber, entry.SampleCount * entry.LabelsPerSample);
    order.startPosition = start.StartPosition;
    order.backColour = previewBackColour();
    order.fontColour = previewFontColour();
    order.offsetRightIndex = OffsetRightIndex;
    order.offsetDownIndex = OffsetDownIndex;
    order.code = labelCode();
    // The lists always hold a selection; should one ever be missing, the offset in force is kept
    // rather than storing -1, which would read back as a 5 mm shift.
    const int down = ListBox7->currentRow();
    const int right = ListBox6->currentRow();
    order.storedDown = down >= 0 ? down : OffsetDownIndex;
    order.storedRight = right >= 0 ? right : OffsetRightIndex;
    return order;
}

bool Tfrmmain::PrintRun() {
    std::unique_ptr<QPrinter> printer = m_services.dialogs.choosePrinter(this);
    if (!printer)
        return false;
    SheetCount = 1;
    PrintOrder order = printOrder();
    // A queue that would hold or lose the job, or a name that would silently print elsewhere, is
    // reported before anything is sent, and nothing of the run changes.
    PrintTarget target(*printer);
    // Labels for the printer only: a file is no label on paper, and the ledger keeps none of it. Each
    // run tries the ledger afresh.
    const auto ledgerOf = [&](const PrintOrder& o) {
        return target.toFile()
                   ? nullptr
                   : ledgerFor(m_startFile.path(), QStringLiteral("window"), target.queueName(), o);
    };
    std::shared_ptr<RunLedger> ledger = ledgerOf(order);
    std::unique_ptr<QProgressDialog> progress;
    const auto partsOf = [&](std::shared_ptr<RunLedger> l) {
        // Cancel counts as a stop request, as Ctrl-C does for the command (SIGINT's number).
        return RunParts{target.surface(),
                        target.queue(),
                        &m_startFile,
                        &start,
                        std::move(l),
                        &m_services.pause,
                        [&progress] { return progress && progress->wasCanceled() ? 2 : 0; }};
    };
    std::optional<PrintService> service(std::in_place, partsOf(ledger));
    // A label that cannot carry its code beside its text is found before anything prints.
    if (const auto found = service->codeRefusal(order))
        throw Error(codeRefusalMessage(order.code.kind, *found).toStdString());
    if (ledger)
        tellEarlierFailures(*ledger, target.queueName());
    const std::optional<std::int32_t> from = confirmRepeat(*service, order);
    if (!from)
        return false;
    // A list's rows carry their own numbers: only a typed run moves on to the series' next free one.
    if (!m_list && *from != entry.FirstNumber) {
        // From the series' next free number, as the user chose: the same labels, other numbers.
        order.labels = std::make_shared<const TypedLabels>(numberedLabel, true, *from, order.labels->size());
        ledger = ledgerOf(order);
        service.emplace(partsOf(ledger));
        // The next free number is past every label of the series; should the ledger hold one of these
        // all the same (a run beside this one), nothing prints.
        if (service->repeat(order))
            throw Error(QStringLiteral("番号 %1 からのラベルも印刷済みです。何も印刷していません")
                            .arg(*from)
                            .toStdString());
    }
    // A run of several sheets shows how far it is; its cancel stops it once the sheet in progress is
    // with the printer and its position stored.
    const std::vector<SheetRange> ranges = splitRun(order.startPosition, order.labels->size());
    if (ranges.size() > 1) {
        progress = std::make_unique<QProgressDialog>(
            QStringLiteral("1 / %1 枚目を印刷しています").arg(ranges.size()), QStringLiteral("中止"), 0,
            static_cast<int>(ranges.size()), this);
        progress->setObjectName(QStringLiteral("PrintProgress"));
        progress->setWindowTitle(windowTitle());
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setAutoClose(false);
        progress->setAutoReset(false);
        progress->setValue(0);
        progress->show();
        service->progress = [&](std::size_t done, std::size_t) {
            // After the last sheet nothing is left to stop: the window shows itself again at once.
            if (done == ranges.size()) {
                progress->hide();
                return;
            }
            progress->setValue(static_cast<int>(done));
            progress->setLabelText(QStringLiteral("%1 / %2 枚目まで印刷にまわしました（ラベル %3 枚）")
                                       .arg(done)
                                       .arg(ranges.size())
                                       .arg(stretchOf(ranges, 0, done, order.startPosition).labels));
        };
    }
    const RunAccount a = service->run(order);
    progress.reset();
    if (ledger)
        tellLedgerProblem(*ledger, ledger->untoldProblem());
    if (const auto& why = service->copyProblem())
        m_services.dialogs.message(
            this, QStringLiteral("印刷記録の写し PrintLog.csv を更新できませんでした（%1）。"
                                 "記録はすべて残っています。写しは次の印刷のあとで更新されます。")
                      .arg(*why));
    if (!a.jobs.empty()) {
        // The sheets the print queue took are watched until each has printed or failed.
        m_watched.push_back(WatchedRun{
            std::make_unique<RunFollow>(target.detachedQueue(), ledger, a, order.startPosition, order.labels),
            target.queueName()});
        m_jobTimer->start();
    }
    tellRunEnd(a, order, target);
    // A stopped run stays on the sheet screen, which shows where the next run starts.
    return a.end != RunEnd::Stopped;
}

void Tfrmmain::tellRunEnd(const RunAccount& a, const PrintOrder& order, PrintTarget& target) {
    const QString why = QString::fromStdString(a.why);
    switch (a.end) {
    case RunEnd::Printed:
        return;
    case RunEnd::Stopped:
        break;
    case RunEnd::QueueRefused:
        throw Error(queueProblem(target.queueName(), a.queue).toStdString());
    case RunEnd::OffPaper:
        // A label on the paper but outside the printer's printable area still prints: the printer
        // clips its own margin and the user corrects it with the offsets.
        throw Error(QStringLiteral("印刷できません。用紙「%1」からはみ出すラベルがあります（位置 %2）。"
                                   "ラベルシートは A4 です。用紙を A4 にして印刷してください")
                        .arg(target.paperName(), positionList(a.offPaper))
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
                        .arg(target.label(), why)
                        .toStdString());
    default:
        break;
    }
    UpdateSheetCount();
    const auto labels = [&](std::size_t from, std::size_t to) {
        return labelsText(*order.labels, a.ranges, from, to, order.startPosition);
    };
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
                        .arg(stretchOf(a.ranges, 0, a.taken, order.startPosition).next)
                        .arg(why)
                        .toStdString() +
                    notPrinted.toStdString());
    }
    if (a.end == RunEnd::Stopped) {
        UpdateSheetCount();
        m_services.dialogs.message(
            this, a.taken
                      ? QStringLiteral(
                            "印刷を中止しました。%1 は印刷にまわりました%2。次の開始位置 %3 を保存しました。")
                            .arg(labels(0, a.taken), notPrinted)
                            .arg(a.next)
                      : QStringLiteral("印刷を中止しました。何も印刷していません。"));
        return;
    }
    const QString refused =
        QStringLiteral("印刷できませんでした。プリンター「%1」が印刷を受け付けませんでした：%2。%3")
            .arg(target.label(), why, sheetsPrinted(static_cast<int>(a.taken)));
    if (a.taken == 0)
        throw Error(refused.toStdString());
    // The sheets the print queue took are on their way to the paper, and the start file already names
    // the position after them: no position and no serial number is used twice.
    throw Error(QStringLiteral("%1。%2 は印刷にまわりました%3。次の開始位置 %4 を保存しました")
                    .arg(refused, labels(0, a.taken), notPrinted)
                    .arg(a.next)
                    .toStdString());
}

std::optional<std::int32_t> Tfrmmain::confirmRepeat(const PrintService& service, const PrintOrder& order) {
    const auto repeat = service.repeat(order);
    if (!repeat)
        return entry.FirstNumber;
    const PrintedBefore& b = repeat->before;
    const RunLabel label = order.labels->at(repeat->label);
    const QDateTime when = QDateTime::fromString(QString::fromStdString(b.time), Qt::ISODate);
    const QString text = QStringLiteral("このラベルは印刷済みです：「%1 %2」（番号 %3）は %4 "
                                        "にプリンター「%5」で印刷されました（位置 %6）。"
                                        "\n\n同じ番号のラベルをもう一度印刷しますか？")
                             .arg(fromSjis(label.lines.line1), fromSjis(label.lines.line2))
                             .arg(label.serial.value_or(0))
                             .arg(when.isValid() ? when.toString(QStringLiteral("yyyy/MM/dd HH:mm"))
                                                 : QString::fromStdString(b.time),
                                  QString::fromStdString(b.printer))
                             .arg(b.position);
    // The ledger knows where the series stands: printing from its next free number is the third answer.
    // (Not for a list, whose rows carry their own first numbers.)
    const std::optional<std::int32_t> next = m_list ? std::nullopt : service.nextFreeSerial(order);
    if (!next)
        return m_services.dialogs.ask(this, text) ? std::optional(entry.FirstNumber) : std::nullopt;
    switch (m_services.dialogs.askWithOther(this, text, QStringLiteral("番号 %1 から印刷").arg(*next))) {
    case Dialogs::Answer::Yes:
        return entry.FirstNumber;
    case Dialogs::Answer::Other:
        return *next;
    case Dialogs::Answer::No:
        break;
    }
    return std::nullopt;
}

void Tfrmmain::tellEarlierFailures(RunLedger& ledger, const QString& printer) {
    // Sheets that an earlier run left queued (the window ended during its hold, a command that did not
    // wait) are asked after now; one that did not print is told, once.
    for (const HistorySheet& h : ledger.followUpEarlier())
        m_services.dialogs.message(
            this,
            QStringLiteral("以前の印刷で、プリンター「%1」のジョブ %2 のラベルは印刷されていません（%3）。")
                .arg(h.printer.empty() ? printer : QString::fromStdString(h.printer),
                     QString::fromStdString(h.job), QString::fromStdString(h.detail)));
}

void Tfrmmain::tellLedgerProblem(const RunLedger& ledger, const std::optional<QString>& problem) {
    if (problem)
        m_services.dialogs.message(this,
                                   QStringLiteral("印刷記録 %1 に書き込めないため、記録は残りません（%2）。"
                                                  "印刷はそのまま続けます。")
                                       .arg(QDir::toNativeSeparators(ledger.path()), *problem));
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
    // The typed text waits behind a list as it was: a list's run leaves its date alone.
    if (m_list)
        return;
    entry.setDateChecked(false);
    entry.setEdit2Text("");
    showEntryModel();
}

void Tfrmmain::watchJobs() {
    // Every run is looked at before anything is shown: the timer goes on while a message box is open,
    // and a look then must find nothing to tell twice.
    std::vector<std::pair<WatchedRun, FollowNews>> tells;
    for (WatchedRun& run : m_watched)
        if (FollowNews news = run.follow->poll(m_watchClock.elapsed()); news.any())
            tells.emplace_back(run, std::move(news));
    std::erase_if(m_watched, [](const WatchedRun& run) { return run.follow->over(); });
    if (m_watched.empty())
        m_jobTimer->stop();
    for (auto& [run, news] : tells) {
        if (news.ledgerProblem)
            tellLedgerProblem(*run.follow->ledger(), news.ledgerProblem);
        tellFollowNews(run, news);
    }
}

void Tfrmmain::tellFollowNews(WatchedRun& run, const FollowNews& n) {
    // A held job, a job the printer keeps waiting, or a printer that stopped or needs attention is
    // told once: the labels wait in the queue, and only someone at the printer or the queue can let
    // them through.
    const RunFollow& follow = *run.follow;
    const auto sheets = [&](const std::vector<SheetNote>& notes) { return sheetsText(follow, notes); };
    if (!n.held.empty())
        m_services.dialogs.message(
            this, QStringLiteral("プリンター「%1」で次のラベルのジョブが保留されています%2：%3。"
                                 "保留が解除されると印刷されます。")
                      .arg(run.printer, because(jobReasons(n.held)), sheets(n.held)));
    if (!n.blocked.empty())
        m_services.dialogs.message(this,
                                   QStringLiteral("プリンター「%1」で次のラベルのジョブが待っています%2：%3。"
                                                  "プリンターが印刷できるようになると印刷されます。")
                                       .arg(run.printer, because(jobReasons(n.blocked)), sheets(n.blocked)));
    if (!n.waiting.empty())
        m_services.dialogs.message(
            this, (n.printerStopped ? QStringLiteral("プリンター「%1」が停止しています%2。")
                                    : QStringLiteral("プリンター「%1」が印刷できない状態です%2。"))
                          .arg(run.printer, because(n.blockingReasons)) +
                      QStringLiteral("次のラベルはキューで待っていて、プリンターが印刷できるようになると"
                                     "印刷されます：%1。")
                          .arg(sheets(n.waiting)));
    if (!n.lost.empty()) {
        // The print system could no longer be asked: the labels may or may not be on paper, and
        // moving the position back could print over them.
        m_services.dialogs.message(
            this, QStringLiteral("プリンター「%1」の印刷システムに問い合わせられなくなりました。"
                                 "次のラベルが印刷されたかどうか分かりません：%2。"
                                 "用紙を確かめてください。開始位置はそのままにします。")
                      .arg(run.printer, sheets(n.lost)));
    }
    if (n.failed.empty())
        return;
    // Each failure is told once, with the labels that did not print; the user may move the start
    // position back to the first of them, as long as no later run has moved it.
    const QString what =
        QStringLiteral("プリンター「%1」で印刷が中止されました。次のラベルは印刷されていません：%2")
            .arg(run.printer, sheets(n.failed));
    const std::int32_t back = n.failed.front().range.first;
    if (start.StartPosition != follow.storedNext() || !m_lock.held()) {
        m_services.dialogs.message(this, what + QStringLiteral("。開始位置はその後の操作で変わっているため、"
                                                               "そのままにします。"));
        return;
    }
    if (m_services.dialogs.ask(this, what + QStringLiteral("。\n\n開始位置を %1 に戻しますか？").arg(back)) &&
        start.StartPosition == follow.storedNext()) {
        m_startFile.SaveStartFile(1, back, start);
        UpdateSheetCount();
    }
}

} // namespace kb

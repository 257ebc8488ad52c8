// "Print": the print dialog, the run over as many sheets as it needs, and what follows a run.
#include <QListWidget>
#include <QPrinter>
#include <QStringList>
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

} // namespace

void Tfrmmain::connectPrintHandlers() {
    connect(cmdPrint2, &QToolButton::clicked, this, [this] { guarded([this] { cmdPrint2Click(); }); });
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
        if (!PrintSheet(surface, m_services.pause, job, range.sheet, range.first, range.last))
            throw failed(done);
        ++done;
    }
    // A file holds every sheet of the run: none of them is printed until it is written whole.
    if (!surface.finish())
        throw failed(0);
    return true;
}

void Tfrmmain::cmdPrint2Click() {
    FlagScope busy(m_busy);
    if (!PrintRun())
        return;

    const std::int32_t labels = entry.SampleCount * entry.LabelsPerSample;
    const std::int32_t next = nextStartPosition(start.StartPosition, labels);
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

} // namespace kb

// "Print": the print dialog, the run over as many sheets as it needs, and what follows a run.
#include <QListWidget>
#include <QPrinter>
#include <QToolButton>
#include <utility>

#include "app/PrinterCheck.h"
#include "app/QtPrintSurface.h"
#include "app/Tfrmmain.h"
#include "print/PrintRules.h"
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

// The printer as the user knows it: the queue's name, or the file a PDF goes to.
QString printerLabel(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return printer.outputFileName();
    return printer.printerName();
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

    const QString failed =
        QStringLiteral("印刷できませんでした。プリンター「%1」が印刷を受け付けませんでした")
            .arg(printerLabel(*printer));
    QtPrintSurface surface(*printer);
    for (const SheetRange& range : splitRun(start.StartPosition, labels)) {
        if (!PrintSheet(surface, m_services.pause, job, range.sheet, range.first, range.last))
            throw Error(failed.toStdString());
    }
    if (!surface.finish())
        throw Error(failed.toStdString());
    return true;
}

void Tfrmmain::cmdPrint2Click() {
    FlagScope busy(m_busy);
    if (!PrintRun())
        return;

    const std::int32_t labels = entry.SampleCount * entry.LabelsPerSample;
    m_startFile.SaveStartFile(1, nextStartPosition(start.StartPosition, labels), start);
    // The lists always hold a selection; should one ever be missing, the offset in force is kept
    // rather than storing -1, which would read back as a 5 mm shift.
    const int down = ListBox7->currentRow();
    const int right = ListBox6->currentRow();
    m_startFile.SaveStartFile(2, down >= 0 ? down : OffsetDownIndex, start);
    m_startFile.SaveStartFile(3, right >= 0 ? right : OffsetRightIndex, start);

    setEnabled(false);
    {
        // The window comes back even when returning to the entry screen fails.
        struct Reenable {
            QWidget* w;
            ~Reenable() { w->setEnabled(true); }
        } reenable{this};
        m_services.pause.pause(PauseAfterRunMs);
        cmdExitClick();
    }
    entry.setDateChecked(false);
    entry.setEdit2Text("");
    showEntryModel();
}

} // namespace kb

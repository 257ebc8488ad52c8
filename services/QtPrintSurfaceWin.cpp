// A sheet for a Windows print queue: painted through the printer's own driver as one document,
// which the spooler takes or refuses when it ends. The document carries the sheet's title, by which
// its job is found in the queue while it is being spooled, so that the run can watch it.
#include "services/QtPrintSurface.h"

#include <QPrinter>

#include "services/PrintQueueWin.h"

namespace kb {

namespace {

// Qt 6.4's Windows print engine reports a page or document the spooler refused (EndPage or EndDoc
// failing) only as a message, and ends the painter as if all went well: its messages are read while
// a sheet ends.
QString engineFailure;
QtMessageHandler previousHandler = nullptr;

void readEngineMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("QWin32PrintEngine::")) && text.contains(QLatin1String(" failed"))) {
        engineFailure = text;
        return;
    }
    if (previousHandler)
        previousHandler(type, context, text);
}

} // namespace

bool QtPrintSurface::beginSheet() {
    const QString title = sheetTitle(m_sheets + 1);
    // Qt's Windows print engine names the spooler's document after the printer's document name.
    m_printer.setDocName(title);
    if (!m_painter.begin(&m_printer)) {
        m_printer.setDocName(m_docName);
        return fail(QStringLiteral("印刷を始められませんでした"));
    }
    m_sheetJob = spooledJob(m_printer.printerName().toStdString(), title.toStdString());
    return true;
}

bool QtPrintSurface::submitSheet() {
    engineFailure.clear();
    previousHandler = qInstallMessageHandler(readEngineMessage);
    const bool ended = m_painter.end();
    qInstallMessageHandler(previousHandler);
    m_printer.setDocName(m_docName);
    if (!ended || !engineFailure.isEmpty())
        return fail(QStringLiteral("スプーラーが文書を受け付けませんでした"));
    ++m_sheets;
    m_jobs.push_back(m_sheetJob);
    m_sheetJob = 0;
    return true;
}

} // namespace kb

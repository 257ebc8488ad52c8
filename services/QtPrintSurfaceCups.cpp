// A sheet for a CUPS queue: painted into a PDF of our own, then handed to the scheduler as one job
// with the print dialog's options, counted as printed only once the scheduler holds it whole.
#include "services/QtPrintSurface.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QPrintEngine>
#include <QPrinter>

#include "services/PrintQueue.h"

namespace kb {

namespace {

// Where Qt's CUPS print engine keeps the job options chosen in the print dialog's properties.
constexpr auto CupsOptionsProperty = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// The job options the print dialog chose. The paper is taken from the page layout itself, so that
// the paper the labels were checked against is the paper the job asks for.
SpoolOptions jobOptions(QPrinter& printer, const QPageLayout& layout) {
    SpoolOptions options;
    const QStringList chosen = printer.printEngine()->property(CupsOptionsProperty).toStringList();
    for (qsizetype i = 0; i + 1 < chosen.size(); i += 2) {
        const QString& key = chosen[i];
        if (key == QLatin1String("media") || key == QLatin1String("PageSize") ||
            key == QLatin1String("PageRegion") || key == QLatin1String("copies"))
            continue;
        options.emplace_back(key.toStdString(), chosen[i + 1].toStdString());
    }
    options.emplace_back("media", layout.pageSize().key().toStdString());
    if (printer.copyCount() > 1)
        options.emplace_back("copies", std::to_string(printer.copyCount()));
    if (printer.colorMode() == QPrinter::GrayScale)
        options.emplace_back("print-color-mode", "monochrome");
    return options;
}

} // namespace

bool QtPrintSurface::beginSheet() {
    m_buffer = std::make_unique<QBuffer>();
    m_buffer->open(QIODevice::WriteOnly);
    return openWriter(m_buffer.get());
}

bool QtPrintSurface::submitSheet() {
    const bool painted = m_painter.end();
    m_writer.reset();
    if (!painted)
        return fail(QStringLiteral("ページを作れませんでした"));
    const QByteArray& pdf = m_buffer->data();
    ++m_sheets;
    const SpoolResult result = submitDocument(
        m_printer.printerName().toStdString(), sheetTitle(m_sheets).toStdString(),
        jobOptions(m_printer, m_layout), std::string(pdf.constData(), static_cast<std::size_t>(pdf.size())));
    m_buffer.reset();
    if (!result.held)
        return fail(QString::fromStdString(result.reason));
    m_jobs.push_back(result.jobId);
    return true;
}

} // namespace kb

#include "services/QtPrintSurface.h"

#include <QDir>

#include <QBuffer>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPdfWriter>
#include <QPen>
#include <QPrinter>

#include "services/Codec.h"
#include "services/Colours.h"
#include "services/Fonts.h"
#include "services/OutputFile.h"
#include "services/PrintQueue.h"

namespace kb {

QtPrintSurface::QtPrintSurface(QPrinter& printer) : m_printer(printer), m_docName(printer.docName()) {
    // The device pixels start at the printable area's corner, where the users' saved offsets were
    // calibrated.
    m_printer.setFullPage(false);
    m_layout = m_printer.pageLayout();
    m_resolution = m_printer.resolution();
    m_toFile = m_printer.outputFormat() == QPrinter::PdfFormat;
    m_font = printFace();
}

QtPrintSurface::~QtPrintSurface() {
    if (m_painter.isActive())
        m_painter.end();
}

QFont QtPrintSurface::printFace() {
    const QFont fallback = QFont();
    const QString family = QFontInfo(fallback).family();
    if (QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese))
        return fallback;
    // Without a Japanese face, Japanese text would print glyph by glyph in some other face, or as boxes.
    return uiFont(Face::PGothic, 12);
}

Paper QtPrintSurface::paper() const {
    const QRect full = m_layout.fullRectPixels(m_resolution);
    const QRect paint = m_layout.paintRectPixels(m_resolution);
    return Paper{m_resolution, m_resolution, full.width(), full.height(), paint.left(), paint.top()};
}

QString QtPrintSurface::paperName() const {
    return m_layout.pageSize().name();
}

QString QtPrintSurface::printerLabel() const {
    // A file as the system writes its path (on Windows with "\" between folders).
    return m_toFile ? QDir::toNativeSeparators(m_printer.outputFileName()) : m_printer.printerName();
}

bool QtPrintSurface::fail(const QString& why) {
    m_failure = why;
    return false;
}

bool QtPrintSurface::openWriter(QIODevice* device) {
    m_writer = std::make_unique<QPdfWriter>(device);
    m_writer->setCreator(QStringLiteral("Kestrelbox"));
    m_writer->setTitle(m_docName.isEmpty() ? QStringLiteral("Kestrelbox") : m_docName);
    m_writer->setResolution(m_resolution);
    m_writer->setPageLayout(m_layout);
    if (!m_painter.begin(m_writer.get()))
        return fail(QStringLiteral("印刷を始められませんでした"));
    return true;
}

bool QtPrintSurface::beginDocument() {
    m_failure.clear();
    if (m_toFile) {
        // A file has no spooler to hand sheets to one by one: the next sheet is the next page of
        // the same file, so an earlier sheet is never overwritten by a later one.
        if (m_writer) {
            if (!m_writer->newPage())
                return fail(QStringLiteral("次のページを始められませんでした"));
        } else {
            // Written beside the old file and put in its place only when whole.
            m_file = std::make_unique<OutputFile>(m_printer.outputFileName());
            if (!m_file->open())
                return fail(m_file->errorString());
            if (!openWriter(m_file->device()))
                return false;
        }
    } else if (!beginSheet()) {
        return false;
    }
    m_painter.setFont(m_font);
    return true;
}

bool QtPrintSurface::endDocument() {
    if (!m_painter.isActive())
        return fail(QStringLiteral("印刷が始まっていません"));
    if (m_toFile)
        return true;
    return submitSheet();
}

QString QtPrintSurface::sheetTitle(int sheet) const {
    return QStringLiteral("%1 (%2)")
        .arg(m_docName.isEmpty() ? QStringLiteral("Kestrelbox") : m_docName)
        .arg(sheet);
}

bool QtPrintSurface::finish() {
    if (!m_toFile || !m_file) {
        if (m_painter.isActive())
            m_painter.end();
        return true;
    }
    const bool painted = !m_painter.isActive() || m_painter.end();
    m_writer.reset();
    if (!painted) {
        m_file.reset();
        return fail(QStringLiteral("ファイルを書き終えられませんでした"));
    }
    const bool written = m_file->commit();
    const QString why = m_file->errorString();
    m_file.reset();
    return written ? true : fail(why);
}

std::int32_t QtPrintSurface::dpiX() const {
    return m_resolution;
}
std::int32_t QtPrintSurface::dpiY() const {
    return m_resolution;
}

void QtPrintSurface::setPen(std::int32_t width, std::uint32_t colour) {
    m_penWidth = width;
    m_penColour = colour;
}

void QtPrintSurface::setBrush(std::uint32_t colour) {
    m_brushColour = colour;
}

void QtPrintSurface::rectangle(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    const int w = right - left;
    const int h = bottom - top;
    if (w <= 0 || h <= 0)
        return;
    m_painter.fillRect(QRect(left, top, w, h), colourFromRgb(m_brushColour));
    // The outline lies inside the block, so the label covers exactly left..right, top..bottom
    // whatever the pen width (Qt would centre a wide pen on the edge and spill outside).
    const double pw = m_penWidth;
    if (pw <= 0 || 2 * pw >= w || 2 * pw >= h)
        return;
    QPen pen(colourFromRgb(m_penColour), pw, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    m_painter.setPen(pen);
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawRect(QRectF(left + pw / 2, top + pw / 2, w - pw, h - pw));
}

void QtPrintSurface::setFont(std::int32_t points, std::uint32_t colour) {
    m_font.setPointSize(points);
    m_fontColour = colour;
    if (m_painter.isActive())
        m_painter.setFont(m_font);
}

std::int32_t QtPrintSurface::textHeight(const std::string&) {
    return m_painter.isActive() ? m_painter.fontMetrics().height() : 0;
}

void QtPrintSurface::textOut(std::int32_t x, std::int32_t y, const std::string& sjisText) {
    const QString text = fromSjis(sjisText);
    if (text.isEmpty())
        return;
    const QFontMetrics metrics = m_painter.fontMetrics();
    // Opaque text: the cell behind the characters takes the block's colour, also past its edge.
    m_painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()),
                       colourFromRgb(m_brushColour));
    m_painter.setPen(colourFromRgb(m_fontColour));
    m_painter.drawText(QPoint(x, y + metrics.ascent()), text);
}

} // namespace kb

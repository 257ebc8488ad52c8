#include "app/QtPrintSurface.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPen>
#include <QPrinter>

#include "app/Codec.h"
#include "app/Colours.h"
#include "app/Fonts.h"

namespace kb {

QtPrintSurface::QtPrintSurface(QPrinter& printer) : m_printer(printer) {
    m_printer.setColorMode(QPrinter::Color);
    m_printer.setFullPage(false);
    m_toFile = m_printer.outputFormat() == QPrinter::PdfFormat;
    m_font = printFace();
}

QtPrintSurface::~QtPrintSurface() {
    finish();
}

QFont QtPrintSurface::printFace() {
    const QFont fallback = QFont();
    const QString family = QFontInfo(fallback).family();
    if (QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese))
        return fallback;
    // Without a Japanese face, Japanese text would print glyph by glyph in some other face, or as boxes.
    return uiFont(Face::PGothic, 12);
}

bool QtPrintSurface::beginDocument() {
    if (m_toFile && m_pageOpen) {
        // A file has no spooler to hand sheets to one by one: the next sheet is the next page of
        // the same file, so an earlier sheet is never overwritten by a later one.
        if (!m_printer.newPage())
            return false;
    } else if (!m_painter.begin(&m_printer)) {
        return false;
    }
    m_pageOpen = true;
    m_painter.setFont(m_font);
    return true;
}

bool QtPrintSurface::endDocument() {
    if (!m_painter.isActive())
        return false;
    if (m_toFile)
        return true;
    m_pageOpen = false;
    return m_painter.end();
}

bool QtPrintSurface::finish() {
    m_pageOpen = false;
    if (!m_painter.isActive())
        return true;
    return m_painter.end();
}

std::int32_t QtPrintSurface::dpiX() const {
    return m_printer.logicalDpiX();
}
std::int32_t QtPrintSurface::dpiY() const {
    return m_printer.logicalDpiY();
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
    return QFontMetrics(m_font, &m_printer).height();
}

void QtPrintSurface::textOut(std::int32_t x, std::int32_t y, const std::string& sjisText) {
    const QString text = fromSjis(sjisText);
    if (text.isEmpty())
        return;
    const QFontMetrics metrics(m_font, &m_printer);
    // Opaque text: the cell behind the characters takes the block's colour, also past its edge.
    m_painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()),
                       colourFromRgb(m_brushColour));
    m_painter.setPen(colourFromRgb(m_fontColour));
    m_painter.drawText(QPoint(x, y + metrics.ascent()), text);
}

} // namespace kb

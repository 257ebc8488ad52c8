// The print surface of the running program: QPainter on the QPrinter the print dialog chose, in the
// printer's own device pixels from the printable area's top-left corner.
#pragma once
#include <QFont>
#include <QPainter>

#include "print/PrintRules.h"

class QPrinter;

namespace kb {

class QtPrintSurface final : public PrintSurface {
  public:
    // Puts the printer in colour (a queue without a driver would default to grey scale) and keeps
    // the page's printable area as the origin, where the users' saved offsets were calibrated.
    explicit QtPrintSurface(QPrinter& printer);
    ~QtPrintSurface() override;

    bool beginDocument() override;
    bool endDocument() override;
    std::int32_t dpiX() const override;
    std::int32_t dpiY() const override;
    void setPen(std::int32_t width, std::uint32_t colour) override;
    void setBrush(std::uint32_t colour) override;
    void rectangle(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) override;
    void setFont(std::int32_t points, std::uint32_t colour) override;
    std::int32_t textHeight(const std::string& sjisText) override;
    void textOut(std::int32_t x, std::int32_t y, const std::string& sjisText) override;

    // Ends what is still open: a file output keeps all sheets of a run as pages of one file, so
    // it is closed here rather than after each sheet. False when the file could not be finished.
    bool finish();

    // The face the text prints in: the printer's default unless it cannot show Japanese.
    static QFont printFace();

  private:
    QPrinter& m_printer;
    QPainter m_painter;
    bool m_toFile = false;
    bool m_pageOpen = false;
    int m_penWidth = 1;
    std::uint32_t m_penColour = 0;
    std::uint32_t m_brushColour = 0x00FFFFFF;
    std::uint32_t m_fontColour = 0;
    QFont m_font;
};

} // namespace kb

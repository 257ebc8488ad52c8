#include "services/QtTextMeasure.h"

#include <QFontMetrics>
#include <cmath>

#include "services/Codec.h"
#include "services/QtPrintSurface.h"

namespace kb {

namespace {
constexpr double InchesPerMetre = 1 / 0.0254;
}

QtTextMeasure::QtTextMeasure(std::int32_t dpiX, std::int32_t dpiY) : m_device(1, 1, QImage::Format_RGB32) {
    m_device.setDotsPerMeterX(static_cast<int>(std::lround(dpiX * InchesPerMetre)));
    m_device.setDotsPerMeterY(static_cast<int>(std::lround(dpiY * InchesPerMetre)));
}

std::int32_t QtTextMeasure::textWidth(std::int32_t points, const std::string& sjisText) {
    QFont font = QtPrintSurface::printFace();
    font.setPointSize(points);
    return QFontMetrics(font, &m_device).horizontalAdvance(fromSjis(sjisText));
}

} // namespace kb

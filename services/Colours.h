// The label rules keep colours as 0x00BBGGRR values (red in the low byte); the widgets and the
// printer take QColor. The two conversions live here and nowhere else.
#pragma once
#include <QColor>
#include <cstdint>

namespace kb {

QColor colourFromRgb(std::uint32_t rgb);
std::uint32_t rgbFromColour(const QColor& colour);

} // namespace kb

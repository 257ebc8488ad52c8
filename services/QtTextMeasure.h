// Text widths as the label's face prints them at a printer's resolution, for the check that a line
// stays clear of the label's code before anything prints.
#pragma once
#include <QImage>

#include "print/LabelCode.h"

namespace kb {

class QtTextMeasure final : public TextMeasure {
  public:
    QtTextMeasure(std::int32_t dpiX, std::int32_t dpiY);
    std::int32_t textWidth(std::int32_t points, const std::string& sjisText) override;

  private:
    QImage m_device; // only its resolution: fonts take their size in dots from it
};

} // namespace kb

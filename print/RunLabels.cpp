#include "print/RunLabels.h"

#include <utility>

namespace kb {

TypedLabels::TypedLabels(NumberedLabel label, bool numbering, std::int32_t firstNumber, std::int64_t count)
    : m_label(std::move(label)), m_numbering(numbering), m_first(firstNumber), m_count(count) {}

RunLabel TypedLabels::at(std::int64_t index) const {
    const auto number = static_cast<std::int32_t>(m_first + index);
    RunLabel l;
    l.lines = m_label.linesFor(number);
    if (m_numbering) {
        l.stem = m_label.NumberStem;
        l.serial = number;
    }
    return l;
}

} // namespace kb

#include "print/RunLabels.h"

#include <utility>

#include "print/PrintRules.h"

namespace kb {

TypedLabels::TypedLabels(NumberedLabel label, bool numbering, std::int32_t firstNumber, std::int64_t count)
    : m_label(std::move(label)), m_numbering(numbering), m_first(firstNumber), m_count(count) {}

void forEachPlaced(
    const RunLabels& labels, std::int32_t startPosition,
    const std::function<void(std::int32_t sheet, std::int32_t position, const RunLabel&)>& each) {
    for (const SheetRange& range : splitRun(startPosition, labels.size()))
        for (std::int32_t p = range.first; p <= range.last; ++p)
            each(range.sheet, p, labels.at(labelIndex(startPosition, range.sheet, p)));
}

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

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

RunLabel ListRun::at(std::int64_t index) const {
    ListLabel l = m_labels.at(static_cast<std::size_t>(index));
    return RunLabel{std::move(l.lines), std::move(l.stem), l.serial, l.row};
}

std::optional<RowSpan> rowsOf(const RunLabels& labels, std::int64_t first, std::int64_t last) {
    if (first > last || last >= labels.size() || labels.at(first).row == 0)
        return std::nullopt;
    return RowSpan{labels.at(first).row, labels.at(last).row};
}

} // namespace kb

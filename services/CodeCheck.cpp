#include "services/CodeCheck.h"

#include "services/QtTextMeasure.h"

namespace kb {

std::optional<LabelCodeRefusal> firstCodeRefusal(const SheetJob& job, const std::vector<SheetRange>& ranges,
                                                 std::int32_t dpiX, std::int32_t dpiY) {
    if (job.code.kind == CodeKind::None)
        return std::nullopt;
    QtTextMeasure measure(dpiX, dpiY);
    const std::int64_t count = job.labels ? job.labels->size() : 0;
    std::optional<LabelLines> checked;
    for (const SheetRange& range : ranges) {
        for (std::int32_t p = range.first; p <= range.last; ++p) {
            const std::int64_t index = labelIndex(job.startPosition, range.sheet, p);
            if (index < 0 || index >= count)
                continue;
            const RunLabel label = job.labels->at(index);
            // Labels with the same lines carry the same code: one look is enough (a run without
            // numbers is one label many times).
            if (label.lines == checked)
                continue;
            if (auto refusal = checkLabelCode(job.code, label.lines, dpiX, dpiY, measure))
                return LabelCodeRefusal{{range.sheet, p, p}, label.serial, label.lines, *refusal};
            checked = label.lines;
        }
    }
    return std::nullopt;
}

} // namespace kb

#include "services/CodeCheck.h"

#include "services/QtTextMeasure.h"

namespace kb {

std::optional<LabelCodeRefusal> firstCodeRefusal(const SheetJob& job, const std::vector<SheetRange>& ranges,
                                                 std::int32_t dpiX, std::int32_t dpiY) {
    if (job.code.kind == CodeKind::None)
        return std::nullopt;
    QtTextMeasure measure(dpiX, dpiY);
    for (const SheetRange& range : ranges) {
        for (std::int32_t p = range.first; p <= range.last; ++p) {
            const std::int32_t serial = serialNumber(job.firstNumber, job.startPosition, range.sheet, p);
            const LabelLines lines = job.label.linesFor(serial);
            if (auto refusal = checkLabelCode(job.code, lines, dpiX, dpiY, measure))
                return LabelCodeRefusal{{range.sheet, p, p}, serial, lines, *refusal};
            // With numbering off every label is the same: one look is enough.
            if (job.label.where == NumberedLine::None)
                return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace kb

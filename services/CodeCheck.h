// The check, before a run prints anything, that every label's code fits beside its text: the first
// label that cannot carry its code, for the front end to word.
#pragma once
#include <optional>
#include <vector>

#include "print/LabelCode.h"
#include "print/PrintRules.h"

namespace kb {

struct LabelCodeRefusal {
    SheetRange at{}; // the sheet, and the label's position in first and last
    std::optional<std::int32_t> serial;
    LabelLines lines;
    CodeRefusal refusal;
};

// The labels of the run's sheets (as splitRun gives them) at the printer's resolution.
std::optional<LabelCodeRefusal> firstCodeRefusal(const SheetJob& job, const std::vector<SheetRange>& ranges,
                                                 std::int32_t dpiX, std::int32_t dpiY);

} // namespace kb

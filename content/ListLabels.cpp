#include "content/ListLabels.h"

#include <algorithm>
#include <tuple>

namespace kb {

namespace {

// The day's date for every row, read once.
class FixedClock final : public Clock {
  public:
    explicit FixedClock(std::string today) : m_today(std::move(today)) {}
    std::string todayText() const override { return m_today; }

  private:
    std::string m_today;
};

// The row as the entry screen would compose it: the two lines typed, "Date" ticked (and its field
// edited), "Number" ticked with the first number, "PrintSet".
NumberedLabel composeRow(const ListRow& row, std::int32_t firstNumber, std::int32_t width,
                         const ListOptions& options, const Clock& clock) {
    ComposeInput in =
        printSetInputFor(TypedEntry{row.line1, row.line2, !row.line2.empty(), options.date, options.dateField,
                                    row.firstSerial.has_value(), firstNumber, 1},
                         clock);
    in.serialWidth = row.firstSerial ? width : 0;
    return compose(in).label;
}

bool sameCut(const NumberedLabel& a, const NumberedLabel& b) {
    return a.where == b.where && a.NumberStem == b.NumberStem && a.fixedLine1 == b.fixedLine1;
}

std::int32_t digitsOf(std::int32_t n) {
    return static_cast<std::int32_t>(std::to_string(n).size());
}

struct Numbered {
    std::string key; // line 1 and the stem
    std::int32_t first, last, row;
};

} // namespace

ListLabel ListLabels::at(std::size_t index) const {
    const auto it = std::upper_bound(m_rows.begin(), m_rows.end(), index,
                                     [](std::size_t i, const Row& r) { return i < r.end; });
    const std::size_t begin = it->end - static_cast<std::size_t>(it->count);
    ListLabel label;
    label.row = it->row;
    if (it->firstSerial) {
        const std::int32_t serial = *it->firstSerial + static_cast<std::int32_t>(index - begin);
        label.serial = serial;
        label.stem = it->label.NumberStem;
        label.lines = it->label.linesFor(serial);
    } else {
        label.lines = it->label.linesFor(0);
    }
    return label;
}

void ListLabels::add(Row row) {
    row.end = size() + static_cast<std::size_t>(row.count);
    m_rows.push_back(std::move(row));
}

ListComposition composeList(const ListReading& reading, const ListOptions& options, const Clock& clock) {
    ListComposition out;
    if (!reading.refusals.empty()) {
        out.refusals = reading.refusals;
        out.moreRefusals = reading.moreRefusals;
        return out;
    }
    const auto refuse = [&](ListRefusal r) {
        addRefusal(out.refusals, out.moreRefusals, std::move(r), reading.file);
    };
    const FixedClock today(clock.todayText());
    std::vector<Numbered> numbered;
    for (const ListRow& row : reading.rows) {
        ListLabels::Row composed;
        composed.row = row.row;
        composed.count = row.count;
        composed.firstSerial = row.firstSerial;
        const std::int32_t width = std::max(row.serialWidth, options.digits);
        const std::int32_t first = row.firstSerial.value_or(1);
        composed.label = composeRow(row, first, width, options, today);
        if (row.firstSerial) {
            // The cut was made for the first number's digits. A later number with more digits fits
            // only where the rules would have cut the row the same for it; elsewhere it would run past
            // the cut (or into the date), which a serial number may not do silently.
            const std::int32_t last = first + row.count - 1;
            const std::int32_t cutFor = std::max(width, digitsOf(first));
            for (std::int32_t wider = 10; wider <= last; wider *= 10) {
                if (digitsOf(wider) > cutFor &&
                    !sameCut(composed.label, composeRow(row, wider, width, options, today))) {
                    refuse({.problem = ListProblem::SerialTooWide,
                            .row = row.row,
                            .column = kSerialColumn,
                            .serial = wider});
                    break;
                }
            }
            numbered.push_back({row.line1 + '\0' + composed.label.NumberStem, first, last, row.row});
        }
        out.labels.add(std::move(composed));
    }
    // The list against itself: rows with the same line 1 and stem whose serial numbers overlap.
    std::sort(numbered.begin(), numbered.end(), [](const Numbered& a, const Numbered& b) {
        return std::tie(a.key, a.first, a.row) < std::tie(b.key, b.first, b.row);
    });
    std::vector<ListRefusal> repeats;
    for (std::size_t i = 1, reach = 0; i < numbered.size(); ++i) {
        const Numbered& a = numbered[reach];
        const Numbered& b = numbered[i];
        if (a.key == b.key && b.first <= a.last) {
            repeats.push_back({.problem = ListProblem::Repeated,
                               .row = std::max(a.row, b.row),
                               .column = kSerialColumn,
                               .serial = b.first,
                               .otherRow = std::min(a.row, b.row)});
        }
        // The row that reaches furthest stays the one the next rows are held against.
        if (a.key != b.key || b.last > a.last)
            reach = i;
    }
    std::sort(repeats.begin(), repeats.end(), [](const ListRefusal& a, const ListRefusal& b) {
        return std::tie(a.row, a.otherRow) < std::tie(b.row, b.otherRow);
    });
    for (ListRefusal& r : repeats)
        refuse(std::move(r));
    if (!out.refusals.empty())
        out.labels = ListLabels();
    return out;
}

} // namespace kb

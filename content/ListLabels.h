// A list's labels as one run: every row composed by the typed run's rules (the entry screen's lines,
// "Date" and "Number", then "PrintSet"), checked against itself, and handed out one label at a time
// in print order. What is kept is one composed label per row, never one per label.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "content/Composition.h"
#include "content/EntryModel.h"
#include "content/ListReader.h"

namespace kb {

struct ListOptions {
    bool date = false;                    // "Date" ticked for every row
    std::optional<std::string> dateField; // the date field as edited (Shift-JIS); none: today's date
    std::int32_t digits = 0;              // every numbered row's numbers padded to this many digits
};

// One label of the run.
struct ListLabel {
    LabelLines lines;                   // Shift-JIS, as on paper
    std::string stem;                   // NumberStem of a numbered row; empty otherwise
    std::optional<std::int32_t> serial; // none: the row is not numbered
    std::int32_t row = 0;               // the list row it comes from
    bool operator==(const ListLabel&) const = default;
};

class ListLabels {
  public:
    struct Row {
        std::int32_t row = 0;
        std::int32_t count = 0;
        std::optional<std::int32_t> firstSerial;
        NumberedLabel label; // where == None for a row without serial numbers
        std::size_t end = 0; // the labels of this row and of all rows before it
    };

    // Labels of all rows, in print order.
    std::size_t size() const { return m_rows.empty() ? 0 : m_rows.back().end; }
    // The label at index (0 <= index < size()): the rows in file order, a row's serials ascending.
    ListLabel at(std::size_t index) const;
    const std::vector<Row>& rows() const { return m_rows; }
    void add(Row row);

  private:
    std::vector<Row> m_rows;
};

struct ListComposition {
    ListLabels labels;                 // empty when refused
    std::vector<ListRefusal> refusals; // the reading's own, or those of the composition
    bool moreRefusals = false;
};

// The run of a read list. Refused, with nothing composed, when the reading was; refused also where a
// row's later serial numbers have more digits than its first's cut leaves room for (serials never
// lose digits or wrap), and where two rows would print the same numbered label (the same line 1, stem
// and serial number). The date is taken once from the clock, so every row carries the same one.
ListComposition composeList(const ListReading& reading, const ListOptions& options, const Clock& clock);

} // namespace kb

// The labels of a run, in print order, asked for one at a time: the renderer, the ledger and the
// front ends' messages all take a run's labels from here, so that a typed run and, later, a list of
// many rows print, record and report through the same seam. A run of any length costs no memory of
// its own.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "content/Composition.h"
#include "content/ListLabels.h"

namespace kb {

struct RunLabel {
    LabelLines lines;                   // Shift-JIS, exactly as on paper
    std::string stem;                   // the NumberStem of a numbered label; empty otherwise
    std::optional<std::int32_t> serial; // the serial number of a numbered label
    std::int32_t row = 0;               // the list's row it came from (from 1); 0 for a typed run
};

class RunLabels {
  public:
    virtual ~RunLabels() = default;
    virtual std::int64_t size() const = 0;
    // The label at `index` (0 for the run's first label); index < size().
    virtual RunLabel at(std::int64_t index) const = 0;
};

// Calls `each` for every label of the run in print order with its sheet and position, as the run's
// split places them from startPosition; made one at a time.
void forEachPlaced(
    const RunLabels& labels, std::int32_t startPosition,
    const std::function<void(std::int32_t sheet, std::int32_t position, const RunLabel&)>& each);

// A typed run: `count` labels of one composed label, numbered from firstNumber when numbering is on.
class TypedLabels final : public RunLabels {
  public:
    TypedLabels(NumberedLabel label, bool numbering, std::int32_t firstNumber, std::int64_t count);
    std::int64_t size() const override { return m_count; }
    RunLabel at(std::int64_t index) const override;
    const NumberedLabel& label() const { return m_label; }
    bool numbering() const { return m_numbering; }
    std::int32_t firstNumber() const { return m_first; }

  private:
    NumberedLabel m_label;
    bool m_numbering;
    std::int32_t m_first;
    std::int64_t m_count;
};

// A list's run: its rows' labels in file order, each naming its row.
class ListRun final : public RunLabels {
  public:
    ListRun(ListLabels labels, std::string file) : m_labels(std::move(labels)), m_file(std::move(file)) {}
    std::int64_t size() const override { return static_cast<std::int64_t>(m_labels.size()); }
    RunLabel at(std::int64_t index) const override;
    const ListLabels& list() const { return m_labels; }
    const std::string& file() const { return m_file; } // as the user named it (UTF-8)

  private:
    ListLabels m_labels;
    std::string m_file;
};

// The list rows of labels first..last of a run: none for a typed run.
struct RowSpan {
    std::int32_t first = 0, last = 0;
};
std::optional<RowSpan> rowsOf(const RunLabels& labels, std::int64_t first, std::int64_t last);

} // namespace kb

// Why a list of labels is refused: what is wrong, in which file, row and column, and the character
// to blame where there is one. Nothing of a list prints while one of these stands; the window words
// them in Japanese and the command in English, from the same fields.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kb {

enum class ListProblem {
    Unreadable,     // the file cannot be read (detail: the system's reason)
    TooLarge,       // the file is larger than any list of labels can be
    NoLabels,       // no row holds a label
    BrokenText,     // bytes that are no text in the file's encoding
    Character,      // a character without a Shift-JIS form, or a control character
    LineBreak,      // a line break inside a label's cell
    UnclosedQuote,  // a quoted cell that the file never closes
    EmptyLabel,     // a row with a count or serial number but neither line 1 nor line 2
    CountNotNumber, // text: the cell as written
    CountOutOfRange,
    SerialNotNumber,
    SerialOutOfRange, // serial: the number past the limit (first or last of the row)
    TooManyLabels,    // the run would pass the labels one run may hold at this row
    SerialTooWide,    // serial: the first number whose digits the row's cut leaves no room for
    Repeated,         // serial: a numbered label that otherRow prints too
};

struct ListRefusal {
    ListProblem problem = ListProblem::Unreadable;
    std::string file = {};   // as the user named it (UTF-8)
    std::int32_t row = 0;    // the record's number in the file, from 1; 0 for the file as a whole
    std::int32_t column = 0; // from 1; 0 for the row as a whole
    char32_t character = 0;  // Character
    // The cell as written (UTF-8): the number problems, and a Character without one to blame.
    std::string text = {};
    std::int32_t serial = 0;
    std::int32_t otherRow = 0; // Repeated: the earlier row with the same label
    std::string detail = {};   // Unreadable: the system's reason (UTF-8)
    bool operator==(const ListRefusal&) const = default;
};

// One refusal as one sentence, UTF-8: for the command and for the window.
std::string englishText(const ListRefusal& refusal);
std::string japaneseText(const ListRefusal& refusal);

// A list names at most this many of its faults: enough to mend a file in one go, not a flood.
constexpr std::size_t kMaxListRefusals = 20;

// r, named for file, added to refusals; once kMaxListRefusals are named, only `more` is set.
void addRefusal(std::vector<ListRefusal>& refusals, bool& more, ListRefusal r, const std::string& file);

} // namespace kb

// "PrintSet": the two preview lines of the label, with serial number and date as chosen, and the
// numbered-label value that gives every label of a numbered run its own two lines.
#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "content/Memo.h"

namespace kb {

// Where the serial number stands on a numbered label.
enum class NumberedLine {
    None,  // numbering off: every label prints the preview's two lines
    Line1, // line 1 is NumberStem, "-", number; line 2 carries only the date tail
    Line2, // line 1 as typed; line 2 is NumberStem, "-", number, then the date tail
    Split, // NumberStem, "-", number runs over both lines, split after 28 bytes
};

struct LabelLines {
    std::string line1;
    std::string line2;
    bool operator==(const LabelLines&) const = default;
};

// What a numbered run prints: built once by the composition, asked for each label's number.
struct NumberedLabel {
    NumberedLine where = NumberedLine::None;
    std::string fixedLine1; // line 1 when the number stands on line 2 (and with numbering off)
    std::string fixedLine2; // numbering off: line 2, date tail included
    std::string NumberStem; // the text in front of "-N", exactly as the preview shows it
    bool withDate = false;  // "Date" checked: line 2 padded to 14 bytes (never cut), a blank, dateField
    std::string dateField;
    std::int32_t serialWidth = 0; // numbers padded with leading zeros to this many digits (0: none)

    // The two lines of the label that carries this serial number (never cut). With numbering off
    // (None) every label gets the same two lines.
    LabelLines linesFor(std::int32_t number) const;
};

struct ComposeInput {
    std::string line1; // lines 1 and 2 of Memo1 (line 2 with the date line while Date is on)
    std::string line2;
    std::string line2Work; // Line2Work; S is this without trailing blanks and control bytes
    bool dateChecked = false;
    std::string dateField; // text of Edit2
    bool numberingOn = false;
    std::int32_t firstNumber = 1;
    std::int32_t serialWidth = 0; // a list's first serial written 0001 keeps its 4 digits; 0: as is
};

struct Composition {
    LabelLines preview;  // the lines the preview memo receives (before its 64-byte limit)
    NumberedLabel label; // where == None when numbering is off; label.linesFor(firstNumber) == preview
};

// The decimal text of a serial number, padded with leading zeros to width digits (never cut).
std::string serialText(std::int32_t number, std::int32_t width);

// True when the memo's whole text lets PrintSet go on (not empty and not exactly "\r\n\r\n").
bool printSetAccepts(const std::string& wholeMemoText);

// a = StartPosition + SampleCount x LabelsPerSample; 1..5 sheets by the thresholds 32, 62, 92, 122.
std::int32_t sheetCountFor(std::int32_t a);

Composition compose(const ComposeInput& in);

// Writes the preview lines into the preview memo (64-byte limit): line 1 first, then line 2.
void showPreview(Memo& memo2, const LabelLines& preview);

} // namespace kb

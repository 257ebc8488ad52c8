#include "content/Composition.h"

#include "content/Sjis.h"

namespace kb {

namespace {

constexpr std::size_t kSplitAt = 28;       // line 1 of a label holds at most 28 bytes of a split serial text
constexpr std::size_t kDateFieldText = 14; // text in front of the date on the preview's line 2
const std::string kBlankStart(5, ' ');
const std::string kTwoLineBreaks = "\r\n\r\n";

// The date tail: the text padded with blanks to 14 bytes, a blank, the date field.
std::string withDateTail(const std::string& text, const std::string& dateField) {
    return padRight(text, kDateFieldText) + " " + dateField;
}

} // namespace

LabelLines NumberedLabel::linesFor(std::int32_t number) const {
    const std::string serial = NumberStem + "-" + serialText(number, serialWidth);
    LabelLines lines;
    switch (where) {
    case NumberedLine::None:
        return {fixedLine1, fixedLine2}; // the date tail, if any, is already in fixedLine2
    case NumberedLine::Line1:
        lines = {serial, ""};
        break;
    case NumberedLine::Line2:
        lines = {fixedLine1, serial};
        break;
    case NumberedLine::Split: {
        // The stem is longer than the split point, so line 1 is the same for every number and the
        // number itself always lands whole on line 2.
        lines.line1 = safeCut(serial, kSplitAt);
        lines.line2 = serial.substr(lines.line1.size());
        break;
    }
    }
    if (withDate)
        lines.line2 = withDateTail(lines.line2, dateField);
    return lines;
}

std::string serialText(std::int32_t number, std::int32_t width) {
    std::string digits = std::to_string(number);
    if (width > 0 && digits.size() < static_cast<std::size_t>(width))
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return digits;
}

bool printSetAccepts(const std::string& wholeMemoText) {
    return !wholeMemoText.empty() && wholeMemoText != kTwoLineBreaks;
}

std::int32_t sheetCountFor(std::int32_t a) {
    if (a <= 31)
        return 1;
    if (a <= 61)
        return 2;
    if (a <= 91)
        return 3;
    if (a <= 121)
        return 4;
    return 5;
}

Composition compose(const ComposeInput& in) {
    Composition out;
    NumberedLabel& label = out.label;
    label.withDate = in.dateChecked;
    label.dateField = in.dateField;
    label.serialWidth = in.serialWidth;

    if (!in.numberingOn) {
        // Line 2 as typed, date line included; with the date its text part is cut to 14 bytes.
        label.where = NumberedLine::None;
        label.fixedLine1 = in.line1;
        label.fixedLine2 = in.line2;
        if (in.dateChecked)
            label.fixedLine2 =
                cutField(padRight(in.line2, kDateFieldText), kDateFieldText) + " " + in.dateField;
        out.preview = label.linesFor(in.firstNumber);
        return out;
    }

    const std::string& line1 = in.line1;
    const std::string& line2 = in.line2;
    const std::string S = trimRightControl(in.line2Work);
    // The number's width counts its leading zeros: the cuts make room for the digits as printed.
    const std::string N = serialText(in.firstNumber, in.serialWidth);
    const int n = static_cast<int>(N.size());
    const bool blankStart = line2.size() >= kBlankStart.size() && line2.compare(0, 5, kBlankStart) == 0;
    const std::size_t L1 = blankStart ? line1.size() + 1 + N.size() : line1.size();
    const std::size_t W = blankStart ? 0 : N.size() + S.size() + 1;
    const auto cut = [](const std::string& s, int k) { return safeCut(s, static_cast<std::size_t>(k)); };

    label.fixedLine1 = line1;
    if (blankStart && L1 <= kSplitAt) {
        // Row 1: the number goes on line 1; the blank-start line 2 (the date placeholder) stays empty.
        label.where = NumberedLine::Line1;
        label.NumberStem = line1;
    } else if (line2.empty() && L1 > kSplitAt) {
        // Row 2: line 1 with its number is too long for one line and runs on into line 2.
        label.where = NumberedLine::Split;
        label.NumberStem = line1;
    } else if (!line2.empty() && W <= 14) {
        // Row 3 (also every blank start that row 1 did not take).
        label.where = NumberedLine::Line2;
        label.NumberStem = S;
    } else if (!line2.empty() && W >= 26) {
        // Rows 4 and 5: a long text is cut so the number still fits.
        label.where = NumberedLine::Line2;
        label.NumberStem = in.dateChecked ? cut(S, evenCut(12 - n)) : cut(line2, evenCut(24 - n));
    } else if (!line2.empty()) {
        // Rows 6 and 7 (W from 15 to 25); with the date, line 2 is cut in front of the date line.
        label.where = NumberedLine::Line2;
        label.NumberStem = in.dateChecked ? cut(line2, evenCut(13 - n)) : line2;
    } else {
        // Row 8: no line 2 and a short line 1: numbered like row 1.
        label.where = NumberedLine::Line1;
        label.NumberStem = line1;
    }
    out.preview = label.linesFor(in.firstNumber);
    return out;
}

void showPreview(Memo& memo2, const LabelLines& preview) {
    // The preview always has a line 1 and a line 2 to replace.
    if (memo2.lineCount() < 2)
        memo2.setText(memo2.text() + "\r\n");
    memo2.replaceLine(1, preview.line1);
    memo2.replaceLine(2, preview.line2);
}

} // namespace kb

// The entry screen driven by a random sequence of what a user can do there (type, Backspace, "Date"
// on and off, the date field, "Number", the first number, the count, "PrintSet"), with the rules'
// promises checked after every step:
// - every memo line, Line2Work and the date field stay well-formed Shift-JIS (no split double-byte
//   character) as long as everything typed was, and the counters show the lines' byte counts;
// - "PrintSet" composes a preview equal to the first label, which the 64-byte preview memo shows
//   without a split character, and every label of the run carries its own
//   number whole on one line, is well-formed Shift-JIS, keeps the date tail, and is no longer than the
//   preview's line but for the digits its number gained.
// Text that is not Shift-JIS is typed too: the window refuses it, but the rules must still neither
// crash nor misbehave in memory; only the well-formedness checks are left out after it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzChecks.h"
#include "content/Composition.h"
#include "content/EntryModel.h"
#include "content/Sjis.h"

namespace {

using kbfuzz::require;

class FixedClock final : public kb::Clock {
  public:
    std::string today;
    std::string todayText() const override { return today; }
};

constexpr std::size_t kMaxMemoBytes = 160; // about four full lines of the memo
constexpr std::size_t kDateFieldBytes = 14;
constexpr int kMaxSteps = 48;

// Well-formed pieces a user can type: ASCII, blanks, half-width katakana, double-byte characters
// (one whose trail byte looks like a lead byte, and one whose trail byte is '\' or '|'), and a line break.
const char* const kPieces[] = {"A",        "z",        "7",        "-",        " ",        "     ",
                               "\xB1",     "\xDF",     "\x82\xA0", "\x88\x9F", "\x83\x5C", "\x95\x7C",
                               "\xE0\x40", "\xFC\xFC", "\x81\x40", "\r\n"};

std::string typedText(FuzzedDataProvider& in, std::size_t maxPieces, bool lineBreaks) {
    std::string text;
    const std::size_t pieces = in.ConsumeIntegralInRange<std::size_t>(1, maxPieces);
    constexpr std::size_t count = sizeof kPieces / sizeof kPieces[0];
    for (std::size_t i = 0; i < pieces; ++i) {
        const std::string piece =
            kPieces[in.ConsumeIntegralInRange<std::size_t>(0, count - (lineBreaks ? 1 : 2))];
        text += piece;
    }
    return text;
}

// Byte offsets where a caret can stand: between characters, never inside a double-byte character or
// between the CR and LF of a line break.
std::vector<std::size_t> carets(const std::string& text) {
    std::vector<std::size_t> at{0};
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool pair = kb::isLeadByte(c) || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
        i += pair && i + 1 < text.size() ? 2 : 1;
        at.push_back(i);
    }
    return at;
}

std::size_t digits(std::int32_t n) {
    return std::to_string(n).size();
}

void checkEntry(const kb::EntryModel& m, bool wellFormed) {
    const int lines = m.Memo1.lineCount();
    if (wellFormed) {
        for (int n = 1; n <= lines; ++n)
            require(kbfuzz::isSjisLine(m.Memo1.line(n)), "a memo line is well-formed Shift-JIS",
                    m.Memo1.text());
        require(kbfuzz::isSjisLine(m.Line2Work), "Line2Work is well-formed Shift-JIS", m.Line2Work);
        require(kbfuzz::isSjisLine(m.edit2Text()), "the date field is well-formed Shift-JIS", m.edit2Text());
    }
    // Only two lines are kept: whatever is typed below them is blanked.
    for (int n = 3; n <= std::min(lines, 11); ++n)
        require(m.Memo1.line(n).empty(), "lines 3 to 11 stay empty", m.Memo1.text());
    require(m.panel1().bytes == static_cast<int>(m.Memo1.line(1).size()), "counter 1 shows line 1's bytes",
            m.Memo1.text());
    require(m.panel2().bytes == static_cast<int>(m.Memo1.line(2).size()), "counter 2 shows line 2's bytes",
            m.Memo1.text());
    require(m.panel1().red == (m.panel1().bytes >= 30), "counter 1 is red from 30 bytes");
    require(m.FirstNumber >= 1 && m.FirstNumber <= 1000, "the first number is 1..1000");
    require(m.SampleCount >= 1 && m.SampleCount <= 10, "the count is 1..10");
}

// "PrintSet" as the window runs it, and the labels the run would print.
void printSet(kb::EntryModel& m, kb::Memo& memo2, bool wellFormed) {
    if (!kb::printSetAccepts(m.Memo1.text()))
        return;
    m.Line2Work = kb::trimRightControl(m.Line2Work);
    kb::ComposeInput in;
    in.line1 = m.Memo1.line(1);
    in.line2 = m.Memo1.line(2);
    in.line2Work = m.Line2Work;
    in.dateChecked = m.dateChecked();
    in.dateField = m.edit2Text();
    in.numberingOn = m.NumberingOn;
    in.firstNumber = m.FirstNumber;
    const kb::Composition c = kb::compose(in);
    const kb::NumberedLabel& label = c.label;
    const std::string context = in.line1 + "|" + in.line2 + "|" + in.line2Work + "|" + in.dateField + "|" +
                                std::to_string(in.firstNumber) + (in.dateChecked ? "|date" : "");

    require(label.linesFor(in.firstNumber) == c.preview, "the preview is the first label", context);
    // The preview memo holds 64 bytes: what it cuts off must not split a character or a line break.
    kb::showPreview(memo2, c.preview);
    require(memo2.text().size() <= 64 && memo2.lineCount() >= 2,
            "the preview memo keeps two lines in 64 bytes", memo2.text());
    if (wellFormed)
        for (int n = 1; n <= memo2.lineCount(); ++n)
            require(kbfuzz::isSjisLine(memo2.line(n)), "a preview line is well-formed Shift-JIS",
                    memo2.text());
    require((label.where == kb::NumberedLine::None) == !in.numberingOn, "numbered exactly when Number is on",
            context);
    const std::string tail = " " + in.dateField;
    for (std::int32_t k = 0; k < m.SampleCount * m.LabelsPerSample; ++k) {
        const std::int32_t number = in.firstNumber + k;
        const kb::LabelLines lines = label.linesFor(number);
        const std::string where =
            context + " #" + std::to_string(number) + ": " + lines.line1 + "|" + lines.line2;
        if (wellFormed) {
            require(kbfuzz::isSjisLine(lines.line1), "label line 1 is well-formed Shift-JIS", where);
            require(kbfuzz::isSjisLine(lines.line2), "label line 2 is well-formed Shift-JIS", where);
        }
        const std::size_t grown = digits(number) - digits(in.firstNumber);
        require(lines.line1.size() <= c.preview.line1.size() + grown &&
                    lines.line2.size() <= c.preview.line2.size() + grown,
                "a label is no longer than the preview but for the digits its number gained", where);
        std::string text2 = lines.line2;
        if (in.dateChecked) {
            require(text2.size() >= 14 + tail.size() &&
                        text2.compare(text2.size() - tail.size(), tail.size(), tail) == 0,
                    "with the date, line 2 ends in at least 14 bytes, a blank and the date field", where);
            text2.resize(text2.size() - tail.size());
        }
        if (label.where == kb::NumberedLine::None) {
            require(lines == c.preview, "without numbering every label is the preview", where);
            continue;
        }
        // The serial number stands whole on one line, right after its hyphen and followed by nothing
        // but the date tail's blanks.
        const std::string serial = "-" + std::to_string(number);
        const auto standsOn = [&serial](const std::string& line) {
            const std::size_t at = line.rfind(serial);
            return at != std::string::npos &&
                   line.find_first_not_of(' ', at + serial.size()) == std::string::npos;
        };
        require(standsOn(lines.line1) || standsOn(text2), "each label carries its own whole number", where);
        if (label.where == kb::NumberedLine::Split)
            require(lines.line1.size() <= 28, "a split serial text keeps line 1 within 28 bytes", where);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    FixedClock clock;
    const char separators[] = {'/', '-', '.'};
    const char sep = separators[in.ConsumeIntegralInRange(0, 2)];
    clock.today = std::string("26") + sep + "12" + sep + "08";
    kb::EntryModel m(clock);
    kb::Memo memo2(64);
    memo2.setText("Memo2");
    bool wellFormed = true;

    for (int step = 0; step < kMaxSteps && in.remaining_bytes() > 0; ++step) {
        std::string text = m.Memo1.text();
        const std::vector<std::size_t> at = carets(text);
        const std::size_t k = in.ConsumeIntegralInRange<std::size_t>(0, at.size() - 1);
        const std::size_t caret = at[k];
        switch (in.ConsumeIntegralInRange(0, 9)) {
        case 0: // typing well-formed text at the caret
        case 1: {
            const std::string typed = typedText(in, 8, true);
            if (text.size() + typed.size() <= kMaxMemoBytes)
                m.Memo1.setText(text.insert(caret, typed));
            break;
        }
        case 2: { // any bytes at all, as a paste that the window would refuse
            const std::string typed = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(1, 6));
            if (text.size() + typed.size() <= kMaxMemoBytes) {
                wellFormed = wellFormed && kbfuzz::isSjisLine(typed);
                m.Memo1.setText(text.insert(caret, typed));
            }
            break;
        }
        case 3: // Backspace: the character in front of the caret goes, then the key comes up
            if (k > 0)
                m.Memo1.setText(text.erase(at[k - 1], caret - at[k - 1]));
            m.Memo1KeyUp(8);
            break;
        case 4: // another key coming up in the memo (Delete, a letter, Return)
            m.Memo1KeyUp(in.PickValueInArray({46, 65, 13}));
            break;
        case 5:
            m.setDateChecked(!m.dateChecked());
            break;
        case 6: // the date field is typed in only while it is shown
            if (m.edit2Visible()) {
                std::string date = typedText(in, 6, false);
                m.setEdit2Text(kb::safeCut(date, kDateFieldBytes));
            }
            break;
        case 7:
            m.CheckBox3Click(!m.numberChecked());
            break;
        case 8:
            if (m.listBox1Visible())
                m.ListBox1Click(in.ConsumeIntegralInRange(0, 999));
            else
                m.ListBox4Click(in.ConsumeIntegralInRange(0, 9));
            break;
        case 9:
            printSet(m, memo2, wellFormed);
            break;
        }
        checkEntry(m, wellFormed);
    }
    printSet(m, memo2, wellFormed);
    return 0;
}

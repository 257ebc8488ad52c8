#include "content/EntryModel.h"

#include "content/Sjis.h"

namespace kb {

namespace {
constexpr std::size_t kPlaceholderBytes = 13; // an empty line 2 gets this many blanks under a date
constexpr std::size_t kFieldBytes = 16;       // text field in front of the date
constexpr std::size_t kPadWhenChecked = 15;   // blanks appended before cutting the field
constexpr std::size_t kShortWork = 15;        // a shorter Line2Work is padded by the date field rule
constexpr std::size_t kWorkPadding = 13;
constexpr std::size_t kBackspaceBytes = 13; // line 2 after Backspace drops the date
constexpr int kFirstBlankedLine = 3;
constexpr int kRedFrom = 30;
constexpr int kBackspace = 8;
constexpr const char* kSeparator = " ";

ByteCounter counterFor(const std::string& text) {
    const int bytes = static_cast<int>(text.size());
    return ByteCounter{bytes, bytes >= kRedFrom};
}

bool startsWithPlaceholder(const std::string& s) {
    return s.size() >= kPlaceholderBytes && s.find_first_not_of(' ') >= kPlaceholderBytes;
}
} // namespace

EntryModel::EntryModel(const Clock& clock) : m_clock(clock) {
    Memo1.setOnChange([this] { Memo1Change(); });
}

void EntryModel::setDateChecked(bool checked) {
    if (checked == m_dateChecked)
        return;
    m_dateChecked = checked;
    CheckBox1Click();
}

void EntryModel::setEdit2Text(const std::string& text) {
    if (text == m_edit2Text)
        return;
    m_edit2Text = text;
    Edit2Change();
}

void EntryModel::Memo1Change() {
    Line1Text = Memo1.line(1);
    Line2Text = Memo1.line(2);
    // Only two lines are kept: no text below line 2 stays, however many lines a paste brought. Blanking
    // runs this handler again, nested, which then finds nothing more to blank.
    Memo1.blankLinesFrom(kFirstBlankedLine);
    if (!m_dateChecked)
        Line2Work = Line2Text;
    m_panel1 = counterFor(Line1Text);
    m_panel2 = counterFor(Line2Text);
}

void EntryModel::Memo1KeyUp(int key) {
    if (key != kBackspace || !m_dateChecked)
        return;
    setEdit2Text("");
    setDateChecked(false);
    Memo1.replaceLine(2, safeCut(Line2Text, kBackspaceBytes));
    Line2Text = safeCut(Line2Text, kBackspaceBytes);
    Line1Text = Memo1.line(1);
    Line2Work = Memo1.line(2);
}

void EntryModel::CheckBox1Click() {
    if (m_dateChecked) {
        const std::string s = Memo1.line(2);
        std::size_t n = s.size();
        if (n == 0) {
            const std::string placeholder(kPlaceholderBytes, ' ');
            Memo1.insertLine2(placeholder);
            Line2Work = placeholder;
            n = kPlaceholderBytes;
        }
        m_edit2Visible = true;
        const std::string date = m_clock.todayText();
        setEdit2Text(date);
        if (n >= kFieldBytes)
            Memo1.replaceLine(2, cutField(Line2Text, kFieldBytes) + kSeparator + date);
        else
            Memo1.replaceLine(2, cutField(s + std::string(kPadWhenChecked, ' '), kFieldBytes) + kSeparator +
                                     date);
    } else {
        m_edit2Visible = false;
        if (startsWithPlaceholder(Line2Work))
            Memo1.deleteLine2();
        else
            Memo1.replaceLine(2, cutField(Line2Work, kFieldBytes));
    }
}

void EntryModel::Edit2Change() {
    if (Line2Work.size() < kShortWork)
        Line2Work += std::string(kWorkPadding, ' ');
    Memo1.replaceLine(2, cutField(Line2Work, kFieldBytes) + kSeparator + m_edit2Text);
}

void EntryModel::CheckBox3Click(bool checked) {
    // Unchecking switches numbering off again; the chosen first number stays for the next time.
    m_numberChecked = checked;
    m_listBox1Visible = checked;
    LabelsPerSample = 1;
    NumberingOn = checked;
}

void EntryModel::ListBox1Click(int index) {
    if (index >= 0)
        FirstNumber = index + 1;
}

void EntryModel::ListBox4Click(int index) {
    if (index >= 0)
        SampleCount = index + 1;
}

ComposeInput EntryModel::printSetInput() {
    Line2Work = trimRightControl(Line2Work);
    ComposeInput in;
    in.line1 = Memo1.line(1);
    in.line2 = Memo1.line(2);
    in.line2Work = Line2Work;
    in.dateChecked = dateChecked();
    in.dateField = edit2Text();
    in.numberingOn = NumberingOn;
    in.firstNumber = FirstNumber;
    return in;
}

ComposeInput printSetInputFor(const TypedEntry& e, const Clock& clock) {
    // In the order a user fills the screen: the two lines, then "Date" (and an edited date field),
    // "Number" with its first number, and the number of labels.
    EntryModel entry(clock);
    entry.Memo1.setText(e.hasLine2 ? e.line1 + "\r\n" + e.line2 : e.line1);
    if (e.date) {
        entry.setDateChecked(true);
        if (e.dateText)
            entry.setEdit2Text(*e.dateText);
    }
    if (e.numbering) {
        entry.CheckBox3Click(true);
        entry.ListBox1Click(e.firstNumber - 1);
    }
    entry.ListBox4Click(e.count - 1);
    return entry.printSetInput();
}

} // namespace kb

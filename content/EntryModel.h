// The entry screen as a plain model: its methods are the screen's handlers and its setters run the
// nested handlers exactly when the screen's controls would (memo change, Date state, date field).
// Tfrmmain only shows this model in its widgets and passes the user's edits to it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "content/Composition.h"
#include "content/Memo.h"

namespace kb {

// The local date, "yy/mm/dd" with the system's date separator in place of each slash.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::string todayText() const = 0;
};

struct ByteCounter {
    int bytes = 0;
    bool red = false; // from 30 bytes on
};

class EntryModel {
  public:
    explicit EntryModel(const Clock& clock);
    EntryModel(const EntryModel&) = delete;
    EntryModel& operator=(const EntryModel&) = delete;

    // The text entry memo; its change handler is Memo1Change.
    Memo Memo1;

    // What "PrintSet" composes the labels from: Line2Work loses its trailing blanks and control bytes
    // (as PrintSet leaves it), then the memo's two lines, the date and the numbering as they stand.
    ComposeInput printSetInput();

    // "Date" (CheckBox1): setting a different state runs CheckBox1Click.
    bool dateChecked() const { return m_dateChecked; }
    void setDateChecked(bool checked);
    // The date field Edit2: setting a different text runs Edit2Change.
    const std::string& edit2Text() const { return m_edit2Text; }
    void setEdit2Text(const std::string& text);
    bool edit2Visible() const { return m_edit2Visible; }
    // "Number" (CheckBox3) and the first-number list ListBox1.
    bool numberChecked() const { return m_numberChecked; }
    bool listBox1Visible() const { return m_listBox1Visible; }

    ByteCounter panel1() const { return m_panel1; }
    ByteCounter panel2() const { return m_panel2; }

    // Handlers.
    void Memo1Change();       // runs inside every change of Memo1's text
    void Memo1KeyUp(int key); // key: Windows key code; 8 (Backspace) drops the date
    void CheckBox1Click();    // runs when "Date" changes state
    void Edit2Change();       // runs when the date field's text changes
    // "Number" clicked into the given state: checked shows ListBox1 and switches numbering on,
    // unchecked hides it and switches numbering off (FirstNumber stays).
    void CheckBox3Click(bool checked);
    void ListBox1Click(int index); // index of the selected item, from 0; negative: none
    void ListBox4Click(int index);

    // Main window state kept by the entry screen.
    std::string Line1Text;
    std::string Line2Text;
    std::string Line2Work;
    std::int32_t FirstNumber = 1;
    std::int32_t SampleCount = 1;
    std::int32_t LabelsPerSample = 1;
    bool NumberingOn = false;

  private:
    const Clock& m_clock;
    bool m_dateChecked = false;
    bool m_numberChecked = false;
    bool m_edit2Visible = false;
    bool m_listBox1Visible = false;
    std::string m_edit2Text;
    ByteCounter m_panel1;
    ByteCounter m_panel2;
};

// A run typed as the entry screen takes it: the two lines, "Date" (and an edited date field), "Number"
// with its first number, and the number of labels. Texts in Shift-JIS.
struct TypedEntry {
    std::string line1, line2;
    bool hasLine2 = false;
    bool date = false;
    std::optional<std::string> dateText;
    bool numbering = false;
    std::int32_t firstNumber = 1;
    std::int32_t count = 1;
};
// The entry screen driven as a user fills it for the entry, then what "PrintSet" composes from.
ComposeInput printSetInputFor(const TypedEntry& entry, const Clock& clock);

} // namespace kb

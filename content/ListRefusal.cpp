#include "content/ListRefusal.h"

#include <cstdio>
#include <string_view>

#include "content/ListReader.h"

namespace kb {

namespace {

// The sentence a refusal takes: most problems have one; a few say more where more is known.
enum class Variant {
    Plain,
    Detail,    // Unreadable with the system's reason
    Control,   // Character: a control character, named by its code only
    Cell,      // Character: no one character to blame, the cell as a whole
    PastLimit, // SerialOutOfRange: the row's last number, not its first
};

struct Wording {
    ListProblem problem;
    Variant variant;
    const char* english;
    const char* japanese;
};

// Every sentence in both languages side by side, so that neither can lack one the other has. In
// braces what the refusal fills in: {text} the cell as written, {serial}, {other} the other row,
// {code} the character's code and {char} the character itself, {detail} the system's reason, and the
// limits {rowMax}, {serialMax} and {runMax}.
constexpr Wording kWordings[] = {
    {ListProblem::Unreadable, Variant::Plain, "cannot be read", "ファイルを読めません"},
    {ListProblem::Unreadable, Variant::Detail, "cannot be read: {detail}",
     "ファイルを読めません（{detail}）"},
    {ListProblem::TooLarge, Variant::Plain, "is too large for a list of labels",
     "ラベルの一覧としては大きすぎます"},
    {ListProblem::NoLabels, Variant::Plain, "holds no label", "印刷するラベルがありません"},
    {ListProblem::BrokenText, Variant::Plain, "bytes that are no text in the file's encoding",
     "ファイルの文字コードで読めないバイトがあります"},
    {ListProblem::Character, Variant::Plain, "the character {code} \"{char}\" has no Shift-JIS form",
     "文字「{char}」（{code}）は Shift-JIS で印刷できません"},
    {ListProblem::Character, Variant::Control, "the control character {code}",
     "制御文字（{code}）は印刷できません"},
    {ListProblem::Character, Variant::Cell, "\"{text}\" has no Shift-JIS form",
     "「{text}」は Shift-JIS で印刷できません"},
    {ListProblem::LineBreak, Variant::Plain, "a line break inside the cell (a label line is one line)",
     "セルの中に改行があります"},
    {ListProblem::UnclosedQuote, Variant::Plain, "a quote (\") that the file never closes",
     "引用符（\"）が閉じられていません"},
    {ListProblem::EmptyLabel, Variant::Plain, "neither line 1 nor line 2 holds text",
     "ラベルの 1 行目も 2 行目も空です"},
    {ListProblem::CountNotNumber, Variant::Plain, "the count \"{text}\" is not a number",
     "枚数「{text}」が数字ではありません"},
    {ListProblem::CountOutOfRange, Variant::Plain, "the count \"{text}\" is not in 1..{rowMax}",
     "枚数「{text}」は 1～{rowMax} の範囲外です"},
    {ListProblem::SerialNotNumber, Variant::Plain, "the first serial number \"{text}\" is not a number",
     "初期値「{text}」が数字ではありません"},
    {ListProblem::SerialOutOfRange, Variant::Plain,
     "the first serial number \"{text}\" is not in 1..{serialMax}",
     "初期値「{text}」は 1～{serialMax} の範囲外です"},
    {ListProblem::SerialOutOfRange, Variant::PastLimit,
     "the serial numbers from {text} run past {serialMax} (to {serial})",
     "番号が {serialMax} を超えます（{serial} まで）"},
    {ListProblem::TooManyLabels, Variant::Plain, "the list passes {runMax} labels, the most one run prints",
     "1 回に印刷できるラベルは {runMax} 枚までです"},
    {ListProblem::SerialTooWide, Variant::Plain,
     "serial number {serial} has more digits than the row's label leaves room for (write the first serial "
     "number with leading zeros, such as 01, or shorten the line)",
     "番号 {serial} の桁がラベルに収まりません（初期値を 01 のように 0 から書くか、文字を短くしてください）"},
    {ListProblem::Repeated, Variant::Plain,
     "the numbered label with serial number {serial} is printed by row {other} too",
     "番号 {serial} のラベルは {other} 行目と重複しています"},
};

Variant variantOf(const ListRefusal& r) {
    switch (r.problem) {
    case ListProblem::Unreadable:
        return r.detail.empty() ? Variant::Plain : Variant::Detail;
    case ListProblem::Character:
        return !r.text.empty()                   ? Variant::Cell
               : isControlCharacter(r.character) ? Variant::Control
                                                 : Variant::Plain;
    case ListProblem::SerialOutOfRange:
        return r.serial > 0 ? Variant::PastLimit : Variant::Plain;
    default:
        return Variant::Plain;
    }
}

std::string valueNamed(std::string_view name, const ListRefusal& r) {
    if (name == "text")
        return r.text;
    if (name == "detail")
        return r.detail;
    if (name == "serial")
        return std::to_string(r.serial);
    if (name == "other")
        return std::to_string(r.otherRow);
    if (name == "row")
        return std::to_string(r.row);
    if (name == "column")
        return std::to_string(r.column);
    if (name == "code") {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(r.character));
        return code;
    }
    if (name == "char") {
        std::string s;
        appendUtf8(s, r.character);
        return s;
    }
    if (name == "rowMax")
        return std::to_string(kMaxRowCount);
    if (name == "serialMax")
        return std::to_string(kMaxListSerial);
    if (name == "runMax")
        return std::to_string(kMaxRunLabels);
    return "{" + std::string(name) + "}"; // no such value: shown as written, for the table to be mended
}

// The pattern with each {name} replaced by the refusal's value.
std::string filled(std::string_view pattern, const ListRefusal& r) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        const std::size_t open = pattern.find('{', i);
        out.append(pattern.substr(i, open - i));
        if (open == std::string_view::npos)
            break;
        const std::size_t close = pattern.find('}', open);
        out += valueNamed(pattern.substr(open + 1, close - open - 1), r);
        i = close + 1;
    }
    return out;
}

// The file, then where in it, then what is wrong.
std::string sentence(const ListRefusal& r, const char* rowAt, const char* columnAt,
                     const char* Wording::*language) {
    std::string text = r.file;
    if (r.row > 0)
        text += filled(rowAt, r);
    if (r.column > 0)
        text += filled(columnAt, r);
    const Variant variant = variantOf(r);
    for (const Wording& w : kWordings)
        if (w.problem == r.problem && w.variant == variant)
            return text + ": " + filled(w.*language, r);
    return text;
}

} // namespace

void addRefusal(std::vector<ListRefusal>& refusals, bool& more, ListRefusal r, const std::string& file) {
    r.file = file;
    if (refusals.size() < kMaxListRefusals)
        refusals.push_back(std::move(r));
    else
        more = true;
}

std::string englishText(const ListRefusal& r) {
    return sentence(r, ", row {row}", ", column {column}", &Wording::english);
}

std::string japaneseText(const ListRefusal& r) {
    return sentence(r, " の {row} 行目", "、{column} 列目", &Wording::japanese);
}

} // namespace kb

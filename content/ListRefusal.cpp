#include "content/ListRefusal.h"

#include <cstdio>

#include "content/ListReader.h"

namespace kb {

namespace {

std::string codePoint(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

std::string utf8(char32_t c) {
    std::string s;
    appendUtf8(s, c);
    return s;
}

const std::string kRowCount = std::to_string(kMaxRowCount);
const std::string kSerialLimit = std::to_string(kMaxListSerial);
const std::string kRunLabels = std::to_string(kMaxRunLabels);

} // namespace

std::string englishText(const ListRefusal& r) {
    std::string where = r.file;
    if (r.row > 0)
        where += ", row " + std::to_string(r.row);
    if (r.column > 0)
        where += ", column " + std::to_string(r.column);
    const std::string quoted = "\"" + r.text + "\"";
    std::string what;
    switch (r.problem) {
    case ListProblem::Unreadable:
        what = "cannot be read" + (r.detail.empty() ? std::string() : ": " + r.detail);
        break;
    case ListProblem::TooLarge:
        what = "is too large for a list of labels";
        break;
    case ListProblem::NoLabels:
        what = "holds no label";
        break;
    case ListProblem::BrokenText:
        what = "bytes that are no text in the file's encoding";
        break;
    case ListProblem::Character:
        what = isControlCharacter(r.character) ? "the control character " + codePoint(r.character)
               : r.character == 0              ? std::string("a character without a Shift-JIS form")
                                  : "the character " + codePoint(r.character) + " \"" + utf8(r.character) +
                                        "\" has no Shift-JIS form";
        break;
    case ListProblem::LineBreak:
        what = "a line break inside the cell (a label line is one line)";
        break;
    case ListProblem::UnclosedQuote:
        what = "a quote (\") that the file never closes";
        break;
    case ListProblem::EmptyLabel:
        what = "neither line 1 nor line 2 holds text";
        break;
    case ListProblem::CountNotNumber:
        what = "the count " + quoted + " is not a number";
        break;
    case ListProblem::CountOutOfRange:
        what = "the count " + quoted + " is not in 1.." + kRowCount;
        break;
    case ListProblem::SerialNotNumber:
        what = "the first serial number " + quoted + " is not a number";
        break;
    case ListProblem::SerialOutOfRange:
        what = r.serial > 0 ? "the serial numbers from " + r.text + " run past " + kSerialLimit + " (to " +
                                  std::to_string(r.serial) + ")"
                            : "the first serial number " + quoted + " is not in 1.." + kSerialLimit;
        break;
    case ListProblem::TooManyLabels:
        what = "the list passes " + kRunLabels + " labels, the most one run prints";
        break;
    case ListProblem::SerialTooWide:
        what = "serial number " + std::to_string(r.serial) +
               " has more digits than the row's label leaves room for (write the first serial number with "
               "leading zeros, such as 01, or shorten the line)";
        break;
    case ListProblem::Repeated:
        what = "the numbered label with serial number " + std::to_string(r.serial) + " is printed by row " +
               std::to_string(r.otherRow) + " too";
        break;
    }
    return where + ": " + what;
}

std::string japaneseText(const ListRefusal& r) {
    std::string where = r.file;
    if (r.row > 0)
        where += " の " + std::to_string(r.row) + " 行目";
    if (r.column > 0)
        where += "、" + std::to_string(r.column) + " 列目";
    const std::string quoted = "「" + r.text + "」";
    std::string what;
    switch (r.problem) {
    case ListProblem::Unreadable:
        what = "ファイルを読めません" + (r.detail.empty() ? std::string() : "（" + r.detail + "）");
        break;
    case ListProblem::TooLarge:
        what = "ラベルの一覧としては大きすぎます";
        break;
    case ListProblem::NoLabels:
        what = "印刷するラベルがありません";
        break;
    case ListProblem::BrokenText:
        what = "ファイルの文字コードで読めないバイトがあります";
        break;
    case ListProblem::Character:
        what = isControlCharacter(r.character) ? "制御文字（" + codePoint(r.character) + "）は印刷できません"
               : r.character == 0 ? std::string("Shift-JIS で印刷できない文字があります")
                                  : "文字「" + utf8(r.character) + "」（" + codePoint(r.character) +
                                        "）は Shift-JIS で印刷できません";
        break;
    case ListProblem::LineBreak:
        what = "セルの中に改行があります";
        break;
    case ListProblem::UnclosedQuote:
        what = "引用符（\"）が閉じられていません";
        break;
    case ListProblem::EmptyLabel:
        what = "ラベルの 1 行目も 2 行目も空です";
        break;
    case ListProblem::CountNotNumber:
        what = "枚数" + quoted + "が数字ではありません";
        break;
    case ListProblem::CountOutOfRange:
        what = "枚数" + quoted + "は 1～" + kRowCount + " の範囲外です";
        break;
    case ListProblem::SerialNotNumber:
        what = "初期値" + quoted + "が数字ではありません";
        break;
    case ListProblem::SerialOutOfRange:
        what = r.serial > 0
                   ? "番号が " + kSerialLimit + " を超えます（" + std::to_string(r.serial) + " まで）"
                   : "初期値" + quoted + "は 1～" + kSerialLimit + " の範囲外です";
        break;
    case ListProblem::TooManyLabels:
        what = "1 回に印刷できるラベルは " + kRunLabels + " 枚までです";
        break;
    case ListProblem::SerialTooWide:
        what = "番号 " + std::to_string(r.serial) +
               " の桁がラベルに収まりません（初期値を 01 のように 0 から書くか、文字を短くしてください）";
        break;
    case ListProblem::Repeated:
        what = "番号 " + std::to_string(r.serial) + " のラベルは " + std::to_string(r.otherRow) +
               " 行目と重複しています";
        break;
    }
    return where + ": " + what;
}

} // namespace kb

// The memo's line operations at present and missing lines, the change handler running nested, and
// the byte limit of the preview memo.
#include <gtest/gtest.h>

#include <functional>

#include "content/Memo.h"

namespace {

TEST(Memo, ReadLines) {
    struct Case {
        std::string text;
        int count;
        std::vector<std::string> lines; // lines 1..count+1 (the last always missing)
    };
    const Case cases[] = {
        {"", 1, {"", ""}},
        {"HELLO", 1, {"HELLO", ""}},
        {"HELLO\r\n", 2, {"HELLO", "", ""}},
        {"HELLO\r\nABC", 2, {"HELLO", "ABC", ""}},
        {"\r\n\r\n", 3, {"", "", "", ""}},
        {"P\r\nQ\r\nR\r\nS", 4, {"P", "Q", "R", "S", ""}},
    };
    for (const auto& c : cases) {
        kb::Memo memo;
        memo.setText(c.text);
        EXPECT_EQ(memo.lineCount(), c.count) << c.text;
        for (std::size_t i = 0; i < c.lines.size(); ++i)
            EXPECT_EQ(memo.line(static_cast<int>(i) + 1), c.lines[i]) << c.text << " line " << i + 1;
        EXPECT_EQ(memo.line(0), "");
    }
}

TEST(Memo, LineOperations) {
    using Op = std::function<void(kb::Memo&)>;
    struct Case {
        const char* name;
        std::string before;
        Op op;
        std::string after;
        int changes; // change handler runs
    };
    const auto replace = [](int n, std::string t) { return [=](kb::Memo& m) { m.replaceLine(n, t); }; };
    const auto insert = [](std::string t) { return [=](kb::Memo& m) { m.insertLine2(t); }; };
    const Op erase = [](kb::Memo& m) { m.deleteLine2(); };
    const Case cases[] = {
        {"replace line 2 keeps its break", "A\r\nB\r\nC", replace(2, "XY"), "A\r\nXY\r\nC", 1},
        {"replace last line", "A\r\nB", replace(2, "XY"), "A\r\nXY", 1},
        {"replace empty last line", "A\r\n", replace(2, "XY"), "A\r\nXY", 1},
        {"replace missing line", "A", replace(2, "XY"), "A", 0},
        {"replace line 1 of empty memo", "", replace(1, "XY"), "XY", 1},
        {"insert before line 2", "A\r\nB", insert("N"), "A\r\nN\r\nB", 1},
        {"insert before empty line 2", "A\r\n", insert("N"), "A\r\nN\r\n", 1},
        {"insert after lone line 1", "A", insert("N"), "A\r\nN", 1},
        {"insert into empty memo", "", insert("N"), "", 0},
        {"delete middle line 2", "A\r\nB\r\nC", erase, "A\r\nC", 1},
        {"delete last line 2 keeps break", "A\r\nB", erase, "A\r\n", 1},
        {"delete empty line 2 before line 3", "A\r\n\r\n", erase, "A\r\n", 1},
        {"delete missing line 2", "A", erase, "A", 0},
    };
    for (const auto& c : cases) {
        kb::Memo memo;
        memo.setText(c.before);
        int changes = 0;
        memo.setOnChange([&] { ++changes; });
        c.op(memo);
        EXPECT_EQ(memo.text(), c.after) << c.name;
        EXPECT_EQ(changes, c.changes) << c.name;
    }
}

TEST(Memo, HandlerRunsInsideTheOperationOnTheNewText) {
    kb::Memo memo;
    memo.setText("A\r\nB\r\nC");
    std::vector<std::string> seen;
    bool inside = false;
    memo.setOnChange([&] {
        seen.push_back(memo.text());
        // A handler may change the memo again; that runs the handler nested.
        if (!inside && !memo.line(3).empty()) {
            inside = true;
            memo.replaceLine(3, "");
            inside = false;
        }
    });
    memo.replaceLine(2, "Q");
    EXPECT_EQ(memo.text(), "A\r\nQ\r\n");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "A\r\nQ\r\nC");
    EXPECT_EQ(seen[1], "A\r\nQ\r\n");

    seen.clear();
    memo.setText("A\r\nQ\r\n"); // unchanged: no handler
    EXPECT_TRUE(seen.empty());
}

TEST(Memo, ByteLimitKeepsTheFirstBytesThatFit) {
    const std::string NI = "\x93\xFA"; // 日
    struct Case {
        std::string before;
        int line;
        std::string replacement;
        std::string after;
    };
    const std::string forty(40, 'L');
    const std::string twentyTwo(22, 'M');
    const Case cases[] = {
        {"Memo2\r\n", 1, "HELLO", "HELLO\r\n"},
        {forty + "\r\n", 2, std::string(31, 'M'), forty + "\r\n" + twentyTwo},
        {forty + "\r\n" + twentyTwo, 1, std::string(45, 'L'), std::string(40, 'L') + "\r\n" + twentyTwo},
        // The last character that would fit only by half is left out.
        {std::string(41, 'L') + "\r\n", 2, NI + NI + NI + NI + NI + NI + NI + NI + NI + NI + NI,
         std::string(41, 'L') + "\r\n" + NI + NI + NI + NI + NI + NI + NI + NI + NI + NI},
        {std::string(62, 'L') + "\r\n", 2, "ABC", std::string(62, 'L') + "\r\n"},
    };
    for (const auto& c : cases) {
        kb::Memo memo(64);
        memo.setText(c.before);
        memo.replaceLine(c.line, c.replacement);
        EXPECT_EQ(memo.text(), c.after) << c.before;
        EXPECT_LE(memo.text().size(), 64u);
    }
}

} // namespace

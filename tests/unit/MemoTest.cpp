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
        {"HELLO\r\n", 2, {"HELLO", "", ""}},
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

// Each operation at a present, last, empty and missing line; the rows with a limit are the preview
// memo's 64 bytes, where a replacement keeps only its first bytes that fit.
TEST(Memo, LineOperations) {
    using Op = std::function<void(kb::Memo&)>;
    struct Case {
        const char* name;
        std::string before;
        Op op;
        std::string after;
        int changes; // change handler runs
        std::size_t limit = 0;
    };
    const auto replace = [](int n, std::string t) { return [=](kb::Memo& m) { m.replaceLine(n, t); }; };
    const auto insert = [](std::string t) { return [=](kb::Memo& m) { m.insertLine2(t); }; };
    const Op erase = [](kb::Memo& m) { m.deleteLine2(); };
    const Op blank3 = [](kb::Memo& m) { m.blankLinesFrom(3); };
    const std::string NI = "\x93\xFA"; // 日
    std::string ni11;
    for (int i = 0; i < 11; ++i)
        ni11 += NI;
    const std::string L40(40, 'L'), L41(41, 'L'), L62(62, 'L'), M22(22, 'M');
    const Case cases[] = {
        {"replace line 2 keeps its break", "A\r\nB\r\nC", replace(2, "XY"), "A\r\nXY\r\nC", 1},
        {"replace empty last line", "A\r\n", replace(2, "XY"), "A\r\nXY", 1},
        {"replace missing line", "A", replace(2, "XY"), "A", 0},
        {"insert before empty line 2", "A\r\n", insert("N"), "A\r\nN\r\n", 1},
        {"insert after lone line 1", "A", insert("N"), "A\r\nN", 1},
        {"insert into empty memo", "", insert("N"), "", 0},
        {"delete middle line 2", "A\r\nB\r\nC", erase, "A\r\nC", 1},
        {"delete last line 2 keeps break", "A\r\nB", erase, "A\r\n", 1},
        {"delete missing line 2", "A", erase, "A", 0},
        {"blank from line 3 keeps every break", "A\r\nB\r\nC\r\n\r\nE", blank3, "A\r\nB\r\n\r\n\r\n", 1},
        {"blank missing line", "A\r\nB", blank3, "A\r\nB", 0},
        {"limit cuts line 1, keeps line 2", L40 + "\r\n" + M22, replace(1, std::string(45, 'L')),
         L40 + "\r\n" + M22, 1, 64},
        // The last character that would fit only by half is left out.
        {"limit at a double-byte character", L41 + "\r\n", replace(2, ni11),
         L41 + "\r\n" + ni11.substr(0, 20), 1, 64},
        {"limit leaves no room", L62 + "\r\n", replace(2, "ABC"), L62 + "\r\n", 1, 64},
    };
    for (const auto& c : cases) {
        kb::Memo memo(c.limit);
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
    memo.setOnChange([&] {
        seen.push_back(memo.text());
        // A handler may change the memo again; that runs the handler nested.
        if (!memo.line(3).empty())
            memo.replaceLine(3, "");
    });
    memo.replaceLine(2, "Q");
    EXPECT_EQ(seen, (std::vector<std::string>{"A\r\nQ\r\nC", "A\r\nQ\r\n"}));
    memo.setText("A\r\nQ\r\n"); // unchanged: no handler
    EXPECT_EQ(seen.size(), 2u);
}

} // namespace

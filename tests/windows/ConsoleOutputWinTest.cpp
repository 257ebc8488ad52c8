// The command's text for files and pipes on Windows: the code page chosen, and the bytes written in it.
#include "cli/ConsoleOutput.h"

#include <gtest/gtest.h>

namespace {

TEST(ConsoleOutputWin, CodePageOfFilesAndPipes) {
    struct Case {
        const char* name;
        bool utf8;
        unsigned console, ansi, expected;
    };
    const Case cases[] = {
        {"a console of code page 932", false, 932, 1252, 932},
        {"a console switched to UTF-8 (chcp 65001)", false, 65001, 932, 65001},
        {"no console: the ANSI code page", false, 0, 932, 932},
        {"no console on an English Windows", false, 0, 1252, 1252},
        {"--utf8 beside a console", true, 932, 932, 65001},
        {"--utf8 without a console", true, 0, 1252, 65001},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kb::cli::fileCodePage(c.utf8, c.console, c.ansi), c.expected) << c.name;
}

TEST(ConsoleOutputWin, TextInTheCodePage) {
    struct Case {
        const char* name;
        QString text;
        unsigned codePage;
        QByteArray expected;
    };
    const Case cases[] = {
        {"ASCII", QStringLiteral("1\t1\t-\tHELLO\tABC\n"), 932, "1\t1\t-\tHELLO\tABC\n"},
        {"a label in 932", QStringLiteral("検体\tﾗﾍﾞﾙ"), 932, "\x8C\x9F\x91\xCC\t\xD7\xCD\xDE\xD9"},
        {"a trail byte that is a backslash", QStringLiteral("ソ表"), 932, "\x83\x5C\x95\x5C"},
        {"é lacks a 932 form: ? and never e", QStringLiteral("C:\\café\\x"), 932, "C:\\caf?\\x"},
        {"𠮷 outside 16 bits: one ?", QStringLiteral("C:\\\U00020BB7野家"), 932, "C:\\?\x96\xEC\x89\xC6"},
        {"Japanese on an English Windows", QStringLiteral("C:\\ラベル\\é"), 1252, "C:\\???\\\xE9"},
        {"UTF-8", QStringLiteral("検体 \U00020BB7 é"), 65001,
         "\xE6\xA4\x9C\xE4\xBD\x93 \xF0\xA0\xAE\xB7 \xC3\xA9"},
        {"nothing", QString(), 932, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kb::cli::encodeText(c.text, c.codePage), c.expected) << c.name;
}

} // namespace

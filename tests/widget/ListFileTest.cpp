// Reading a list of labels through the platform's code page 932: each file Excel and scripts write,
// the separators, quoting, headers, blank and short rows, the JIS-form characters, and every refusal
// with its row and column. Runs in the Windows build too (the system's code page calls).
#include "services/ListFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "services/Codec.h"

namespace {

using kb::ListEncoding;

std::string sjis(const char* utf8) {
    return *kb::toSjis(QString::fromUtf8(utf8));
}
std::string utf16(const char* utf8, bool bigEndian) {
    QStringEncoder encoder(bigEndian ? QStringEncoder::Utf16BE : QStringEncoder::Utf16LE,
                           QStringConverter::Flag::WriteBom);
    return QByteArray(encoder(QString::fromUtf8(utf8))).toStdString();
}

using P = kb::ListProblem;
// A refusal as the summary shows it: "!problem@row:column", and the character or the serial to blame.
std::string bad(P problem, int row, int column, const std::string& more = "") {
    return "!" + std::to_string(static_cast<int>(problem)) + "@" + std::to_string(row) + ":" +
           std::to_string(column) + more + " ";
}

// The reading in one line: each row as "row:line1/line2 xcount #serial(width)", then each refusal,
// the lines back in UTF-8.
std::string summary(const kb::ListReading& r) {
    std::string s;
    if (r.header)
        s += "header ";
    for (const kb::ListRow& row : r.rows) {
        s += std::to_string(row.row) + ":" + kb::fromSjis(row.line1).toStdString() + "/" +
             kb::fromSjis(row.line2).toStdString() + " x" + std::to_string(row.count);
        if (row.firstSerial)
            s += " #" + std::to_string(*row.firstSerial) + "(" + std::to_string(row.serialWidth) + ")";
        s += " ";
    }
    for (const kb::ListRefusal& f : r.refusals)
        s += bad(f.problem, f.row, f.column,
                 (f.character
                      ? QStringLiteral(" U+%1").arg(uint(f.character), 4, 16, QLatin1Char('0')).toStdString()
                      : "") +
                     (f.serial ? " serial " + std::to_string(f.serial) : ""));
    return s;
}

TEST(ListFile, Reads) {
    ASSERT_TRUE(kb::sjisAvailable());
    std::string many, manyRead;
    for (int i = 1; i <= 11; ++i)
        many += "A,B,10000\r\n", manyRead += std::to_string(i) + ":A/B x10000 ";
    constexpr ListEncoding Cp932 = ListEncoding::Cp932, Utf8 = ListEncoding::Utf8,
                           Detect = ListEncoding::Detect;
    struct Case {
        const char* name;
        std::string bytes;
        std::string expected;
        ListEncoding found = Utf8;
        char separator = ',';
        ListEncoding encoding = Detect;
    };
    const Case cases[] = {
        // 「CSV (コンマ区切り)」: code page 932 without a mark; 表, ソ and 能 end in the byte 0x5C.
        {"cp932 csv", "\x95\x5C,\x83\x5C\x94\x5C,2,0001\r\n", "1:表/ソ能 x2 #1(4) ", Cp932},
        {"cp932 csv with a header", sjis("品名,ロット,枚数,番号\r\n検体,A-,3,7\r\n"),
         "header 2:検体/A- x3 #7(1) ", Cp932},
        // 「テキスト (タブ区切り)」: code page 932 and tabs; a quoted comma stays text.
        {"cp932 tabs", sjis("\"a,b\"\t表\t\t12\r\n"), "1:a,b/表 x1 #12(2) ", Cp932, '\t'},
        // 「CSV UTF-8」: a byte-order mark; 「Unicode テキスト」: UTF-16 LE with a mark and tabs.
        {"utf-8 bom", "\xEF\xBB\xBF名前,ABC,3,1\r\n", "1:名前/ABC x3 #1(1) "},
        {"utf-16 le tabs", utf16("検体\tソ\t2\r\nB\r\n", false), "1:検体/ソ x2 2:B/ x1 ",
         ListEncoding::Utf16Le, '\t'},
        {"utf-16 be", utf16("X,Y\r\n", true), "1:X/Y x1 ", ListEncoding::Utf16Be},
        // A script: UTF-8 without a mark, LF, the last record without a line end.
        {"utf-8 lf", "A,B\nC,D", "1:A/B x1 2:C/D x1 "},
        {"old mac cr", "A\rB\r", "1:A/ x1 2:B/ x1 "},
        // RFC 4180: doubled quotes, a quote inside an unquoted cell, no backslash escapes.
        {"quoting", "\"say \"\"hi\"\"\",a\"b,3\r\nA\\,\"B\\\"\r\n", "1:say \"hi\"/a\"b x3 2:A\\/B\\ x1 "},
        // A line break inside quotes is part of its record: the next record is row 2.
        {"line break in an ignored column", "A,B,1,,\"x\r\ny\"\r\nC\r\n", "1:A/B x1 2:C/ x1 "},
        {"line break in line 1", "\"A\r\nB\",C\r\nD\r\n", "2:D/ x1 " + bad(P::LineBreak, 1, 1, " U+000d")},
        // A tab inside quotes does not make the file tab-separated; the first record that holds
        // anything decides.
        {"tab inside quotes", "\r\nA,B,1,,\"x\ty\"\r\n", "2:A/B x1 "},
        {"a quote inside a cell is text", "5\" disk\tX\r\n", "1:5\" disk/X x1 ", Utf8, '\t'},
        {"blank rows", "A\r\n\r\n,,,\r\n  , \r\nB,,,,note\r\n", "1:A/ x1 5:B/ x1 "},
        {"blank count and serial, short rows, blanks around numbers", "A,B,,\r\nC,, 12 , 05 \r\n",
         "1:A/B x1 2:C/ x12 #5(2) "},
        {"a first row with a blank count is data", "Name,Lot\r\nA,B,2\r\n", "1:Name/Lot x1 2:A/B x2 "},
        {"only the first row is a header", "L1,L2,count\r\nA,B,2\r\nC,D,two\r\n",
         "header 2:A/B x2 " + bad(P::CountNotNumber, 3, 3)},
        // The JIS forms print as the characters Windows means.
        {"wave dash and its kin", "〜−‖—,¢£¬¥‾¦\r\n", "1:～－∥―/￠￡￢￥￣￤ x1 "},
        // Refusals, each naming its row and column (and the character).
        {"no shift-jis form", "A\r\nB,é\r\n😀\r\n",
         "1:A/ x1 " + bad(P::Character, 2, 2, " U+00e9") + bad(P::Character, 3, 1, " U+1f600")},
        {"control character", "A\x01,B\r\n", bad(P::Character, 1, 1, " U+0001")},
        {"cp932 pair the code page leaves empty", "A,\x85\x40\r\n", bad(P::BrokenText, 1, 2, " U+fffd"),
         Cp932},
        {"utf-8 forced on code page 932", "\x95\x5C\r\n", bad(P::BrokenText, 1, 1, " U+fffd"), Utf8, ',',
         Utf8},
        {"counts", "A,,0\r\nB,,10000\r\nC,,10001\r\nD,,-1\r\nE,,99999999999\r\n",
         "2:B/ x10000 " + bad(P::CountOutOfRange, 1, 3) + bad(P::CountOutOfRange, 3, 3) +
             bad(P::CountNotNumber, 4, 3) + bad(P::CountOutOfRange, 5, 3)},
        {"serials", "A,,1,0\r\nB,,2,999999\r\nC,,1,1000000\r\nD,,1,x1\r\nE,,1,999999\r\nF,,1,0000000001\r\n",
         "5:E/ x1 #999999(6) " + bad(P::SerialOutOfRange, 1, 4) +
             bad(P::SerialOutOfRange, 2, 4, " serial 1000000") + bad(P::SerialOutOfRange, 3, 4) +
             bad(P::SerialNotNumber, 4, 4) + bad(P::SerialOutOfRange, 6, 4)},
        {"more than one run holds", many, manyRead + bad(P::TooManyLabels, 11, 3)},
        {"unclosed quote", "A,B\r\nC,\"D\r\nE\r\n", "1:A/B x1 " + bad(P::UnclosedQuote, 2, 2)},
        {"neither line", ",,3\r\n", bad(P::EmptyLabel, 1, 0)},
        {"empty file", "", bad(P::NoLabels, 0, 0)},
        {"a header alone", "L1,L2,count\r\n", "header " + bad(P::NoLabels, 0, 0)},
    };
    const kb::SjisListCodec codec;
    for (const Case& c : cases) {
        const kb::ListReading r = kb::readList(c.bytes, c.encoding, codec, "list.csv");
        EXPECT_EQ(summary(r), c.expected) << c.name;
        EXPECT_EQ(r.encoding, c.found) << c.name;
        EXPECT_EQ(r.separator, c.separator) << c.name;
        for (const kb::ListRefusal& f : r.refusals)
            EXPECT_EQ(f.file, "list.csv") << c.name;
    }
}

// From disk, a refusal names the file as the user knows it, the row and the column.
TEST(ListFile, FromDisk) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("検体.csv"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(sjis("検体,A,2,01\r\n検体,B,x\r\n")));
    file.close();
    const kb::ListReading r = kb::readListFile(path);
    ASSERT_EQ(r.refusals.size(), 1u);
    const std::string shown = QDir::toNativeSeparators(path).toStdString();
    EXPECT_EQ(kb::englishText(r.refusals[0]), shown + ", row 2, column 3: the count \"x\" is not a number");

    const kb::ListReading missing = kb::readListFile(dir.filePath(QStringLiteral("none.csv")));
    ASSERT_EQ(missing.refusals.size(), 1u);
    EXPECT_EQ(missing.refusals[0].problem, kb::ListProblem::Unreadable);
    EXPECT_FALSE(missing.refusals[0].detail.empty());
    EXPECT_EQ(kb::listEncodingNamed(QStringLiteral("Shift_JIS")), ListEncoding::Cp932);
    EXPECT_EQ(kb::listEncodingNamed(QStringLiteral("latin1")), std::nullopt);
}

} // namespace

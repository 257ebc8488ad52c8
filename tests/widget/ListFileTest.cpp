// Reading a list of labels through the platform's code page 932: each file Excel and scripts write,
// the separators, quoting, headers, blank and short rows, the JIS-form characters, and every refusal
// with its row and column. Runs in the Windows build too (the system's code page calls).
#include "services/ListFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "services/Codec.h"

namespace {

using kb::ListEncoding;

std::string sjis(const char* utf8) {
    return *kb::toSjis(QString::fromUtf8(utf8));
}
std::string utf16(const char* utf8, bool bigEndian) {
    const QString text = QString::fromUtf8(utf8);
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const QChar c : text) {
        const char hi = static_cast<char>(c.unicode() >> 8), lo = static_cast<char>(c.unicode() & 0xFF);
        bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return bytes;
}

// The reading in one line: each row as "row:line1/line2 xcount #serial(width)", each refusal as
// "!problem@row:column" with the character to blame, the lines back in UTF-8.
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
    for (const kb::ListRefusal& f : r.refusals) {
        s += "!" + std::to_string(static_cast<int>(f.problem)) + "@" + std::to_string(f.row) + ":" +
             std::to_string(f.column);
        if (f.character)
            s += QStringLiteral(" U+%1")
                     .arg(static_cast<uint>(f.character), 4, 16, QLatin1Char('0'))
                     .toStdString();
        if (f.serial)
            s += " serial " + std::to_string(f.serial);
        s += " ";
    }
    return s;
}

// Problem numbers as the summary shows them.
constexpr int NoLabels = 2, BrokenText = 3, Character = 4, LineBreak = 5, UnclosedQuote = 6, EmptyLabel = 7,
              CountNotNumber = 8, CountOutOfRange = 9, SerialNotNumber = 10, SerialOutOfRange = 11,
              TooManyLabels = 12;
std::string bad(int problem, int row, int column, const std::string& more = "") {
    return "!" + std::to_string(problem) + "@" + std::to_string(row) + ":" + std::to_string(column) + more +
           " ";
}

TEST(ListFile, Reads) {
    ASSERT_TRUE(kb::sjisAvailable());
    std::string many;
    for (int i = 0; i < 11; ++i)
        many += "A,B,10000\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        ListEncoding encoding;
        ListEncoding found;
        char separator;
        std::string expected;
    };
    const Case cases[] = {
        // 「CSV (コンマ区切り)」: code page 932 without a mark; 表, ソ and 能 end in the byte 0x5C.
        {"cp932 csv", "\x95\x5C,\x83\x5C\x94\x5C,2,0001\r\n", ListEncoding::Detect, ListEncoding::Cp932, ',',
         "1:表/ソ能 x2 #1(4) "},
        {"cp932 csv with a header", sjis("品名,ロット,枚数,番号\r\n検体,A-,3,7\r\n"), ListEncoding::Detect,
         ListEncoding::Cp932, ',', "header 2:検体/A- x3 #7(1) "},
        // 「テキスト (タブ区切り)」: code page 932 and tabs; a quoted comma stays text.
        {"cp932 tabs", sjis("\"a,b\"\t表\t\t12\r\n"), ListEncoding::Detect, ListEncoding::Cp932, '\t',
         "1:a,b/表 x1 #12(2) "},
        // 「CSV UTF-8」: a byte-order mark; 「Unicode テキスト」: UTF-16 LE with a mark and tabs.
        {"utf-8 bom", "\xEF\xBB\xBF名前,ABC,3,1\r\n", ListEncoding::Detect, ListEncoding::Utf8, ',',
         "1:名前/ABC x3 #1(1) "},
        {"utf-16 le tabs", utf16("検体\tソ\t2\r\nB\r\n", false), ListEncoding::Detect, ListEncoding::Utf16Le,
         '\t', "1:検体/ソ x2 2:B/ x1 "},
        {"utf-16 be", utf16("X,Y\r\n", true), ListEncoding::Detect, ListEncoding::Utf16Be, ',', "1:X/Y x1 "},
        // A script: UTF-8 without a mark, LF, the last record without a line end.
        {"utf-8 lf", "A,B\nC,D", ListEncoding::Detect, ListEncoding::Utf8, ',', "1:A/B x1 2:C/D x1 "},
        {"old mac cr", "A\rB\r", ListEncoding::Detect, ListEncoding::Utf8, ',', "1:A/ x1 2:B/ x1 "},
        // RFC 4180: doubled quotes, a quote inside an unquoted cell, no backslash escapes.
        {"quoting", "\"say \"\"hi\"\"\",a\"b,3\r\nA\\,\"B\\\"\r\n", ListEncoding::Detect, ListEncoding::Utf8,
         ',', "1:say \"hi\"/a\"b x3 2:A\\/B\\ x1 "},
        // A line break inside quotes is part of its record: the next record is row 2.
        {"line break in an ignored column", "A,B,1,,\"x\r\ny\"\r\nC\r\n", ListEncoding::Detect,
         ListEncoding::Utf8, ',', "1:A/B x1 2:C/ x1 "},
        {"line break in line 1", "\"A\r\nB\",C\r\nD\r\n", ListEncoding::Detect, ListEncoding::Utf8, ',',
         "2:D/ x1 " + bad(LineBreak, 1, 1, " U+000d")},
        // A tab inside quotes does not make the file tab-separated; the first record that holds
        // anything decides.
        {"tab inside quotes", "\r\nA,B,1,,\"x\ty\"\r\n", ListEncoding::Detect, ListEncoding::Utf8, ',',
         "2:A/B x1 "},
        {"a quote inside a cell is text", "5\" disk\tX\r\n", ListEncoding::Detect, ListEncoding::Utf8, '\t',
         "1:5\" disk/X x1 "},
        {"blank rows", "A\r\n\r\n,,,\r\n  , \r\nB,,,,note\r\n", ListEncoding::Detect, ListEncoding::Utf8, ',',
         "1:A/ x1 5:B/ x1 "},
        {"blank count and serial, short rows, blanks around numbers", "A,B,,\r\nC,, 12 , 05 \r\n",
         ListEncoding::Detect, ListEncoding::Utf8, ',', "1:A/B x1 2:C/ x12 #5(2) "},
        {"a first row with a blank count is data", "Name,Lot\r\nA,B,2\r\n", ListEncoding::Detect,
         ListEncoding::Utf8, ',', "1:Name/Lot x1 2:A/B x2 "},
        {"only the first row is a header", "L1,L2,count\r\nA,B,2\r\nC,D,two\r\n", ListEncoding::Detect,
         ListEncoding::Utf8, ',', "header 2:A/B x2 " + bad(CountNotNumber, 3, 3)},
        // The JIS forms print as the characters Windows means.
        {"wave dash and its kin", "〜−‖—,¢£¬¥‾¦\r\n", ListEncoding::Detect, ListEncoding::Utf8, ',',
         "1:～－∥―/￠￡￢￥￣￤ x1 "},
        // Refusals, each naming its row and column (and the character).
        {"no shift-jis form", "A\r\nB,é\r\n😀\r\n", ListEncoding::Detect, ListEncoding::Utf8, ',',
         "1:A/ x1 " + bad(Character, 2, 2, " U+00e9") + bad(Character, 3, 1, " U+1f600")},
        {"control character", "A\x01,B\r\n", ListEncoding::Detect, ListEncoding::Utf8, ',',
         bad(Character, 1, 1, " U+0001")},
        {"cp932 pair the code page leaves empty", "A,\x85\x40\r\n", ListEncoding::Detect, ListEncoding::Cp932,
         ',', bad(BrokenText, 1, 2, " U+fffd")},
        {"utf-8 forced on code page 932", "\x95\x5C\r\n", ListEncoding::Utf8, ListEncoding::Utf8, ',',
         bad(BrokenText, 1, 1, " U+fffd")},
        {"cp932 forced on ASCII", "A,B\r\n", ListEncoding::Cp932, ListEncoding::Cp932, ',', "1:A/B x1 "},
        {"counts", "A,,0\r\nB,,10000\r\nC,,10001\r\nD,,-1\r\nE,,99999999999\r\n", ListEncoding::Detect,
         ListEncoding::Utf8, ',',
         "2:B/ x10000 " + bad(CountOutOfRange, 1, 3) + bad(CountOutOfRange, 3, 3) +
             bad(CountNotNumber, 4, 3) + bad(CountOutOfRange, 5, 3)},
        {"serials", "A,,1,0\r\nB,,2,999999\r\nC,,1,1000000\r\nD,,1,x1\r\nE,,1,999999\r\nF,,1,0000000001\r\n",
         ListEncoding::Detect, ListEncoding::Utf8, ',',
         "5:E/ x1 #999999(6) " + bad(SerialOutOfRange, 1, 4) +
             bad(SerialOutOfRange, 2, 4, " serial 1000000") + bad(SerialOutOfRange, 3, 4) +
             bad(SerialNotNumber, 4, 4) + bad(SerialOutOfRange, 6, 4)},
        {"more than one run holds", many, ListEncoding::Detect, ListEncoding::Utf8, ',',
         std::string() +
             [&] {
                 std::string rows;
                 for (int i = 1; i <= 11; ++i)
                     rows += std::to_string(i) + ":A/B x10000 ";
                 return rows;
             }() +
             bad(TooManyLabels, 11, 3)},
        {"unclosed quote", "A,B\r\nC,\"D\r\nE\r\n", ListEncoding::Detect, ListEncoding::Utf8, ',',
         "1:A/B x1 " + bad(UnclosedQuote, 2, 2)},
        {"neither line", ",,3\r\n", ListEncoding::Detect, ListEncoding::Utf8, ',', bad(EmptyLabel, 1, 0)},
        {"empty file", "", ListEncoding::Detect, ListEncoding::Utf8, ',', bad(NoLabels, 0, 0)},
        {"a header alone", "L1,L2,count\r\n", ListEncoding::Detect, ListEncoding::Utf8, ',',
         "header " + bad(NoLabels, 0, 0)},
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

// From disk, the refusals in both wordings name the file, the row and the column.
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
    EXPECT_EQ(kb::japaneseText(r.refusals[0]), shown + " の 2 行目、3 列目: 枚数「x」が数字ではありません");

    const kb::ListReading missing = kb::readListFile(dir.filePath(QStringLiteral("none.csv")));
    ASSERT_EQ(missing.refusals.size(), 1u);
    EXPECT_EQ(missing.refusals[0].problem, kb::ListProblem::Unreadable);
    EXPECT_FALSE(missing.refusals[0].detail.empty());
    EXPECT_EQ(kb::listEncodingNamed(QStringLiteral("Shift_JIS")), ListEncoding::Cp932);
    EXPECT_EQ(kb::listEncodingNamed(QStringLiteral("latin1")), std::nullopt);
}

} // namespace

// The labels' code writer with the real libzint (its module beside the test), read back by zxing-cpp
// from a picture of the matrix: Japanese comes back from QR as the same characters, in Kanji mode where
// it can be (pages of codes are read back by the end-to-end test); and the window's choice of code,
// remembered in its own setting file, and its preview.
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/CodeChoice.h"
#include "services/Codec.h"
#include "services/ZintCodeWriter.h"
#include "tests/widget/WindowFixture.h"

namespace {

// The matrix as a picture: 4 pixels a module, 4 modules of quiet zone.
std::string decoded(const kb::ModuleMatrix& m) {
    constexpr int Scale = 4, Quiet = 4;
    const int w = (m.columns + 2 * Quiet) * Scale, h = (m.rows + 2 * Quiet) * Scale;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(w * h), 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int r = y / Scale - Quiet, c = x / Scale - Quiet;
            if (r >= 0 && c >= 0 && r < m.rows && c < m.columns && m.at(r, c))
                pixels[static_cast<std::size_t>(y * w + x)] = 0;
        }
    const auto result = ZXing::ReadBarcode({pixels.data(), w, h, ZXing::ImageFormat::Lum},
                                           ZXing::DecodeHints().setTryHarder(true));
    return result.isValid() ? result.text() : "<nothing read>";
}

} // namespace

TEST(CodeWriter, SymbolsReadBackAsTheirText) {
    struct Row {
        kb::CodeKind kind;
        const char* text; // UTF-8; the writer gets its Shift-JIS bytes, as printed
        int side;
    };
    const Row rows[] = {
        // Eight Kanji are 16 bytes: version 1 at level M holds 8 characters in Kanji mode but only
        // 14 bytes in byte mode, so a side of 21 shows Kanji mode; a ninth needs version 2.
        {kb::CodeKind::Qr, "検体検体検体検体", 21},
        {kb::CodeKind::Qr, "検体検体検体検体検", 25},
        {kb::CodeKind::Qr, "ｹﾝﾀｲ ソ表-10", 0}, // half-width kana and 0x5C trail bytes
        {kb::CodeKind::Qr, "ⅰ髙-3", 0},        // IBM extensions (0xFA, 0xFB leads): byte mode
    };
    kb::ZintCodeWriter writer;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        const auto sjis = kb::toSjis(QString::fromUtf8(r.text));
        ASSERT_TRUE(sjis);
        const kb::ModuleMatrix m = writer.encode(r.kind, *sjis);
        ASSERT_FALSE(m.empty());
        if (r.side) {
            EXPECT_EQ(m.rows, r.side);
        }
        EXPECT_EQ(decoded(m), r.text);
    }
    // No symbol holds it: empty.
    EXPECT_TRUE(writer.encode(kb::CodeKind::DataMatrix, std::string(4000, 'A')).empty());
}

TEST(CodeWriter, WindowRemembersTheChoiceBesideTheStartFile) {
    kbtest::WindowFixture f;
    ASSERT_TRUE(f.window->FormCreate());
    auto& w = *f.window;
    EXPECT_EQ(w.ListBox12->currentRow(), 0); // no setting file: no code
    w.entry.Memo1.setText("HELLO\r\nABC");
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    EXPECT_TRUE(w.Image3->isHidden());
    const auto startFile = f.readStartFile();

    const QRect qr = w.ListBox12->visualItemRect(w.ListBox12->item(1));
    QTest::mouseClick(w.ListBox12->viewport(), Qt::LeftButton, {}, qr.center());
    EXPECT_EQ(w.labelCode().kind, kb::CodeKind::Qr);
    EXPECT_FALSE(w.Image3->isHidden()); // the first label's code, as it will print
    QFile setting(f.folder + "CodeChoice.txt");
    ASSERT_TRUE(setting.open(QIODevice::ReadOnly));
    EXPECT_EQ(setting.readAll(), QByteArray("QR\r\n"));
    EXPECT_EQ(f.readStartFile(), startFile); // the start file keeps its bytes

    // The next start of the program shows and uses it; a file it does not know is no code.
    kb::Tfrmmain again(kb::Services{f.dialogs, f.clock, f.pause, f.folder});
    ASSERT_TRUE(again.FormCreate());
    EXPECT_EQ(std::pair(again.ListBox12->currentRow(), again.labelCode().kind),
              std::pair(1, kb::CodeKind::Qr));
    setting.close();
    ASSERT_TRUE(setting.open(QIODevice::WriteOnly));
    setting.write("Aztec\r\n");
    setting.close();
    EXPECT_EQ(kb::readCodeChoice(f.folder), kb::CodeKind::None);
    // A named pipe at its name is no code either, read without waiting for a writer.
    setting.remove();
    ASSERT_EQ(::mkfifo(QFile::encodeName(setting.fileName()).constData(), 0600), 0);
    EXPECT_EQ(kb::readCodeChoice(f.folder), kb::CodeKind::None);

    // A line the print would refuse as running into the code: the preview shows no code, and says why.
    w.entry.Memo1.setText("HELLO HELLO HELLO HELLO HELLO\r\nABC");
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    EXPECT_TRUE(w.Image3->isHidden());
    EXPECT_EQ(
        w.ListBox12->toolTip(),
        QStringLiteral("1枚目の1番のラベル：1行目「HELLO HELLO HELLO HELLO HELLO」がQRコードに重なります。"
                       "行を短くしてください。"));
}

TEST(CodeWriter, WindowWordsARefusal) {
    kb::LabelCodeRefusal tooLong{{2, 5, 5}, 35, {"HELLO", "ABCDEFGH"}, {}};
    tooLong.refusal.text = "ABCDEFGH";
    tooLong.refusal.bytesFit = 6;
    EXPECT_EQ(kb::codeRefusalMessage(kb::CodeKind::DataMatrix, tooLong),
              QStringLiteral("2枚目の5番のラベル：「ABCDEFGH」は8バイトです。ラベルに入るDataMatrixには6バイ"
                             "トまでしか入りません。"));
}

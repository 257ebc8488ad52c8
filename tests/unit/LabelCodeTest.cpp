// The label's code: module size and largest symbol at each resolution, placement on the block, the
// text it carries and the refusals, with a writer whose symbols grow with the text. (Its drawing is
// read back from printed pages by the end-to-end and widget tests.)
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

#include "print/LabelCode.h"
#include "print/PrintRules.h"

using namespace kb;

namespace {

// Side 21 for up to 10 bytes, 4 modules more for each 10 bytes beyond (QR's steps).
struct GrowingWriter : CodeWriter {
    ModuleMatrix encode(CodeKind, const std::string& text) override {
        ModuleMatrix m;
        m.rows = m.columns = 21 + 4 * ((static_cast<std::int32_t>(text.size()) - 1) / 10);
        return m;
    }
};

// 5 dots a byte a point.
struct ByteMeasure : TextMeasure {
    std::int32_t textWidth(std::int32_t points, const std::string& s) override {
        return static_cast<std::int32_t>(s.size()) * points * 5;
    }
};

} // namespace

TEST(LabelCode, ModuleSizeAndLargestSymbolByResolution) {
    struct Row {
        CodeKind kind;
        int dpiX, dpiY;
        CodeGeometry g; // moduleX, moduleY, quiet, largestSide
    };
    // 0.25 mm is 2.95 dots at 300 dpi: 3 dots (0.254 mm). The ground may be as tall as the label's
    // 110 units less one dot: 131 dots at 300 dpi, 43 QR modules of 3 dots, 35 without the quiet zone.
    const Row rows[] = {
        {CodeKind::Qr, 300, 300, {3, 3, 4, 35}},         // version 4 (33) fits, 5 (37) does not
        {CodeKind::Qr, 360, 360, {4, 4, 4, 31}},         // 3.54 dots: 4; version 3 (29)
        {CodeKind::Qr, 600, 600, {6, 6, 4, 35}},         // 5.91 dots: 6
        {CodeKind::Qr, 1200, 1200, {12, 12, 4, 35}},     // 11.81 dots: 12
        {CodeKind::Qr, 1200, 600, {12, 6, 4, 35}},       // each direction at its own resolution
        {CodeKind::DataMatrix, 300, 300, {4, 4, 1, 30}}, // 3.54 dots: 4; 26 x 26 fits, 32 x 32 not
        {CodeKind::DataMatrix, 360, 360, {5, 5, 1, 29}}, // 4.25 dots: 5
        {CodeKind::DataMatrix, 600, 600, {8, 8, 1, 30}}, // 7.09 dots: 8
        // 14.17 dots would be 15, but a module of 3.75 dots of a 300 dpi printer prints unevenly:
        // 4 dots at 300 dpi, 16 here; 26 x 26 at most, as at 300 dpi.
        {CodeKind::DataMatrix, 1200, 1200, {16, 16, 1, 30}},
        {CodeKind::None, 600, 600, {0, 0, 0, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(static_cast<int>(r.kind)) + " at " + std::to_string(r.dpiX) + "x" +
                     std::to_string(r.dpiY));
        const CodeGeometry g = codeGeometry(r.kind, r.dpiX, r.dpiY);
        EXPECT_EQ(g, r.g);
        if (r.kind == CodeKind::None)
            continue;
        // The largest symbol with its quiet zone inside every block of the sheet, margins kept: at
        // the right end, vertically centred to a dot, the symbol inside its quiet zone.
        const LabelOrigins o = ComputeLabelOrigins(kNoShiftIndex, kNoShiftIndex);
        for (int p = 1; p <= 30; ++p) {
            const DeviceRect block{toDevice(o.LabelOriginX[p], r.dpiX), toDevice(o.LabelOriginY[p], r.dpiY),
                                   toDevice(o.LabelOriginX[p] + kLabelWidth, r.dpiX),
                                   toDevice(o.LabelOriginY[p] + kLabelHeight, r.dpiY)};
            ModuleMatrix largest;
            largest.rows = largest.columns = g.largestSide;
            const CodePlacement at = placeCode(g, largest, block, r.dpiX);
            EXPECT_GE(at.ground.top, block.top + toDevice(5, r.dpiY)) << p;
            EXPECT_LE(at.ground.bottom, block.bottom - toDevice(5, r.dpiY)) << p;
            EXPECT_EQ(at.ground.right, block.right - toDevice(5, r.dpiX)) << p;
            EXPECT_LE(std::abs((block.bottom - at.ground.bottom) - (at.ground.top - block.top)), 1) << p;
            const std::int32_t side = g.largestSide, qx = g.quiet * g.moduleX, qy = g.quiet * g.moduleY;
            EXPECT_EQ((std::array{
                          at.symbolLeft - at.ground.left, at.ground.right - at.symbolLeft - side * g.moduleX,
                          at.symbolTop - at.ground.top, at.ground.bottom - at.symbolTop - side * g.moduleY}),
                      (std::array{qx, qx, qy, qy}))
                << p;
        }
    }
}

TEST(LabelCode, WhatTheCodeCarries) {
    struct Row {
        LabelLines lines;
        CodeText which;
        std::string text;
    };
    const std::string kanji = "\x8a\xbf\x8e\x9a"; // 漢字
    const Row rows[] = {
        {{"HELLO", "ABC-12 26/12/09  "}, CodeText::Line2, "ABC-12 26/12/09"}, // trailing blanks dropped
        {{"HELLO  ", "   "}, CodeText::Line2, "HELLO"}, // a blank line 2 is empty: line 1
        {{"HELLO ", "ABC"}, CodeText::Line1, "HELLO"},
        {{"HELLO ", "ABC "}, CodeText::Both, "HELLO\nABC"},
        {{"HELLO", "  "}, CodeText::Both, "HELLO"}, // no line feed beside an empty line
        {{"", "ABC"}, CodeText::Both, "ABC"},
        // Shift-JIS bytes as printed; 0x5C and 0x40 trail bytes are kept (ソ is 0x83 0x5C).
        {{"x", kanji + "\x83\x5c" + " "}, CodeText::Line2, kanji + "\x83\x5c"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(codeText(r.lines, r.which), r.text) << r.lines.line1 << "|" << r.lines.line2;
}

TEST(LabelCode, RefusedBeforePrinting) {
    GrowingWriter writer;
    ByteMeasure measure;
    struct Row {
        CodeKind kind;
        int dpi;
        LabelLines lines;
        std::optional<CodeRefusal> refusal;
    };
    using Why = CodeRefusal::Why;
    const std::string s25(25, 'Z'), s40(40, 'A'), s41(41, 'A'), s31(31, 'B');
    std::string kanji43 = "A"; // "A" and 21 double-byte characters
    for (int i = 0; i < 21; ++i)
        kanji43 += "\x8a\xbf";
    // 600 dpi QR: the largest side, 35, holds 40 bytes (side 33). The ground of a side 21 begins
    // 1488 - 12 - 174 = 1302 dots from the block's left edge; the text column is 120 dots in, and 1 mm
    // (24 dots) and one dot are kept clear: a line may end at 1277. At 9 points a byte is 45 dots.
    const Row rows[] = {
        {CodeKind::Qr, 600, {"HELLO", s40}, CodeRefusal{Why::Overlap, s40, 0, 2}}, // not too long
        {CodeKind::Qr, 600, {"HELLO", s41}, CodeRefusal{Why::TooLong, s41, 40}},
        // Data Matrix at 300 dpi: side 30 at most, 30 bytes.
        {CodeKind::DataMatrix, 300, {"HELLO", s31}, CodeRefusal{Why::TooLong, s31, 30}},
        // What fits stops before a double-byte character that would be cut in two: 39 bytes, not 40.
        {CodeKind::Qr, 600, {"X", kanji43}, CodeRefusal{Why::TooLong, kanji43, 39}},
        {CodeKind::Qr, 600, {std::string(25, 'L'), "ABC"}, std::nullopt}, // ends at 1245
        {CodeKind::Qr, 600, {std::string(26, 'L'), "ABC"}, CodeRefusal{Why::Overlap, "ABC", 0, 1}}, // 1290
        // 25 bytes need a side 29, whose ground begins 48 dots further left: they end at 1245, past 1229.
        {CodeKind::Qr, 600, {"HELLO", s25}, CodeRefusal{Why::Overlap, s25, 0, 2}},
        // Trailing blanks are neither carried nor measured: 23 bytes end at 1155, before 1229.
        {CodeKind::Qr, 600, {"HELLO", std::string(23, 'Z') + "      "}, std::nullopt},
        {CodeKind::None, 600, {std::string(200, 'L'), std::string(200, 'L')}, std::nullopt},
        {CodeKind::Qr, 600, {"  ", ""}, std::nullopt}, // nothing to carry: no code
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.lines.line1 + "|" + r.lines.line2);
        EXPECT_EQ(checkLabelCode({r.kind, CodeText::Line2, &writer}, r.lines, r.dpi, r.dpi, measure),
                  r.refusal);
    }
}

// kb-decode-codes PAGE.pgm: every QR code and Data Matrix on a rasterised page (pdftoppm -gray), read
// by zxing-cpp, a decoder independent of the one that made them. One line per code, top to bottom and
// left to right: its centre's row and column in pixels, its format, and its text in UTF-8 with a line
// feed written as "\n". Exit status 1 when the file cannot be read.
#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace {

// A binary PGM ("P5", 8 bits), as pdftoppm -gray writes it.
bool readPgm(const char* path, int& width, int& height, std::vector<unsigned char>& pixels) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> width >> height >> maxValue;
    if (!in || magic != "P5" || maxValue != 255 || width <= 0 || height <= 0)
        return false;
    in.get();
    pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    return static_cast<std::size_t>(in.gcount()) == pixels.size();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kb-decode-codes PAGE.pgm\n";
        return 2;
    }
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    if (!readPgm(argv[1], width, height, pixels)) {
        std::cerr << argv[1] << ": not a binary 8-bit PGM\n";
        return 1;
    }
    const auto hints = ZXing::DecodeHints()
                           .setFormats(ZXing::BarcodeFormat::QRCode | ZXing::BarcodeFormat::DataMatrix)
                           .setTryHarder(true)
                           .setTryRotate(false);
    struct Found {
        int row, column;
        std::string line;
    };
    std::vector<Found> found;
    // zxing-cpp finds only some of thirty symbols on a whole page, and misses a Data Matrix at some
    // places in a picture where it reads it at others. So the codes are found first: the page in cells
    // of about 0.5 mm, a cell dark when a pixel in it is; each group of touching dark cells about as
    // tall as wide (a code; lines of text are wide) is cut out with a margin, set on a white ground of
    // its own and read alone.
    const int cell = std::max(2, width / 420);
    const int cw = (width + cell - 1) / cell, ch = (height + cell - 1) / cell;
    std::vector<unsigned char> dark(static_cast<std::size_t>(cw) * ch, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (pixels[static_cast<std::size_t>(y) * width + x] < 128)
                dark[static_cast<std::size_t>(y / cell) * cw + x / cell] = 1;
    std::vector<int> stack;
    for (int start = 0; start < cw * ch; ++start) {
        if (dark[static_cast<std::size_t>(start)] != 1)
            continue;
        int x0 = cw, y0 = ch, x1 = 0, y1 = 0;
        stack.assign(1, start);
        dark[static_cast<std::size_t>(start)] = 2;
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            const int cx = at % cw, cy = at / cw;
            x0 = std::min(x0, cx), x1 = std::max(x1, cx), y0 = std::min(y0, cy), y1 = std::max(y1, cy);
            for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                const int nx = cx + dx, ny = cy + dy;
                if (nx >= 0 && ny >= 0 && nx < cw && ny < ch &&
                    dark[static_cast<std::size_t>(ny) * cw + nx] == 1) {
                    dark[static_cast<std::size_t>(ny) * cw + nx] = 2;
                    stack.push_back(ny * cw + nx);
                }
            }
        }
        const int w = x1 - x0 + 1, h = y1 - y0 + 1;
        if (w < 6 || h < 6 || w * 4 > h * 5 || h * 4 > w * 5)
            continue;
        // The group and a quiet zone of its own, on white.
        const int margin = std::max(w, h) * cell / 4;
        const int left = x0 * cell, top = y0 * cell;
        const int pw = w * cell + 2 * margin, ph = h * cell + 2 * margin;
        std::vector<unsigned char> piece(static_cast<std::size_t>(pw) * ph, 255);
        for (int y = 0; y < h * cell && top + y < height; ++y)
            for (int x = 0; x < w * cell && left + x < width; ++x)
                piece[static_cast<std::size_t>(y + margin) * pw + x + margin] =
                    pixels[static_cast<std::size_t>(top + y) * width + left + x];
        for (const ZXing::Result& r :
             ZXing::ReadBarcodes({piece.data(), pw, ph, ZXing::ImageFormat::Lum}, hints)) {
            if (!r.isValid())
                continue;
            std::string text;
            for (const char c : r.text())
                text += c == '\n' ? std::string("\\n") : std::string(1, c);
            const char* format = r.format() == ZXing::BarcodeFormat::QRCode ? "qr" : "datamatrix";
            const int row = top + h * cell / 2, column = left + w * cell / 2;
            found.push_back(
                {row, column,
                 std::to_string(row) + "\t" + std::to_string(column) + "\t" + format + "\t" + text});
        }
    }
    // Rows of labels: codes within a few millimetres of each other in height stand on one row.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return std::abs(a.row - b.row) > 40 ? a.row < b.row : a.column < b.column;
    });
    for (const Found& f : found)
        std::cout << f.line << '\n';
    return 0;
}

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
    // zxing-cpp finds only some of thirty symbols on a whole page, one Data Matrix of two in a picture,
    // and misses a Data Matrix at some places in a picture where it reads it at others: the page is
    // read in overlapping tiles, a sixth, fifth, eighth and seventh of the page wide, each stepping by
    // half a tile, so that every code lies whole in several; each code read is painted over and its
    // tile read again, until the tile gives nothing more.
    for (const int parts : {6, 5, 8, 7}) {
        const int tile = std::max(64, width / parts);
        const int step = tile / 2;
        for (int top = 0; top < height; top += step) {
            for (int left = 0; left < width; left += step) {
                const int w = std::min(tile, width - left), h = std::min(tile, height - top);
                for (bool more = true; more;) {
                    more = false;
                    const ZXing::ImageView view(pixels.data() + static_cast<std::size_t>(top) * width + left,
                                                w, h, ZXing::ImageFormat::Lum, width);
                    for (const ZXing::Result& r : ZXing::ReadBarcodes(view, hints)) {
                        if (!r.isValid())
                            continue;
                        more = true;
                        const auto p = r.position();
                        int x0 = w, y0 = h, x1 = 0, y1 = 0;
                        for (const auto& corner : p) {
                            x0 = std::min(x0, corner.x), x1 = std::max(x1, corner.x);
                            y0 = std::min(y0, corner.y), y1 = std::max(y1, corner.y);
                        }
                        for (int y = std::max(0, y0); y <= std::min(h - 1, y1); ++y)
                            std::fill_n(pixels.begin() + static_cast<std::ptrdiff_t>(top + y) * width + left +
                                            std::max(0, x0),
                                        std::min(w - 1, x1) - std::max(0, x0) + 1, 255);
                        const int column = left + (x0 + x1) / 2, row = top + (y0 + y1) / 2;
                        std::string text;
                        for (const char c : r.text())
                            text += c == '\n' ? std::string("\\n") : std::string(1, c);
                        const char* format = r.format() == ZXing::BarcodeFormat::QRCode ? "qr" : "datamatrix";
                        found.push_back({row, column,
                                         std::to_string(row) + "\t" + std::to_string(column) + "\t" + format +
                                             "\t" + text});
                    }
                }
            }
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

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
    // zxing-cpp finds a few symbols on a whole page, not all of thirty: it reads overlapping tiles,
    // each a sixth of the page wide, that step by half a tile, so that every code up to a third of a
    // tile lies whole in at least one; a code read in several tiles counts once.
    const int tile = std::max(64, width / 6);
    const int step = tile / 2;
    for (int top = 0; top < height; top += step) {
        for (int left = 0; left < width; left += step) {
            const int w = std::min(tile, width - left), h = std::min(tile, height - top);
            const ZXing::ImageView view(pixels.data() + static_cast<std::size_t>(top) * width + left, w, h,
                                        ZXing::ImageFormat::Lum, width);
            for (const ZXing::Result& r : ZXing::ReadBarcodes(view, hints)) {
                if (!r.isValid())
                    continue;
                const auto p = r.position();
                const int column = left + (p.topLeft().x + p.bottomRight().x) / 2;
                const int row = top + (p.topLeft().y + p.bottomRight().y) / 2;
                const bool seen = std::any_of(found.begin(), found.end(), [&](const Found& f) {
                    return std::abs(f.row - row) < tile / 8 && std::abs(f.column - column) < tile / 8;
                });
                if (seen)
                    continue;
                std::string text;
                for (const char c : r.text())
                    text += c == '\n' ? std::string("\\n") : std::string(1, c);
                const char* format = r.format() == ZXing::BarcodeFormat::QRCode ? "qr" : "datamatrix";
                found.push_back(
                    {row, column,
                     std::to_string(row) + "\t" + std::to_string(column) + "\t" + format + "\t" + text});
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

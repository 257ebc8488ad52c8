// Printing figures on a real QPrinter writing PDF at its high resolution: one sheet of 30 numbered
// labels through the program's own print surface and sheet drawing, and 100 sheets in one process
// with the resident memory before and after; each against the floor, a minimal QPainter loop that
// draws the same 30 blocks and 60 text lines (recorded once from the sheet drawing) and nothing else.
//
// Usage: kb_print_figures [SHEETS_TIMED] [OUTPUT_FOLDER]   (default 20 sheets, a temporary folder)
// Runs on any Qt platform; bench/startup.sh runs it on "offscreen".
#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "content/Composition.h"
#include "print/PrintRules.h"
#include "services/Codec.h"
#include "services/Colours.h"
#include "services/QtPrintSurface.h"

namespace {

// A run of 30 numbered labels: HELLO above, ABC-1 … ABC-30 below.
kb::SheetJob numberedSheet() {
    kb::ComposeInput in;
    in.line1 = "HELLO";
    in.line2 = "ABC";
    in.line2Work = "ABC";
    in.numberingOn = true;
    in.firstNumber = 1;
    kb::SheetJob job;
    job.backColour = 0x00FFE0C0;
    job.fontColour = 0x00800000;
    job.startPosition = 1;
    job.labels = std::make_shared<const kb::TypedLabels>(kb::compose(in).label, in.numberingOn, 1, 30000);
    return job;
}

// What the sheet drawing asks of a surface, kept so the floor can draw exactly the same.
class RecordingSurface final : public kb::PrintSurface {
  public:
    struct Block {
        QRect rect;
        QColor colour;
    };
    struct Text {
        QPoint at;
        QString text;
        int points;
    };
    // Text heights are measured on the printer itself, as the program's surface measures them.
    explicit RecordingSurface(QPaintDevice& printer) : m_printer(printer), m_dpi(printer.logicalDpiX()) {}
    std::vector<Block> blocks;
    std::vector<Text> texts;

    bool beginDocument() override { return true; }
    bool endDocument() override { return true; }
    std::int32_t dpiX() const override { return m_dpi; }
    std::int32_t dpiY() const override { return m_dpi; }
    void setPen(std::int32_t, std::uint32_t) override {}
    void setBrush(std::uint32_t c) override { m_brush = kb::colourFromRgb(c); }
    void rectangle(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) override {
        blocks.push_back({QRect(l, t, r - l, b - t), m_brush});
    }
    void setFont(std::int32_t p, std::uint32_t) override { m_points = p; }
    std::int32_t textHeight(const std::string&) override {
        QFont f = kb::QtPrintSurface::printFace();
        f.setPointSize(m_points);
        return QFontMetrics(f, &m_printer).height();
    }
    void textOut(std::int32_t x, std::int32_t y, const std::string& s) override {
        texts.push_back({QPoint(x, y), kb::fromSjis(s), m_points});
    }

  private:
    QPaintDevice& m_printer;
    int m_dpi;
    int m_points = 10;
    QColor m_brush;
};

void setUp(QPrinter& printer, const QString& file) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setColorMode(QPrinter::Color);
    printer.setFullPage(false);
}

// The floor: the recorded blocks and lines with nothing around them.
void drawFloor(QPainter& painter, const RecordingSurface& sheet, const QColor& ink) {
    QFont font = kb::QtPrintSurface::printFace();
    int points = -1;
    for (const auto& b : sheet.blocks)
        painter.fillRect(b.rect, b.colour);
    painter.setPen(ink);
    for (const auto& t : sheet.texts) {
        if (t.points != points) {
            points = t.points;
            font.setPointSize(points);
            painter.setFont(font);
        }
        painter.drawText(t.at + QPoint(0, painter.fontMetrics().ascent()), t.text);
    }
}

// Resident memory now and at its peak, in kB.
struct Memory {
    long rss = -1;
    long peak = -1;
};
Memory memory() {
    std::ifstream status("/proc/self/status");
    Memory m;
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:" && status >> value)
            m.rss = value;
        else if (key == "VmHWM:" && status >> value)
            m.peak = value;
    }
    return m;
}

struct Spread {
    double median, min, max;
};
Spread spread(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return {median, v.front(), v.back()};
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int timed = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    QTemporaryDir tmp;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    const kb::SheetJob job = numberedSheet();

    QPrinter probe(QPrinter::HighResolution);
    setUp(probe, folder + QStringLiteral("/probe.pdf"));
    const int dpi = probe.logicalDpiX();
    RecordingSurface recorded(probe);
    kb::PrintSheet(recorded, job, 1, 1, 30);
    const QColor ink = kb::colourFromRgb(job.fontColour);

    // One sheet, one document, printer made afresh each time as a print run does. The first of each
    // kind is not counted: it loads the fonts and the PDF engine.
    std::vector<double> program, floor;
    for (int i = 0; i <= timed; ++i) {
        for (int kind = 0; kind < 2; ++kind) {
            QElapsedTimer clock;
            clock.start();
            QPrinter printer(QPrinter::HighResolution);
            setUp(printer, folder + QStringLiteral("/sheet-%1.pdf").arg(kind));
            bool ok = true;
            if (kind == 0) {
                kb::QtPrintSurface surface(printer);
                ok = kb::PrintSheet(surface, job, 1, 1, 30) && surface.finish();
            } else {
                QPainter painter;
                ok = painter.begin(&printer);
                drawFloor(painter, recorded, ink);
                ok = painter.end() && ok;
            }
            const double ms = clock.nsecsElapsed() / 1e6;
            if (!ok) {
                std::fprintf(stderr, "printing to %s failed\n", qPrintable(printer.outputFileName()));
                return 1;
            }
            if (i > 0)
                (kind == 0 ? program : floor).push_back(ms);
        }
    }
    const Spread p = spread(program), f = spread(floor);
    std::printf("dpi %d, %zu blocks and %zu text lines per sheet, %d sheets timed\n", dpi,
                recorded.blocks.size(), recorded.texts.size(), timed);
    std::printf("one sheet, program   median %.2f ms  min %.2f  max %.2f\n", p.median, p.min, p.max);
    std::printf("one sheet, floor     median %.2f ms  min %.2f  max %.2f\n", f.median, f.min, f.max);
    std::printf("one sheet, ratio     %.2f\n", p.median / f.median);

    // 100 sheets in one process, one file of 100 pages, as a long run to a PDF file prints. Memory is
    // read after 10 sheets and after 100: a flat line means nothing grows per sheet.
    for (int kind = 0; kind < 2; ++kind) {
        const Memory before = memory();
        Memory at10;
        QElapsedTimer clock;
        clock.start();
        QPrinter printer(QPrinter::HighResolution);
        setUp(printer, folder + QStringLiteral("/hundred-%1.pdf").arg(kind));
        bool ok = true;
        if (kind == 0) {
            kb::QtPrintSurface surface(printer);
            for (int s = 1; s <= 100 && ok; ++s) {
                ok = kb::PrintSheet(surface, job, s, 1, 30);
                if (s == 10)
                    at10 = memory();
            }
            ok = surface.finish() && ok;
        } else {
            QPainter painter;
            ok = painter.begin(&printer);
            for (int s = 1; s <= 100 && ok; ++s) {
                if (s > 1)
                    ok = printer.newPage();
                drawFloor(painter, recorded, ink);
                if (s == 10)
                    at10 = memory();
            }
            ok = painter.end() && ok;
        }
        const double ms = clock.nsecsElapsed() / 1e6;
        const Memory after = memory();
        if (!ok) {
            std::fprintf(stderr, "printing 100 sheets failed\n");
            return 1;
        }
        std::printf("100 sheets, %-8s %.1f ms (%.2f ms/sheet)  RSS before %ld kB, after 10 sheets %ld kB, "
                    "after 100 %ld kB; peak before %ld kB, after %ld kB\n",
                    kind == 0 ? "program" : "floor", ms, ms / 100, before.rss, at10.rss, after.rss,
                    before.peak, after.peak);
    }
    return 0;
}

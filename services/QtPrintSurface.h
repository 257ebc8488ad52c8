// The print surface of the running program, painting from the printable area's top-left corner at
// the printer's resolution. A file gets each sheet as its next page and counts only once it is safely
// written whole (see OutputFile: never through a link, never over a pipe or a device). A print queue gets one
// job per sheet: on CUPS a PDF of our own that counts as printed only once the scheduler holds it whole
// (QtPrintSurfaceCups.cpp); on Windows the sheet is painted through the printer's own driver and counts once
// the spooler took the document (QtPrintSurfaceWin.cpp).
#pragma once
#include <QFont>
#include <QPageLayout>
#include <QPainter>
#include <QString>
#include <memory>
#include <vector>

#include "print/PrintRun.h"

class QBuffer;
class QPdfWriter;
class QPrinter;

namespace kb {

class OutputFile;

class QtPrintSurface final : public RunSurface {
  public:
    // `printer` is the print dialog's choice: the queue or the file, the paper, the resolution and
    // the job options.
    explicit QtPrintSurface(QPrinter& printer);
    ~QtPrintSurface() override;

    bool beginDocument() override;
    bool endDocument() override;
    std::int32_t dpiX() const override;
    std::int32_t dpiY() const override;
    void setPen(std::int32_t width, std::uint32_t colour) override;
    void setBrush(std::uint32_t colour) override;
    void rectangle(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) override;
    void setFont(std::int32_t points, std::uint32_t colour) override;
    std::int32_t textHeight(const std::string& sjisText) override;
    void textOut(std::int32_t x, std::int32_t y, const std::string& sjisText) override;

    // Ends what is still open. A file keeps all sheets of a run as pages of one document and is
    // written here; false when it could not be, and the file that was there before is kept.
    bool finish() override;

    // Why the last document or the file failed, in words for the user.
    QString failure() const { return m_failure; }
    // The paper as the labels will be placed on it, for the check that every label fits.
    Paper paper() const override;
    QString paperName() const;
    // The printer as the user knows it: the queue's name, or the file the PDF goes to.
    QString printerLabel() const;
    // The spooler's jobs of the sheets it holds, in sheet order; 0 for a sheet whose job the spooler
    // did not name.
    const std::vector<int>& jobIds() const { return m_jobs; }
    // True when the run goes into a PDF file rather than to a print queue.
    bool toFile() const override { return m_toFile; }
    int lastJob() const override { return m_jobs.empty() ? 0 : m_jobs.back(); }
    std::string failureText() const override { return m_failure.toStdString(); }

    // The face the text prints in: the default unless it cannot show Japanese.
    static QFont printFace();

  private:
    bool fail(const QString& why);
    bool openWriter(QIODevice* device);
    // The platform's part: a sheet for a print queue begins, and is handed to the spooler.
    bool beginSheet();
    bool submitSheet();
    // The spooler's name of a sheet's document: "Kestrelbox (2)" for the second.
    QString sheetTitle(int sheet) const;

    QPrinter& m_printer;
    QString m_docName; // the caller's name for the document, the stem of each sheet's
    QPageLayout m_layout;
    int m_resolution = 0;
    bool m_toFile = false;
    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<OutputFile> m_file;
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
    int m_sheets = 0;
    std::vector<int> m_jobs;
    int m_sheetJob = 0; // the job of the sheet in progress, where the spooler names it at once
    QString m_failure;
    int m_penWidth = 1;
    std::uint32_t m_penColour = 0;
    std::uint32_t m_brushColour = 0x00FFFFFF;
    std::uint32_t m_fontColour = 0;
    QFont m_font;
};

} // namespace kb

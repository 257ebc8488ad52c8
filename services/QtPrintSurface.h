// The print surface of the running program. Each sheet is painted into a PDF of our own at the
// printer's resolution, from the printable area's top-left corner, and then handed on: to a print
// queue as one job per sheet, which counts as printed only once the scheduler holds it whole, or
// to the chosen file as its next page, which counts only once the whole file is safely written (see
// OutputFile: never through a link, never over a pipe or a device).
#pragma once
#include <QFont>
#include <QPageLayout>
#include <QPainter>
#include <QString>
#include <memory>
#include <vector>

#include "print/PrintRules.h"

class QBuffer;
class QPdfWriter;
class QPrinter;

namespace kb {

class OutputFile;

class QtPrintSurface final : public PrintSurface {
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
    bool finish();

    // Why the last document or the file failed, in words for the user.
    QString failure() const { return m_failure; }
    // The paper as the labels will be placed on it, for the check that every label fits.
    Paper paper() const;
    QString paperName() const;
    // The printer as the user knows it: the queue's name, or the file the PDF goes to.
    QString printerLabel() const;
    // The spooler's jobs of the sheets it holds, in sheet order, where the spooler names them.
    const std::vector<int>& jobIds() const { return m_jobs; }
    // True when the run goes into a PDF file rather than to a print queue.
    bool toFile() const { return m_toFile; }

    // The face the text prints in: the default unless it cannot show Japanese.
    static QFont printFace();

  private:
    bool fail(const QString& why);
    bool openWriter(QIODevice* device);
    bool submitSheet();

    QPrinter& m_printer;
    QPageLayout m_layout;
    int m_resolution = 0;
    bool m_toFile = false;
    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<OutputFile> m_file;
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
    int m_sheets = 0;
    std::vector<int> m_jobs;
    QString m_failure;
    int m_penWidth = 1;
    std::uint32_t m_penColour = 0;
    std::uint32_t m_brushColour = 0x00FFFFFF;
    std::uint32_t m_fontColour = 0;
    QFont m_font;
};

} // namespace kb

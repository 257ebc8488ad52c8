// A real main window over a temporary folder, with recording dialogs, a fixed clock and a pause
// that returns at once and remembers how long it was asked to wait (and can act while it lasts).
#pragma once
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Services.h"
#include "app/Tfrmmain.h"

namespace kbtest {

struct RecordingDialogs : kb::Dialogs {
    std::vector<QString> messages;
    std::vector<QString> errors;
    std::deque<std::optional<QColor>> colourAnswers; // empty: cancel
    std::vector<QColor> colourInitials;
    QString pdfPath;                             // printer answer: a PDF printer writing here; empty: cancel
    QPageSize::PageSizeId paper = QPageSize::A4; // the paper chosen in the dialog
    int printDialogs = 0;

    void message(QWidget*, const QString& text) override { messages.push_back(text); }
    void error(QWidget*, const QString& text) override { errors.push_back(text); }
    std::vector<QString> questions;
    bool answer = false;
    bool ask(QWidget*, const QString& text) override {
        questions.push_back(text);
        return answer;
    }
    Answer otherAnswer = Answer::No; // the answer to a question with a third answer
    std::vector<QString> others;     // the third answers offered
    Answer askWithOther(QWidget*, const QString& text, const QString& other) override {
        questions.push_back(text);
        others.push_back(other);
        return otherAnswer;
    }
    std::optional<QColor> pickColour(QWidget*, const QColor& initial) override {
        colourInitials.push_back(initial);
        if (colourAnswers.empty())
            return std::nullopt;
        auto answer = colourAnswers.front();
        colourAnswers.pop_front();
        return answer;
    }
    QString listFile; // the file dialog's answer; empty: cancel
    QString chooseListFile(QWidget*) override { return listFile; }
    std::unique_ptr<QPrinter> choosePrinter(QWidget*) override {
        ++printDialogs;
        if (pdfPath.isEmpty())
            return nullptr;
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfPath);
        printer->setPageSize(QPageSize(paper));
        return printer;
    }
};

struct FixedClock : kb::Clock {
    std::string text = "26/12/07";
    std::string todayText() const override { return text; }
};

struct RecordingPause : kb::Pause {
    std::vector<int> waits;
    std::function<void(int)> during; // runs inside each pause, with its length
    void pause(int ms) override {
        waits.push_back(ms);
        if (during)
            during(ms);
    }
};

class WindowFixture {
  public:
    // startFile: contents of StartFile.txt, or nothing for no file.
    explicit WindowFixture(std::optional<std::string> startFile = std::string("01\r\n10\r\n10\r\n")) {
        folder = dir.path() + QStringLiteral("/");
        if (startFile)
            writeStartFile(*startFile);
        window = std::make_unique<kb::Tfrmmain>(kb::Services{dialogs, clock, pause, folder});
    }
    void writeStartFile(const std::string& bytes) {
        QFile f(startFilePath());
        f.open(QIODevice::WriteOnly);
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    std::optional<std::string> readStartFile() const {
        QFile f(startFilePath());
        if (!f.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QByteArray b = f.readAll();
        return std::string(b.constData(), static_cast<std::size_t>(b.size()));
    }
    QString startFilePath() const { return folder + QStringLiteral("StartFile.txt"); }

    QTemporaryDir dir;
    QString folder;
    RecordingDialogs dialogs;
    FixedClock clock;
    RecordingPause pause;
    std::unique_ptr<kb::Tfrmmain> window;
};

} // namespace kbtest

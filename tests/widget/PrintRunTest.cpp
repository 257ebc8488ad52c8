// "Print" on the real window: the whole run with the print dialog accepted (a PDF printer) and
// cancelled, what the start file and the screens hold afterwards, and the pauses asked for.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QListWidget>
#include <QPageLayout>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include "WindowFixture.h"
#include "app/EntryWidgets.h"
#include "app/PrinterCheck.h"
#include "app/QtPause.h"

using kbtest::WindowFixture;

namespace {

const std::string StartAt(const char* position) {
    return std::string(position) + "\r\n10\r\n10\r\n";
}

// Counts the pages of a PDF that Qt wrote (its page objects are uncompressed dictionaries).
int pdfPages(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = f.readAll();
    int pages = 0;
    for (qsizetype at = bytes.indexOf("/Type /Page"); at >= 0; at = bytes.indexOf("/Type /Page", at + 1))
        if (bytes.mid(at + 11, 1) != "s")
            ++pages;
    return pages;
}

class PrintRun : public ::testing::Test {
  protected:
    void start(const std::string& startFile) {
        f = std::make_unique<WindowFixture>(startFile);
        ASSERT_TRUE(f->window->FormCreate());
        f->window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(f->window.get()));
    }
    kb::Tfrmmain& w() { return *f->window; }

    // Types the two lines into the memo and presses "PrintSet", as the user would.
    void typeAndPrintSet(const char* line1, const char* line2) {
        w().Memo1->setFocus();
        QTest::keyClicks(w().Memo1, QString::fromLatin1(line1));
        QTest::keyClick(w().Memo1, Qt::Key_Return);
        QTest::keyClicks(w().Memo1, QString::fromLatin1(line2));
        QTest::mouseClick(w().cmdPrintSet, Qt::LeftButton);
        ASSERT_TRUE(w().pnlRect->isVisible()) << "PrintSet did not open the sheet screen";
    }
    void moveSelection(QListWidget* list, Qt::Key key, int times) {
        list->setFocus();
        for (int i = 0; i < times; ++i)
            QTest::keyClick(list, key);
    }
    void print() { QTest::mouseClick(w().cmdPrint2, Qt::LeftButton); }

    std::unique_ptr<WindowFixture> f;
};

TEST_F(PrintRun, OneSheetStoresNextPositionAndOffsetsAndReturnsToEntry) {
    start(StartAt("01"));
    QTest::mouseClick(w().CheckBox1, Qt::LeftButton); // "Date" on: Edit2 gets the date
    ASSERT_TRUE(w().entry.dateChecked());
    typeAndPrintSet("HELLO", "ABC");
    moveSelection(w().ListBox7, Qt::Key_Down, 2); // "1": 1 mm down
    moveSelection(w().ListBox6, Qt::Key_Up, 5);   // "-2.5": 2.5 mm left
    f->dialogs.pdfPath = f->folder + QStringLiteral("run.pdf");

    print();

    EXPECT_TRUE(f->dialogs.errors.empty()) << f->dialogs.errors.front().toStdString();
    EXPECT_EQ(f->dialogs.printDialogs, 1);
    EXPECT_EQ(f->readStartFile(), std::optional<std::string>("02\r\n12\r\n05\r\n\r\n0\r\n"));
    EXPECT_EQ(w().start.StartPosition, 2);
    EXPECT_EQ(f->pause.waits, (std::vector<int>{2000, 12000}));
    EXPECT_TRUE(w().pnlMain->isVisible());
    EXPECT_FALSE(w().pnlRect->isVisible());
    EXPECT_TRUE(w().isEnabled());
    EXPECT_FALSE(w().CheckBox1->isChecked());
    EXPECT_FALSE(w().entry.dateChecked());
    EXPECT_TRUE(w().Edit2->text().isEmpty());
    EXPECT_TRUE(w().entry.edit2Text().empty());
    EXPECT_EQ(pdfPages(f->dialogs.pdfPath), 1);
}

TEST_F(PrintRun, RunOverTwoSheetsPrintsBothAndContinuesOnTheSecond) {
    start(StartAt("30"));
    moveSelection(w().ListBox4, Qt::Key_Down, 1); // 2 labels: position 30, then position 1 of sheet 2
    ASSERT_EQ(w().entry.SampleCount, 2);
    typeAndPrintSet("HELLO", "ABC");
    f->dialogs.pdfPath = f->folder + QStringLiteral("two.pdf");

    print();

    EXPECT_TRUE(f->dialogs.errors.empty());
    EXPECT_EQ(f->pause.waits, (std::vector<int>{2000, 2000, 12000}));
    EXPECT_EQ(f->readStartFile(), std::optional<std::string>("02\r\n10\r\n10\r\n\r\n0\r\n"));
    // Both sheets are in the file: the second does not overwrite the first.
    EXPECT_EQ(pdfPages(f->dialogs.pdfPath), 2);
    EXPECT_EQ(w().SheetCount, 1);
}

TEST_F(PrintRun, CancelledDialogChangesNothing) {
    start(StartAt("07"));
    typeAndPrintSet("HELLO", "ABC");
    const auto before = f->readStartFile();

    print(); // pdfPath empty: the dialog is cancelled

    EXPECT_EQ(f->dialogs.printDialogs, 1);
    EXPECT_TRUE(f->dialogs.errors.empty());
    EXPECT_EQ(f->readStartFile(), before);
    EXPECT_EQ(w().start.StartPosition, 7);
    EXPECT_TRUE(f->pause.waits.empty());
    EXPECT_TRUE(w().pnlRect->isVisible());
    EXPECT_FALSE(QFile::exists(f->folder + QStringLiteral("run.pdf")));
}

TEST_F(PrintRun, UnwritableOutputIsReportedAndNothingAdvances) {
    start(StartAt("07"));
    typeAndPrintSet("HELLO", "ABC");
    const auto before = f->readStartFile();
    f->dialogs.pdfPath = f->folder + QStringLiteral("no-such-folder/run.pdf");

    print();

    ASSERT_EQ(f->dialogs.errors.size(), 1u);
    EXPECT_TRUE(f->dialogs.errors.front().contains(QStringLiteral("印刷できませんでした")));
    EXPECT_EQ(f->readStartFile(), before);
    EXPECT_EQ(w().start.StartPosition, 7);
    EXPECT_TRUE(f->pause.waits.empty());
    EXPECT_TRUE(w().pnlRect->isVisible());
    EXPECT_TRUE(w().isEnabled());
}

// The paper itself: the label block in the chosen colour where the offsets put it, blank elsewhere,
// and the text readable from the file.
TEST_F(PrintRun, PaperShowsTheBlockAndTheText) {
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftoppm.isEmpty() || pdftotext.isEmpty())
        GTEST_SKIP() << "poppler-utils not installed";
    start(StartAt("01"));
    typeAndPrintSet("HELLO", "ABC");
    moveSelection(w().ListBox7, Qt::Key_Down, 2);  // +10 layout units down
    moveSelection(w().ListBox6, Qt::Key_Up, 5);    // -25 layout units left
    moveSelection(w().ListBox11, Qt::Key_Down, 5); // background "Blue"
    ASSERT_EQ(w().previewBackColour(), 0x00FF0000u);
    f->dialogs.pdfPath = f->folder + QStringLiteral("paper.pdf");
    print();
    ASSERT_TRUE(f->dialogs.errors.empty());

    const int dpi = 50;
    QProcess::execute(pdftoppm, {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                                 QStringLiteral("-singlefile"), f->dialogs.pdfPath,
                                 f->folder + QStringLiteral("paper")});
    const QImage page(f->folder + QStringLiteral("paper.png"));
    ASSERT_FALSE(page.isNull());
    // The printer's device pixels start at the printable area's corner.
    QPrinter reference(QPrinter::HighResolution);
    reference.setOutputFormat(QPrinter::PdfFormat);
    const QRectF paint = reference.pageLayout().paintRect(QPageLayout::Inch);
    const int res = reference.resolution();
    auto at = [&](int deviceX, int deviceY) {
        return page.pixelColor(static_cast<int>((paint.left() + double(deviceX) / res) * dpi),
                               static_cast<int>((paint.top() + double(deviceY) / res) * dpi));
    };
    // Position 1 shifted to (280, 270) units: block from (280, 270) to (900, 390).
    auto device = [&](int units) { return units * res / 250; };
    const QColor inside = at(device(860), device(280));
    EXPECT_LT(inside.red(), 60);
    EXPECT_LT(inside.green(), 60);
    EXPECT_GT(inside.blue(), 200);
    const QColor betweenColumns = at(device(1000), device(330)); // between the two columns
    EXPECT_EQ(betweenColumns, QColor(Qt::white));
    const QColor positionThree = at(device(500), device(500)); // not part of the run
    EXPECT_EQ(positionThree, QColor(Qt::white));
    const QColor aboveShifted = at(device(500), device(262)); // where an unshifted block would start
    EXPECT_EQ(aboveShifted, QColor(Qt::white));

    QProcess text;
    text.start(pdftotext, {f->dialogs.pdfPath, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished());
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(QStringLiteral("HELLO"))) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QStringLiteral("ABC"))) << printed.toStdString();
}

TEST(QtPause, WindowTakesNoInputButKeepsRunning) {
    QWidget window;
    QPushButton button(QStringLiteral("Print"), &window);
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    kb::QtPause pause(&window);
    bool disabledDuring = false;
    bool eventsRan = false;
    QTimer::singleShot(0, &window, [&] {
        eventsRan = true;
        disabledDuring = !window.isEnabled();
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::keyClick(&button, Qt::Key_Space);
    });
    pause.pause(20);
    QCoreApplication::processEvents();
    EXPECT_TRUE(eventsRan) << "the event loop did not run during the pause";
    EXPECT_TRUE(disabledDuring);
    EXPECT_TRUE(window.isEnabled());
    // Input made during the pause is dropped, not delivered once the pause is over.
    EXPECT_EQ(clicks, 0);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);

    // A window that was disabled before stays disabled.
    window.setEnabled(false);
    pause.pause(1);
    EXPECT_FALSE(window.isEnabled());
}

// A print dialog that answers with a real queue of the print system.
struct QueueDialogs : kbtest::RecordingDialogs {
    QString queue;
    std::unique_ptr<QPrinter> choosePrinter(QWidget*) override {
        ++printDialogs;
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setPrinterName(queue);
        return printer;
    }
};

int jobsIn(const QString& folder) {
    return static_cast<int>(QDir(folder).entryList({QStringLiteral("job-*.pdf")}, QDir::Files).size());
}

void run(const QString& program, const QStringList& args) {
    ASSERT_EQ(QProcess::execute(program, args), 0) << program.toStdString();
}

// Through a private CUPS scheduler: a stopped queue, a queue that refuses jobs and a queue removed
// after the dialog closed are reported in the error box before anything is sent, and nothing of
// the run advances; once the queue works again the same run prints and advances.
// The test starts the scheduler with the end-to-end harness and runs itself again inside it.
TEST(QueueCheck, UnusableQueuesAreReportedBeforeSending) {
    if (qEnvironmentVariableIsEmpty("KB_QUEUE_CHILD")) {
        const QString lib =
            QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../e2e/lib.sh");
        if (QStandardPaths::findExecutable(QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin")})
                .isEmpty() ||
            !QFile::exists(lib))
            GTEST_SKIP() << "no CUPS scheduler to test against";
        const QString script =
            QStringLiteral("source '%1' && kb_setup queuecheck '%2' && kb_start_cups && "
                           "KB_QUEUE_CHILD=1 KB_QUEUE_OUT=\"$KB_PRINT_OUT\" QT_QPA_PLATFORM=offscreen "
                           "\"$KB_EXE\" --gtest_filter=QueueCheck.*")
                .arg(lib, QCoreApplication::applicationFilePath());
        QProcess bash;
        bash.setProcessChannelMode(QProcess::MergedChannels);
        bash.start(QStringLiteral("bash"), {QStringLiteral("-c"), script});
        ASSERT_TRUE(bash.waitForFinished(90000));
        const QString out = QString::fromUtf8(bash.readAll());
        EXPECT_EQ(bash.exitCode(), 0) << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test"))) << out.toStdString();
        return;
    }

    const QString queue = QStringLiteral("kbtest");
    const QString out = qEnvironmentVariable("KB_QUEUE_OUT");
    ASSERT_FALSE(out.isEmpty());
    {
        const kb::QueueState fine = kb::queueState(queue);
        EXPECT_TRUE(fine.exists && !fine.stopped && fine.acceptingJobs);
    }

    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/");
    {
        QFile f(folder + QStringLiteral("StartFile.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("05\r\n10\r\n10\r\n");
    }
    auto startFile = [&] {
        QFile f(folder + QStringLiteral("StartFile.txt"));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    };
    QueueDialogs dialogs;
    dialogs.queue = queue;
    kbtest::FixedClock clock;
    kbtest::RecordingPause pause;
    kb::Tfrmmain w(kb::Services{dialogs, clock, pause, folder});
    ASSERT_TRUE(w.FormCreate());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::keyClicks(w.Memo1, QStringLiteral("HELLO"));
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    ASSERT_TRUE(w.pnlRect->isVisible());
    const QByteArray before = startFile();

    struct Case {
        const char* what;
        QString breakIt, mendIt;
        const char16_t* words;
    };
    const Case cases[] = {
        {"stopped", QStringLiteral("cupsdisable"), QStringLiteral("cupsenable"), u"停止"},
        {"refusing jobs", QStringLiteral("cupsreject"), QStringLiteral("cupsaccept"), u"受け付けていません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        run(c.breakIt, {queue});
        dialogs.errors.clear();
        QTest::mouseClick(w.cmdPrint2, Qt::LeftButton);
        ASSERT_EQ(dialogs.errors.size(), 1u);
        EXPECT_TRUE(dialogs.errors.front().contains(queue));
        EXPECT_TRUE(dialogs.errors.front().contains(QString::fromUtf16(c.words)))
            << dialogs.errors.front().toStdString();
        EXPECT_EQ(startFile(), before);
        EXPECT_EQ(w.start.StartPosition, 5);
        EXPECT_TRUE(pause.waits.empty());
        EXPECT_TRUE(w.pnlRect->isVisible());
        run(c.mendIt, {queue});
    }
    QTest::qWait(300);
    EXPECT_EQ(jobsIn(out), 0) << "a job was sent to an unusable queue";

    // The queue works again: the same run prints.
    dialogs.errors.clear();
    QTest::mouseClick(w.cmdPrint2, Qt::LeftButton);
    EXPECT_TRUE(dialogs.errors.empty()) << dialogs.errors.front().toStdString();
    EXPECT_EQ(w.start.StartPosition, 6);
    EXPECT_EQ(pause.waits, (std::vector<int>{2000, 12000}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return jobsIn(out) == 1; }, 20000)) << jobsIn(out) << " jobs";

    // A queue removed after the dialog closed: Qt would print on the default queue instead.
    QPrinter chosen(QPrinter::HighResolution);
    run(QStringLiteral("lpadmin"), {QStringLiteral("-p"), QStringLiteral("other"), QStringLiteral("-E"),
                                    QStringLiteral("-v"), QStringLiteral("kbcopy:") + out});
    chosen.setPrinterName(QStringLiteral("other"));
    ASSERT_EQ(chosen.printerName(), QStringLiteral("other"));
    run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), QStringLiteral("other")});
    const QString gone = kb::checkPrinter(chosen);
    EXPECT_TRUE(gone.contains(QStringLiteral("other")) && gone.contains(QStringLiteral("見つかりません")))
        << gone.toStdString();
}

} // namespace

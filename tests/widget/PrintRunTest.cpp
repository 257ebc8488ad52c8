// "Print" on the real window: a whole run with the print dialog accepted (a PDF printer), cancelled
// or failing, what reaches the paper, the start file and the screens, and the pauses asked for.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPageLayout>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

#include "WindowFixture.h"
#include "app/EntryWidgets.h"
#include "app/QtPause.h"
#include "app/SheetWidgets.h"
#include "services/PrinterCheck.h"

using kbtest::WindowFixture;

namespace {

// Counts the pages of a PDF that Qt wrote (its page objects are uncompressed dictionaries).
int pdfPages(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? int(QString::fromLatin1(f.readAll())
                                                 .count(QRegularExpression(QStringLiteral("/Type /Page\\b"))))
                                       : -1;
}

void keys(QListWidget* list, Qt::Key key, int times) {
    list->setFocus();
    for (int i = 0; i < times; ++i)
        QTest::keyClick(list, key);
}

// Types "HELLO" / "ABC" into the memo and presses "PrintSet", as the user would.
void typeAndPrintSet(kb::Tfrmmain& w) {
    w.Memo1->setFocus();
    QTest::keyClicks(w.Memo1, QStringLiteral("HELLO"));
    QTest::keyClick(w.Memo1, Qt::Key_Return);
    QTest::keyClicks(w.Memo1, QStringLiteral("ABC"));
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    ASSERT_TRUE(w.pnlRect->isVisible()) << "PrintSet did not open the sheet screen";
}

// The paper of a one-label run from position 1 with the offsets +10 down, -25 across and a blue
// ground: the block stands in its colour where the offsets put it, with both lines and the date.
void checkPaper(const QString& pdf, const QString& folder) {
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftoppm.isEmpty() || pdftotext.isEmpty())
        GTEST_SKIP() << "poppler-utils not installed: the paper is not checked";
    const int dpi = 50;
    QProcess::execute(pdftoppm, {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                                 QStringLiteral("-singlefile"), pdf, folder + "paper"});
    const QImage page(folder + QStringLiteral("paper.png"));
    ASSERT_FALSE(page.isNull());
    // The printer's device pixels start at the printable area's corner; a layout unit is 1/250 inch.
    QPrinter reference(QPrinter::HighResolution);
    reference.setOutputFormat(QPrinter::PdfFormat);
    const QRectF paint = reference.pageLayout().paintRect(QPageLayout::Inch);
    const int res = reference.resolution();
    auto at = [&](int x, int y) {
        return page.pixelColor(int((paint.left() + double(x * res / 250) / res) * dpi),
                               int((paint.top() + double(y * res / 250) / res) * dpi));
    };
    // Position 1 shifted to (280, 270) units: block from (280, 270) to (900, 390).
    const QColor inside = at(860, 280);
    EXPECT_TRUE(inside.red() < 60 && inside.green() < 60 && inside.blue() > 200)
        << inside.name().toStdString();
    EXPECT_EQ(at(1000, 330), QColor(Qt::white)); // between the two columns
    EXPECT_EQ(at(500, 500), QColor(Qt::white));  // position 3: not part of the run
    EXPECT_EQ(at(500, 262), QColor(Qt::white));  // where an unshifted block would start

    QProcess text;
    text.start(pdftotext, {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished());
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    for (const char* expected : {"HELLO", "ABC", "26/12/07"})
        EXPECT_TRUE(printed.contains(QLatin1String(expected))) << expected << " in " << printed.toStdString();
}

class PrintRun : public ::testing::Test {
  protected:
    // The window over a start file at `position`, "Date" on, shown as the user sees it.
    void start(const char* position) {
        f = std::make_unique<WindowFixture>(std::string(position) + "\r\n10\r\n10\r\n");
        ASSERT_TRUE(f->window->FormCreate());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(f->window.get()));
        QTest::mouseClick(w().CheckBox1, Qt::LeftButton);
        ASSERT_TRUE(w().entry.dateChecked());
    }
    kb::Tfrmmain& w() { return *f->window; }
    // pdf: the file the dialog's printer writes, in the folder; empty: the dialog is cancelled.
    void print(const char* pdf) {
        f->dialogs.pdfPath = *pdf ? f->folder + QLatin1String(pdf) : QString();
        QTest::mouseClick(w().cmdPrint2, Qt::LeftButton);
    }

    std::unique_ptr<WindowFixture> f;
};

// Runs of two sheets and of one, with both offsets moved and a blue ground: every sheet is printed,
// the next position and the lists' offsets are stored, the window is back on the entry screen with the
// date cleared, and the one-sheet run's paper is checked.
TEST_F(PrintRun, AcceptedRunPrintsStoresAndReturnsToEntry) {
    // start position, labels, pauses asked for, pages (the second sheet must not overwrite the first)
    const std::tuple<const char*, int, std::vector<int>, int> cases[] = {{"30", 2, {2000, 2000, 12000}, 2},
                                                                         {"01", 1, {2000, 12000}, 1}};
    for (const auto& [position, labels, waits, pages] : cases) {
        SCOPED_TRACE(position);
        start(position);
        keys(w().ListBox4, Qt::Key_Down, labels - 1);
        typeAndPrintSet(w());
        keys(w().ListBox7, Qt::Key_Down, 2);  // "1": 1 mm (10 layout units) down
        keys(w().ListBox6, Qt::Key_Up, 5);    // "-2.5": 2.5 mm (25 layout units) left
        keys(w().ListBox11, Qt::Key_Down, 5); // background "Blue"
        // The 12 s hold keeps the window's look (enabled, not greyed) and shows the busy cursor, while
        // a click on "Exit" does nothing.
        bool held = false;
        f->pause.during = [&](int ms) {
            if (ms != 12000)
                return;
            QTest::mouseClick(w().cmdExit, Qt::LeftButton);
            const QCursor* cursor = QApplication::overrideCursor();
            held = w().isEnabled() && w().pnlRect->isVisible() && cursor && cursor->shape() == Qt::WaitCursor;
        };

        print("run.pdf");
        EXPECT_TRUE(held);
        EXPECT_FALSE(QApplication::overrideCursor());

        EXPECT_TRUE(f->dialogs.errors.empty()) << f->dialogs.errors.front().toStdString();
        EXPECT_EQ(f->dialogs.printDialogs, 1);
        EXPECT_EQ(f->readStartFile(), std::optional<std::string>("02\r\n12\r\n05\r\n\r\n0\r\n"));
        EXPECT_EQ(w().start.StartPosition, 2);
        EXPECT_EQ(f->pause.waits, waits);
        EXPECT_TRUE(w().pnlMain->isVisible() && !w().pnlRect->isVisible() && w().isEnabled());
        EXPECT_FALSE(w().CheckBox1->isChecked() || w().entry.dateChecked());
        EXPECT_TRUE(w().Edit2->text().isEmpty() && w().entry.edit2Text().empty());
        EXPECT_EQ(pdfPages(f->dialogs.pdfPath), pages);
    }
    checkPaper(f->dialogs.pdfPath, f->folder);
}

// The code chosen on the sheet screen is on the paper: each label of the run carries its own line 2,
// read back from the page by an independent decoder.
TEST_F(PrintRun, ChosenCodeIsPrinted) {
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty() || !QFile::exists(QStringLiteral(KB_DECODE_CODES)))
        GTEST_SKIP() << "no pdftoppm or no decoder: the codes are not read back";
    start("01");
    keys(w().ListBox4, Qt::Key_Down, 2);              // three labels
    QTest::mouseClick(w().CheckBox1, Qt::LeftButton); // no date
    w().Memo1->setFocus();
    QTest::keyClicks(w().Memo1, QStringLiteral("HELLO"));
    QTest::keyClick(w().Memo1, Qt::Key_Return);
    QTest::keyClicks(w().Memo1, QStringLiteral("ABC"));
    QTest::mouseClick(w().CheckBox3, Qt::LeftButton); // "Number", from 1
    QTest::mouseClick(w().cmdPrintSet, Qt::LeftButton);
    keys(w().ListBox12, Qt::Key_Down, 1); // QR
    print("codes.pdf");
    ASSERT_TRUE(f->dialogs.errors.empty()) << f->dialogs.errors.front().toStdString();
    QProcess::execute(pdftoppm, {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-gray"),
                                 QStringLiteral("-singlefile"), f->dialogs.pdfPath, f->folder + "codes"});
    QProcess decode;
    decode.start(QStringLiteral(KB_DECODE_CODES), {f->folder + QStringLiteral("codes.pgm")});
    ASSERT_TRUE(decode.waitForFinished(30000));
    QStringList texts;
    for (const QString& line :
         QString::fromUtf8(decode.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        texts << line.section(QLatin1Char('\t'), 3);
    EXPECT_EQ(texts,
              (QStringList{QStringLiteral("ABC-1"), QStringLiteral("ABC-2"), QStringLiteral("ABC-3")}));
}

// A cancelled dialog, a document that cannot be written and a paper too small for the sheet leave everything
// as it was (start file, position, sheet screen, the date); only the failure is reported, and no sheet went
// out (no pause). A link at the file's name, there before the run or put there while it is written, is
// never followed: its target keeps its contents and the link stays.
TEST_F(PrintRun, CancelledOrFailedRunChangesNothing) {
    enum Link { NoLink, LinkBefore, LinkDuring };
    // file (none: cancelled), paper, start position, what the error box says (no box: nothing), a link
    struct Case {
        const char* pdf;
        QPageSize::PageSizeId paper;
        const char* position;
        QStringList words;
        Link link = NoLink;
    };
    const Case cases[] = {
        {"", QPageSize::A4, "07", {}},
        {"no-such-folder/run.pdf", QPageSize::A4, "07", {"印刷できませんでした", "no-such-folder/run.pdf"}},
        // The bottom row lies beyond Letter paper: refused before anything is written.
        {"letter.pdf", QPageSize::Letter, "29", {"印刷できません。", "「Letter", "（位置 29）"}},
        {"link.pdf", QPageSize::A4, "07", {"ファイル「", "link.pdf", "シンボリックリンク"}, LinkBefore},
        {"late.pdf", QPageSize::A4, "07", {"ファイル「", "late.pdf", "シンボリックリンク"}, LinkDuring},
    };
    for (const auto& [pdf, paper, position, words, link] : cases) {
        SCOPED_TRACE(pdf);
        start(position);
        typeAndPrintSet(w());
        const auto before = f->readStartFile();
        f->dialogs.paper = paper;
        const QString victim = f->folder + QStringLiteral("victim.txt"),
                      linked = f->folder + QLatin1String(pdf);
        if (link != NoLink) {
            QFile v(victim);
            ASSERT_TRUE(v.open(QIODevice::WriteOnly) && v.write("mine") == 4);
        }
        if (link == LinkBefore) {
            ASSERT_TRUE(QFile::link(victim, linked));
        }
        // After the first sheet, while the file is being written.
        f->pause.during = [&](int) {
            if (link == LinkDuring && !QFileInfo(linked).isSymLink())
                QFile::link(victim, linked);
        };

        print(pdf);

        EXPECT_EQ(f->dialogs.printDialogs, 1);
        ASSERT_EQ(f->dialogs.errors.size(), words.isEmpty() ? 0u : 1u);
        for (const QString& word : words)
            EXPECT_TRUE(f->dialogs.errors.front().contains(word)) << f->dialogs.errors.front().toStdString();
        if (link == NoLink) {
            EXPECT_FALSE(*pdf && QFile::exists(f->dialogs.pdfPath));
        } else {
            EXPECT_TRUE(QFileInfo(linked).isSymLink());
            QFile v(victim);
            EXPECT_TRUE(v.open(QIODevice::ReadOnly) && v.readAll() == "mine");
            // Nothing left behind: the start file, its hold file, the victim and the link.
            EXPECT_EQ(QDir(f->folder)
                          .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System)
                          .size(),
                      4);
        }
        EXPECT_EQ(f->readStartFile(), before);
        EXPECT_EQ(w().start.StartPosition, QByteArray(position).toInt());
        EXPECT_EQ(f->pause.waits, link == LinkDuring ? std::vector<int>{2000} : std::vector<int>{});
        EXPECT_TRUE(w().pnlRect->isVisible() && w().isEnabled() && w().CheckBox1->isChecked());
        EXPECT_EQ(w().Edit2->text(), QStringLiteral("26/12/07"));
    }
}

// Labels printed, start file not writable: the message says the labels were printed and which next
// position could not be stored, and why; the window keeps that position. A start file that is gone
// before the run is refused before anything prints.
TEST_F(PrintRun, PrintedButNotStored) {
    start("07");
    typeAndPrintSet(w());
    // A folder in the start file's place: every write of it fails.
    const auto replaceByFolder = [this] {
        ASSERT_TRUE(QFile::remove(f->startFilePath()));
        ASSERT_TRUE(QDir(f->folder).mkdir(QStringLiteral("StartFile.txt")));
    };
    f->pause.during = [&](int) {
        replaceByFolder();
        f->pause.during = nullptr;
    };
    print("run.pdf");

    EXPECT_EQ(pdfPages(f->dialogs.pdfPath), 1);
    ASSERT_EQ(f->dialogs.errors.size(), 1u);
    const QString error = f->dialogs.errors.front();
    EXPECT_TRUE(error.startsWith(QStringLiteral("ラベルは印刷されました")) &&
                error.contains(QStringLiteral("次の開始位置 8 を")) &&
                error.contains(QStringLiteral("アクセス")))
        << error.toStdString();
    EXPECT_EQ(w().start.StartPosition, 8);

    f->dialogs.errors.clear();
    print("again.pdf");
    EXPECT_FALSE(QFile::exists(f->dialogs.pdfPath));
    EXPECT_EQ(f->dialogs.errors,
              std::vector<QString>{QStringLiteral("ファイルへのアクセスが拒否されました.")});
    EXPECT_EQ(w().start.StartPosition, 8);
}

TEST(QtPause, WindowTakesNoInputButKeepsRunning) {
    QWidget window;
    QPushButton button(QStringLiteral("Print"), &window);
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    kb::QtPause pause(&window);
    bool heldDuring = false; // stays false when the event loop does not run during the pause
    QTimer::singleShot(0, &window, [&] {
        // Not greyed out (still enabled), but busy.
        const QCursor* cursor = QApplication::overrideCursor();
        heldDuring = window.isEnabled() && cursor && cursor->shape() == Qt::WaitCursor;
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::keyClick(&button, Qt::Key_Space);
    });
    pause.pause(20);
    QCoreApplication::processEvents();
    EXPECT_TRUE(heldDuring);
    EXPECT_TRUE(window.isEnabled() && !QApplication::overrideCursor());
    EXPECT_EQ(clicks, 0) << "input made during the pause was delivered afterwards";
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);

    window.setEnabled(false); // a window that was disabled before stays disabled
    pause.pause(1);
    EXPECT_FALSE(window.isEnabled());
}

// A print dialog that answers with a real queue of the print system.
struct QueueDialogs : kbtest::RecordingDialogs {
    QString queue = QStringLiteral("kbtest");
    std::unique_ptr<QPrinter> choosePrinter(QWidget*) override {
        ++printDialogs;
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setPrinterName(queue);
        return printer;
    }
};

void run(const char* program, const QStringList& args) {
    ASSERT_EQ(QProcess::execute(QString::fromLatin1(program), args), 0) << program;
}

// Through a private CUPS scheduler: a stopped queue, a queue that refuses jobs and a queue removed
// after the dialog closed are reported in the error box before anything is sent, and nothing of
// the run advances; once the queue works again the same run prints and advances.
// The test starts the scheduler with the end-to-end harness and runs itself again inside it.
TEST(QueueCheck, UnusableQueuesAreReportedBeforeSending) {
    if (qEnvironmentVariableIsEmpty("KB_QUEUE_CHILD")) {
        // From the source tree, wherever the test runs (__FILE__ may be relative to the build folder).
        const QString lib = QStringLiteral(KB_E2E_LIB);
        if (QStandardPaths::findExecutable(QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin")})
                .isEmpty() ||
            !QFile::exists(lib))
            GTEST_SKIP() << "no CUPS scheduler to test against";
        const QString script =
            QStringLiteral("source '%1' && KB_MODULE='" KB_CUPS_MODULE "' kb_setup queuecheck '%2' && "
                           "kb_start_cups && "
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

    const QString out = qEnvironmentVariable("KB_QUEUE_OUT");
    ASSERT_FALSE(out.isEmpty());
    auto jobs = [&] { return QDir(out).entryList({QStringLiteral("job-*.pdf")}, QDir::Files).size(); };
    WindowFixture f(std::string("05\r\n10\r\n10\r\n")); // for its folder and start file only
    QueueDialogs dialogs;
    kb::Tfrmmain w(kb::Services{dialogs, f.clock, f.pause, f.folder});
    ASSERT_TRUE(w.FormCreate());
    typeAndPrintSet(w);
    const auto before = f.readStartFile();

    const std::tuple<const char*, const char*, const char16_t*> cases[] = {
        {"cupsdisable", "cupsenable", u"停止"}, {"cupsreject", "cupsaccept", u"受け付けていません"}};
    for (const auto& [breakIt, mendIt, words] : cases) {
        SCOPED_TRACE(breakIt);
        run(breakIt, {dialogs.queue});
        dialogs.errors.clear();
        QTest::mouseClick(w.cmdPrint2, Qt::LeftButton);
        ASSERT_EQ(dialogs.errors.size(), 1u);
        const QString error = dialogs.errors.front();
        EXPECT_TRUE(error.contains(dialogs.queue) && error.contains(QString::fromUtf16(words)))
            << error.toStdString();
        EXPECT_EQ(f.readStartFile(), before);
        EXPECT_EQ(w.start.StartPosition, 5);
        EXPECT_TRUE(f.pause.waits.empty());
        EXPECT_TRUE(w.pnlRect->isVisible());
        run(mendIt, {dialogs.queue});
    }
    QTest::qWait(300);
    EXPECT_EQ(jobs(), 0) << "a job was sent to an unusable queue";

    // The queue works again: the same run prints.
    dialogs.errors.clear();
    QTest::mouseClick(w.cmdPrint2, Qt::LeftButton);
    EXPECT_TRUE(dialogs.errors.empty()) << dialogs.errors.front().toStdString();
    EXPECT_EQ(w.start.StartPosition, 6);
    EXPECT_EQ(f.pause.waits, (std::vector<int>{2000, 12000}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return jobs() == 1; }, 20000)) << jobs() << " jobs";

    // The scheduler itself refuses the job (the user's print quota is used up): the run reports the
    // printer and the scheduler's reason, and nothing of it advances.
    run("lpadmin",
        {QStringLiteral("-p"), dialogs.queue, QStringLiteral("-o"), QStringLiteral("job-quota-period=3600"),
         QStringLiteral("-o"), QStringLiteral("job-k-limit=1")});
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    const auto held = f.readStartFile();
    f.pause.waits.clear();
    QTest::mouseClick(w.cmdPrint2, Qt::LeftButton);
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_TRUE(dialogs.errors.front().contains(QStringLiteral("プリンター「kbtest」")) &&
                dialogs.errors.front().contains(QStringLiteral("Quota")) &&
                dialogs.errors.front().contains(QStringLiteral("印刷されたシートはありません")))
        << dialogs.errors.front().toStdString();
    EXPECT_EQ(f.readStartFile(), held);
    EXPECT_EQ(w.start.StartPosition, 6);
    EXPECT_TRUE(f.pause.waits.empty());
    QTest::qWait(300);
    EXPECT_EQ(jobs(), 1);

    // A numbered run the ledger holds as printed: the window asks first; No (the default) sends
    // nothing and changes nothing; Yes prints it again.
    run("lpadmin",
        {QStringLiteral("-p"), dialogs.queue, QStringLiteral("-o"), QStringLiteral("job-k-limit=0")});
    QTest::mouseClick(w.cmdExit, Qt::LeftButton);
    QTest::mouseClick(w.CheckBox3, Qt::LeftButton); // "Number", from 1
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    dialogs.errors.clear();
    QTest::mouseClick(w.cmdPrint2, Qt::LeftButton);
    ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors.front().toStdString();
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return jobs() == 2; }, 20000)) << jobs() << " jobs";
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    const auto numbered = f.readStartFile();
    // The third answer prints from the series' next free number instead: ABC-2 once ABC-1 printed.
    using Answer = kb::Dialogs::Answer;
    const std::pair<Answer, const char*> answers[] = {
        {Answer::No, "ABC-1"}, {Answer::Yes, "ABC-1"}, {Answer::Other, "ABC-2"}};
    for (const auto& [answer, printed] : answers) {
        SCOPED_TRACE(printed);
        dialogs.questions.clear();
        dialogs.others.clear();
        dialogs.otherAnswer = answer;
        f.pause.waits.clear();
        const int before = jobs();
        QTest::mouseClick(w.cmdPrint2, Qt::LeftButton);
        ASSERT_EQ(dialogs.questions.size(), 1u);
        EXPECT_TRUE(dialogs.questions.front().contains(QStringLiteral("「HELLO ABC-1」（番号 1）")) &&
                    dialogs.questions.front().contains(QStringLiteral("kbtest")))
            << dialogs.questions.front().toStdString();
        EXPECT_EQ(dialogs.others, std::vector<QString>{QStringLiteral("番号 2 から印刷")});
        if (answer == Answer::No) {
            EXPECT_EQ(f.readStartFile(), numbered);
            EXPECT_TRUE(f.pause.waits.empty());
            EXPECT_TRUE(w.pnlRect->isVisible());
            QTest::qWait(300);
            EXPECT_EQ(jobs(), before);
            continue;
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return jobs() == before + 1; }, 20000)) << jobs() << " jobs";
        const QStringList sent = QDir(out).entryList({QStringLiteral("job-*.pdf")}, QDir::Files, QDir::Time);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QDir(out).filePath(sent.front()), QStringLiteral("-")});
        if (text.waitForFinished(10000)) {
            EXPECT_TRUE(text.readAll().contains(printed));
        }
        QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    }
    dialogs.otherAnswer = Answer::Yes;

    // While the window watches its jobs: a job the queue holds, then the printer stopped under it.
    // Each is told once, in a message naming the printer, why, and the labels that wait.
    const auto toldOnce = [&](const char16_t* words) {
        return std::count_if(dialogs.messages.begin(), dialogs.messages.end(),
                             [&](const QString& m) { return m.startsWith(QString::fromUtf16(words)); }) == 1;
    };
    const auto heldJob =
        u"プリンター「kbtest」で次のラベルのジョブが保留されています（解除されるまで保留）：1 枚目（位置 ";
    const auto stopped = u"プリンター「kbtest」が停止しています。次のラベルはキューで待っていて";
    run("lpadmin", {QStringLiteral("-p"), dialogs.queue, QStringLiteral("-o"),
                    QStringLiteral("job-hold-until-default=indefinite")});
    dialogs.messages.clear();
    QTest::mouseClick(w.cmdPrint2, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return toldOnce(heldJob); }, 10000));
    run("cupsdisable", {dialogs.queue});
    EXPECT_TRUE(QTest::qWaitFor([&] { return toldOnce(stopped); }, 10000));
    QTest::qWait(2500); // further looks tell nothing again
    EXPECT_TRUE(toldOnce(heldJob) && toldOnce(stopped))
        << QStringList(dialogs.messages.begin(), dialogs.messages.end())
               .join(QLatin1Char('\n'))
               .toStdString();
    run("cancel", {QStringLiteral("-a"), dialogs.queue});
    run("cupsenable", {dialogs.queue});
    run("lpadmin", {QStringLiteral("-p"), dialogs.queue, QStringLiteral("-o"),
                    QStringLiteral("job-hold-until-default=no-hold")});

    // A queue removed after the dialog closed: Qt would print on the default queue instead.
    QPrinter chosen(QPrinter::HighResolution);
    run("lpadmin", {QStringLiteral("-p"), QStringLiteral("other"), QStringLiteral("-E"), QStringLiteral("-v"),
                    QStringLiteral("kbcopy:") + out});
    chosen.setPrinterName(QStringLiteral("other"));
    ASSERT_EQ(chosen.printerName(), QStringLiteral("other"));
    run("lpadmin", {QStringLiteral("-x"), QStringLiteral("other")});
    const QString gone = kb::checkPrinter(chosen);
    EXPECT_TRUE(gone.contains(QStringLiteral("other")) && gone.contains(QStringLiteral("見つかりません")))
        << gone.toStdString();

    // The real print dialog on a queue whose own default paper is Letter (a vendor's PPD): it opens on
    // A4 in the printer's properties, and on A4 when they are never opened.
    const QString ppd = QStringLiteral("/usr/share/ppd/cupsfilters/HP-Color_LaserJet_CM3530_MFP-PDF.ppd");
    if (!QFile::exists(ppd))
        GTEST_SKIP() << "no vendor PPD (cups-filters): the dialog's paper is not checked";
    run("lpadmin", {QStringLiteral("-p"), QStringLiteral("letter"), QStringLiteral("-E"),
                    QStringLiteral("-v"), QStringLiteral("kbcopy:") + out, QStringLiteral("-P"), ppd});
    run("lpadmin", {QStringLiteral("-d"), QStringLiteral("letter")});
    for (const bool openProperties : {true, false}) {
        SCOPED_TRACE(openProperties ? "properties opened" : "properties never opened");
        QString shown;
        QTimer::singleShot(300, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_TRUE(dialog);
            if (openProperties) {
                QTimer::singleShot(300, [&] {
                    QWidget* properties = QApplication::activeModalWidget();
                    if (auto* sizes = properties->findChild<QComboBox*>(QStringLiteral("pageSizeCombo")))
                        shown = sizes->currentText();
                    static_cast<QDialog*>(properties)->accept();
                    QTimer::singleShot(100, dialog, [dialog] { static_cast<QDialog*>(dialog)->accept(); });
                });
                dialog->findChild<QPushButton*>(QStringLiteral("properties"))->click();
            } else {
                static_cast<QDialog*>(dialog)->accept();
            }
        });
        const std::unique_ptr<QPrinter> chosen = kb::platformDialogs().choosePrinter(nullptr);
        ASSERT_TRUE(chosen);
        EXPECT_EQ(chosen->printerName(), QStringLiteral("letter"));
        EXPECT_EQ(chosen->pageLayout().pageSize().id(), QPageSize::A4)
            << chosen->pageLayout().pageSize().name().toStdString();
        if (openProperties) {
            EXPECT_EQ(shown, QStringLiteral("A4"));
        }
    }
}

} // namespace

// A list through the window: "List" with the file dialog's answer sets the typed text aside, the
// sheet screen lists every sheet of the run and shows each by keyboard as by click, "Print" prints
// every label once (a file, cancelled after its first sheet, holds none); Ctrl+O and a dropped file
// load it as "List" does, and "Clear" brings the typed text back as it was. A list with a fault is refused
// with its row and column named.
TEST_F(PrintRun, ListLoadedPrintedStoppedAndCleared) {
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel);
        start("29");
        QTest::keyClicks(w().Memo1, QStringLiteral("TYPED"));
        const QString csv = f->folder + QStringLiteral("samples.csv");
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("line 1,line 2,count,first\r\nHELLO,LOT,3,1\r\nWORLD,,1,\r\n");
        file.close();
        f->dialogs.listFile = csv;
        // "List", or the platform's Open key.
        if (cancel)
            QTest::keyClick(&w(), Qt::Key_O, Qt::ControlModifier);
        else
            QTest::mouseClick(w().cmdList, Qt::LeftButton);
        ASSERT_TRUE(w().listRun());
        EXPECT_TRUE(w().LabelList->isVisible() &&
                    w().LabelList->text().contains(QStringLiteral("2 行、ラベル 4 枚")))
            << w().LabelList->text().toStdString();
        EXPECT_FALSE(w().Memo1->isVisible() || w().CheckBox1->isVisible() || w().CheckBox3->isVisible());

        QTest::mouseClick(w().cmdPrintSet, Qt::LeftButton);
        ASSERT_TRUE(w().pnlRect->isVisible());
        EXPECT_EQ(w().Memo2->toPlainText(), QStringLiteral("HELLO\nLOT-1"));
        ASSERT_EQ(w().ListBox3->count(), 2);
        keys(w().ListBox3, Qt::Key_Down, 1);
        EXPECT_EQ(w().ListBox3->currentRow(), 1);
        EXPECT_TRUE(w().RectShapes[2]->fill() == kb::kRed && w().RectShapes[3]->fill() == kb::kWhite);

        f->pause.during = [&](int ms) {
            if (!cancel || ms != 2000)
                return;
            auto* progress = w().findChild<QProgressDialog*>(QStringLiteral("PrintProgress"));
            ASSERT_TRUE(progress && progress->isVisible());
            EXPECT_TRUE(progress->labelText().contains(QStringLiteral("1 / 2")))
                << progress->labelText().toStdString();
            QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
        };
        print("list.pdf");
        if (cancel) {
            ASSERT_EQ(f->dialogs.messages.size(), 1u);
            // A file holds the whole run or nothing of it: the position stays.
            EXPECT_EQ(f->dialogs.messages.front(),
                      QStringLiteral("印刷を中止しました。何も印刷していません。"));
            EXPECT_EQ(f->readStartFile().value_or("").substr(0, 2), "29");
            EXPECT_TRUE(w().pnlRect->isVisible());
        } else {
            EXPECT_TRUE(f->dialogs.messages.empty() && f->dialogs.errors.empty());
            EXPECT_EQ(pdfPages(f->dialogs.pdfPath), 2);
            EXPECT_EQ(f->readStartFile().value_or("").substr(0, 2), "03");
            EXPECT_TRUE(w().pnlMain->isVisible() && w().LabelList->isVisible());
            QMetaObject::invokeMethod(w().cmdListClear, "click");
            EXPECT_FALSE(w().listRun() || w().LabelList->isVisible());
            EXPECT_TRUE(w().Memo1->isVisible() && w().Memo1->toPlainText() == QStringLiteral("TYPED"));
        }
    }
    // A count out of range: nothing loaded, the row and column named in Japanese.
    const QString bad = f->folder + QStringLiteral("bad.csv");
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("A,B,1\r\nC,D,0\r\n") > 0);
    file.close();
    f->dialogs.messages.clear();
    QTest::mouseClick(w().cmdExit, Qt::LeftButton);
    QMetaObject::invokeMethod(w().cmdListClear, "click");
    // Dropped on the window.
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(bad)});
    QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(400, 300), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w(), &drop);
    EXPECT_FALSE(w().listRun());
    ASSERT_EQ(f->dialogs.messages.size(), 1u);
    EXPECT_TRUE(f->dialogs.messages.front().contains(QStringLiteral("bad.csv の 2 行目、3 列目")))
        << f->dialogs.messages.front().toStdString();
}

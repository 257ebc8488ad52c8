// kestrelbox-print without a printer: its arguments, what it refuses (nothing printed or stored), and
// its --list against the real window's composition for the same entry, label by label.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "app/EntryWidgets.h"
#include "cli/PrintCommand.h"
#include "services/Codec.h"
#include "tests/widget/WindowFixture.h"

using kb::cli::Options;

namespace {

QStringList qargs(std::initializer_list<const char*> args) {
    QStringList out;
    for (const char* a : args)
        out << QString::fromUtf8(a);
    return out;
}

// runCommand over a folder holding a start file; what it says and the start file afterwards.
struct CommandRun {
    explicit CommandRun(const std::string& startFile = "05\r\n12\r\n08\r\n\r\n0\r\n") : f(startFile) {}
    int operator()(QStringList args) {
        out.clear();
        err.clear();
        args.prepend(QStringLiteral("--start-file=") + f.startFilePath());
        const kb::cli::Environment env{f.clock, f.folder, [this](const QString& t) { out += t; },
                                       [this](const QString& t) { err += t; }};
        return kb::cli::runCommand(kb::cli::parseArguments(args), env);
    }
    kbtest::WindowFixture f;
    QString out, err;
};

bool sameOptions(const Options& a, const Options& b) {
    return a.quiet == b.quiet && a.list == b.list && a.line1 == b.line1 && a.line2 == b.line2 &&
           a.hasLine2 == b.hasLine2 && a.date == b.date && a.dateText == b.dateText &&
           a.numbering == b.numbering && a.firstNumber == b.firstNumber && a.count == b.count &&
           a.start == b.start && a.offsetDownIndex == b.offsetDownIndex &&
           a.offsetRightIndex == b.offsetRightIndex && a.textColour == b.textColour &&
           a.backColour == b.backColour && a.printer == b.printer && a.output == b.output &&
           a.utf8 == b.utf8 && a.code == b.code && a.codeText == b.codeText;
}

TEST(PrintCommand, AcceptedArguments) {
    const std::pair<QStringList, Options> rows[] = {
        {qargs({"HELLO"}), {.line1 = "HELLO"}},
        {qargs({"--number", "12", "--count", "30", "-q", "A", "B"}),
         {.quiet = true,
          .line1 = "A",
          .line2 = "B",
          .hasLine2 = true,
          .numbering = true,
          .firstNumber = 12,
          .count = 30}},
        {qargs({"--number=999999", "--count=10000", "--start=30", "A"}),
         {.line1 = "A", .numbering = true, .firstNumber = 999999, .count = 10000, .start = 30}},
        // Half-millimetre steps as the offset lists' indexes (10: no shift).
        {qargs({"--offset-down=-2.5", "--offset-right=+1", "A"}),
         {.line1 = "A", .offsetDownIndex = 5, .offsetRightIndex = 12}},
        {qargs({"--offset-down=5", "--offset-right=-5.0", "A"}),
         {.line1 = "A", .offsetDownIndex = 20, .offsetRightIndex = 0}},
        {qargs({"--background=skyblue", "--text-colour=#FF8000", "A"}),
         {.line1 = "A", .textColour = 0x000080FF, .backColour = 0x00FFFFCC}},
        {qargs({"--code=QR", "A"}), {.line1 = "A", .code = kb::CodeKind::Qr}},
        {qargs({"--code", "datamatrix", "--code-text=both", "A"}),
         {.line1 = "A", .code = kb::CodeKind::DataMatrix, .codeText = kb::CodeText::Both}},
        // The date field takes capitals, as it does when typed; 14 bytes fit.
        {qargs({"--date=xmas", "A"}), {.line1 = "A", .date = true, .dateText = "XMAS"}},
        {qargs({"--date=ABCDEFGHIJKLMN", "A"}), {.line1 = "A", .date = true, .dateText = "ABCDEFGHIJKLMN"}},
        {qargs({"--date", "A", ""}), {.line1 = "A", .hasLine2 = true, .date = true}},
        {qargs({"-oout.pdf", "--printer", "q1", "A"}), {.line1 = "A", .printer = "q1", .output = "out.pdf"}},
        {qargs({"--list", "--", "-5"}), {.list = true, .line1 = "-5"}},
        // UTF-8 output asked for; after "--" it is a label line.
        {qargs({"--list", "--utf8", "A"}), {.list = true, .utf8 = true, .line1 = "A"}},
        {qargs({"--", "--utf8"}), {.line1 = "--utf8"}},
        // Japanese in Shift-JIS; one line break is text to the window's "PrintSet" too.
        {qargs({"ラベル"}), {.line1 = "\x83\x89\x83\x78\x83\x8B"}},
        {qargs({"", ""}), {.hasLine2 = true}},
    };
    for (const auto& [args, want] : rows) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const kb::cli::Parsed p = kb::cli::parseArguments(args);
        EXPECT_TRUE(p.error.isEmpty()) << p.error.toStdString();
        EXPECT_TRUE(sameOptions(p.options, want));
    }
}

// Every refusal names its argument, ends with status 2, and neither prints nor stores anything.
TEST(PrintCommand, RefusedArgumentsPrintAndStoreNothing) {
    const std::pair<QStringList, const char*> rows[] = {
        {qargs({"--count=0", "A"}), "--count"},
        {qargs({"--count=10001", "A"}), "--count"},
        {qargs({"--count", "A"}), "--count"}, // "A" taken as the count
        {qargs({"A", "--count"}), "--count"},
        {qargs({"--number=0", "A"}), "--number"},
        {qargs({"--number=1000000", "A"}), "--number"},
        {qargs({"--number=12a", "A"}), "--number"},
        {qargs({"--start=0", "A"}), "--start"},
        {qargs({"--start=31", "A"}), "--start"},
        {qargs({"--offset-down=5.5", "A"}), "--offset-down"},
        {qargs({"--offset-right=0.3", "A"}), "--offset-right"},
        {qargs({"--text-colour=Free", "A"}), "--text-colour"},
        {qargs({"--background=Black", "A"}), "--background"},
        {qargs({"--background=#12345", "A"}), "--background"},
        {qargs({"--date=ABCDEFGHIJKLMNO", "A"}), "--date"},  // 15 bytes
        {qargs({"--date=あいうえおかきく", "A"}), "--date"}, // 16 bytes
        {qargs({"HELLO", "A\xF0\x9F\x98\x80"}), "LINE2"},
        {qargs({"\xE2\x82\xAC"}), "LINE1"}, // the euro sign has no Shift-JIS form
        {qargs({"HE\nLLO"}), "LINE1"},
        {qargs({""}), "LINE1"},
        {qargs({}), "LINE1"},
        {qargs({"A", "B", "C"}), "\"C\""},
        {qargs({"--bogus", "A"}), "--bogus"},
        {qargs({"--list=yes", "A"}), "--list"},
        {qargs({"--list", "-o", "x.pdf", "A"}), "--list"},
        {qargs({"--printer=", "A"}), "--printer"},
        {qargs({"--start-file=", "A"}), "--start-file"},
        {qargs({"--code=aztec", "A"}), "--code"},
        {qargs({"--code=qr", "--code-text=line3", "A"}), "--code-text"},
        {qargs({"--code-text=line1", "A"}), "--code-text"}, // no code to carry it
    };
    for (const auto& [args, named] : rows) {
        SCOPED_TRACE(args.join(' ').toStdString());
        CommandRun run;
        const QString pdf = run.f.folder + QStringLiteral("out.pdf");
        const std::optional<std::string> before = run.f.readStartFile();
        EXPECT_EQ(run(QStringList{QStringLiteral("--output=") + pdf} + args), kb::cli::BadArguments);
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("kestrelbox-print: "))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(named))) << run.err.toStdString();
        EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_FALSE(QFile::exists(pdf));
        EXPECT_EQ(run.f.readStartFile(), before);
    }
}

// The start file gives what the arguments leave open; without it only a run that needs nothing of it
// goes on, and --list stores nothing.
TEST(PrintCommand, StartFileGivesDefaults) {
    const std::tuple<std::optional<std::string>, QStringList, int, const char*> rows[] = {
        {"05\r\n12\r\n08\r\n", qargs({"--list", "A"}), kb::cli::Printed, "1\t5\t-\tA\t\n"},
        {"30\r\n12\r\n08\r\n", qargs({"--list", "--count=2", "A"}), kb::cli::Printed,
         "1\t30\t-\tA\t\n2\t1\t-\tA\t\n"},
        {std::nullopt, qargs({"--list", "A"}), kb::cli::NoStartFile, ""},
        {"ab\r\n", qargs({"--list", "A"}), kb::cli::NoStartFile, ""},
        {std::nullopt, qargs({"--list", "--start=7", "--offset-down=0", "--offset-right=0", "A"}),
         kb::cli::Printed, "1\t7\t-\tA\t\n"},
    };
    for (const auto& [file, args, status, listed] : rows) {
        SCOPED_TRACE(args.join(' ').toStdString());
        CommandRun run(file.value_or(""));
        if (!file)
            QFile::remove(run.f.startFilePath());
        EXPECT_EQ(run(args), status) << run.err.toStdString();
        EXPECT_EQ(run.out, QString::fromUtf8(listed));
        EXPECT_EQ(run.f.readStartFile(), file);
    }
}

// A run into a file says what it wrote, so that a label line taken for an option (-ops: -o ps) does not
// go unnoticed, unless -q; --help tells how to give a line that begins with "-".
TEST(PrintCommand, FileRunSaysWhatItWrote) {
    const std::pair<QStringList, const char*> rows[] = {{qargs({"HELLO"}), "wrote 1 sheet to %1\n"},
                                                        {qargs({"-q", "HELLO"}), ""}};
    for (const auto& [args, said] : rows) {
        CommandRun run;
        const QString pdf = run.f.folder + QStringLiteral("ps");
        EXPECT_EQ(run(QStringList{QStringLiteral("-o"), pdf} + args), kb::cli::Printed)
            << run.err.toStdString();
        EXPECT_EQ(run.err, *said ? QString::fromUtf8(said).arg(pdf) : QString());
    }
    EXPECT_TRUE(kb::cli::usageText().contains(QStringLiteral("\n  --  ")));
}

// The same entry typed into the real window and given to the command: --list shows, label by label,
// the sheet, the position, the serial number and the two lines the window's run would print.
TEST(PrintCommand, ListMatchesWindowComposition) {
    const std::string l30 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
    struct Entry {
        const char* what;
        std::string line1;
        std::optional<std::string> line2;
    };
    const Entry entries[] = {
        {"row 3", "HELLO", "ABC"},
        {"rows 4 and 5", "HELLO", l30},
        {"rows 6 and 7", "HELLO", "ABCDEFGHIJKLMNOPQRST"},
        {"row 2 (with the date: row 3 by blank start)", l30, std::nullopt},
        {"row 8 (with the date: row 1)", "HELLO", std::nullopt},
        {"row 1 by blank start", "HELLO", "     XYZ"},
        {"row 3 by blank start", l30.substr(0, 27), "     XYZ"},
        {"Japanese line 2", "HELLO", "ラベル"},
    };
    struct Numbers {
        int start, count, first; // first 0: numbering off
    };
    // Across a sheet boundary and 9 -> 10, across 99 -> 100, across 999 -> 1000; numbering off.
    const Numbers numbers[] = {{29, 3, 8}, {1, 4, 98}, {10, 3, 999}, {30, 2, 0}};
    for (const Entry& e : entries) {
        for (const bool date : {false, true}) {
            for (const Numbers& n : numbers) {
                SCOPED_TRACE(std::string(e.what) + (date ? ", date" : "") + ", first " +
                             std::to_string(n.first) + " from " + std::to_string(n.start));
                char startLine[8];
                std::snprintf(startLine, sizeof startLine, "%02d\r\n", n.start);
                CommandRun run(std::string(startLine) + "10\r\n10\r\n");

                // The window, as the user fills it.
                kb::Tfrmmain& w = *run.f.window;
                ASSERT_TRUE(w.FormCreate());
                const QString line1 = QString::fromUtf8(e.line1.c_str());
                w.Memo1->setPlainText(
                    e.line2 ? line1 + QLatin1Char('\n') + QString::fromUtf8(e.line2->c_str()) : line1);
                const auto click = [](QCheckBox* box) {
                    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
                };
                const auto select = [](QListWidget* list, int row) {
                    list->scrollToItem(list->item(row));
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                      list->visualItemRect(list->item(row)).center());
                };
                if (date)
                    click(w.CheckBox1);
                if (n.first) {
                    click(w.CheckBox3);
                    select(w.ListBox1, n.first - 1);
                }
                select(w.ListBox4, n.count - 1);
                QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
                ASSERT_EQ(w.entry.FirstNumber, n.first ? n.first : 1);
                QString fromWindow;
                for (int k = 0; k < n.count; ++k) {
                    const int r = n.start - 1 + k; // run position from 0
                    const int serial = w.entry.FirstNumber + k;
                    const kb::LabelLines lines = w.numberedLabel.linesFor(serial);
                    fromWindow += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                                      .arg(r / 30 + 1)
                                      .arg(r % 30 + 1)
                                      .arg(n.first ? QString::number(serial) : QStringLiteral("-"),
                                           kb::fromSjis(lines.line1), kb::fromSjis(lines.line2));
                }

                // The command, given the same entry.
                QStringList args = qargs({"--list"});
                args << QStringLiteral("--count=%1").arg(n.count);
                if (n.first)
                    args << QStringLiteral("--number=%1").arg(n.first);
                if (date)
                    args << QStringLiteral("--date");
                args << line1;
                if (e.line2)
                    args << QString::fromUtf8(e.line2->c_str());
                ASSERT_EQ(run(args), kb::cli::Printed) << run.err.toStdString();
                EXPECT_EQ(run.out.toStdString(), fromWindow.toStdString());
            }
        }
    }
}

} // namespace

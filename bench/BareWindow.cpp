// The floor for the start-up figure: a plain Qt Widgets window of the main window's size with what
// the entry screen holds in kind (a memo, two lists, 30 frames), and nothing of the program.
//
// Options add, one at a time, what the program does at start-up on top of that, so each cost can be
// timed on its own against the plain window:
//   --fonts     asks for the Japanese faces by name, as the window's controls do (fontconfig matching)
//   --pictures  draws the window icon and four button pictures from XPM files in the given folder
//               (--pictures=FOLDER)
//   --sjis      opens the Shift-JIS (windows-31j) codec once, as the start-up check does (ICU)
//   --qt-ja     loads and installs Qt's Japanese translation (qtbase_ja.qm), as the window does
//   --guard     listens on a local socket in XDG_RUNTIME_DIR, as the single-instance guard does
//               (only in the variants linked against Qt Network)
// The variants kb_bare_print / _network / _cups / _all are this program linked in addition against
// Qt Print Support, Qt Network, libcups or all three, so the loader does that work at start-up too.
#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QIcon>
#include <QLibraryInfo>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QStringList>
#include <QTranslator>
#include <QWidget>

#ifdef KB_BARE_NETWORK
#include <QLocalServer>
#endif

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const bool fonts = args.contains(QStringLiteral("--fonts"));
    QString pictures;
    for (const QString& a : args)
        if (a.startsWith(QStringLiteral("--pictures=")))
            pictures = a.mid(11);

    if (args.contains(QStringLiteral("--sjis"))) {
        QStringDecoder sjis("windows-31j");
        const QString hiragana = sjis.decode(QByteArray("\x82\xa0"));
        if (!sjis.isValid() || hiragana.size() != 1)
            return 1;
    }

    QTranslator qtTexts;
    if (args.contains(QStringLiteral("--qt-ja"))) {
        if (!qtTexts.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            return 1;
        QCoreApplication::installTranslator(&qtTexts);
    }

#ifdef KB_BARE_NETWORK
    QLocalServer guard;
    if (args.contains(QStringLiteral("--guard"))) {
        const QString name =
            QDir(qEnvironmentVariable("XDG_RUNTIME_DIR", QDir::tempPath()))
                .filePath(QStringLiteral("kb-bare-%1").arg(QCoreApplication::applicationPid()));
        QLocalServer::removeServer(name);
        guard.listen(name);
    }
#endif

    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.setFixedSize(878, 613);

    QFont japanese;
    if (fonts)
        japanese.setFamilies(
            {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic")});

    auto* memo = new QPlainTextEdit(&window);
    memo->setGeometry(16, 120, 520, 90);
    memo->setPlainText(QStringLiteral("HELLO\nABC"));
    auto* first = new QListWidget(&window);
    first->setGeometry(560, 120, 90, 180);
    for (int i = 1; i <= 1000; ++i)
        first->addItem(QString::number(i));
    auto* count = new QListWidget(&window);
    count->setGeometry(670, 120, 90, 180);
    for (int i = 1; i <= 10; ++i)
        count->addItem(QString::number(i));
    for (int i = 0; i < 30; ++i) {
        auto* frame = new QFrame(&window);
        frame->setFrameShape(QFrame::Box);
        frame->setGeometry(16 + (i % 2) * 140, 230 + (i / 2) * 24, 130, 20);
    }
    if (fonts) {
        memo->setFont(japanese);
        first->setFont(japanese);
        count->setFont(japanese);
    }
    if (!pictures.isEmpty()) {
        window.setWindowIcon(QIcon(QPixmap(QDir(pictures).filePath(QStringLiteral("icon.xpm")))));
        const QStringList buttons{QStringLiteral("logo61.xpm"), QStringLiteral("exit.xpm"),
                                  QStringLiteral("stop.xpm"), QStringLiteral("printer.xpm")};
        for (int i = 0; i < buttons.size(); ++i) {
            auto* button = new QPushButton(&window);
            button->setGeometry(8 + i * 80, 8, 73, 73);
            button->setIcon(QIcon(QPixmap(QDir(pictures).filePath(buttons[i]))));
            button->setIconSize(QSize(61, 61));
        }
    }
    window.show();
    return app.exec();
}

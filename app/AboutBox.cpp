#include "app/AboutBox.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "app/Pictures.h"
#include "services/Fonts.h"

namespace kb {

TAboutBox::TAboutBox(QWidget* mainWindow, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_mainWindow(mainWindow) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFont(uiFont(Face::PGothic, 12));
    setFixedSize(298, 213);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 281, 153);
    // Lowered outside, raised inside: the etched frame.
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(32, 8, 65, 49);
    ProgramIcon->setPixmap(QPixmap::fromImage(picture("logo64")));
    ProgramIcon->setScaledContents(true);

    ProductName = new QLabel(QStringLiteral("Finchor/Kestrelbox"), Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    ProductName->move(128, 24);
    ProductName->adjustSize();

    Version = new QLabel(QStringLiteral("Version 2.04"), Panel1);
    Version->setObjectName(QStringLiteral("Version"));
    Version->move(152, 48);
    Version->adjustSize();

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);
}

void TAboutBox::OKButtonClick() {
    hide();
    if (m_mainWindow)
        m_mainWindow->setEnabled(true);
}

void TAboutBox::closeEvent(QCloseEvent* event) {
    event->ignore();
    OKButtonClick();
}

void TAboutBox::reject() {
    OKButtonClick();
}

} // namespace kb

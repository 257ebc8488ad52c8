#include "app/AboutBox.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace kb {

TAboutBox::TAboutBox(QWidget* mainWindow, QWidget* parent) : QDialog(parent), m_mainWindow(mainWindow) {
    setObjectName(QStringLiteral("AboutBox"));
    Panel1 = new QFrame(this);
    ProgramIcon = new QLabel(Panel1);
    ProductName = new QLabel(QStringLiteral("Finchor/Kestrelbox"), Panel1);
    Version = new QLabel(QStringLiteral("Version 2.04"), Panel1);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
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

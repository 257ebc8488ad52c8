#include "app/Tfrmmain.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QShowEvent>

#include "app/AboutBox.h"

namespace kb {

Tfrmmain::Tfrmmain(const Services& services, QWidget* parent)
    : QWidget(parent), entry(services.clock), m_services(services),
      m_startFile((services.appFolder + QStringLiteral("StartFile.txt")).toStdString()) {}

Tfrmmain::~Tfrmmain() = default;

bool Tfrmmain::FormCreate() {
    return false;
}
void Tfrmmain::ShowScreen(std::int32_t) {}
void Tfrmmain::ShowSheetScreen() {}
void Tfrmmain::ArrangeToolButtons() {}
void Tfrmmain::cmdExitClick() {}
void Tfrmmain::cmdEndClick() {
    close();
}
void Tfrmmain::cmdAboutClick() {}
void Tfrmmain::Timer2Timer() {}
void Tfrmmain::showError(const std::exception&) {}
void Tfrmmain::connectHandlers() {}
void Tfrmmain::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
}
void Tfrmmain::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
}
void Tfrmmain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
}

} // namespace kb

// The real message boxes and dialogs of the running program.
#include <QApplication>
#include <QColorDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

#include "app/Services.h"

namespace kb {

namespace {

QString applicationTitle() {
    const QString title = QApplication::applicationDisplayName();
    return title.isEmpty() ? QStringLiteral("Kestrelbox") : title;
}

class PlatformDialogs final : public Dialogs {
  public:
    void message(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, parent);
        box.exec();
    }
    void error(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::Critical, applicationTitle(), text, QMessageBox::Ok, parent);
        box.exec();
    }
    std::optional<QColor> pickColour(QWidget* parent, const QColor& initial) override {
        const QColor colour = QColorDialog::getColor(initial, parent);
        if (!colour.isValid())
            return std::nullopt;
        return colour;
    }
    std::unique_ptr<QPrinter> choosePrinter(QWidget* parent) override {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        QPrintDialog dialog(printer.get(), parent);
        if (dialog.exec() != QDialog::Accepted)
            return nullptr;
        return printer;
    }
};

} // namespace

Dialogs& platformDialogs() {
    static PlatformDialogs dialogs;
    return dialogs;
}

} // namespace kb

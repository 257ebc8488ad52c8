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

// A box over a window that is not shown yet (during window creation) would sit over the window's
// unplaced corner: such a box is centred on the screen instead.
QWidget* shownOrNone(QWidget* parent) {
    return parent && parent->isVisible() ? parent : nullptr;
}

class PlatformDialogs final : public Dialogs {
  public:
    void message(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, shownOrNone(parent));
        box.exec();
    }
    void error(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::Critical, applicationTitle(), text, QMessageBox::Ok,
                        shownOrNone(parent));
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

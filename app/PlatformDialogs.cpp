// The real message boxes and dialogs of the running program.
#include <QApplication>
#include <QChildEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

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

// The print dialog, opened on A4 paper, which is what the label sheet is. Qt's dialog would put
// the queue's own default paper in place (Letter on many queues), and the bottom row would fall off
// the sheet. The user may still choose another paper in the printer's properties.
class SheetPrintDialog final : public QPrintDialog {
  public:
    using QPrintDialog::QPrintDialog;

  protected:
    bool event(QEvent* e) override {
        // The properties are made afresh whenever another printer is chosen, each time on the
        // printer's default paper: each new one is set to A4 before the user sees it.
        if (e->type() == QEvent::ChildPolished) {
            QObject* child = static_cast<QChildEvent*>(e)->child();
            if (child != m_adjusted)
                if (auto* sizes = child->findChild<QComboBox*>(QStringLiteral("pageSizeCombo"))) {
                    m_adjusted = child;
                    selectA4(sizes);
                }
        }
        return QPrintDialog::event(e);
    }

    void accept() override {
        // Properties the user never opened are made only now, on the printer's default paper.
        const bool paperShown = findChild<QComboBox*>(QStringLiteral("pageSizeCombo")) != nullptr;
        QPrintDialog::accept();
        if (!paperShown && result() == QDialog::Accepted)
            printer()->setPageSize(QPageSize(QPageSize::A4));
    }

  private:
    static void selectA4(QComboBox* sizes) {
        for (int i = 0; i < sizes->count(); ++i)
            if (qvariant_cast<QPageSize>(sizes->itemData(i)).id() == QPageSize::A4) {
                sizes->setCurrentIndex(i);
                return;
            }
    }

    QPointer<QObject> m_adjusted;
};

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
    bool ask(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::Warning, applicationTitle(), text, QMessageBox::Yes | QMessageBox::No,
                        shownOrNone(parent));
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }
    Answer askWithOther(QWidget* parent, const QString& text, const QString& other) override {
        QMessageBox box(QMessageBox::Warning, applicationTitle(), text, QMessageBox::Yes | QMessageBox::No,
                        shownOrNone(parent));
        QPushButton* third = box.addButton(other, QMessageBox::ActionRole);
        box.setDefaultButton(QMessageBox::No);
        const int answer = box.exec();
        return box.clickedButton() == third ? Answer::Other
               : answer == QMessageBox::Yes ? Answer::Yes
                                            : Answer::No;
    }
    std::optional<QColor> pickColour(QWidget* parent, const QColor& initial) override {
        const QColor colour = QColorDialog::getColor(initial, parent);
        if (!colour.isValid())
            return std::nullopt;
        return colour;
    }
    std::unique_ptr<QPrinter> choosePrinter(QWidget* parent) override {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setPageSize(QPageSize(QPageSize::A4));
        SheetPrintDialog dialog(printer.get(), parent);
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

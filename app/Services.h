// What the main window asks of the platform: message boxes, the colour and print dialogs, the clock
// and the pause. The program uses the real ones; widget tests put recording ones in their place.
#pragma once
#include <QColor>
#include <QString>
#include <memory>
#include <optional>

#include "content/EntryModel.h"
#include "print/PrintRules.h"
#include "services/LocalClock.h"

class QPrinter;
class QWidget;

namespace kb {

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // Plain message box: application title, no icon, one OK button.
    virtual void message(QWidget* parent, const QString& text) = 0;
    // Application error box: application title, error icon, one OK button; text already has its period.
    virtual void error(QWidget* parent, const QString& text) = 0;
    // A question with Yes and No, No the default: true when the user answers Yes.
    virtual bool ask(QWidget* parent, const QString& text) = 0;
    // The same with a third answer beside Yes and No, captioned `other`; No stays the default.
    enum class Answer { Yes, No, Other };
    virtual Answer askWithOther(QWidget* parent, const QString& text, const QString& other) = 0;
    // The colour dialog, opened on `initial`; nothing when cancelled.
    virtual std::optional<QColor> pickColour(QWidget* parent, const QColor& initial) = 0;
    // The print dialog; the chosen printer, or nothing when cancelled.
    virtual std::unique_ptr<QPrinter> choosePrinter(QWidget* parent) = 0;
    // The file dialog for a list of labels (CSV and text files); empty when cancelled.
    virtual QString chooseListFile(QWidget* parent) = 0;
};

struct Services {
    Dialogs& dialogs;
    const Clock& clock;
    Pause& pause;
    QString appFolder; // the executable's folder, ending in a separator
};

// The real platform services for the running program.
Dialogs& platformDialogs();

} // namespace kb

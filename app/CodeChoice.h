// The sheet screen's choice of a 2D code for the labels (none, QR, Data Matrix): its picture of the
// first label's code, and the setting file beside the start file that remembers the choice between
// runs (the start file itself keeps its five lines).
#pragma once
#include <QString>
#include <QWidget>

#include "print/LabelCode.h"
#include "services/CodeCheck.h"

namespace kb {

// The list's items, in order: "None", "QR", "DataMatrix".
CodeKind codeKindAt(int row);
int codeRowOf(CodeKind kind);

// The setting file "CodeChoice.txt" in `folder` (ending in a separator): one line, "None", "QR" or
// "DataMatrix". A missing or unreadable file, or any other line, is no code.
CodeKind readCodeChoice(const QString& folder);
// False when it could not be written; the choice then holds until the window closes.
bool writeCodeChoice(const QString& folder, CodeKind kind);

// The code as it will print, on its white ground with its quiet zone, as large as whole pixels per
// module let it be in the widget; empty for no code.
class CodePicture : public QWidget {
  public:
    using QWidget::QWidget;
    void setSymbol(const ModuleMatrix& symbol, std::int32_t quiet);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    ModuleMatrix m_symbol;
    std::int32_t m_quiet = 0;
};

// The window's words for a label that cannot carry its code.
QString codeRefusalMessage(CodeKind kind, const LabelCodeRefusal& found);

} // namespace kb

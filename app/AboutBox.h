// The About box: product name and version. Shown without blocking the loop while the main window
// is disabled; hiding it by any way gives the main window its input back.
#pragma once
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace kb {

class TAboutBox : public QDialog {
    Q_OBJECT
  public:
    // mainWindow: the window that is disabled while the box is shown.
    explicit TAboutBox(QWidget* mainWindow, QWidget* parent = nullptr);

    void OKButtonClick();

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QPushButton* OKButton = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    QWidget* m_mainWindow;
};

} // namespace kb

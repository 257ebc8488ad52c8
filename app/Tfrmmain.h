// The main window: both screens laid out as designed, the main window state, and the handlers.
// Handlers stay thin: read the controls, call a rule, write the result back.
#pragma once
#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/QtPause.h" // the hold after a print run
#include "app/Services.h"
#include "app/StartFileHold.h"
#include "content/Composition.h"
#include "content/EntryModel.h"
#include "print/PrintRules.h"
#include "services/PrintService.h"
#include "services/ZintCodeWriter.h"
#include "settings/StartFile.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;
class QPrinter;

namespace kb {
class MemoEdit;
class DateEdit;
class CellShape;
class MapPicture;
using PreviewFrame = CellShape;
class TAboutBox;
class CodePicture;

// The application error box's text: the message, with a period appended when its last character
// sorts after the period.
QString errorBoxText(const QString& message);

// Makes a caption line show its whole text in the face the system gives it: a face that runs wider or
// taller than the designed one would cut the text at the label's edge. The label keeps its designed
// place and size when the text fits; otherwise it grows to the right, up to rightEdge, and below, and
// beyond rightEdge its face gets smaller until the text fits.
void fitCaption(QLabel* label, int rightEdge);

class Tfrmmain : public QWidget {
    Q_OBJECT
  public:
    explicit Tfrmmain(const Services& services, QWidget* parent = nullptr);
    ~Tfrmmain() override;

    // Window creation; false when it stopped early (missing or unreadable start file).
    bool FormCreate();
    void setAboutBox(TAboutBox* box) { AboutBox = box; }

    // Screens and tool buttons.
    void ShowScreen(std::int32_t kind);
    void ShowSheetScreen();
    void ArrangeToolButtons();
    void cmdExitClick();
    void cmdEndClick();
    void cmdAboutClick();
    void Timer2Timer();

    // Entry screen.
    void Memo1Change(); // the user's edit of Memo1 reached the model
    void Memo1KeyUp(int key);
    void CheckBox1Click();
    void Edit2Change();
    void CheckBox3Click();
    void ListBox1Click();
    void ListBox4Click();
    // A list of labels in place of the typed text: "List" (and Ctrl+O, and a file dropped on the
    // window) asks for the file; "Clear" brings the typed text back as it was.
    void cmdListClick();
    void cmdListClearClick();
    // Reads and composes the list at path; its refusals in a message box. True when it is loaded.
    bool openList(const QString& path);
    // The list loaded; null while the typed text is what prints.
    const std::shared_ptr<const ListRun>& listRun() const { return m_list; }

    // PrintSet and the sheet screen.
    void cmdPrintSetClick();
    void Image2MouseMove(int x, int y);
    void FormMouseMove(int x, int y);
    void Image2Click(int x, int y);
    void UpdateSheetCount();
    void PaintSheetMap(std::int32_t k);
    void ClearSheetMap();
    void ListBox3Click();
    void ListBox7Click();
    void ListBox6Click();
    void ListBox10Click();
    void ListBox11Click();
    void ListBox12Click();
    // The run's code as the labels will carry it, and the picture of the first label's.
    LabelCode labelCode();
    void showCodePreview();

    // Printing.
    void cmdPrint2Click();
    bool PrintRun();
    // The start file is the window's while it runs (StartFileHold). False, after telling the user,
    // when the window does not hold it, or when it has just brought in a change made elsewhere: the
    // handler then changes nothing.
    bool holdStartFile();
    // Looks at the jobs of the runs that the print queue took, until each has printed or failed.
    void watchJobs();

    // Runs a handler; an error escaping it goes to the application error box.
    template <typename F> void guarded(F&& handler);
    void showError(const std::exception& e);

    // Main window state.
    std::int32_t MouseX = 0;
    std::int32_t MouseY = 0;
    std::array<CellShape*, kPositionsPerSheet + 1> RectShapes{}; // index 1..30
    StartValues start; // StartPosition, SavedOffsetDown, SavedOffsetRight
    std::int32_t SheetCount = 0;
    NumberedLabel numberedLabel; // what a numbered run prints (holds NumberStem)
    std::int32_t OffsetDownIndex = 0;
    std::int32_t OffsetRightIndex = 0;
    std::int32_t TextColorIndex = 0;
    std::int32_t BackColorIndex = 0;
    QString AppFolder;
    EntryModel entry;    // Line1Text, Line2Text, Line2Work, FirstNumber, ...
    Memo memo2Model{64}; // the preview's text with its 64-byte limit

    // Controls outside the screens.
    QToolButton* cmdAbout = nullptr;
    QToolButton* cmdExit = nullptr;
    QToolButton* cmdEnd = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label8 = nullptr;
    QFrame* pnlMain = nullptr;
    QFrame* pnlRect = nullptr;
    QTimer* Timer2 = nullptr;
    TAboutBox* AboutBox = nullptr;

    // Entry screen (pnlMain).
    QLabel* Label2 = nullptr;
    MemoEdit* Memo1 = nullptr;
    QLabel* Panel1 = nullptr;
    QLabel* Panel2 = nullptr;
    DateEdit* Edit2 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label10 = nullptr;
    QListWidget* ListBox4 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QLabel* Label9 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QPushButton* cmdPrintSet = nullptr;
    QPushButton* cmdList = nullptr;
    QPushButton* cmdListClear = nullptr;
    QLabel* LabelList = nullptr; // the loaded list's file, rows and labels

    // Sheet screen (pnlRect).
    MapPicture* Image2 = nullptr;
    QLabel* Label6 = nullptr;
    QListWidget* ListBox3 = nullptr;
    PreviewFrame* Shape1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* Label4 = nullptr;
    QListWidget* ListBox7 = nullptr;
    QLabel* Label5 = nullptr;
    QListWidget* ListBox6 = nullptr;
    QLabel* Label12 = nullptr;
    QListWidget* ListBox10 = nullptr;
    QLabel* Label13 = nullptr;
    QListWidget* ListBox11 = nullptr;
    QLabel* Label14 = nullptr;
    QListWidget* ListBox12 = nullptr;
    CodePicture* Image3 = nullptr;
    CodeKind CodeChoiceKind = CodeKind::None; // as ListBox12 shows it
    QToolButton* cmdPrint2 = nullptr;

    // Preview colours (0x00BBGGRR); the window's own colours until the user picks one.
    std::uint32_t previewBackColour() const;
    std::uint32_t previewFontColour() const;

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void buildControls();
    void buildEntryScreen();
    void buildSheetScreen();
    void closeUnfinished(); // creation stopped early: no input, Timer2 closes the window
    void connectHandlers(); // calls the three below
    // Each screen area wires its own controls (defined beside its handlers).
    void connectEntryHandlers();
    void connectSheetHandlers();
    void connectPrintHandlers();
    void connectListHandlers();
    // Creation steps owned by the sheet screen: offsets in force (step 4), colour lists (step 10).
    void startupOffsets();
    void fillColourLists();
    void startupCodeChoice();
    // Shows the entry model in the widgets (signals blocked): memo text, counters, Date, Edit2, lists.
    void showEntryModel();
    void showPreviewModel();
    void chooseColour(QListWidget* list, bool text);
    // The labels of the run the sheet screen shows: the list's, or SampleCount x LabelsPerSample.
    std::int64_t runLabelCount() const;
    std::int32_t listSheetCount() const; // the sheets of the loaded list's run from StartPosition
    // The entry screen as it stands: the list's summary, or the typed text's controls.
    void showListState();

    // A run whose sheets the print queue took, watched until each job has printed or failed.
    struct WatchedRun {
        std::shared_ptr<RunFollow> follow;
        QString printer;
    };
    // Asks before a numbered run prints labels the ledger holds as printed: the first number to print
    // from (the entry's, or the series' next free one), or nothing when the user said No.
    std::optional<std::int32_t> confirmRepeat(const PrintService& service, const PrintOrder& order);
    // Tells the sheets of earlier runs that did not print, found by asking after them now.
    void tellEarlierFailures(RunLedger& ledger, const QString& printer);
    // The order of the run the sheet screen shows.
    PrintOrder printOrder();
    // Says why the run did not print everything (an error for the error box); nothing when it did.
    void tellRunEnd(const RunAccount& account, const PrintOrder& order, PrintTarget& target);
    // Tells once a run that its labels are not recorded.
    void tellLedgerProblem(const RunLedger& ledger, const std::optional<QString>& problem);
    // What one look at a watched run found, in message boxes.
    void tellFollowNews(WatchedRun& run, const FollowNews& news);

    Services m_services;
    ZintCodeWriter m_codeWriter;
    StartFile m_startFile;
    StartFileLock m_lock;
    StartFileHold* m_hold = nullptr;
    std::vector<WatchedRun> m_watched;
    QElapsedTimer m_watchClock;
    QTimer* m_jobTimer = nullptr;
    bool m_busy = false; // a print run or its pauses are under way: closing waits
    bool m_sizedToFrame = false;
    bool m_centred = false; // placed in the middle of the screen once, at the first show
    std::shared_ptr<const ListRun> m_list;
};

template <typename F> void Tfrmmain::guarded(F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        showError(e);
    }
}

} // namespace kb

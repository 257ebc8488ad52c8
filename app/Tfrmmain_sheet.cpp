// Sheet screen handlers of the main window: "PrintSet" and its preview, the sheet map and its start
// position, the sheet selector, the offset lists and the label colours.
#include <QListWidget>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

#include "app/CodeChoice.h"
#include "app/SheetWidgets.h"
#include "app/Tfrmmain.h"
#include "app/UserSelection.h"
#include "content/Sjis.h"
#include "print/PrintRules.h"
#include "services/Codec.h"
#include "services/Colours.h"
#include "services/QtTextMeasure.h"
#include "sheet/SheetRules.h"

namespace kb {

namespace {

// Fills the sheet selector with "1".."count"; code fills it, so no click handler runs.
void fillSheetSelector(QListWidget* list, std::int32_t count) {
    const QSignalBlocker block(list);
    list->clear();
    for (std::int32_t i = 1; i <= count; ++i)
        list->addItem(QString::number(i));
    list->setCurrentRow(-1);
}

void selectFromCode(QListWidget* list, int row) {
    const QSignalBlocker block(list);
    list->setCurrentRow(row);
}

} // namespace

void Tfrmmain::cmdPrintSetClick() {
    guarded([&] {
        if (m_list) {
            // A list: every sheet of the run in the selector, the first label in the preview.
            SheetCount = listSheetCount();
            fillSheetSelector(ListBox3, SheetCount);
            cmdExit->setVisible(true);
            ShowSheetScreen();
            PaintSheetMap(1);
            ArrangeToolButtons();
            selectFromCode(ListBox3, 0);
            showPreview(memo2Model, m_list->at(0).lines);
            showPreviewModel();
            showCodePreview();
            return;
        }
        // 1. Sheet count and selector, even when the guard then stops.
        SheetCount = sheetCountFor(start.StartPosition + entry.SampleCount * entry.LabelsPerSample);
        fillSheetSelector(ListBox3, SheetCount);

        // 2. Nothing to print.
        if (!printSetAccepts(entry.Memo1.text()))
            return;

        // 3. To the sheet screen, showing sheet 1.
        cmdExit->setVisible(true);
        ShowSheetScreen();
        PaintSheetMap(1);
        ArrangeToolButtons();
        selectFromCode(ListBox3, 0);

        // 4.-7. The preview, and what every label of the run will print.
        const Composition composition = compose(entry.printSetInput());
        showPreview(memo2Model, composition.preview);
        showPreviewModel();
        numberedLabel = composition.label;
        showCodePreview();
    });
}

void Tfrmmain::showPreviewModel() {
    QString text = fromSjis(memo2Model.text());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo2->setPlainText(text);
}

void Tfrmmain::Image2MouseMove(int x, int y) {
    guarded([&] {
        MouseX = x;
        MouseY = y;
    });
}

void Tfrmmain::FormMouseMove(int x, int y) {
    guarded([&] {
        MouseX = x;
        MouseY = y;
    });
}

void Tfrmmain::Image2Click(int x, int y) {
    guarded([&] {
        // The position of the click itself: the last move may have been reported by another control.
        const std::optional<std::int32_t> position = hitTest(x, y);
        if (!position || !holdStartFile())
            return;
        start.StartPosition = *position;
        // Written at once, so the place on the sheet survives whatever happens next; a failure leaves the
        // selector and the map as they were.
        m_startFile.shortWrite(start);
        UpdateSheetCount();
    });
}

std::int32_t Tfrmmain::listSheetCount() const {
    return static_cast<std::int32_t>(splitRun(start.StartPosition, m_list->size()).size());
}

void Tfrmmain::UpdateSheetCount() {
    SheetCount = m_list
                     ? listSheetCount()
                     : sheetCountAfterClick(start.StartPosition, entry.SampleCount * entry.LabelsPerSample);
    fillSheetSelector(ListBox3, SheetCount);
    if (SheetCount >= 2)
        selectFromCode(ListBox3, 0);
    PaintSheetMap(1);
}

void Tfrmmain::PaintSheetMap(std::int32_t k) {
    ClearSheetMap();
    const auto colours =
        sheetMapColours(start.StartPosition, static_cast<std::int32_t>(runLabelCount()), SheetCount, k);
    for (std::size_t position = 1; position <= 30; ++position) {
        if (RectShapes[position])
            RectShapes[position]->setFill(colours[position - 1]);
    }
}

void Tfrmmain::ClearSheetMap() {
    for (std::size_t position = 1; position <= 30; ++position) {
        if (RectShapes[position])
            RectShapes[position]->setFill(kWhite);
    }
}

void Tfrmmain::ListBox3Click() {
    guarded([&] {
        const int row = ListBox3->currentRow();
        if (row >= 0)
            PaintSheetMap(row + 1);
    });
}

void Tfrmmain::ListBox7Click() {
    guarded([&] {
        if (ListBox7->currentRow() >= 0)
            OffsetDownIndex = ListBox7->currentRow();
    });
}

void Tfrmmain::ListBox6Click() {
    guarded([&] {
        if (ListBox6->currentRow() >= 0)
            OffsetRightIndex = ListBox6->currentRow();
    });
}

void Tfrmmain::ListBox10Click() {
    chooseColour(ListBox10, true);
}

void Tfrmmain::ListBox11Click() {
    chooseColour(ListBox11, false);
}

void Tfrmmain::chooseColour(QListWidget* list, bool text) {
    const std::vector<ColourItem>& items = text ? textColourItems() : backColourItems();
    std::int32_t& accepted = text ? TextColorIndex : BackColorIndex;
    const int i = list->currentRow();
    if (i < 0 || static_cast<std::size_t>(i) >= items.size())
        return;

    const auto apply = [this, text](const QColor& colour) {
        QPalette palette = Memo2->palette();
        palette.setColor(text ? QPalette::Text : QPalette::Base, colour);
        Memo2->setPalette(palette);
    };
    if (static_cast<std::size_t>(i) + 1 < items.size()) {
        apply(colourFromRgb(items[static_cast<std::size_t>(i)].value));
        accepted = i;
        return;
    }
    // "Free": one dialog serves both lists and opens on the colour it last returned.
    // The dialog opens on the colour in use, which is what the user starts from.
    const std::optional<QColor> picked =
        m_services.dialogs.pickColour(this, Memo2->palette().color(text ? QPalette::Text : QPalette::Base));
    if (!picked) {
        selectFromCode(list, accepted);
        // The click or key that chose "Free" is still being handled and marks its item selected once
        // this returns; select the accepted item again after that, so the list shows what is in force.
        QTimer::singleShot(0, list, [list, row = accepted] {
            selectFromCode(list, row);
            list->scrollToItem(list->item(row));
        });
        return;
    }
    apply(*picked);
    accepted = i;
}

std::uint32_t Tfrmmain::previewBackColour() const {
    return Memo2 ? rgbFromColour(Memo2->palette().color(QPalette::Base)) : kWhite;
}

std::uint32_t Tfrmmain::previewFontColour() const {
    return Memo2 ? rgbFromColour(Memo2->palette().color(QPalette::Text)) : 0x00000000;
}

void Tfrmmain::startupOffsets() {
    // A hand-edited index that has no item falls back to no shift, shown and in force alike.
    OffsetDownIndex = offsetIndexAtStartup(start.SavedOffsetDown, true);
    OffsetRightIndex = offsetIndexAtStartup(start.SavedOffsetRight, false);
    selectFromCode(ListBox7, OffsetDownIndex);
    selectFromCode(ListBox6, OffsetRightIndex);
}

void Tfrmmain::fillColourLists() {
    const auto fill = [](QListWidget* list, const std::vector<ColourItem>& items) {
        const QSignalBlocker block(list);
        list->clear();
        for (const ColourItem& item : items)
            list->addItem(QString::fromLatin1(item.name));
        list->setCurrentRow(0);
    };
    fill(ListBox11, backColourItems());
    fill(ListBox10, textColourItems());
    BackColorIndex = 0;
    TextColorIndex = 0;
}

void Tfrmmain::startupCodeChoice() {
    CodeChoiceKind = readCodeChoice(AppFolder);
    selectFromCode(ListBox12, codeRowOf(CodeChoiceKind));
}

void Tfrmmain::ListBox12Click() {
    guarded([&] {
        CodeChoiceKind = codeKindAt(ListBox12->currentRow());
        // Kept for the next start of the program; a file that cannot be written only loses that.
        writeCodeChoice(AppFolder, CodeChoiceKind);
        showCodePreview();
    });
}

LabelCode Tfrmmain::labelCode() {
    return {CodeChoiceKind, CodeText::Line2, &m_codeWriter};
}

void Tfrmmain::showCodePreview() {
    // The run's first label (a list's first row, or the typed run's first number) as it prints to
    // Qt's PDF, checked as the print checks it: a label the print would refuse shows no code, and the
    // choice says why. A printer of 360 dpi takes a little less (its modules are larger).
    constexpr std::int32_t Dpi = 1200;
    const LabelCode code = labelCode();
    const LabelLines lines = m_list ? m_list->at(0).lines : numberedLabel.linesFor(entry.FirstNumber);
    QtTextMeasure measure(Dpi, Dpi);
    const auto refusal = checkLabelCode(code, lines, Dpi, Dpi, measure);
    const std::int32_t first = start.StartPosition;
    ListBox12->setToolTip(refusal ? codeRefusalMessage(code.kind, {{1, first, first}, {}, lines, *refusal})
                                  : QString());
    Image3->setSymbol(refusal ? ModuleMatrix{} : labelSymbol(code, lines, Dpi, Dpi),
                      codeGeometry(code.kind, Dpi, Dpi).quiet);
}

void Tfrmmain::connectSheetHandlers() {
    connect(cmdPrintSet, &QPushButton::clicked, this, [this] { cmdPrintSetClick(); });
    connect(Image2, &MapPicture::moved, this, [this](int x, int y) { Image2MouseMove(x, y); });
    connect(Image2, &MapPicture::clicked, this, [this](int x, int y) { Image2Click(x, y); });
    onUserSelection(ListBox3, [this] { ListBox3Click(); });
    onUserSelection(ListBox7, [this] { ListBox7Click(); });
    onUserSelection(ListBox6, [this] { ListBox6Click(); });
    onUserSelection(ListBox10, [this] { ListBox10Click(); });
    onUserSelection(ListBox11, [this] { ListBox11Click(); });
    onUserSelection(ListBox12, [this] { ListBox12Click(); });
}

} // namespace kb

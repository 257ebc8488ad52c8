// A list of labels on the entry screen: "List", Ctrl+O or a dropped file loads it in place of the
// typed text, which waits unchanged behind it until "Clear".
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>

#include "app/EntryWidgets.h"
#include "app/Tfrmmain.h"
#include "services/ListFile.h"

namespace kb {

namespace {

// The one local CSV or text file among the dragged ones, or nothing.
QString droppedList(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return {};
    const QString path = data->urls().front().toLocalFile();
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("csv") || suffix == QLatin1String("txt") || suffix == QLatin1String("tsv")
               ? path
               : QString();
}

} // namespace

void Tfrmmain::connectListHandlers() {
    connect(cmdList, &QPushButton::clicked, this, [this] { cmdListClick(); });
    connect(cmdListClear, &QPushButton::clicked, this, [this] { cmdListClearClick(); });
    auto* open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this, [this] {
        // The list belongs to the entry screen, as its button does.
        if (pnlMain->isVisible())
            cmdListClick();
    });
}

void Tfrmmain::cmdListClick() {
    guarded([&] {
        const QString path = m_services.dialogs.chooseListFile(this);
        if (!path.isEmpty())
            openList(path);
    });
}

void Tfrmmain::cmdListClearClick() {
    guarded([&] {
        m_list.reset();
        showListState();
        UpdateSheetCount();
        Memo1->setFocus();
    });
}

bool Tfrmmain::openList(const QString& path) {
    const ListReading reading = readListFile(path);
    const ListComposition composed = composeList(reading, ListOptions{}, m_services.clock);
    if (!composed.refusals.empty()) {
        // Nothing of a list that is partly wrong prints: every fault is named so that the file can be
        // mended in one go.
        QStringList lines;
        for (const ListRefusal& r : composed.refusals)
            lines << QString::fromStdString(japaneseText(r));
        if (composed.moreRefusals)
            lines << QStringLiteral("（ほかにも誤りがあります）");
        m_services.dialogs.message(this, QStringLiteral("この一覧は読み込めません。何も印刷しません。\n\n") +
                                             lines.join(QLatin1Char('\n')));
        return false;
    }
    m_list = std::make_shared<const ListRun>(composed.labels, reading.file);
    showListState();
    UpdateSheetCount();
    return true;
}

std::int64_t Tfrmmain::runLabelCount() const {
    return m_list ? m_list->size() : std::int64_t{entry.SampleCount} * entry.LabelsPerSample;
}

void Tfrmmain::showListState() {
    const bool list = m_list != nullptr;
    for (QWidget* w : std::initializer_list<QWidget*>{Label2, Memo1, Panel1, Panel2, CheckBox1, Label10,
                                                      ListBox4, CheckBox3, Label9})
        w->setVisible(!list);
    cmdListClear->setVisible(list);
    LabelList->setVisible(list);
    if (list) {
        Edit2->hide();
        ListBox1->hide();
        const ListLabels& labels = m_list->list();
        LabelList->setText(QStringLiteral("ラベルの一覧：%1\n%2 行、ラベル %3 枚\n\n"
                                          "「Clear」で入力した文字に戻ります。")
                               .arg(QFileInfo(QString::fromStdString(m_list->file())).fileName())
                               .arg(labels.rows().size())
                               .arg(labels.size()));
        LabelList->setToolTip(QString::fromStdString(m_list->file()));
    } else {
        showEntryModel();
    }
}

void Tfrmmain::dragEnterEvent(QDragEnterEvent* event) {
    if (pnlMain->isVisible() && !droppedList(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Tfrmmain::dropEvent(QDropEvent* event) {
    const QString path = droppedList(event->mimeData());
    if (path.isEmpty() || !pnlMain->isVisible())
        return;
    event->acceptProposedAction();
    guarded([&] { openList(path); });
}

} // namespace kb

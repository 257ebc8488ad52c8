#include "app/UserSelection.h"

#include <QAbstractButton>
#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListWidget>

namespace kb {

namespace {

// Refuses every change that would leave the list without a selected item once it has one. Emptying
// the list from code empties its model first, and an empty list has nothing to keep.
class KeepOneSelected final : public QItemSelectionModel {
  public:
    using QItemSelectionModel::QItemSelectionModel;

    void select(const QModelIndex& index, SelectionFlags command) override {
        select(QItemSelection(index, index), command);
    }
    void select(const QItemSelection& selection, SelectionFlags command) override {
        if (model()->rowCount() > 0 && hasSelection() && leavesNothing(selection, command))
            return;
        QItemSelectionModel::select(selection, command);
    }

  private:
    bool leavesNothing(const QItemSelection& selection, SelectionFlags command) const {
        QItemSelection after = (command & Clear) ? QItemSelection() : this->selection();
        for (const SelectionFlag part : {Select, Deselect, Toggle}) {
            if (command & part)
                after.merge(selection, part);
        }
        return after.indexes().isEmpty();
    }
};

// A mouse press that changes the current item emits currentRowChanged, and its release then emits
// itemClicked as well; the handler must run once. A click on the item already current emits only
// itemClicked, and a keyboard move only currentRowChanged.
class SelectionWatcher : public QObject {
  public:
    SelectionWatcher(QListWidget* list, std::function<void()> handler)
        : QObject(list), m_handler(std::move(handler)) {
        QItemSelectionModel* old = list->selectionModel();
        auto* keeper = new KeepOneSelected(list->model(), list);
        keeper->setCurrentIndex(old->currentIndex(), QItemSelectionModel::NoUpdate);
        keeper->select(old->selection(), QItemSelectionModel::Select);
        list->setSelectionModel(keeper);
        delete old;

        list->viewport()->installEventFilter(this);
        connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
            if (row < 0)
                return;
            m_changedSincePress = true;
            m_handler();
        });
        connect(list, &QListWidget::itemClicked, this, [this] {
            if (m_changedSincePress) {
                m_changedSincePress = false;
                return;
            }
            m_handler();
        });
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
            m_changedSincePress = false;
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> m_handler;
    bool m_changedSincePress = false;
};

class ReturnPresses final : public QObject {
  public:
    explicit ReturnPresses(QAbstractButton* button) : QObject(button), m_button(button) {
        button->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        // A held key presses once; the button's own shortcut keys keep their modifiers to themselves.
        if (!key->isAutoRepeat() && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
            m_button->click();
        return true;
    }

  private:
    QAbstractButton* m_button;
};

} // namespace

void onUserSelection(QListWidget* list, std::function<void()> handler) {
    new SelectionWatcher(list, std::move(handler));
}

void pressOnReturn(QAbstractButton* button) {
    new ReturnPresses(button);
}

} // namespace kb

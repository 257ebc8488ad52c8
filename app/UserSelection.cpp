#include "app/UserSelection.h"

#include <QEvent>
#include <QListWidget>

namespace kb {

namespace {

// A mouse press that changes the current item emits currentRowChanged, and its release then emits
// itemClicked as well; the handler must run once. A click on the item already current emits only
// itemClicked, and a keyboard move only currentRowChanged.
class SelectionWatcher : public QObject {
  public:
    SelectionWatcher(QListWidget* list, std::function<void()> handler)
        : QObject(list), m_handler(std::move(handler)) {
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

} // namespace

void onUserSelection(QListWidget* list, std::function<void()> handler) {
    new SelectionWatcher(list, std::move(handler));
}

} // namespace kb

#include "app/SheetWidgets.h"

#include <QEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>

namespace kb {

QColor colourFromRgb(std::uint32_t rgb) {
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

std::uint32_t rgbFromColour(const QColor& colour) {
    const QColor c = colour.toRgb();
    return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
           static_cast<std::uint32_t>(c.blue()) << 16;
}

CellShape::CellShape(QWidget* parent) : QWidget(parent) {}

void CellShape::setFill(std::uint32_t rgb) {
    if (rgb == m_fill)
        return;
    m_fill = rgb;
    update();
}

void CellShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colourFromRgb(m_fill));
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

MapPicture::MapPicture(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
}

void MapPicture::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    emit moved(p.x(), p.y());
}

void MapPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    const QPoint p = event->position().toPoint();
    emit clicked(p.x(), p.y());
}

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

#include "app/SheetWidgets.h"

#include "services/Colours.h"

#include <QMouseEvent>
#include <QPainter>

namespace kb {

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

} // namespace kb

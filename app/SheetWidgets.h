// Widgets of the sheet screen: the cells of the sheet map, the transparent picture above them that
// takes the mouse, the white frame behind the preview.
#pragma once
#include <QWidget>
#include <cstdint>

namespace kb {

// A rectangle shape: one-pixel black outline, solid fill.
class CellShape : public QWidget {
    Q_OBJECT
  public:
    explicit CellShape(QWidget* parent = nullptr);
    void setFill(std::uint32_t rgb); // 0x00BBGGRR
    std::uint32_t fill() const { return m_fill; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::uint32_t m_fill = 0x00FFFFFF;
};

// Draws nothing; reports pointer moves and clicks with their own positions.
class MapPicture : public QWidget {
    Q_OBJECT
  public:
    explicit MapPicture(QWidget* parent = nullptr);

  signals:
    void moved(int x, int y);
    void clicked(int x, int y);

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

using PreviewFrame = CellShape;

} // namespace kb

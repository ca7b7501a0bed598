// CPaintWidget: a Qt widget that the display engines draw into. It implements IPaintTarget:
// the client size is the widget's size, and a shown picture is wrapped (not copied) in a
// QImage over the bitmap's own pixel memory and painted, with the sunken edge, in paintEvent.
#pragma once
#include <QImage>
#include <QWidget>
#include <functional>

#include "spl/platform/paint_target.h"

class CPaintWidget : public QWidget, public IPaintTarget {
 public:
  explicit CPaintWidget(QWidget* parent = nullptr);
  CPaintWidget(const CPaintWidget&) = delete;
  CPaintWidget& operator=(const CPaintWidget&) = delete;
  ~CPaintWidget() override = default;

  int ClientWidth() const override { return width(); }
  int ClientHeight() const override { return height(); }
  // Keeps the picture (24 bits) for painting at (x, y) and asks for a repaint. The picture
  // stays the engine's: it must live until the next Show or PictureGone.
  void Show(HBITMAP picture, int x, int y) override;
  void SunkenEdge() override;
  // The engine destroys the picture: the last frame is kept as a copy of its own.
  void PictureGone(HBITMAP picture) override;

  // Called with the new client size after every resize, so that the owner can set its
  // engine up again for the new drawing area.
  void SetResizeHandler(std::function<void(int width, int height)> handler) {
    m_onResize = std::move(handler);
  }
  // 1 while the widget paints straight from an engine's picture memory.
  int Wraps() const { return m_shown != nullptr; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  HBITMAP m_shown = nullptr;  // the engine's picture the image wraps, or null
  QImage m_image;             // stored rows in memory order (bottom-up unless m_topDown)
  bool m_topDown = false;
  int m_x = 0, m_y = 0;
  bool m_edge = false;
  std::function<void(int, int)> m_onResize;
};

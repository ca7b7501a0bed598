// CEqualizerView: the equalizer panel's curve: the gains drawn by the user (thin) and the
// smoothed curve that is applied (bold) over the zoomed frequency range, with a frequency
// scale every 50 pixels and the frequency under the cursor. The left mouse button draws gains,
// the right one erases back to 1.0, by the rules of CEqualizerModul.
#pragma once
#include <QWidget>
#include <functional>

class CEqualizerModul;

class CEqualizerView : public QWidget {
 public:
  explicit CEqualizerView(QWidget* parent = nullptr);
  // The panel's object (it outlives the view; null: nothing drawn, no editing).
  void SetModul(CEqualizerModul* modul);
  // Called after every change of the curve by the mouse.
  void SetChanged(std::function<void()> changed) { m_changed = std::move(changed); }
  QSize sizeHint() const override { return QSize(520, 180); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  CEqualizerModul* m_modul = nullptr;
  std::function<void()> m_changed;
};

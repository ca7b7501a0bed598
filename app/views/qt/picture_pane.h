// CPicturePane: one picture of a receive view, drawn at a whole-number zoom (1:1 for the FAX
// store and preview, up to 3:1 for SSTV). The image may wrap memory the view keeps; the view
// tells which rows changed, and only they are repainted.
#pragma once
#include <QImage>
#include <QWidget>

class CPicturePane : public QWidget {
 public:
  explicit CPicturePane(QWidget* parent = nullptr);
  void SetImage(const QImage& image);
  const QImage& Image() const { return m_image; }
  void SetZoom(int zoom);
  int Zoom() const { return m_zoom; }
  // Rows first ... last (inclusive) of the image changed.
  void RowsChanged(int first, int last);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage m_image;
  int m_zoom = 1;
};

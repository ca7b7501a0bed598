// CScanReportView: a scan report (the scanner's store) drawn as a perspective waterfall: each
// sweep a filled outline of its levels across the frequencies, the newest in front, older
// sweeps stepped up and to the right. A click on an outline names its cell (column, line).
#pragma once
#include <QImage>
#include <QWidget>
#include <functional>

class CScanner;

class CScanReportView : public QWidget {
 public:
  enum Rows { kSMeterRows, kAudioRows };
  using ClickHandler = std::function<void(int column, int line)>;

  explicit CScanReportView(QWidget* parent = nullptr);
  // The store to draw (it outlives the view; null: nothing) and which levels.
  void SetScanner(const CScanner* scanner) { m_scanner = scanner; Redraw(); }
  void SetRows(Rows rows) { m_rows = rows; Redraw(); }
  void SetClickHandler(ClickHandler handler) { m_onClick = std::move(handler); }
  // Draws the store again (after it changed).
  void Redraw();
  // The cell under a point of the widget: 1 with column and line set, else 0.
  int CellAt(QPoint at, int& column, int& line) const;
  const QImage& Picture() const { return m_picture; }
  QSize sizeHint() const override { return QSize(480, 240); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  // The picture's point under a widget point (the picture fills the widget).
  QPoint PicturePoint(QPoint at) const;

  const CScanner* m_scanner = nullptr;
  Rows m_rows = kSMeterRows;
  QImage m_picture;  // one pixel a column and a level step
  int m_lines = 0;   // sweeps drawn (the newest ones)
  ClickHandler m_onClick;
};

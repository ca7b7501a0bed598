// CDotMatrix: a line of text on a dot-matrix display, each character a cell of 5 x 7 dots,
// lit dots in the display's colour on a dark face, dark dots faintly visible. Used for
// frequency and unit read-outs that need letters as well as digits.
#pragma once
#include <QColor>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <functional>

class CDotMatrix : public QWidget {
 public:
  static constexpr int kDotColumns = 5, kDotRows = 7;
  static constexpr int kMaxCells = 64;

  explicit CDotMatrix(QWidget* parent = nullptr);
  // cells: 1 ... kMaxCells characters shown; longer text is cut, shorter is padded with blanks.
  void SetCells(int cells);
  int Cells() const { return m_cells; }
  // Printable ASCII is shown; any other character shows as a blank cell.
  void SetText(const QString& text);
  // The text as the cells show it (exactly Cells() characters).
  QString Text() const { return m_text; }
  // The lit dots' colour (a light green by default).
  void SetColour(const QColor& lit);
  static const QColor kGreen, kAmber;
  // Called when the display is clicked with the left button (e.g. to type a new value).
  void SetClickHandler(std::function<void()> handler) { m_onClick = std::move(handler); }

  // Whether the font lights dot (column 0 ... 4, row 0 ... 6, top left first) of character c.
  static bool DotLit(QChar c, int column, int row);
  // The centre of a dot in widget coordinates, for tests and tool tips.
  QPointF DotCentre(int cell, int column, int row) const;
  // The radius a dot is drawn with at the present size.
  double DotRadius() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  // The pitch of one dot and the top left of dot (0, 0) of cell 0.
  double Pitch() const;
  QPointF Origin() const;

  int m_cells = 17;
  QString m_text;
  QColor m_lit = kGreen;
  std::function<void()> m_onClick;
};

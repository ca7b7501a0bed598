// CListTable: the table of a list page (timer, channel scan and satellite basis lists). It
// takes drops of frequency records dragged from the frequency list and hands them on with the
// row they were dropped on (-1: below the last).
#pragma once
#include <QMimeData>
#include <QTableWidget>
#include <functional>

class CListTable : public QTableWidget {
 public:
  using DropHandler = std::function<void(const QMimeData* mime, int row)>;
  explicit CListTable(QWidget* parent = nullptr);
  void SetDropHandler(DropHandler handler) { m_drop = std::move(handler); }
  // What a drop at a point of the viewport does: the handler gets the row under it. 0 when
  // the data holds no frequency record.
  int DropAt(const QMimeData* mime, QPoint at);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  DropHandler m_drop;
};

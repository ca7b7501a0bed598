#include "app/ui/list_table.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>

#include "app/ui/freq_list_view.h"

CListTable::CListTable(QWidget* parent) : QTableWidget(parent) {
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setDropIndicatorShown(true);
}

void CListTable::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasFormat(kFrqRecordMimeType))
    event->acceptProposedAction();
  else
    event->ignore();
}

void CListTable::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasFormat(kFrqRecordMimeType))
    event->acceptProposedAction();
  else
    event->ignore();
}

void CListTable::dropEvent(QDropEvent* event) {
  if (DropAt(event->mimeData(), event->position().toPoint()))
    event->acceptProposedAction();
  else
    event->ignore();
}

int CListTable::DropAt(const QMimeData* mime, QPoint at) {
  if (!mime || !mime->hasFormat(kFrqRecordMimeType)) return 0;
  if (m_drop) m_drop(mime, rowAt(at.y()));
  return 1;
}

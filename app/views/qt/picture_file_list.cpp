#include "app/views/qt/picture_file_list.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/views/picture_capture.h"
#include "app/views/product_names.h"

CPictureFileList::CPictureFileList(const QString& heading, const QStringList& patterns,
                                   QWidget* parent)
    : QWidget(parent), m_patterns(patterns) {
  auto* title = new QLabel(heading, this);
  m_list = new QListWidget(this);
  connect(m_list, &QListWidget::itemActivated, this, [this] { OpenSelected(); });
  auto* open = new QPushButton(tr("Open"), this);
  open->setToolTip(tr("Open the selected picture in the picture window"));
  auto* remove = new QPushButton(tr("Delete"), this);
  remove->setToolTip(tr("Delete the selected picture"));
  auto* refresh = new QPushButton(tr("Refresh"), this);
  refresh->setToolTip(tr("Refresh the file list"));
  connect(open, &QPushButton::clicked, this, [this] { OpenSelected(); });
  connect(remove, &QPushButton::clicked, this, [this] { DeleteSelected(); });
  connect(refresh, &QPushButton::clicked, this, [this] { Refresh(); });
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {open, remove, refresh}) buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(title);
  layout->addWidget(m_list, 1);
  layout->addLayout(buttons);
}

void CPictureFileList::SetFolder(const QString& folder) {
  m_folder = folder;
  Refresh();
}

void CPictureFileList::Refresh() {
  const QString kept = SelectedFile();
  m_list->clear();
  if (m_folder.isEmpty()) return;
  // Newest first: the names carry their date. The patterns match in any case.
  const QFileInfoList files =
      QDir(m_folder).entryInfoList(m_patterns, QDir::Files, QDir::Name | QDir::Reversed);
  for (const QFileInfo& file : files) {
    auto* item = new QListWidgetItem(
        QString::fromStdString(CompactFileName(file.fileName().toStdString())), m_list);
    item->setData(Qt::UserRole, file.absoluteFilePath());
    item->setToolTip(file.fileName());
    if (file.absoluteFilePath() == kept) m_list->setCurrentItem(item);
  }
}

QString CPictureFileList::SelectedFile() const {
  const QListWidgetItem* item = m_list->currentItem();
  return item ? item->data(Qt::UserRole).toString() : QString();
}

void CPictureFileList::OpenSelected() {
  const QString path = SelectedFile();
  if (!path.isEmpty() && m_open) m_open(path);
}

void CPictureFileList::DeleteSelected() {
  const QString path = SelectedFile();
  if (path.isEmpty()) return;
  if (QMessageBox::question(this, tr("Delete"), tr("Delete %1?").arg(QFileInfo(path).fileName())) !=
      QMessageBox::Yes)
    return;
  if (!QFile::remove(path)) {
    QMessageBox::warning(this, tr("Delete"), tr("%1 could not be deleted.").arg(path));
    return;
  }
  // The small preview beside a FAX picture goes with it.
  const std::string preview = FaxPreviewName(path.toStdString());
  if (!preview.empty()) QFile::remove(QString::fromStdString(preview));
  Refresh();
}

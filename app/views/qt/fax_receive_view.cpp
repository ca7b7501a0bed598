#include "app/views/qt/fax_receive_view.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <ctime>

#include "app/core/station_core.h"
#include "app/views/picture_capture.h"
#include "app/views/qt/picture_file_list.h"
#include "app/views/qt/picture_pane.h"

namespace {

constexpr int kGrayLevels = 256;
constexpr int kDefaultWidth = 1810;  // IOC 576, until the first line tells

// The decoder's levels: 0 white ... 255 black.
QList<QRgb> InvertedGray() {
  QList<QRgb> table;
  for (int i = 0; i < kGrayLevels; ++i) table << qRgb(255 - i, 255 - i, 255 - i);
  return table;
}

// An image over rows the store keeps (no copy); valid until the store is made again.
QImage Wrap(const uint8_t* pixels, int width, int height) {
  QImage image(pixels, width, height, width, QImage::Format_Indexed8);
  image.setColorTable(InvertedGray());
  return image;
}

}  // namespace

CFaxReceiveView::CFaxReceiveView(CStationCore& core, QWidget* parent)
    : QWidget(parent), m_core(core) {
  m_preview = new CPicturePane(this);
  m_live = new CPicturePane(this);
  auto* live_scroll = new QScrollArea(this);
  live_scroll->setWidget(m_live);
  live_scroll->setAlignment(Qt::AlignHCenter);
  auto* preview_box = new QWidget(this);
  auto* preview_layout = new QVBoxLayout(preview_box);
  preview_layout->addWidget(m_preview, 0, Qt::AlignHCenter | Qt::AlignTop);
  preview_layout->addStretch(1);
  auto* pictures = new QTabWidget(this);
  pictures->addTab(preview_box, tr("FAX LIVE PREVIEW"));
  pictures->addTab(live_scroll, tr("FAX LIVE RECEIVE 1:1"));

  m_size = new QLabel(this);
  m_size->setToolTip(tr("pixels per line x lines in the store"));
  auto* save = new QPushButton(tr("Save this now"), this);
  save->setToolTip(tr("Save the received picture now"));
  auto* sync = new QPushButton(tr("Synchronize"), this);
  sync->setToolTip(tr("Move the phasing edge of the coming lines to the left border"));
  m_autosave = new QCheckBox(tr("automatic Save"), this);
  m_autosave->setObjectName("faxAutosave");
  m_autosave->setToolTip(tr("atomatic Save for Faxpics on/off"));
  m_autosave->setChecked(!m_core.Settings().GetInt(kCfgFaxNoAutosave));
  m_mirror = new QCheckBox(tr("vertical mirror"), this);
  m_mirror->setObjectName("faxMirror");
  m_mirror->setToolTip(tr("vertical mirror of faxpics (faxline paint from bottom to top]"));
  m_mirror->setChecked(m_core.Settings().GetInt(kCfgFaxVMirror) != 0);
  connect(save, &QPushButton::clicked, this, [this] { SaveNow(); });
  connect(sync, &QPushButton::clicked, this, [this] { ArmSync(); });
  connect(m_autosave, &QCheckBox::toggled, this,
          [this](bool on) { m_core.SetPictureAutosave(kProductFax, on); });
  connect(m_mirror, &QCheckBox::toggled, this, [this](bool on) { SetMirror(on); });
  auto* controls = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{save, sync, m_autosave, m_mirror})
    controls->addWidget(w);
  controls->addStretch(1);
  controls->addWidget(m_size);

  m_files = new CPictureFileList(tr("FAX pictures"), {QStringLiteral("*.bmp")}, this);
  auto* left = new QVBoxLayout;
  left->addWidget(pictures, 1);
  left->addLayout(controls);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addLayout(left, 3);
  layout->addWidget(m_files, 1);

  Rebuild(kDefaultWidth);
  Refresh();
}

void CFaxReceiveView::Rebuild(int width) {
  // The images wrap the store's memory: they go before the store is made again.
  m_preview->SetImage(QImage());
  m_live->SetImage(QImage());
  m_store.Init(width, m_mirror->isChecked() ? 1 : 0);
  m_preview->SetImage(Wrap(m_store.PreviewRowData(0), kFaxPreviewWidth, kFaxPreviewRows));
  m_live->SetImage(Wrap(m_store.StoreRow(0), width, kFaxStoreRows));
  m_size->setText(QStringLiteral("%1 x %2").arg(width).arg(m_store.FilledRows()));
}

void CFaxReceiveView::SetMirror(bool on) {
  m_core.SetFaxMirror(on);
  Rebuild(m_store.Width() > 0 ? m_store.Width() : kDefaultWidth);
}

void CFaxReceiveView::FaxLine(const uint8_t* gray, int width, int sync) {
  if (width < 1) return;
  if (width != m_store.Width()) Rebuild(width);  // another module: a new store
  // A wave file decoded into the FAX decoder starts anywhere in a chart: its first lines
  // are synchronised automatically.
  const bool file = m_core.FileDecodeRunning() != 0;
  if (file && !m_fileDecoding) m_store.ArmSync();
  m_fileDecoding = file;
  const int row = m_store.CurrentRow(), preview_row = m_store.PreviewRow();
  const bool previewed = m_store.AddLine(gray, width, sync);
  int delta = 0;
  // FM lines carry no sync value (0): a whole line's shift would change nothing.
  if (m_store.TakeSyncPos(delta) && delta % width != 0) m_core.FaxSetSyncPos(delta);
  // A scroll moves everything; otherwise only the new row changed.
  if (m_store.CurrentRow() == row + (m_store.Mirrored() ? -1 : 1))
    m_live->RowsChanged(row, row);
  else
    m_live->update();
  if (previewed) {
    if (m_store.PreviewRow() == preview_row + (m_store.Mirrored() ? -1 : 1))
      m_preview->RowsChanged(preview_row, preview_row);
    else
      m_preview->update();
  }
  m_size->setText(QStringLiteral("%1 x %2").arg(width).arg(m_store.FilledRows()));
}

int CFaxReceiveView::SaveNow() {
  const int rows = m_store.FilledRows();
  if (rows < 1) {
    QMessageBox::information(this, tr("Save this now"), tr("No FAX lines have been received."));
    return 0;
  }
  const int first = m_store.Mirrored() ? kFaxStoreRows - rows : 0;
  std::string path, error;
  if (!SaveFaxNow(m_core.Settings().GetPath(kCfgFaxFolder), m_store.StoreRow(first),
                  m_store.Width(), rows, time(nullptr), path, error)) {
    QMessageBox::warning(this, tr("Save this now"), QString::fromStdString(error));
    return 0;
  }
  PictureSaved();
  return 1;
}

void CFaxReceiveView::PictureSaved() { m_files->Refresh(); }

void CFaxReceiveView::SetOpener(std::function<void(const QString&)> open) {
  m_files->SetOpener(std::move(open));
}

void CFaxReceiveView::Refresh() {
  m_files->SetFolder(QString::fromStdString(m_core.Settings().GetPath(kCfgFaxFolder)));
}

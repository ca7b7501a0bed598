#include "app/views/qt/sstv_receive_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cstdlib>
#include <cstring>

#include "app/core/station_core.h"
#include "app/views/qt/picture_file_list.h"
#include "app/views/qt/picture_pane.h"

namespace {
constexpr int kZoomSteps = 3;
constexpr int kDefaultZoom = 3;
constexpr int kColourBits = 24;
}  // namespace

CSstvReceiveView::CSstvReceiveView(CStationCore& core, QWidget* parent)
    : QWidget(parent), m_core(core) {
  auto* title = new QLabel(tr("SSTV LIVE RECEIVE"), this);
  m_picture = new CPicturePane(this);
  m_picture->SetZoom(kDefaultZoom);
  auto* scroll = new QScrollArea(this);
  scroll->setWidget(m_picture);
  scroll->setAlignment(Qt::AlignCenter);
  m_zoom = new QComboBox(this);
  for (int z = 1; z <= kZoomSteps; ++z) m_zoom->addItem(QStringLiteral("%1:1").arg(z), z);
  m_zoom->setCurrentIndex(kDefaultZoom - 1);
  m_zoom->setToolTip(tr("size of the picture on the screen"));
  auto* save = new QPushButton(tr("Save this now"), this);
  save->setToolTip(tr("Save the received picture now"));
  m_autosave = new QCheckBox(tr("automatic Save at end of picture"), this);
  m_autosave->setChecked(!m_core.Settings().GetInt(kCfgSstvNoAutosave));
  connect(m_zoom, &QComboBox::currentIndexChanged, this,
          [this] { m_picture->SetZoom(m_zoom->currentData().toInt()); });
  connect(save, &QPushButton::clicked, this, [this] { m_core.SaveSstvNow(); });
  connect(m_autosave, &QCheckBox::toggled, this,
          [this](bool on) { m_core.SetPictureAutosave(kProductSstv, on); });
  auto* controls = new QHBoxLayout;
  controls->addWidget(save);
  controls->addWidget(m_autosave);
  controls->addStretch(1);
  controls->addWidget(m_zoom);

  m_files = new CPictureFileList(tr("SSTV pictures"), {QStringLiteral("*.jpg")}, this);
  auto* left = new QVBoxLayout;
  left->addWidget(title);
  left->addWidget(scroll, 1);
  left->addLayout(controls);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addLayout(left, 3);
  layout->addWidget(m_files, 1);
  Refresh();
}

void CSstvReceiveView::SstvLine(int y) {
  HBITMAP picture = m_core.SstvPicture();
  if (!picture || picture->bits != kColourBits) return;
  const int rows = std::abs(picture->height);
  if (y < 0 || y >= rows) return;
  if (m_image.width() != picture->width || m_image.height() != rows) {
    m_image = QImage(picture->width, rows, QImage::Format_BGR888);
    m_image.fill(Qt::black);
    m_picture->SetImage(m_image);
  }
  const int stored = picture->height > 0 ? rows - 1 - y : y;
  std::memcpy(m_image.scanLine(y), picture->pixels + size_t(stored) * size_t(picture->bpl),
              size_t(picture->width) * 3);
  m_picture->SetImage(m_image);  // a line every half second or so: the whole is repainted
}

void CSstvReceiveView::PictureSaved() { m_files->Refresh(); }

void CSstvReceiveView::SetOpener(std::function<void(const QString&)> open) {
  m_files->SetOpener(std::move(open));
}

void CSstvReceiveView::Refresh() {
  m_files->SetFolder(QString::fromStdString(m_core.Settings().GetPath(kCfgSstvFolder)));
}

#include "app/views/qt/colour_manipulator.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

constexpr int kPreviewSide = 360;
constexpr int kStripHeight = 24;
const char kPaletteFilter[] = "Palette (*.pal)";

// Ready palettes: the value i of a gray picture becomes the colour each gives it.
Palette Ramp(QRgb (*colour)(int i)) {
  Palette p;
  for (int i = 0; i < kPaletteEntries; ++i) {
    const QRgb c = colour(i);
    p.entries[i] = RGBQUAD{uint8_t(qBlue(c)), uint8_t(qGreen(c)), uint8_t(qRed(c)), 0};
  }
  return p;
}
QRgb Gray(int i) { return qRgb(i, i, i); }
QRgb Inverted(int i) { return qRgb(255 - i, 255 - i, 255 - i); }
QRgb Sepia(int i) { return qRgb(std::min(255, i + 40), std::min(255, i + 15), std::max(0, i - 20)); }
// Blue through green and yellow to red: cloud tops and sea temperatures read at a glance.
QRgb Rainbow(int i) { return QColor::fromHsv(int(240 - 240 * i / 255.0), 255, 255).rgb(); }
struct ReadyPalette {
  const char* name;
  QRgb (*colour)(int);
};
constexpr ReadyPalette kReady[] = {
    {"Gray", Gray}, {"Inverted gray", Inverted}, {"Sepia", Sepia}, {"Rainbow", Rainbow}};

QList<QRgb> ColourTable(const Palette& p) {
  QList<QRgb> table;
  for (const RGBQUAD& q : p.entries) table << qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
  return table;
}

}  // namespace

CColourManipulator::CColourManipulator(const QString& path, std::function<void()> applied,
                                       QWidget* parent)
    : QDialog(parent), m_path(path), m_applied(std::move(applied)), m_palette(GrayPalette()) {
  setWindowTitle(QStringLiteral("Lumagraph Color Manipulator for %1").arg(QFileInfo(path).fileName()));
  // The gray values of the picture, small: the preview only swaps colour tables.
  QImage picture(path);
  if (!picture.isNull())
    m_gray = picture.scaled(kPreviewSide, kPreviewSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                 .convertToFormat(QImage::Format_Grayscale8)
                 .convertToFormat(QImage::Format_Indexed8, ColourTable(GrayPalette()));
  m_preview = new QLabel(this);
  m_preview->setAlignment(Qt::AlignCenter);
  m_preview->setMinimumSize(kPreviewSide, kPreviewSide / 2);
  m_strip = new QLabel(this);
  m_strip->setToolTip(tr("the colour of each gray value, black on the left"));
  m_ready = new QComboBox(this);
  for (const ReadyPalette& r : kReady) m_ready->addItem(tr(r.name));
  connect(m_ready, &QComboBox::activated, this,
          [this](int i) { SetPalette(Ramp(kReady[i].colour)); });
  auto* load = new QPushButton(tr("Load..."), this);
  load->setToolTip(tr("Load a Tessaly Palette"));
  auto* save = new QPushButton(tr("Save..."), this);
  save->setToolTip(tr("Save a Tessaly Palette"));
  auto* apply = new QPushButton(tr("Apply"), this);
  apply->setToolTip(tr("Colour the picture file with this palette"));
  auto* close = new QPushButton(tr("Close"), this);
  connect(load, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getOpenFileName(this, tr("Load a Tessaly Palette"),
                                                      QFileInfo(m_path).path(), kPaletteFilter);
    if (!file.isEmpty()) LoadPalette(file);
  });
  connect(save, &QPushButton::clicked, this, [this] {
    QString file = QFileDialog::getSaveFileName(this, tr("Save a Tessaly Palette"),
                                                QFileInfo(m_path).path(), kPaletteFilter);
    if (file.isEmpty()) return;
    if (QFileInfo(file).suffix().isEmpty()) file += ".pal";
    SavePalette(file);
  });
  connect(apply, &QPushButton::clicked, this, [this] { Apply(); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_ready);
  for (QPushButton* b : {load, save, apply, close}) buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_preview, 1);
  layout->addWidget(m_strip);
  layout->addLayout(buttons);
  ShowPreview();
}

void CColourManipulator::SetPalette(const Palette& palette) {
  m_palette = palette;
  ShowPreview();
}

void CColourManipulator::ShowPreview() {
  const QList<QRgb> table = ColourTable(m_palette);
  if (!m_gray.isNull()) {
    m_gray.setColorTable(table);
    m_preview->setPixmap(QPixmap::fromImage(m_gray));
  } else {
    m_preview->setText(tr("%1 could not be read.").arg(m_path));
  }
  QImage strip(kPaletteEntries, kStripHeight, QImage::Format_Indexed8);
  strip.setColorTable(table);
  for (int y = 0; y < kStripHeight; ++y)
    for (int x = 0; x < kPaletteEntries; ++x) strip.scanLine(y)[x] = uchar(x);
  m_strip->setPixmap(QPixmap::fromImage(strip));
}

int CColourManipulator::LoadPalette(const QString& file) {
  Palette p;
  std::string error;
  if (!ReadPalette(file.toStdString(), p, error)) {
    QMessageBox::warning(this, tr("Load a Tessaly Palette"), QString::fromStdString(error));
    return 0;
  }
  SetPalette(p);
  return 1;
}

int CColourManipulator::SavePalette(const QString& file) {
  std::string error;
  if (!WritePalette(file.toStdString(), m_palette, error)) {
    QMessageBox::warning(this, tr("Save a Tessaly Palette"), QString::fromStdString(error));
    return 0;
  }
  return 1;
}

int CColourManipulator::Apply() {
  std::string error;
  if (!ApplyPaletteToFile(m_path.toStdString(), m_palette, error)) {
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(error));
    return 0;
  }
  if (m_applied) m_applied();
  return 1;
}

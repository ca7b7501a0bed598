#include "app/ui/equalizer_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/core/station_core.h"
#include "spl/widgets/equalizer_view.h"

namespace {
constexpr const char* kCurveExtension = ".equ";
constexpr int kMaxFilter = 96000;  // Hz: up to half the highest capture rate
// The position choices, in the order of the box, with their settings values.
constexpr struct {
  const char* text;
  int value;
} kPositions[] = {{"before the decoder", 1}, {"behind the decoder", 0}, {"off", -1}};
}  // namespace

CEqualizerPanel::CEqualizerPanel(CStationCore& core, QWidget* parent) : QWidget(parent), m_core(core) {
  m_view = new CEqualizerView;
  m_view->setToolTip("left button: draw the gain, right button: back to 1");
  m_power = new QCheckBox("Power");
  m_filter = new QSpinBox;
  m_filter->setRange(1, kMaxFilter);
  m_start = new QSpinBox;
  m_width = new QSpinBox;
  for (QSpinBox* s : {m_start, m_width}) s->setSuffix(" Hz");
  m_position = new QComboBox;
  for (const auto& p : kPositions) m_position->addItem(p.text);
  m_curves = new QListWidget;
  m_curves->setMaximumWidth(180);
  m_curves->setToolTip("double click: load the curve");
  auto* load = new QPushButton("Load");
  auto* save = new QPushButton("Save as...");
  auto* remove = new QPushButton("Delete");

  auto* form = new QFormLayout;
  form->addRow(m_power);
  form->addRow("Filter", m_filter);
  form->addRow("Start", m_start);
  form->addRow("Width", m_width);
  form->addRow("Works", m_position);
  auto* files = new QVBoxLayout;
  files->addWidget(m_curves, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(load);
  buttons->addWidget(save);
  buttons->addWidget(remove);
  files->addLayout(buttons);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(m_view, 1);
  layout->addLayout(form);
  layout->addLayout(files);

  connect(m_power, &QCheckBox::toggled, this, [this](bool on) {
    if (CEqualizerModul* eq = m_core.Equalizer(); eq && !m_showing) eq->SetBypass(on ? 1 : 0), m_view->update();
  });
  connect(m_filter, &QSpinBox::valueChanged, this, [this](int v) {
    if (CEqualizerModul* eq = m_core.Equalizer(); eq && !m_showing) eq->SetFilter(v), m_view->update();
  });
  auto zoom = [this] {
    CEqualizerModul* eq = m_core.Equalizer();
    if (!eq || m_showing) return;
    eq->Zoom(m_start->value(), m_width->value());
    ShowZoom();  // the rules may have clipped it
  };
  connect(m_start, &QSpinBox::editingFinished, this, zoom);
  connect(m_width, &QSpinBox::editingFinished, this, zoom);
  connect(m_position, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (!m_showing && i >= 0) m_core.Settings().SetInt(kCfgEqualizerPosition, kPositions[i].value);
  });
  auto chosen = [this] { return m_curves->currentItem() ? m_curves->currentItem()->text() : QString(); };
  connect(m_curves, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { LoadCurve(item->text()); });
  connect(load, &QPushButton::clicked, this, [this, chosen] {
    if (!chosen().isEmpty()) LoadCurve(chosen());
  });
  connect(save, &QPushButton::clicked, this, [this, chosen] {
    bool ok = false;
    const QString name = QInputDialog::getText(this, "Save the curve", "Name", QLineEdit::Normal, chosen(), &ok);
    if (ok && !name.trimmed().isEmpty()) SaveCurve(name.trimmed());
  });
  connect(remove, &QPushButton::clicked, this, [this, chosen] {
    const QString name = chosen();
    if (!name.isEmpty() &&
        QMessageBox::question(this, "Equalizer", QString("Delete the curve %1?").arg(name)) == QMessageBox::Yes)
      DeleteCurve(name);
  });
  Refresh();
}

void CEqualizerPanel::Refresh() {
  m_showing = true;
  CEqualizerModul* eq = m_core.Equalizer();
  m_view->SetModul(eq);
  for (QWidget* w : std::initializer_list<QWidget*>{m_view, m_power, m_filter, m_start, m_width})
    w->setEnabled(eq != nullptr);
  if (eq) {
    m_power->setChecked(eq->GetBypass() != 0);
    m_filter->setValue(eq->GetFilter());
  }
  const int position = m_core.Settings().GetInt(kCfgEqualizerPosition);
  for (int i = 0; i < int(std::size(kPositions)); ++i)
    if (kPositions[i].value == position) m_position->setCurrentIndex(i);
  m_showing = false;
  ShowZoom();
  FillCurves();
}

void CEqualizerPanel::ShowZoom() {
  CEqualizerModul* eq = m_core.Equalizer();
  if (!eq) return;
  m_showing = true;
  int start = 0, width = 0;
  eq->GetZoom(start, width);
  const int nyquist = eq->Equalizer().GetRate() / 2;
  m_start->setRange(0, std::max(nyquist - 1, 0));
  m_width->setRange(1, std::max(nyquist, 1));
  m_start->setValue(start);
  m_width->setValue(width);
  m_showing = false;
  m_view->update();
}

std::string CEqualizerPanel::CurvePath(const QString& name) const {
  return m_core.Settings().GetPath(kCfgDataFolder) + "/" + name.toStdString() + kCurveExtension;
}

QStringList CEqualizerPanel::Curves() const {
  QStringList names;
  const QDir dir(QString::fromStdString(m_core.Settings().GetPath(kCfgDataFolder)));
  for (const QFileInfo& f : dir.entryInfoList({"*.equ", "*.EQU"}, QDir::Files, QDir::Name)) names << f.completeBaseName();
  return names;
}

void CEqualizerPanel::FillCurves() {
  m_curves->clear();
  m_curves->addItems(Curves());
}

int CEqualizerPanel::LoadCurve(const QString& name) {
  CEqualizerModul* eq = m_core.Equalizer();
  if (!eq) return 0;
  std::string why;
  const int ok = eq->LoadCurve(CurvePath(name), &why);
  if (!ok) Tell(QString::fromStdString(why));
  Refresh();
  return ok;
}

int CEqualizerPanel::SaveCurve(const QString& name) {
  CEqualizerModul* eq = m_core.Equalizer();
  if (!eq) return 0;
  if (name.contains('/')) return Tell("a curve's name has no \"/\""), 0;
  if (!eq->SaveCurve(CurvePath(name))) return Tell(QString::fromStdString(CurvePath(name)) + ": cannot be written"), 0;
  FillCurves();
  return 1;
}

int CEqualizerPanel::DeleteCurve(const QString& name) {
  if (!QFile::remove(QString::fromStdString(CurvePath(name)))) return Tell(name + ": cannot be deleted"), 0;
  FillCurves();
  return 1;
}

void CEqualizerPanel::Tell(const QString& text) {
  m_message = text;
  if (!isVisible()) return;
  // Not modal: the station goes on receiving while it is read.
  auto* box = new QMessageBox(QMessageBox::Warning, "Equalizer", text, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

#include "app/ui/mixer_roles_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QVBoxLayout>
#include <fstream>

#include "app/core/safe_file.h"
#include "app/core/station_core.h"

namespace {

constexpr const char* kNoMixer = "There are no audio mixer devices installed.\nThis application is useless.";
constexpr const char* kSelectTitle = "Audio Driver Config Selction for %1";
constexpr const char* kSaveTitle = "Save a Tessaly Mixer Config";
constexpr const char* kLoadTitle = "Load a Tessaly Mixer Config";
constexpr const char* kFilter = "MixerConfig (*.kmc)";
constexpr int kPercent = 100;
const char* const kRoleLabels[kMixerRoleCount] = {"Line-in volume", "Line-in mute",   "Input selector",
                                                   "Wave volume",    "Wave mute",      "Speaker volume",
                                                   "Speaker mute",   "Speaker bass",   "Speaker treble",
                                                   "Speaker line"};

bool IsMute(const MixerControl& c) { return c.type == MIXERCONTROL_CONTROLTYPE_MUTE; }

}  // namespace

CMixerRolesPage::CMixerRolesPage(CStationCore& core, QWidget* parent) : QWidget(parent), m_core(core) { Build(); }

CMixerRolesPage::~CMixerRolesPage() {
  if (m_mixer.IsOpen()) m_mixer.SetMixerState(m_opened);
}

void CMixerRolesPage::Build() {
  auto* layout = new QVBoxLayout(this);
  m_card = new QLabel;
  layout->addWidget(m_card);
  auto* grid = new QGridLayout;
  for (int role = 0; role < kMixerRoleCount; ++role) {
    Row row;
    auto* holder = new QWidget;
    auto* h = new QHBoxLayout(holder);
    h->setContentsMargins(0, 0, 0, 0);
    row.control = new QLabel;
    row.control->setObjectName(MixerRoleName(role));
    row.select = new QPushButton("Select...");
    connect(row.select, &QPushButton::clicked, this, [this, role] { Select(role); });
    grid->addWidget(new QLabel(kRoleLabels[role]), role, 0);
    grid->addWidget(holder, role, 1);
    grid->addWidget(row.control, role, 2);
    grid->addWidget(row.select, role, 3);
    row.value = holder;
    m_rows.push_back(row);
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);
  layout->addLayout(grid);
  auto* files = new QHBoxLayout;
  auto* save = new QPushButton("save");
  auto* load = new QPushButton("load");
  files->addStretch(1);
  files->addWidget(save);
  files->addWidget(load);
  layout->addLayout(files);
  layout->addStretch(1);
  connect(save, &QPushButton::clicked, this, [this] {
    const QString proposed = QString::fromStdString(m_core.BaseFolder() + "/" + MixerConfigFileName(m_mixer.ProductName()));
    const QString path = QFileDialog::getSaveFileName(this, kSaveTitle, proposed, kFilter);
    if (!path.isEmpty()) SaveTo(path.toStdString());
  });
  connect(load, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, kLoadTitle, QString::fromStdString(m_core.BaseFolder()), kFilter);
    if (!path.isEmpty()) LoadFrom(path.toStdString());
  });
  m_ask = [this](const QString& question) {
    return QMessageBox::question(this, kLoadTitle, question, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
  };
}

int CMixerRolesPage::Open() {
  if (m_mixer.IsOpen()) m_mixer.SetMixerState(m_opened);
  const std::string device = m_core.MixerDevice();
  const int ok = m_mixer.Init(device, 0);
  m_opened = ok ? m_mixer.GetMixerState() : CMixerState();
  m_card->setText(ok ? QString("Sound card: %1").arg(QString::fromStdString(m_mixer.ProductName()))
                     : QString(kNoMixer) + "\n" + QString::fromStdString(device + ": " + m_mixer.Error()));
  for (int role = 0; role < kMixerRoleCount; ++role) {
    m_rows[size_t(role)].select->setEnabled(ok != 0);
    ShowRole(role);
  }
  return ok;
}

MixerConfig CMixerRolesPage::Config() const {
  MixerConfig config;
  GetMixerConfig(m_core.Settings(), config);
  return config;
}

void CMixerRolesPage::Keep(const MixerConfig& config) { PutMixerConfig(config, m_core.Settings()); }

QString CMixerRolesPage::RoleText(int role) const {
  return QString::fromStdString(AssignedControlText(m_mixer, Config().roles[role]));
}

void CMixerRolesPage::ShowRole(int role) {
  Row& row = m_rows[size_t(role)];
  row.control->setText(RoleText(role));
  QLayout* h = row.value->layout();
  while (QLayoutItem* item = h->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  MixerLine line;
  MixerControl control;
  if (!m_mixer.IsOpen() || !FindAssignedControl(m_mixer, Config().roles[role], line, control)) return;
  const int value = RoleValue(role);
  if (control.items > 0) {
    auto* box = new QComboBox;
    for (int i = 0; i < control.items; ++i) box->addItem(QString("Input %1").arg(i + 1));
    box->setCurrentIndex(std::max(value, 0));
    connect(box, &QComboBox::currentIndexChanged, this, [this, role](int i) { SetRoleValue(role, i); });
    h->addWidget(box);
  } else if (IsMute(control)) {
    auto* box = new QCheckBox("mute");
    box->setChecked(value > 0);
    connect(box, &QCheckBox::toggled, this, [this, role](bool on) { SetRoleValue(role, on ? 1 : 0); });
    h->addWidget(box);
  } else {
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setRange(0, kPercent);
    slider->setValue(std::max(value, 0));
    connect(slider, &QSlider::valueChanged, this, [this, role](int v) { SetRoleValue(role, v); });
    h->addWidget(slider);
  }
}

int CMixerRolesPage::RoleValue(int role) {
  const MixerAssignment a = Config().roles[role];
  MixerLine line;
  MixerControl c;
  if (!FindAssignedControl(m_mixer, a, line, c)) return -1;
  if (c.items > 0) {
    for (int i = 0; i < c.items; ++i)
      if (m_mixer.GetControlValueB(line, c, i) > 0) return i;
    return 0;
  }
  if (IsMute(c)) return m_mixer.GetControlValueB(line, c, 0);
  const int v = m_mixer.GetControlValueU(line, c);
  if (v < 0 || c.maximum <= c.minimum) return -1;
  const int percent = int((long long)(v - c.minimum) * kPercent / (c.maximum - c.minimum));
  return a.reverse ? kPercent - percent : percent;
}

int CMixerRolesPage::SetRoleValue(int role, int value) {
  MixerConfig config = Config();
  const MixerAssignment& a = config.roles[role];
  MixerLine line;
  MixerControl c;
  if (!FindAssignedControl(m_mixer, a, line, c)) return 0;
  if (c.items > 0) {
    if (value < 0 || value >= c.items) return 0;
    int ok = 1;
    for (int i = 0; i < c.items; ++i) {
      ok &= m_mixer.SetControlValueB(line, c, i, i == value ? 1 : 0);
      if (i < kMixerSelectorCount) config.selectors[i] = i == value ? 1 : 0;
    }
    Keep(config);
    return ok;
  }
  if (IsMute(c)) return m_mixer.SetControlValueB(line, c, 0, value ? 1 : 0);
  const int percent = std::clamp(a.reverse ? kPercent - value : value, 0, kPercent);
  return m_mixer.SetControlValueU(line, c, int(c.minimum + (long long)(c.maximum - c.minimum) * percent / kPercent));
}

int CMixerRolesPage::Assign(int role, uint32_t lineId, uint32_t controlId) {
  for (const CMixer::Destination& d : m_mixer.Destinations()) {
    auto take = [&](const CMixer::Source* s, const std::vector<MixerControl>& controls, const MixerLine& l) {
      if (l.id != lineId) return false;
      for (const MixerControl& c : controls) {
        if (c.id != controlId) continue;
        MixerConfig config = Config();
        config.card = m_mixer.Caps();
        config.roles[role] = MixerAssignmentOf(d, s, c);
        Keep(config);
        return true;
      }
      return false;
    };
    bool done = take(nullptr, d.controls, d.line);
    for (const CMixer::Source& s : d.sources) done = done || take(&s, s.controls, s.line);
    if (done) {
      ShowRole(role);
      return 1;
    }
  }
  return 0;
}

void CMixerRolesPage::Select(int role) {
  // The card's lines and controls go through the work file, as the selection reads them.
  const std::string work = m_core.BaseFolder() + "/" + kMixerWorkFileName;
  const std::string text = MixerWorkFileText(m_mixer);
  std::string why;
  if (!WriteFileReplacing(work, text.data(), text.size(), &why)) return Tell(QString::fromStdString(why));
  std::ifstream in(work);
  QDialog dialog(this);
  dialog.setWindowTitle(QString(kSelectTitle).arg(MixerRoleName(role)));
  auto* list = new QListWidget;
  const QRegularExpression ids("@D(\\d+)#(\\d+)$");
  for (std::string l; std::getline(in, l) && l != "/END";) {
    const QString entry = QString::fromStdString(l);
    auto* item = new QListWidgetItem;
    const QRegularExpressionMatch m = ids.match(entry);
    if (entry.startsWith('{')) {
      item->setText(entry.mid(1, entry.lastIndexOf('@') - 1));
      item->setFlags(Qt::NoItemFlags);
      QFont bold = item->font();
      bold.setBold(true);
      item->setFont(bold);
    } else if (m.hasMatch()) {
      item->setText("    " + entry.left(entry.lastIndexOf('@')));
      item->setData(Qt::UserRole, m.captured(1).toUInt());
      item->setData(Qt::UserRole + 1, m.captured(2).toUInt());
    } else {
      delete item;
      continue;
    }
    list->addItem(item);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  auto* v = new QVBoxLayout(&dialog);
  v->addWidget(list);
  v->addWidget(buttons);
  dialog.resize(420, 460);
  if (dialog.exec() != QDialog::Accepted || !list->currentItem() || !(list->currentItem()->flags() & Qt::ItemIsEnabled))
    return;
  Assign(role, list->currentItem()->data(Qt::UserRole).toUInt(), list->currentItem()->data(Qt::UserRole + 1).toUInt());
}

int CMixerRolesPage::SaveTo(const std::string& path) {
  MixerConfig config = Config();
  if (m_mixer.IsOpen()) config.card = m_mixer.Caps();
  std::string why;
  if (!WriteMixerConfigFile(path, config, &why)) return Tell(QString::fromStdString(why)), 0;
  return 1;
}

int CMixerRolesPage::LoadFrom(const std::string& path) {
  MixerCaps card;
  std::string why;
  if (!ReadMixerConfigCard(path, card, &why)) return Tell(QString::fromStdString(why)), 0;
  const MixerCaps here = m_mixer.Caps();
  if (!SameMixerCard(card, here) &&
      !(m_ask && m_ask(QString("This configuration was made for another card.\n\nfile:  %1\ncard:  %2\n\nLoad it anyway?")
                           .arg(QString::fromStdString(MixerCardText(card)), QString::fromStdString(MixerCardText(here))))))
    return 0;
  MixerConfig config = Config();
  if (!ReadMixerConfigFile(path, config, &why)) return Tell(QString::fromStdString(why)), 0;
  config.card = here;
  Keep(config);
  for (int role = 0; role < kMixerRoleCount; ++role) ShowRole(role);
  // The selector's items as the file keeps them.
  MixerLine line;
  MixerControl c;
  if (FindAssignedControl(m_mixer, config.roles[kRoleLineMux], line, c))
    for (int i = 0; i < c.items && i < kMixerSelectorCount; ++i) m_mixer.SetControlValueB(line, c, i, int(config.selectors[i]));
  ShowRole(kRoleLineMux);
  return 1;
}

void CMixerRolesPage::Tell(const QString& text) {
  m_message = text;
  if (!isVisible()) return;
  // Not modal: the station goes on receiving while it is read.
  auto* box = new QMessageBox(QMessageBox::Warning, "Sound card", text, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

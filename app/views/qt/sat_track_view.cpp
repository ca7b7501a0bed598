#include "app/views/qt/sat_track_view.h"

#include <QCheckBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPolygon>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "app/core/profile_file.h"
#include "spl/widgets/world_map_view.h"

namespace {

constexpr const char* kMarksSection = "SatTrack";
constexpr const char* kMarksKey = "Marked";
const QColor kVisiblePen(240, 240, 0);
const QColor kInvisiblePen(128, 255, 255);
constexpr int kNameFontPixels = 10;
constexpr int kNameDx = 6, kNameDy = -7;
constexpr int kCrossGap = 2, kCrossEnd = 7;  // the observer's cross
constexpr int kMaxOffsetMinutes = 7 * 24 * 60;
// The map's look: deep blue sea, ochre land, blue lakes and rivers, a dark relief.
constexpr uint32_t kSea = 0x0028D0, kLand = 0xA88000, kLakes = 0x0000D0, kShadow = 0x000080;
constexpr int kModeBase = CWorldMap::kOffscreen | 1;
constexpr int kPaneCount = 6;
constexpr const char* kCitiesFile = KESTREL_DATA_DIR "/worldmap/cities.txt";

// The satellite symbol: a body with two panels and an antenna, about 13 pixels across.
void Symbol(QPainter& p, int x, int y) {
  p.save();
  p.setPen(QColor(160, 160, 160));
  p.setBrush(QColor(255, 220, 0));
  p.drawRect(x - 6, y - 1, 4, 3);  // panels
  p.drawRect(x + 3, y - 1, 4, 3);
  p.setPen(QColor(170, 255, 255));
  p.setBrush(QColor(0, 0, 128));
  const QPoint body[] = {{x - 2, y - 2}, {x, y - 3}, {x + 2, y - 2},
                         {x + 2, y + 2}, {x, y + 3}, {x - 2, y + 2}};
  p.drawPolygon(body, 6);
  p.drawLine(x, y - 3, x, y - 6);  // antenna
  p.restore();
}

}  // namespace

CSatTrackView::CSatTrackView(CProfileFile& profile, QWidget* parent)
    : QWidget(parent), m_profile(profile) {
  setWindowTitle(kSatTrackTitle);
  m_map = new CWorldMapView(this);
  m_map->Map().SetColor(kSea, kLand, kLakes, kLakes, kShadow);
  m_map->Map().SetCityFile(kCitiesFile);
  m_map->SetUserDraw([this](QPainter& p, const CWorldMap& map, const QRect&) { Draw(p, map); });
  m_map->SetMouseMove([this](int x, int y) { MouseAt(x, y); });

  m_list = new QListWidget(this);
  m_list->setToolTip(tr("the satellites drawn on the map"));
  connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    m_marks.Set(item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked);
    StoreMarks();
    m_map->viewport()->update();
  });
  auto box = [this](const QString& text, bool on) {
    auto* b = new QCheckBox(text, this);
    b->setChecked(on);
    return b;
  };
  m_refresh = box(tr("Refresh every 4 s"), true);
  m_tracks = box(tr("Tracks"), true);
  m_grid = box(tr("Grid"), true);
  m_cities = box(tr("Cities"), true);
  m_relief = box(tr("Relief"), false);
  m_offsetOn = box(tr("Time offset"), false);
  m_offset = new QSpinBox(this);
  m_offset->setRange(-kMaxOffsetMinutes, kMaxOffsetMinutes);
  m_offset->setSuffix(tr(" min"));
  for (QCheckBox* b : {m_grid, m_cities, m_relief})
    connect(b, &QCheckBox::toggled, this, [this] { ApplyMode(); });
  connect(m_tracks, &QCheckBox::toggled, this, [this] { m_map->viewport()->update(); });
  connect(m_offsetOn, &QCheckBox::toggled, this, [this] { Tick(); });
  connect(m_offset, &QSpinBox::valueChanged, this, [this] { Tick(); });
  connect(m_refresh, &QCheckBox::toggled, this, [this](bool on) {
    if (on) m_timer->start(kSatTrackRefreshMs);
    else m_timer->stop();
  });

  auto* side = new QVBoxLayout;
  side->addWidget(new QLabel(tr("Satellites on the map"), this));
  side->addWidget(m_list, 1);
  for (QCheckBox* b : {m_refresh, m_tracks, m_grid, m_cities, m_relief, m_offsetOn}) side->addWidget(b);
  side->addWidget(m_offset);
  auto* status = new QHBoxLayout;
  for (int i = 1; i < kPaneCount; ++i) {
    m_panes[i] = new QLabel(this);
    m_panes[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_panes[i]->setMinimumWidth(120);
  }
  for (int i : {2, 1, 3, 4, 5}) status->addWidget(m_panes[i]);
  status->addStretch(1);
  auto* left = new QVBoxLayout;
  left->addWidget(m_map, 1);
  left->addLayout(status);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addLayout(left, 1);
  layout->addLayout(side);

  m_marks.SetText(m_profile.GetString(kMarksSection, kMarksKey, ""));
  m_timer = new QTimer(this);
  connect(m_timer, &QTimer::timeout, this, [this] { Tick(); });
  m_timer->start(kSatTrackRefreshMs);
  ApplyMode();
  Tick();
}

CSatTrackView::~CSatTrackView() = default;

void CSatTrackView::ApplyMode() {
  int mode = kModeBase;
  if (m_relief->isChecked()) mode |= CWorldMap::kRelief;
  if (m_grid->isChecked()) mode |= CWorldMap::kGrid;
  if (m_cities->isChecked()) mode |= CWorldMap::kCities | CWorldMap::kCitiesNoOverlap;
  m_map->SetMode(mode);
}

void CSatTrackView::SetElements(const std::vector<SatElem>& elements) {
  m_sats = elements;
  QSignalBlocker quiet(m_list);
  m_list->clear();
  for (const SatElem& s : m_sats) {
    auto* item = new QListWidgetItem(QString::fromLatin1(s.name), m_list);
    item->setData(Qt::UserRole, int(s.number));
    item->setToolTip(QString::number(s.number));
    item->setCheckState(m_marks.Marked(s.number) ? Qt::Checked : Qt::Unchecked);
  }
  m_map->viewport()->update();
}

void CSatTrackView::MarkAll() {
  for (const SatElem& s : m_sats) m_marks.Set(s.number, true);
  SetElements(std::vector<SatElem>(m_sats));
  StoreMarks();
}

void CSatTrackView::StoreMarks() { m_profile.SetString(kMarksSection, kMarksKey, m_marks.Text()); }

void CSatTrackView::SetObserver(int y, int x, int heightM, int minElevation) {
  m_observer = Observer{y, x, heightM, minElevation};
  m_haveObserver = true;
  m_map->viewport()->update();
}

void CSatTrackView::SetTimeOffset(int minutes, bool on) {
  m_offset->setValue(minutes);
  m_offsetOn->setChecked(on);
  Tick();
}

void CSatTrackView::Tick() {
  const time_t now = Now();
  m_panes[2]->setText(QString::fromStdString(UtcPaneText(now)));
  m_panes[1]->setText(m_offsetOn->isChecked()
                          ? QString::fromStdString(TimespanPaneText(now, m_offset->value()))
                          : QString());
  // A rubber band being dragged is not disturbed by the redraw.
  if (!m_sats.empty() && !m_map->Dragging()) m_map->viewport()->update();
}

QString CSatTrackView::PaneText(int pane) const {
  return pane >= 1 && pane < kPaneCount ? m_panes[pane]->text() : QString();
}

void CSatTrackView::MouseAt(int x, int y) {
  const MousePaneTexts t = MouseTexts(x, y);
  m_panes[3]->setText(QString::fromStdString(t.latitude));
  m_panes[4]->setText(QString::fromStdString(t.longitude));
  m_panes[5]->setText(QString::fromStdString(t.locator));
}

bool CSatTrackView::ScreenPoint(const CWorldMap& map, const SatElem& sat, double unixSeconds,
                                int& x, int& y, bool& visible) {
  Satellite where{};
  visible = m_track.Predict(sat, m_observer, SatTimeFromUnix(unixSeconds), where) != 0;
  if (!m_track.LastValid()) return false;
  map.MapToScreen(where.x, where.y, x, y);
  return true;
}

void CSatTrackView::Draw(QPainter& p, const CWorldMap& map) {
  if (m_haveObserver) {
    int x = 0, y = 0;
    map.MapToScreen(m_observer.x, m_observer.y, x, y);
    p.setPen(Qt::white);
    p.drawLine(x - kCrossGap, y, x - kCrossEnd, y);
    p.drawLine(x + kCrossGap, y, x + kCrossEnd, y);
    p.drawLine(x, y - kCrossGap, x, y - kCrossEnd);
    p.drawLine(x, y + kCrossGap, x, y + kCrossEnd);
  }
  if (!m_tracks->isChecked() || m_sats.empty()) return;
  const int offset = m_offsetOn->isChecked() ? m_offset->value() : 0;
  QFont font = p.font();
  font.setPixelSize(kNameFontPixels);
  p.setFont(font);
  for (const SatElem& sat : m_sats) {
    if (!m_marks.Marked(sat.number)) continue;
    const TrackPoint at = [&](double t, int& x, int& y, bool& visible) {
      return ScreenPoint(map, sat, t, x, y, visible);
    };
    for (const TrackMark& m : ComputeTrack(at, double(Now()), offset)) {
      p.setPen(m.visible ? kVisiblePen : kInvisiblePen);
      switch (m.kind) {
        case TrackMark::kPast: {
          int pts[3][2];
          ArrowPoints(m.x, m.y, m.angle, pts);
          p.drawLine(pts[0][0], pts[0][1], pts[1][0], pts[1][1]);
          p.drawLine(pts[1][0], pts[1][1], pts[2][0], pts[2][1]);
          break;
        }
        case TrackMark::kNow:
          Symbol(p, m.x, m.y);
          p.setPen(kInvisiblePen);
          p.drawText(QRect(m.x + kNameDx, m.y + kNameDy, 400, kNameFontPixels + 4),
                     Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(sat.name));
          break;
        case TrackMark::kFuture:
          if (m.visible) {
            p.drawLine(m.x - 1, m.y, m.x + 1, m.y);
            p.drawLine(m.x, m.y - 1, m.x, m.y + 1);
          } else {
            p.drawPoint(m.x, m.y);
          }
          break;
      }
    }
  }
}

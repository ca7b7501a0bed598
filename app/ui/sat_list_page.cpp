#include "app/ui/sat_list_page.h"

#include <QHBoxLayout>
#include <QLabel>

#include "app/core/station_core.h"

namespace {

constexpr int kDefaultSpanHours = 24;
constexpr int kMaxSpanHours = kSatSpanMaxMinutes / 60;
constexpr int kMinutesPerHour = 60;
constexpr int kLocatorMaxChars = 8;
constexpr const char* kLocatorSample = "JN57RX11";  // the widest locator, for the field's width
constexpr int kFieldPadding = 16;  // pixels beside the field's text
constexpr int kGroupSpacing = 12;  // pixels between the generator and the observer

}  // namespace

CSatListPage::CSatListPage(CStationCore& core, QWidget* parent) : CListPage(core, kSatBasisListKind, parent) {
  SetSatNames([this](int satId) { return m_basis.SatName(satId); });
  QHBoxLayout* top = TopRow();
  m_generate = new QPushButton("Frq && Time", this);
  m_generate->setToolTip("the passes of the checked satellites within the span as the timer list");
  m_hours = new QSpinBox(this);
  m_hours->setRange(0, kMaxSpanHours);
  m_hours->setValue(kDefaultSpanHours);
  m_hours->setSuffix(" h");
  m_hours->setToolTip("span from now: hours");
  m_minutes = new QSpinBox(this);
  m_minutes->setRange(0, kMinutesPerHour - 1);
  m_minutes->setSuffix(" min");
  m_minutes->setToolTip("span from now: minutes");
  m_locator = new QLineEdit(this);
  m_locator->setMaxLength(kLocatorMaxChars);
  m_locator->setFixedWidth(m_locator->fontMetrics().horizontalAdvance(kLocatorSample) + kFieldPadding);
  m_locator->setPlaceholderText("JN57RX");
  m_locator->setToolTip("the observer's locator (QTH)");
  m_height = new QSpinBox(this);
  m_height->setRange(kObserverLowestHeight, kObserverHighestHeight);
  m_height->setSuffix(" m");
  m_height->setToolTip("the observer's height above sea level");
  m_minElev = new QSpinBox(this);
  m_minElev->setRange(kObserverLowestElev, kObserverHighestElev);
  m_minElev->setSuffix(QString::fromUtf8("\u00b0"));
  m_minElev->setToolTip("minimum elevation of a pass");
  top->addWidget(m_generate);
  top->addWidget(m_hours);
  top->addWidget(m_minutes);
  top->addSpacing(kGroupSpacing);
  top->addWidget(new QLabel("QTH", this));
  top->addWidget(m_locator);
  top->addWidget(m_height);
  top->addWidget(new QLabel("min. El.", this));
  top->addWidget(m_minElev);
  top->addStretch(1);

  connect(m_generate, &QPushButton::clicked, this, [this] { Generate(); });
  // A full day is the longest span.
  auto keep_span = [this] { m_minutes->setEnabled(m_hours->value() < kMaxSpanHours); };
  connect(m_hours, &QSpinBox::valueChanged, this, keep_span);
  keep_span();
  connect(m_locator, &QLineEdit::textEdited, this, [this](const QString& text) {
    const int at = m_locator->cursorPosition();
    m_locator->setText(text.toUpper());
    m_locator->setCursorPosition(at);
  });
  // Also when the generator's button takes the focus: it then works with the new locator.
  connect(m_locator, &QLineEdit::editingFinished, this, [this] {
    const std::string kept = ReadSatObserver(Core().Profile()).locator;
    if (!m_showingObserver && m_locator->text().trimmed().toStdString() != kept) StoreObserver();
  });
  auto store_numbers = [this] {
    if (m_showingObserver) return;
    SatObserverSettings o = ReadSatObserver(Core().Profile());
    o.height = m_height->value();
    o.minElevation = m_minElev->value();
    WriteSatObserver(Core().Profile(), o);
  };
  connect(m_height, &QSpinBox::valueChanged, this, store_numbers);
  connect(m_minElev, &QSpinBox::valueChanged, this, store_numbers);
}

CSatListPage::~CSatListPage() = default;

int CSatListPage::Init() {
  m_basis.Init(Core().Settings().GetPath(kCfgDataFolder));
  m_basis.LoadElements();
  ShowObserver();
  return CListPage::Init();
}

void CSatListPage::LoadElements() {
  m_basis.LoadElements();
  ShowRecords();
}

void CSatListPage::ShowObserver() {
  const SatObserverSettings o = ReadSatObserver(Core().Profile());
  m_showingObserver = true;
  m_locator->setText(QString::fromStdString(o.locator));
  m_height->setValue(o.height);
  m_minElev->setValue(o.minElevation);
  m_showingObserver = false;
}

int CSatListPage::StoreObserver() {
  const std::string text = m_locator->text().trimmed().toUpper().toStdString();
  std::string locator, why;
  if (!ObserverLocatorFromText(text, locator, &why)) {
    Tell(why);
    return 0;
  }
  if (locator != text) m_locator->setText(QString::fromStdString(locator));  // latitude, longitude given
  SatObserverSettings o;
  o.locator = locator;
  o.height = m_height->value();
  o.minElevation = m_minElev->value();
  WriteSatObserver(Core().Profile(), o);
  return 1;
}

int CSatListPage::SpanMinutes() const {
  const int hours = m_hours->value();
  return hours >= kMaxSpanHours ? kSatSpanMaxMinutes : hours * kMinutesPerHour + m_minutes->value();
}

int CSatListPage::Generate() {
  const time_t now = m_now ? m_now() : time(nullptr);
  const std::string timers = Core().Settings().GetPath(kCfgDataFolder) + "/" + kTimerListKind.fileName;
  std::string message;
  const int result = m_basis.Generate(Records(), ReadSatObserver(Core().Profile()), Core().Timer().Running() != 0,
                                      now, SpanMinutes(), timers, nullptr, message);
  // The names follow the element file just read.
  ShowRecords();
  if (result != kSatGenerated) {
    Tell(message);
    if (result == kSatNoObserver) m_locator->setFocus();
    return 0;
  }
  if (m_generated) m_generated();
  return 1;
}

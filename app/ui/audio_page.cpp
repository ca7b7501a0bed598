#include "app/ui/audio_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "spl/audio/list_codecs.h"
#include "spl/dsp/view_area.h"
#include "app/ui/equalizer_panel.h"
#include "app/ui/mixer_roles_page.h"
#include "spl/widgets/lamp.h"
#include "spl/widgets/level_meter.h"
#include "spl/widgets/paint_widget.h"

namespace {

constexpr float kFullScale = 32768.0f;
// Room for both tones of every usual RTTY, NAVTEX and CW set-up.
constexpr int kAreaLow = 0, kAreaHigh = 3000;
constexpr int kBytesPerSample = 2;  // the players count 16-bit PCM bytes
constexpr int kProgressSteps = 1000;
constexpr int kSquelchMax = 255;
constexpr int kCodecChars = 16;       // the codec combo's width in characters
constexpr int kScaleStepHz = 250;     // the frequency scale's ticks, labelled every 500 Hz
// A decoder signal is drawn over this part of the scope's half height.
constexpr float kSignalFill = 0.9f;

enum ScopeSource { kScopeInput, kScopeOutput, kScopeDecoder, kScopeSignals };
const char* const kScopeSourceNames[] = {"Input", "Output", "After the decoder",
                                         "Decoder signals"};
constexpr int kScopeSetting[2] = {kCfgScope1Source, kCfgScope2Source};

QString SizeText(long long bytes) {
  if (bytes < 1000) return QString("%1 B").arg(bytes);
  if (bytes < 1000 * 1000) return QString("%1 kB").arg(bytes / 1e3, 0, 'f', 1);
  return QString("%1 MB").arg(bytes / 1e6, 0, 'f', 1);
}

QString ClockText(long long seconds) {
  return QString("%1:%2").arg(seconds / 60, 2, 10, QChar('0')).arg(seconds % 60, 2, 10, QChar('0'));
}

// The largest magnitude of a block, whether it was measured or not.
float BlockPeak(const AudioBlock* b) {
  float peak = 0.0f;
  for (int i = 0; i < b->count; ++i) peak = std::max(peak, std::fabs(b->data[i]));
  return peak;
}

CPaintWidget* NewDisplay(const char* name, int minWidth, int minHeight) {
  auto* w = new CPaintWidget;
  w->setObjectName(name);
  w->setMinimumSize(minWidth, minHeight);
  w->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  return w;
}

QPushButton* NewButton(const QString& text, const QString& name, bool checkable = false) {
  auto* b = new QPushButton(text);
  b->setObjectName(name);
  b->setCheckable(checkable);
  return b;
}

// Frequency ticks for the waterfall and the analyser above and below it, which both spread
// the area over their width less the 2-pixel edges.
class CFrequencyScale : public QWidget {
 public:
  CFrequencyScale(int low, int high) : m_low(low), m_high(high) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  }
  QSize sizeHint() const override { return {200, fontMetrics().height() + kTick + 2}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    const int inner = width() - 2 * kViewInset;
    for (int f = (m_low + kScaleStepHz - 1) / kScaleStepHz * kScaleStepHz; f <= m_high;
         f += kScaleStepHz) {
      const int x = kViewInset + (f - m_low) * (inner - 1) / (m_high - m_low);
      const bool labelled = f % (2 * kScaleStepHz) == 0;
      p.drawLine(x, 0, x, labelled ? kTick : kTick / 2);
      if (!labelled) continue;
      const QString text = QString::number(f);
      const int w = fontMetrics().horizontalAdvance(text);
      p.drawText(std::clamp(x - w / 2, 0, width() - w), kTick + 1 + fontMetrics().ascent(), text);
    }
  }

 private:
  static constexpr int kTick = 6;
  int m_low, m_high;
};

}  // namespace

// The spectrogram draws time across and frequency upwards; a waterfall shows frequency across
// and time downwards, so that steady tones stand as vertical lines. This target gives the
// engine the widget's size turned by a quarter and hands the widget each picture turned back.
class CAudioPage::CTurnedTarget : public IPaintTarget {
 public:
  explicit CTurnedTarget(CPaintWidget* view) : m_view(view) {}
  ~CTurnedTarget() override { Drop(); }
  CTurnedTarget(const CTurnedTarget&) = delete;
  CTurnedTarget& operator=(const CTurnedTarget&) = delete;

  int ClientWidth() const override { return m_view->height(); }
  int ClientHeight() const override { return m_view->width(); }
  void SunkenEdge() override { m_view->SunkenEdge(); }
  void Show(HBITMAP picture, int x, int y) override {
    if (!IsBitmapObject(picture) || picture->bits != 24) return;
    const int w = picture->width, h = std::abs(picture->height);
    if (!m_turned || m_turned->width != h || m_turned->height != -w) {
      Drop();
      m_turned = CreateBitmapObject(h, -w, 24);  // top-down: row 0 is the newest column
      if (!m_turned) return;
    }
    // Picture pixel (px, py), py from the top, goes to (h - 1 - py, w - 1 - px): the lowest
    // frequency at the left, the newest column on top.
    for (int py = 0; py < h; ++py) {
      const int row = picture->height < 0 ? py : h - 1 - py;
      const uint8_t* src = picture->pixels + size_t(row) * size_t(picture->bpl);
      uint8_t* dst = m_turned->pixels + size_t(h - 1 - py) * 3;
      for (int px = 0; px < w; ++px)
        std::memcpy(dst + size_t(w - 1 - px) * size_t(m_turned->bpl), src + size_t(px) * 3, 3);
    }
    // The engine's client point (ex, ey) is the widget's (width - 1 - ey, height - 1 - ex).
    m_view->Show(m_turned, ClientHeight() - y - h, ClientWidth() - x - w);
  }

 private:
  void Drop() {
    if (!m_turned) return;
    m_view->PictureGone(m_turned);
    DeleteObject(m_turned);
    m_turned = nullptr;
  }

  CPaintWidget* m_view;
  HBITMAP m_turned = nullptr;
};

CAudioPage::CAudioPage(CStationCore& core, QWidget* parent) : QWidget(parent), m_core(core) {
  // The controls share one row of tabs, so that the displays keep the room.
  auto* controls = new QTabWidget;
  controls->addTab(MakeListening(), "Listening");
  controls->addTab(MakeRecorder(), "Recorder");
  controls->addTab(MakePlayer(kDecoding), "Decode a recording");
  controls->addTab(MakePlayer(kListening), "Listen to a recording");
  m_equalizer = new CEqualizerPanel(m_core);
  controls->addTab(m_equalizer, "Equalizer");
  m_mixerRoles = new CMixerRolesPage(m_core);
  controls->addTab(m_mixerRoles, "Sound card");
  controls->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(0, 0, 0, 0);
  page->addWidget(MakeDisplays(), 1);
  page->addWidget(controls);

  m_turned = std::make_unique<CTurnedTarget>(m_waterfall);
  m_spec.SetArea(kAreaLow, kAreaHigh);
  m_ana.SetArea(kAreaLow, kAreaHigh);
  // Each engine takes its widget's new size as its drawing area.
  m_waterfall->SetResizeHandler([this](int, int) {
    if (m_rate && m_spec.Init(m_turned.get(), m_rate, m_block)) m_spec.Draw(nullptr);
  });
  m_analyser->SetResizeHandler([this](int, int) {
    if (m_rate) m_ana.Init(m_analyser, m_rate, m_block);
  });
  for (int i = 0; i < 2; ++i)
    m_scopeView[i]->SetResizeHandler([this, i](int, int) { m_scope[i].Init(m_scopeView[i]); });
  Refresh();
}

CAudioPage::~CAudioPage() = default;

QWidget* CAudioPage::MakeDisplays() {
  m_waterfall = NewDisplay("waterfall", 240, 120);
  m_analyser = NewDisplay("analyser", 240, 60);
  auto* left = new QVBoxLayout;
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(2);
  left->addWidget(m_waterfall, 3);
  left->addWidget(new CFrequencyScale(kAreaLow, kAreaHigh));
  left->addWidget(m_analyser, 1);

  auto* right = new QVBoxLayout;
  right->setContentsMargins(0, 0, 0, 0);
  for (int i = 0; i < 2; ++i) {
    m_scopeSource[i] = new QComboBox;
    m_scopeSource[i]->setObjectName(i ? "scope2Source" : "scope1Source");
    for (const char* name : kScopeSourceNames) m_scopeSource[i]->addItem(name);
    connect(m_scopeSource[i], &QComboBox::currentIndexChanged, this,
            [this, i](int index) { m_core.Settings().SetInt(kScopeSetting[i], index); });
    auto* head = new QHBoxLayout;
    head->addWidget(new QLabel(i ? "Scope 2" : "Scope 1"));
    head->addWidget(m_scopeSource[i], 1);
    right->addLayout(head);
    m_scopeView[i] = NewDisplay(i ? "scope2" : "scope1", 160, 60);
    right->addWidget(m_scopeView[i], 1);
  }
  m_inLevel = new CLevelMeter;
  m_inLevel->setObjectName("inputLevel");
  m_outLevel = new CLevelMeter;
  m_outLevel->setObjectName("outputLevel");
  m_squelchLamp = new CLamp("SQL");
  m_squelchLamp->setObjectName("squelchLamp");
  auto* meters = new QFormLayout;
  meters->addRow("Input", m_inLevel);
  meters->addRow("Output", m_outLevel);
  meters->addRow("", m_squelchLamp);
  right->addLayout(meters);

  auto* box = new QWidget;
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->addLayout(left, 3);
  row->addLayout(right, 2);
  return box;
}

QWidget* CAudioPage::MakeRecorder() {
  auto* box = new QGroupBox("Recorder");
  m_record = NewButton("Record", "recordButton");
  m_recordPause = NewButton("Pause", "recordPauseButton", true);
  m_recordStop = NewButton("Stop", "recordStopButton");
  m_codec = new QComboBox;
  m_codec->setObjectName("codec");
  // The descriptions are long; the list shows them whole when it opens.
  m_codec->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  m_codec->setMinimumContentsLength(kCodecChars);
  FillCodecs();
  m_recordedSize = new QLabel(SizeText(0));
  m_recordedSize->setObjectName("recordedSize");
  m_recordLevel = new CLevelMeter;
  m_recordLevel->setObjectName("recordLevel");

  connect(m_record, &QPushButton::clicked, this, [this] {
    if (m_core.StartRecording()) {
      m_recordedSize->setText(SizeText(0));
      m_recordLevel->SetLevel(0.0);
    }
    UpdateRecorder();
  });
  connect(m_recordPause, &QPushButton::toggled, this,
          [this](bool on) { m_core.PauseRecording(on ? 1 : 0); });
  connect(m_recordStop, &QPushButton::clicked, this, [this] {
    m_core.StopRecording();
    UpdateRecorder();
  });
  connect(m_codec, &QComboBox::currentIndexChanged, this, [this](int i) { ChooseCodec(i); });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_record);
  buttons->addWidget(m_recordPause);
  buttons->addWidget(m_recordStop);
  auto* form = new QFormLayout;
  form->addRow("Format", m_codec);
  form->addRow("Recorded", m_recordedSize);
  form->addRow("Level", m_recordLevel);
  auto* v = new QVBoxLayout(box);
  v->addLayout(buttons);
  v->addLayout(form);
  v->addStretch();
  return box;
}

QWidget* CAudioPage::MakePlayer(int which) {
  const bool decoding = which == kDecoding;
  auto* box = new QGroupBox(decoding ? "Decode a recording" : "Listen to a recording");
  Player& p = m_player[which];
  const QString prefix = decoding ? "decode" : "listen";
  p.path = new QLineEdit;
  p.path->setObjectName(prefix + "Path");
  p.path->setPlaceholderText("a wave file");
  p.open = NewButton("Open...", prefix + "OpenButton");
  p.play = NewButton("Play", prefix + "PlayButton");
  p.pause = NewButton("Pause", prefix + "PauseButton", true);
  p.stop = NewButton("Stop", prefix + "StopButton");
  p.progress = new QProgressBar;
  p.progress->setObjectName(prefix + "Progress");
  p.progress->setRange(0, kProgressSteps);
  p.progress->setTextVisible(false);
  p.time = new QLabel;
  p.time->setObjectName(prefix + "Time");
  ShowPosition(which, 0, 0);

  connect(p.open, &QPushButton::clicked, this, [this, which] { OpenFile(which); });
  connect(p.play, &QPushButton::clicked, this, [this, which] { Play(which); });
  connect(p.pause, &QPushButton::toggled, this, [this, which](bool on) { Pause(which, on); });
  connect(p.stop, &QPushButton::clicked, this, [this, which] { Stop(which); });

  auto* file = new QHBoxLayout;
  file->addWidget(p.path, 1);
  file->addWidget(p.open);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(p.play);
  buttons->addWidget(p.pause);
  buttons->addWidget(p.stop);
  auto* position = new QHBoxLayout;
  position->addWidget(p.progress, 1);
  position->addWidget(p.time);
  auto* v = new QVBoxLayout(box);
  v->addLayout(file);
  v->addLayout(buttons);
  v->addLayout(position);
  if (!decoding) {
    m_repeat = new QCheckBox("Repeat");
    m_repeat->setObjectName("repeat");
    m_throughDecoders = new QCheckBox("Through the decoders");
    m_throughDecoders->setObjectName("throughDecoders");
    connect(m_repeat, &QCheckBox::toggled, this,
            [this](bool on) { m_core.Settings().SetInt(kCfgListenRepeat, on ? 1 : 0); });
    connect(m_throughDecoders, &QCheckBox::toggled, this,
            [this](bool on) { m_core.Settings().SetInt(kCfgFileListening, on ? 1 : 0); });
    auto* checks = new QHBoxLayout;
    checks->addWidget(m_repeat);
    checks->addWidget(m_throughDecoders);
    v->addLayout(checks);
  }
  v->addStretch();
  return box;
}

QWidget* CAudioPage::MakeListening() {
  auto* box = new QGroupBox("Listening and displays");
  auto check = [this](const char* text, const char* name, int offset) {
    auto* c = new QCheckBox(text);
    c->setObjectName(name);
    connect(c, &QCheckBox::toggled, this,
            [this, offset](bool on) { m_core.Settings().SetInt(offset, on ? 1 : 0); });
    return c;
  };
  m_monitor = check("Monitor", "monitor", kCfgMonitor);
  m_filtered = check("Filtered listening", "filteredListening", kCfgFilteredListen);
  m_waterfallOn = check("Waterfall", "waterfallOn", kCfgTimeSpectrumOn);
  m_analyserOn = check("Analyser", "analyserOn", kCfgAnalyserOn);
  m_analyserOutput = check("Analyse the output", "analyserOutput", kCfgAnalyserOutput);
  m_threshold = new QSlider(Qt::Horizontal);
  m_threshold->setObjectName("squelchThreshold");
  m_threshold->setRange(0, kSquelchMax);
  m_thresholdValue = new QLabel;
  m_thresholdValue->setMinimumWidth(m_thresholdValue->fontMetrics().horizontalAdvance("000"));
  connect(m_threshold, &QSlider::valueChanged, this, [this](int v) {
    m_thresholdValue->setNum(v);
    m_core.SetSquelchThreshold(v);
  });

  auto* grid = new QGridLayout(box);
  grid->addWidget(m_monitor, 0, 0);
  grid->addWidget(m_filtered, 0, 1);
  grid->addWidget(m_waterfallOn, 1, 0);
  grid->addWidget(m_analyserOn, 1, 1);
  grid->addWidget(m_analyserOutput, 2, 1);
  auto* squelch = new QHBoxLayout;
  squelch->addWidget(new QLabel("Squelch"));
  squelch->addWidget(m_threshold, 1);
  squelch->addWidget(m_thresholdValue);
  grid->addLayout(squelch, 3, 0, 1, 2);
  grid->setRowStretch(4, 1);
  return box;
}

void CAudioPage::FillCodecs() {
  // One entry for each installed format tag, mono at the station's rate where the codec
  // offers it: the recorder takes the tag and records at the capture's own rate.
  CListCodecs codecs;
  const int rate = Setting(kCfgSampleRate);
  std::vector<int> chosen;  // index into codecs, one per tag
  for (int i = 0; i < codecs.Count(); ++i) {
    const WAVEFORMATEX* f = codecs.Format(i);
    if (f->nChannels != 1) continue;
    auto same = std::find_if(chosen.begin(), chosen.end(), [&](int k) {
      return codecs.Format(k)->wFormatTag == f->wFormatTag;
    });
    if (same == chosen.end()) chosen.push_back(i);
    else if (int(codecs.Format(*same)->nSamplesPerSec) != rate && int(f->nSamplesPerSec) == rate)
      *same = i;
  }
  const QSignalBlocker quiet(m_codec);
  for (int i : chosen) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(codecs.Format(i));
    m_formats.emplace_back(bytes, bytes + codecs.MaxFormatSize());
    m_codec->addItem(QString::fromStdString(codecs.TagName(i) + ", " + codecs.Description(i)));
  }
}

void CAudioPage::ChooseCodec(int index) {
  if (index < 0 || index >= int(m_formats.size())) return;
  if (!m_core.SetRecordingFormat(reinterpret_cast<const WAVEFORMATEX*>(m_formats[index].data())))
    Refresh();  // refused: show the format in force again
}

void CAudioPage::Refresh() {
  const int rate = Setting(kCfgSampleRate), block = Setting(kCfgBlockSize);
  if (rate != m_rate || block != m_block) {
    m_rate = rate;
    m_block = block;
    SetUpEngines();
  }
  m_equalizer->Refresh();
  if (m_core.AudioOn() && !m_mixerRoles->Mixer().IsOpen()) m_mixerRoles->Open();
  for (int i = 0; i < 2; ++i) {
    const QSignalBlocker quiet(m_scopeSource[i]);
    m_scopeSource[i]->setCurrentIndex(std::clamp(Setting(kScopeSetting[i]), 0, 3));
  }
  SetCheck(m_monitor, kCfgMonitor);
  SetCheck(m_filtered, kCfgFilteredListen);
  SetCheck(m_waterfallOn, kCfgTimeSpectrumOn);
  SetCheck(m_analyserOn, kCfgAnalyserOn);
  SetCheck(m_analyserOutput, kCfgAnalyserOutput);
  SetCheck(m_repeat, kCfgListenRepeat);
  SetCheck(m_throughDecoders, kCfgFileListening);
  {
    const QSignalBlocker quiet(m_threshold);
    m_threshold->setValue(Setting(kCfgSquelchThreshold));
    m_thresholdValue->setNum(m_threshold->value());
  }
  if (const WAVEFORMATEX* f = m_core.RecordingFormat()) {
    const QSignalBlocker quiet(m_codec);
    for (size_t i = 0; i < m_formats.size(); ++i)
      if (reinterpret_cast<const WAVEFORMATEX*>(m_formats[i].data())->wFormatTag == f->wFormatTag)
        m_codec->setCurrentIndex(int(i));
  }
  UpdateRecorder();
  UpdatePlayers();
}

void CAudioPage::SetUpEngines() {
  if (m_spec.Init(m_turned.get(), m_rate, m_block)) m_spec.Draw(nullptr);
  m_ana.Init(m_analyser, m_rate, m_block);
}

void CAudioPage::SetCheck(QCheckBox* box, int offset) {
  const QSignalBlocker quiet(box);
  box->setChecked(Setting(offset) != 0);
}

int CAudioPage::Setting(int offset) const { return m_core.Settings().GetInt(offset); }

void CAudioPage::Display(int kind, const AudioBlock* block, int wParam) {
  if (!block) return;
  switch (kind) {
    case kDisplayLevel:
      m_waterfallBlock = nullptr;  // the first display of every block
      m_inLevel->SetLevel(block->peak * kPeakToPercent);
      break;
    case kDisplayOutputLevel:
      m_outLevel->SetLevel(block->peak * kPeakToPercent);
      break;
    case kDisplayAnalyser:
      if (Setting(kCfgAnalyserOn) && m_analyser->isVisible() && m_ana.Picture())
        m_ana.FFTDisplay(block);
      break;
    case kDisplayAudioPage:
      if (Setting(kCfgTimeSpectrumOn)) {
        DrawWaterfall(block);
        m_waterfallBlock = block;
      }
      break;
    case kDisplayTimeSpectrum:
      // Other signal kinds are the decoders' filtered signals, for their own pages.
      if (wParam == 0 && block != m_waterfallBlock) DrawWaterfall(block);
      m_waterfallBlock = nullptr;
      break;
    case kDisplayScopeInput:
      DrawScopes(kScopeInput, block);
      break;
    case kDisplayScopeOutput:
      DrawScopes(kScopeOutput, block);
      break;
    case kDisplayScopeDecoder:
      DrawScopes(kScopeDecoder, block);
      break;
    case kDisplayDecoderSignal:
      DrawScopes(kScopeSignals, block);
      break;
    default:
      break;
  }
}

void CAudioPage::DrawWaterfall(const AudioBlock* block) {
  if (m_waterfall->isVisible() && m_spec.Picture()) m_spec.Draw(block);
}

void CAudioPage::DrawScopes(int source, const AudioBlock* block) {
  for (int i = 0; i < 2; ++i) {
    CScope& s = m_scope[i];
    if (Setting(kScopeSetting[i]) != source || !m_scopeView[i]->isVisible() || !s.Picture())
      continue;
    const float half = float(s.Height() - 1) / 2.0f;
    if (source == kScopeSignals) {
      // Decoder signals have scales of their own: each block fills the scope.
      const float peak = BlockPeak(block);
      s.SetGain(peak > 0.0f ? half * kSignalFill / peak : 1.0f);
    } else {
      s.SetGain(half / kFullScale);
    }
    s.Draw(block);
  }
}

void CAudioPage::RecorderLevel(long long bytes, double percent) {
  m_recordedSize->setText(SizeText(bytes));
  m_recordLevel->SetLevel(percent);
  UpdateRecorder();
}

void CAudioPage::AudioSquelch(int open) { m_squelchLamp->SetOn(open); }

void CAudioPage::PlayerPosition(int decoding, long long position, long long length) {
  const int which = decoding ? kDecoding : kListening;
  if (position < 0) {
    ShowPosition(which, 0, length);
    UpdatePlayers();
    return;
  }
  ShowPosition(which, position, length);
}

void CAudioPage::ShowPosition(int which, long long position, long long length) {
  Player& p = m_player[which];
  p.progress->setValue(length > 0 ? int(std::min(position, length) * kProgressSteps / length) : 0);
  const long long bytesPerSecond = std::max(1, Setting(kCfgSampleRate)) * kBytesPerSample;
  p.time->setText(ClockText(position / bytesPerSecond) + " / " +
                  ClockText(length / bytesPerSecond));
}

void CAudioPage::OpenFile(int which) {
  Player& p = m_player[which];
  const QString start = p.path->text().isEmpty()
                            ? QString::fromStdString(m_core.Settings().GetPath(kCfgAudioFolder))
                            : QFileInfo(p.path->text()).absolutePath();
  const QString file = QFileDialog::getOpenFileName(this, "Open a recording", start,
                                                    "Wave files (*.wav *.WAV);;All files (*)");
  if (!file.isEmpty()) p.path->setText(file);
}

void CAudioPage::Play(int which) {
  const std::string path = m_player[which].path->text().toStdString();
  if (path.empty()) {  // no file yet: choosing one comes first
    OpenFile(which);
    return;
  }
  // The core says why a file cannot be played.
  if (which == kDecoding) m_core.StartFileDecode(path);
  else m_core.StartFileListen(path, m_repeat->isChecked() ? 1 : 0);
  ShowPosition(which, 0, 0);
  UpdatePlayers();
}

void CAudioPage::Pause(int which, bool on) {
  if (which == kDecoding) m_core.PauseFileDecode(on ? 1 : 0);
  else m_core.PauseFileListen(on ? 1 : 0);
}

void CAudioPage::Stop(int which) {
  if (which == kDecoding) m_core.StopFileDecode();
  else m_core.StopFileListen();
  ShowPosition(which, 0, 0);
  UpdatePlayers();
}

void CAudioPage::UpdateRecorder() {
  const bool recording = m_core.Recording() != 0;
  m_record->setEnabled(!recording);
  m_recordPause->setEnabled(recording);
  m_recordStop->setEnabled(recording);
  m_codec->setEnabled(!recording);
  if (!recording && m_recordPause->isChecked()) {
    const QSignalBlocker quiet(m_recordPause);
    m_recordPause->setChecked(false);
  }
}

void CAudioPage::UpdatePlayers() {
  const bool running[2] = {m_core.FileListenRunning() != 0, m_core.FileDecodeRunning() != 0};
  for (int which : {kListening, kDecoding}) {
    Player& p = m_player[which];
    p.play->setEnabled(!running[which]);
    p.pause->setEnabled(running[which]);
    p.stop->setEnabled(running[which]);
    p.path->setEnabled(!running[which]);
    p.open->setEnabled(!running[which]);
    if (!running[which] && p.pause->isChecked()) {
      const QSignalBlocker quiet(p.pause);
      p.pause->setChecked(false);
    }
  }
}

// The audio page offscreen: the waterfall, meters and scopes drawn from blocks and read back
// as pixels, the recorder and the players driven through their buttons on a started station,
// and the switches and the codec choice landing in the core's settings.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/ui/audio_page.h"
#include "spl/audio/wave_player.h"
#include "spl/widgets/level_meter.h"
#include "spl/widgets/paint_widget.h"
#include "tests/common/station_fixture.h"
#include "tests/ui/qt_app.h"

namespace {

using namespace stationtest;

constexpr int kAreaHigh = 3000;  // the waterfall's default area, 0 ... 3000 Hz

AudioBlock* Tones(std::vector<double> hz, float amplitude, int first = 0) {
  AudioBlock* b = nullptr;
  EXPECT_EQ(NewAudioBlock(&b, kBlock), 1);
  for (int i = 0; i < kBlock; ++i) {
    double v = 0.0;
    for (double f : hz) v += std::sin(2 * M_PI * f * (first + i) / kRate);
    b->data[i] = float(amplitude * v / double(hz.size()));
  }
  MeasureAudioBlock(b);
  b->tick = GetTickCount();
  return b;
}

int Brightness(const QImage& img, int x, int y) {
  const QRgb p = img.pixel(x, y);
  return std::max({qRed(p), qGreen(p), qBlue(p)});
}

// The mean brightness of column x over rows y0 ... y1 - 1.
double ColumnBrightness(const QImage& img, int x, int y0, int y1) {
  double sum = 0;
  for (int y = y0; y < y1; ++y) sum += Brightness(img, x, y);
  return sum / (y1 - y0);
}

QImage Grab(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

template <class T>
T* Child(QWidget& page, const char* name) {
  T* w = page.findChild<T*>(name);
  EXPECT_NE(w, nullptr) << name;
  return w;
}

// Forwards what the station tells its audio page, as the main window does.
class CForwardingUi : public CStationUi {
 public:
  CAudioPage* page = nullptr;
  std::vector<std::string> messages;
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void Display(int kind, const AudioBlock* block, int wParam) override {
    if (page) page->Display(kind, block, wParam);
  }
  void RecorderLevel(long long bytes, double percent) override {
    if (page) page->RecorderLevel(bytes, percent);
  }
  void PlayerPosition(int decoding, long long position, long long length) override {
    if (page) page->PlayerPosition(decoding, position, length);
  }
};

// The page over a core that is set up but not started.
class AudioPageTest : public StationTest<CForwardingUi> {
 protected:
  void SetUp() override { ASSERT_EQ(station_.Init(), 1); }
  // A page over the core, shown at its usual size.
  std::unique_ptr<CAudioPage> ShownPage() {
    auto page = std::make_unique<CAudioPage>(core_);
    page->resize(900, 600);
    page->show();
    QApplication::processEvents();
    return page;
  }
  // blocks of the two RTTY tones shown to the page as the given display stages.
  static void Show(CAudioPage& page, int blocks, std::vector<int> stages, std::vector<double> hz = {kMark, kSpace}) {
    for (int k = 0; k < blocks; ++k) {
      AudioBlock* b = Tones(hz, 8000.0f, k * kBlock);
      for (int stage : stages) page.Display(stage, b, 0);
      FreeAudioBlock(b);
    }
  }
};

// A station started on the simulated receiver with the null sound devices.
class StartedStationTest : public StationTest<CForwardingUi> {
 protected:
  void SetUp() override { ASSERT_EQ(Start("sim"), 1) << Said(); }
  void TearDown() override { ui_.page = nullptr; }
  void Feed(int blocks) {
    for (int k = 0; k < blocks; ++k) {
      AudioBlock* b = Tones({kMark, kSpace}, 8000.0f, k * kBlock);
      core_.ProcessBlock(b);
      FreeAudioBlock(b);
    }
  }
  std::vector<fs::path> Recordings() {
    std::vector<fs::path> out;
    for (const fs::path& p : Files("audio"))
      if (p.filename().string().rfind("AUDIO_", 0) == 0) out.push_back(p);
    return out;
  }
};

}  // namespace

TEST_F(AudioPageTest, WaterfallShowsTheTwoRttyTonesAsVerticalLinesNewestOnTop) {
  auto page = ShownPage();
  auto* view = Child<CPaintWidget>(*page, "waterfall");
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(view->isVisible());
  constexpr int kBlocks = 30;
  // In audio mode both stages come for every block: still one line a block.
  Show(*page, kBlocks, {kDisplayLevel, kDisplayAudioPage, kDisplayTimeSpectrum});
  const QImage img = Grab(view);
  const int inner = img.width() - 4;  // the 2-pixel edge on either side
  ASSERT_GT(inner, 200);
  ASSERT_GT(img.height(), kBlocks + 20);
  auto column = [&](int hz) { return 2 + hz * inner / kAreaHigh; };
  // The brightest column near each tone, over the lines of the fed blocks.
  const int top = 2, fed = 2 + kBlocks;
  auto toneColumn = [&](int hz) {
    int best = column(hz);
    for (int x = column(hz) - 6; x <= column(hz) + 6; ++x)
      if (ColumnBrightness(img, x, top, fed) > ColumnBrightness(img, best, top, fed)) best = x;
    return best;
  };
  const int mark = toneColumn(kMark), space = toneColumn(kSpace);
  const double between = ColumnBrightness(img, column((kMark + kSpace) / 2), top, fed);
  EXPECT_GT(ColumnBrightness(img, mark, top, fed), between + 60) << "mark at x " << mark;
  EXPECT_GT(ColumnBrightness(img, space, top, fed), between + 60) << "space at x " << space;
  EXPECT_LT(mark, space) << "low frequencies at the left";
  // Below the fed lines the waterfall is still empty: time runs downwards.
  const double older = ColumnBrightness(img, mark, fed + 5, img.height() - 2);
  EXPECT_LT(older + 60, ColumnBrightness(img, mark, top, fed));
  int lines = 0;
  for (int y = 2; y < img.height() - 2; ++y) lines += Brightness(img, mark, y) > 200;
  EXPECT_LE(lines, kBlocks);
}

TEST_F(AudioPageTest, NothingIsDrawnWhileThePageIsHidden) {
  auto page = ShownPage();
  page->hide();
  auto* view = Child<CPaintWidget>(*page, "waterfall");
  ASSERT_NE(view, nullptr);
  const QImage before = Grab(view);
  Show(*page, 10, {kDisplayTimeSpectrum});
  EXPECT_EQ(Grab(view), before);
  page->show();
  QApplication::processEvents();
  Show(*page, 10, {kDisplayTimeSpectrum});
  EXPECT_NE(Grab(view), before);
}

TEST_F(AudioPageTest, LevelMetersShowThePeakInPercentOfFullScale) {
  CAudioPage page(core_);
  auto* in = Child<CLevelMeter>(page, "inputLevel");
  auto* out = Child<CLevelMeter>(page, "outputLevel");
  ASSERT_TRUE(in && out);
  AudioBlock* half = Tones({1000}, 16384.0f);
  page.Display(kDisplayLevel, half, 0);
  EXPECT_NEAR(in->Level(), 50.0, 0.5);
  EXPECT_EQ(out->Level(), 0.0);
  AudioBlock* quarter = Tones({1000}, 8192.0f);
  page.Display(kDisplayOutputLevel, quarter, 0);
  EXPECT_NEAR(out->Level(), 25.0, 0.5);
  EXPECT_NEAR(in->Level(), 50.0, 0.5);
  FreeAudioBlock(half);
  FreeAudioBlock(quarter);
}

TEST_F(AudioPageTest, EachScopeDrawsTheStageItsSourceSettingNames) {
  core_.Settings().SetInt(kCfgScope1Source, 1);  // output
  core_.Settings().SetInt(kCfgScope2Source, 3);  // decoder signals
  auto shown = ShownPage();
  CAudioPage& page = *shown;
  auto* scope1 = Child<CPaintWidget>(page, "scope1");
  auto* scope2 = Child<CPaintWidget>(page, "scope2");
  ASSERT_TRUE(scope1 && scope2);
  EXPECT_EQ(Child<QComboBox>(page, "scope1Source")->currentIndex(), 1);
  AudioBlock* tone = Tones({300}, 20000.0f);
  page.Display(kDisplayScopeOutput, tone, 0);
  const QImage one = Grab(scope1), two = Grab(scope2);
  page.Display(kDisplayScopeInput, tone, 0);  // no scope shows the input
  page.Display(kDisplayScopeDecoder, tone, 0);
  EXPECT_EQ(Grab(scope1), one);
  EXPECT_EQ(Grab(scope2), two);
  // A decoder signal of small values still fills its scope.
  AudioBlock* signal = Tones({300}, 0.5f);
  page.Display(kDisplayDecoderSignal, signal, 4);
  const QImage filled = Grab(scope2);
  EXPECT_NE(filled, two);
  EXPECT_EQ(Grab(scope1), one);
  int lo = filled.height(), hi = -1;
  for (int y = 2; y < filled.height() - 2; ++y)
    for (int x = 2; x < filled.width() - 2; ++x)
      if (filled.pixel(x, y) == qRgb(255, 255, 128)) {  // the curve's outline colour
        lo = std::min(lo, y);
        hi = std::max(hi, y);
      }
  EXPECT_GT(hi - lo, filled.height() / 2);
  // The source chosen on the page is the core's setting.
  Child<QComboBox>(page, "scope1Source")->setCurrentIndex(2);
  EXPECT_EQ(core_.Settings().GetInt(kCfgScope1Source), 2);
  page.Display(kDisplayScopeDecoder, signal, 0);
  EXPECT_NE(Grab(scope1), one);
  FreeAudioBlock(tone);
  FreeAudioBlock(signal);
}

TEST_F(AudioPageTest, SwitchesWriteTheCoreSettingsAndRefreshReadsThem) {
  CSettingsRecord& settings = core_.Settings();
  CAudioPage page(core_);
  const struct {
    const char* name;
    int offset;
  } boxes[] = {{"monitor", kCfgMonitor},          {"filteredListening", kCfgFilteredListen},
               {"throughDecoders", kCfgFileListening}, {"repeat", kCfgListenRepeat},
               {"waterfallOn", kCfgTimeSpectrumOn},  {"analyserOn", kCfgAnalyserOn},
               {"analyserOutput", kCfgAnalyserOutput}};
  for (auto& b : boxes) {
    auto* box = Child<QCheckBox>(page, b.name);
    ASSERT_NE(box, nullptr);
    const int before = settings.GetInt(b.offset);
    EXPECT_EQ(box->isChecked(), before != 0) << b.name;
    box->click();
    EXPECT_EQ(settings.GetInt(b.offset), before ? 0 : 1) << b.name;
  }
  auto* threshold = Child<QSlider>(page, "squelchThreshold");
  ASSERT_NE(threshold, nullptr);
  threshold->setValue(123);
  EXPECT_EQ(settings.GetInt(kCfgSquelchThreshold), 123);

  // Changed elsewhere (the settings dialog, a frequency record): shown after Refresh.
  settings.SetInt(kCfgMonitor, 1);
  settings.SetInt(kCfgSquelchThreshold, 7);
  settings.SetInt(kCfgScope2Source, 0);
  page.Refresh();
  EXPECT_TRUE(Child<QCheckBox>(page, "monitor")->isChecked());
  EXPECT_EQ(threshold->value(), 7);
  EXPECT_EQ(Child<QComboBox>(page, "scope2Source")->currentIndex(), 0);
  EXPECT_EQ(settings.GetInt(kCfgSquelchThreshold), 7);  // showing writes nothing back
}

TEST_F(AudioPageTest, CodecChoiceBecomesTheRecordingFormat) {
  CAudioPage page(core_);
  auto* codec = Child<QComboBox>(page, "codec");
  ASSERT_NE(codec, nullptr);
  ASSERT_NE(core_.RecordingFormat(), nullptr);
  EXPECT_EQ(core_.RecordingFormat()->wFormatTag, 1);  // 16-bit PCM to begin with
  const int adpcm = codec->findText("IMA ADPCM", Qt::MatchStartsWith);
  ASSERT_GE(adpcm, 0);
  codec->setCurrentIndex(adpcm);
  EXPECT_EQ(core_.RecordingFormat()->wFormatTag, 17);
  EXPECT_EQ(int(core_.RecordingFormat()->nSamplesPerSec), kRate);
  // Another page over the same core shows the format in force.
  CAudioPage other(core_);
  EXPECT_EQ(Child<QComboBox>(other, "codec")->currentIndex(), adpcm);
}

TEST_F(AudioPageTest, RecorderSizeAndPlayerPositionsAreShown) {
  CAudioPage page(core_);
  page.RecorderLevel(1200000, 42.0);
  EXPECT_EQ(Child<QLabel>(page, "recordedSize")->text(), "1.2 MB");
  EXPECT_NEAR(Child<CLevelMeter>(page, "recordLevel")->Level(), 42.0, 1e-9);
  page.RecorderLevel(3500, 10.0);
  EXPECT_EQ(Child<QLabel>(page, "recordedSize")->text(), "3.5 kB");

  const long long perSecond = kRate * 2;  // 16-bit PCM bytes
  page.PlayerPosition(1, 65 * perSecond, 130 * perSecond);
  EXPECT_EQ(Child<QLabel>(page, "decodeTime")->text(), "01:05 / 02:10");
  auto* bar = Child<QProgressBar>(page, "decodeProgress");
  EXPECT_EQ(bar->value() * 2, bar->maximum());
  EXPECT_EQ(Child<QLabel>(page, "listenTime")->text(), "00:00 / 00:00");
  // The end of the file.
  page.PlayerPosition(1, -1, 130 * perSecond);
  EXPECT_EQ(bar->value(), 0);
}

TEST_F(StartedStationTest, RecordAndStopButtonsLeaveOneRecordingInTheChosenFormat) {
  CAudioPage page(core_);
  ui_.page = &page;
  page.resize(900, 600);
  page.show();
  QApplication::processEvents();
  auto* codec = Child<QComboBox>(page, "codec");
  auto* record = Child<QAbstractButton>(page, "recordButton");
  auto* stop = Child<QAbstractButton>(page, "recordStopButton");
  ASSERT_TRUE(codec && record && stop);
  codec->setCurrentIndex(codec->findText("A-Law", Qt::MatchStartsWith));
  EXPECT_FALSE(stop->isEnabled());
  record->click();
  ASSERT_EQ(core_.Recording(), 1) << Said();
  EXPECT_FALSE(codec->isEnabled());
  // The running recording keeps its format.
  EXPECT_EQ(core_.SetRecordingFormat(nullptr), 0);
  constexpr int kBlocks = 20;
  Feed(kBlocks);
  EXPECT_NE(Child<QLabel>(page, "recordedSize")->text(), "0 B");
  EXPECT_GT(Child<CLevelMeter>(page, "recordLevel")->Level(), 10.0);
  // The input meter and the waterfall were fed on the way.
  EXPECT_GT(Child<CLevelMeter>(page, "inputLevel")->Level(), 10.0);
  stop->click();
  EXPECT_EQ(core_.Recording(), 0);
  EXPECT_TRUE(codec->isEnabled());
  const auto files = Recordings();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].extension(), ".WAV");
  CWavePlayer player;
  ASSERT_EQ(player.Open(files[0].c_str(), kBlock), 1) << player.LastError();
  EXPECT_EQ(player.FileFormat()->wFormatTag, 6);
  EXPECT_EQ(player.DataSize(), kBlocks * kBlock);  // one byte a sample
}

TEST_F(StartedStationTest, PauseKeepsBlocksOutOfTheRecording) {
  CAudioPage page(core_);
  ui_.page = &page;
  Child<QAbstractButton>(page, "recordButton")->click();
  ASSERT_EQ(core_.Recording(), 1);
  Feed(4);
  auto* pause = Child<QAbstractButton>(page, "recordPauseButton");
  pause->click();
  Feed(6);
  pause->click();
  Feed(2);
  Child<QAbstractButton>(page, "recordStopButton")->click();
  const auto files = Recordings();
  ASSERT_EQ(files.size(), 1u);
  CWavePlayer player;
  ASSERT_EQ(player.Open(files[0].c_str(), kBlock), 1) << player.LastError();
  EXPECT_EQ(player.DataSize(), 6 * kBlock * 2);  // 16-bit PCM
}

TEST_F(StartedStationTest, DecodingPlayerPlaysAndStopsAFile) {
  CAudioPage page(core_);
  ui_.page = &page;
  Child<QAbstractButton>(page, "recordButton")->click();
  Feed(8);
  Child<QAbstractButton>(page, "recordStopButton")->click();
  const auto files = Recordings();
  ASSERT_EQ(files.size(), 1u);

  auto* path = Child<QLineEdit>(page, "decodePath");
  auto* play = Child<QAbstractButton>(page, "decodePlayButton");
  auto* stop = Child<QAbstractButton>(page, "decodeStopButton");
  path->setText(QString::fromStdString(files[0].string()));
  play->click();
  EXPECT_EQ(core_.FileDecodeRunning(), 1) << Said();
  EXPECT_FALSE(play->isEnabled());
  stop->click();
  EXPECT_EQ(core_.FileDecodeRunning(), 0);

  // The listening player, with its repeat switch handed to the core.
  Child<QLineEdit>(page, "listenPath")->setText(QString::fromStdString(files[0].string()));
  auto* repeat = Child<QCheckBox>(page, "repeat");
  if (!repeat->isChecked()) repeat->click();
  Child<QAbstractButton>(page, "listenPlayButton")->click();
  EXPECT_EQ(core_.FileListenRunning(), 1);
  EXPECT_EQ(core_.Settings().GetInt(kCfgListenRepeat), 1);
  Child<QAbstractButton>(page, "listenStopButton")->click();
  EXPECT_EQ(core_.FileListenRunning(), 0);

  // A file that is not there: the core says why and nothing runs.
  path->setText(QString::fromStdString(base_ + "/missing.wav"));
  const size_t before = ui_.messages.size();
  play->click();
  EXPECT_EQ(core_.FileDecodeRunning(), 0);
  EXPECT_GT(ui_.messages.size(), before);
  EXPECT_TRUE(play->isEnabled());
}

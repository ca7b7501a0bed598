// The audio page's equalizer and sound card controls offscreen on a started station: a curve
// drawn with the mouse lands in the equalizer, survives as a named file and as the working
// curve of the next start; the sound card roles are chosen, work on the card, and travel as
// mixer configuration files, with a question for a file made on another card.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <fstream>
#include <iterator>
#include <string>

#include "app/ui/equalizer_panel.h"
#include "app/ui/mixer_roles_page.h"
#include "spl/dsp/equalizer_modul.h"
#include "spl/widgets/equalizer_view.h"
#include "tests/common/station_fixture.h"
#include "tests/ui/qt_app.h"

namespace {

using namespace stationtest;

class AudioControlsTest : public StationTest<> {
 protected:
  void SetUp() override { ASSERT_EQ(Start(), 1); }
  void Mouse(QWidget* w, QEvent::Type type, Qt::MouseButton button, QPoint at) {
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  // Mean drawn gain of the bins between two frequencies.
  static double Gain(CEqualizerModul& eq, int fromHz, int toHz) {
    int count = 0;
    const float* g = eq.Equalizer().GetPoti(count);
    const int nyquist = eq.Equalizer().GetRate() / 2;
    double sum = 0;
    int n = 0;
    for (long long k = (long long)fromHz * count / nyquist; k <= (long long)toHz * count / nyquist; ++k, ++n) sum += g[k];
    return sum / n;
  }
};

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST_F(AudioControlsTest, ACurveDrawnWithTheMouseIsAppliedKeptAndBroughtBack) {
  CEqualizerPanel panel(core_);
  panel.resize(900, 240);
  panel.show();
  CEqualizerModul* eq = core_.Equalizer();
  ASSERT_NE(eq, nullptr);
  CEqualizerView* view = panel.View();
  // A notch drawn from 1000 to 2000 Hz at the bottom of the area (gain 0).
  const int bottom = eq->RowOf(0.0f);
  Mouse(view, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(eq->ColumnOf(1000), bottom));
  Mouse(view, QEvent::MouseMove, Qt::LeftButton, QPoint(eq->ColumnOf(2000), bottom));
  Mouse(view, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(eq->ColumnOf(2000), bottom));
  EXPECT_LT(Gain(*eq, 1100, 1900), 0.05);
  EXPECT_GT(Gain(*eq, 3000, 4000), 0.99);
  ASSERT_EQ(panel.SaveCurve("notch"), 1);
  EXPECT_EQ(panel.Curves(), QStringList{"notch"});
  // Erased with the right button, then brought back from its file.
  Mouse(view, QEvent::MouseButtonPress, Qt::RightButton, QPoint(eq->ColumnOf(900), bottom));
  Mouse(view, QEvent::MouseMove, Qt::RightButton, QPoint(eq->ColumnOf(2100), bottom));
  Mouse(view, QEvent::MouseButtonRelease, Qt::RightButton, QPoint(eq->ColumnOf(2100), bottom));
  EXPECT_GT(Gain(*eq, 1100, 1900), 0.99);
  ASSERT_EQ(panel.LoadCurve("notch"), 1);
  EXPECT_LT(Gain(*eq, 1100, 1900), 0.05);
  EXPECT_EQ(panel.LoadCurve("missing"), 0);
  EXPECT_FALSE(panel.LastMessage().isEmpty());
  ASSERT_EQ(panel.LoadCurve("notch"), 1);
  // Where it works is the core's setting.
  panel.findChild<QComboBox*>()->setCurrentIndex(2);
  EXPECT_EQ(core_.Settings().GetInt(kCfgEqualizerPosition), -1);
  panel.findChild<QComboBox*>()->setCurrentIndex(0);
  EXPECT_EQ(core_.Settings().GetInt(kCfgEqualizerPosition), 1);
  ASSERT_EQ(panel.DeleteCurve("notch"), 1);
  EXPECT_TRUE(panel.Curves().isEmpty());

  // The working curve and the switch come back with the next start.
  eq->SetBypass(0);
  core_.Shutdown();
  CStationCore next;
  ASSERT_EQ(station_.StartCore(next, &ui_), 1);
  ASSERT_NE(next.Equalizer(), nullptr);
  EXPECT_LT(Gain(*next.Equalizer(), 1100, 1900), 0.05);
  EXPECT_EQ(next.Equalizer()->GetBypass(), 0);
  EXPECT_EQ(next.Settings().GetInt(kCfgEqualizerPosition), 1);
  next.Shutdown();
}

TEST_F(AudioControlsTest, SoundCardRolesWorkOnTheCardAndTravelAsConfigurationFiles) {
  CMixerRolesPage page(core_);
  ASSERT_EQ(page.Open(), 1);  // no sound card: the model card
  EXPECT_EQ(page.RoleText(kRoleLineVolume), "(none)");
  EXPECT_EQ(page.RoleValue(kRoleLineVolume), -1);
  // The recording destination's line input (line 5, control 210) and its selector (4, 201).
  ASSERT_EQ(page.Assign(kRoleLineVolume, 5, 210), 1);
  ASSERT_EQ(page.Assign(kRoleLineMux, 4, 201), 1);
  EXPECT_EQ(page.Assign(kRoleWaveVolume, 5, 999), 0);
  EXPECT_EQ(page.RoleText(kRoleLineVolume), "Recording Control: Line In: Volume");
  ASSERT_EQ(page.SetRoleValue(kRoleLineVolume, 100), 1);
  MixerLine line;
  MixerControl control;
  ASSERT_EQ(page.Mixer().FindControl(5, 210, line, control), 1);
  EXPECT_EQ(page.Mixer().GetControlValueU(line, control), 65535);
  EXPECT_EQ(page.RoleValue(kRoleLineVolume), 100);
  ASSERT_EQ(page.SetRoleValue(kRoleLineMux, 2), 1);
  EXPECT_EQ(page.RoleValue(kRoleLineMux), 2);

  // Saved with this card's identification (the file's form is the mixer tool's to check).
  EXPECT_EQ(MixerConfigFileName(page.Mixer().ProductName()), "Sound_Card_1.kmc");
  const std::string file = base_ + "/Sound_Card_1.kmc";
  ASSERT_EQ(page.SaveTo(file), 1);
  const std::string text = Read(file);

  // The same file from another card: asked, and refused leaves everything as it was.
  std::string other = text;
  other.replace(other.find("Sound Card 1"), 12, "USB Audio CODEC");
  other.replace(other.find("ctrlID=000000D2h"), 16, "ctrlID=000000D3h");  // the line input's mute
  other.replace(other.find("ControlType=50030001h"), 21, "ControlType=20010002h");
  std::ofstream(base_ + "/other.kmc", std::ios::binary) << other;
  QString asked;
  page.SetAsk([&](const QString& q) {
    asked = q;
    return false;
  });
  EXPECT_EQ(page.LoadFrom(base_ + "/other.kmc"), 0);
  EXPECT_TRUE(asked.contains("USB Audio CODEC") && asked.contains("Sound Card 1")) << asked.toStdString();
  EXPECT_EQ(page.RoleText(kRoleLineVolume), "Recording Control: Line In: Volume");
  page.SetAsk([](const QString&) { return true; });
  ASSERT_EQ(page.LoadFrom(base_ + "/other.kmc"), 1);
  EXPECT_EQ(page.RoleText(kRoleLineVolume), "Recording Control: Line In: Mute");
  // The same card's file loads without a question.
  page.SetAsk([](const QString&) -> bool { ADD_FAILURE() << "asked for the same card"; return false; });
  ASSERT_EQ(page.LoadFrom(file), 1);
  EXPECT_EQ(page.RoleText(kRoleLineVolume), "Recording Control: Line In: Volume");
  EXPECT_EQ(page.LoadFrom(base_ + "/missing.kmc"), 0);
}

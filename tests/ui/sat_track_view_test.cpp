// The satellite tracking view, offscreen: the rendered picture (the observer's cross and
// every satellite at its predicted sub-satellite point where the map's transform puts them),
// the status panes with a time offset, and the marks kept in the profile.
#include <gtest/gtest.h>

#include <QImage>
#include <QListWidget>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "app/core/profile_file.h"
#include "app/ui/map_render.h"
#include "app/views/qt/sat_track_view.h"
#include "spl/sat/track_sat.h"
#include "spl/sat/world_map.h"
#include "tests/ui/qt_app.h"

namespace {

const std::string kElements = std::string(KESTREL_TEST_DATA) + "/sat/elements.tle";
constexpr char kTime[] = "2026-12-08T06:30:00";
constexpr int kObserverY = -3150, kObserverX = 800;  // JO62QM's corner
constexpr int kSymbolBox = 7;                        // pixels around a satellite's point
const QRgb kPanel = qRgb(255, 220, 0);

bool AnyNear(const QImage& image, int x, int y, int box, QRgb colour) {
  for (int dy = -box; dy <= box; ++dy)
    for (int dx = -box; dx <= box; ++dx)
      if (image.valid(x + dx, y + dy) && image.pixel(x + dx, y + dy) == colour) return true;
  return false;
}

TEST(SatTrackView, RenderedTrackPutsObserverAndSatellitesWhereTheMapSays) {
  TestApp();
  QTemporaryDir dir;
  KstlOptions o;
  o.renderTrack = dir.filePath("track.png").toStdString();
  o.tle = kElements;
  o.observer = "JO62QM";
  o.time = kTime;
  std::string error;
  ASSERT_EQ(RenderMapPicture(o, error), 0) << error;
  const QImage image(QString::fromStdString(o.renderTrack));
  ASSERT_EQ(image.size(), QSize(kRenderWidth, kRenderHeight));

  CWorldMap map;
  ASSERT_EQ(map.Init(kRenderWidth, kRenderHeight), 1);
  map.SetZoom(map.FitZoom());
  int sx = 0, sy = 0;
  map.MapToScreen(kObserverX, kObserverY, sx, sy);
  for (const QPoint& arm : {QPoint(-4, 0), QPoint(4, 0), QPoint(0, -4), QPoint(0, 4)})
    EXPECT_EQ(image.pixel(sx + arm.x(), sy + arm.y()), qRgb(255, 255, 255)) << arm.x() << "," << arm.y();

  std::vector<SatElem> sats;
  CTrackSat track;
  ASSERT_EQ(track.ReadNASA(kElements.c_str(), sats), 1);
  double when = 0.0;
  ASSERT_EQ(ParseUtc(kTime, when), 1);
  const Observer observer{kObserverY, kObserverX, 0, 0};
  int drawn = 0;
  for (const SatElem& s : sats) {
    Satellite where{};
    track.Predict(s, observer, SatTimeFromUnix(when), where);
    if (!track.LastValid()) continue;
    map.MapToScreen(where.x, where.y, sx, sy);
    EXPECT_TRUE(AnyNear(image, sx, sy, kSymbolBox, kPanel)) << s.name << " at " << sx << "," << sy;
    ++drawn;
  }
  EXPECT_GE(drawn, 3);
}

TEST(SatTrackView, PanesShowUtcAndTheShiftedDayAndMarksGoToTheProfile) {
  TestApp();
  CProfileFile profile;
  CSatTrackView view(profile);
  view.SetClock([] { return time_t(1796601600 + 600); });  // 2026-12-07 00:10 UTC
  view.SetTimeOffset(-90, true);
  EXPECT_EQ(view.PaneText(1), "TIMESPAN UTC : - 22:40:00");
  view.SetTimeOffset(-90, false);
  EXPECT_EQ(view.PaneText(1), "");

  std::vector<SatElem> sats;
  CTrackSat track;
  ASSERT_EQ(track.ReadNASA(kElements.c_str(), sats), 1);
  view.SetElements(sats);
  ASSERT_EQ(view.Satellites()->count(), int(sats.size()));
  view.Satellites()->item(1)->setCheckState(Qt::Checked);
  EXPECT_EQ(profile.GetString("SatTrack", "Marked", ""), std::to_string(sats[1].number));
  // A new view finds the mark again.
  CSatTrackView again(profile);
  again.SetElements(sats);
  EXPECT_EQ(again.Satellites()->item(1)->checkState(), Qt::Checked);
  EXPECT_EQ(again.Satellites()->item(0)->checkState(), Qt::Unchecked);
}

TEST(SatTrackView, RenderRefusesBadObserversTimesAndFiles) {
  TestApp();
  KstlOptions o;
  o.renderTrack = "/tmp/never-written.png";
  o.tle = kElements;
  o.observer = "XX";
  o.time = kTime;
  std::string error;
  EXPECT_EQ(RenderMapPicture(o, error), 2);
  EXPECT_NE(error.find("--observer"), std::string::npos) << error;
  o.observer = "52.5,13.4";
  o.time = "2026-02-30T12:00:00";
  EXPECT_EQ(RenderMapPicture(o, error), 2);
  EXPECT_NE(error.find("--time"), std::string::npos) << error;
  o.time = kTime;
  o.tle = "/nonexistent.tle";
  EXPECT_EQ(RenderMapPicture(o, error), 2);
  int y = 0, x = 0;
  EXPECT_EQ(ParseObserverPoint("52.5,13.4", y, x), 1);
  EXPECT_EQ(y, -3150);
  EXPECT_EQ(x, 804);
}

}  // namespace

// The world map without a display: transforms and their round trips, zoom limits, the map's
// extent and scrolling, great-circle distances, tile culling, the vector record reader (a
// truncated record ends its layer), the built-in layers, the city reader (bounded names,
// read again only on change) and the city and grid layout through a recording canvas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "spl/sat/world_map.h"
#include "spl/sat/world_map_data.h"

namespace {

// Text is 6 pixels a character and 10 high; drawing is recorded.
class CRecorder : public IMapCanvas {
 public:
  void FillRect(const MapRect&, uint32_t) override {}
  int Polygon(const MapPoint*, int, uint32_t) override { return ++polygons <= fail_after; }
  int Polyline(const MapPoint*, int, uint32_t) override { return ++polylines <= fail_after; }
  void TextSize(const char* text, int, int& w, int& h) override {
    w = 6 * int(std::string(text).size());
    h = 10;
  }
  void Text(int x, int y, const char* text, int, uint32_t) override { texts.push_back({text, x, y}); }
  void Dot(int, int, int, uint32_t) override { ++dots; }

  struct Drawn {
    std::string text;
    int x, y;
  };
  int polygons = 0, polylines = 0, dots = 0;
  int fail_after = 1 << 30;
  std::vector<Drawn> texts;
};

void Put16(std::vector<uint8_t>& b, int v) {
  b.push_back(uint8_t(v & 0xFF));
  b.push_back(uint8_t((v >> 8) & 0xFF));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int k = 0; k < 4; ++k) b.push_back(uint8_t(v >> (8 * k)));
}
void Record(std::vector<uint8_t>& b, int tx, int ty, std::vector<MapPoint> pts, uint32_t claimed = 0) {
  Put16(b, tx);
  Put16(b, ty);
  Put32(b, claimed ? claimed : uint32_t(pts.size()));
  for (const MapPoint& p : pts) {
    Put16(b, p.x);
    Put16(b, p.y);
  }
}

// Per process, so that two builds' test runs at the same time do not share files.
std::string TempFile(const char* name) {
  return (std::filesystem::temp_directory_path() /
          ("kestrel_wm_" + std::to_string(getpid()) + "_" + name)).string();
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

TEST(WorldMap, TransformsCentreZoomCapAndRoundTrips) {
  CWorldMap map;
  ASSERT_TRUE(map.Init(800, 400));
  EXPECT_FALSE(map.Init(0, 400));
  int sx, sy;
  map.MapToScreen(0, 0, sx, sy);
  EXPECT_EQ(sx, 400);
  EXPECT_EQ(sy, 200);
  // The whole map fits: 21600 arc minutes across 800 pixels.
  EXPECT_NEAR(map.GetZoom(), 800.0 / 21600, 1e-12);
  // The map's rounding (truncation of v + 0.5) may leave the corner a pixel in.
  map.MapToScreen(-10800, -5400, sx, sy);
  EXPECT_NEAR(sx, 0, 1);
  EXPECT_NEAR(sy, 0, 1);

  EXPECT_TRUE(map.SetZoom(3.0));
  EXPECT_EQ(map.GetZoom(), CWorldMap::kMaxZoom);
  EXPECT_FALSE(map.SetZoom(0.0));
  EXPECT_FALSE(map.SetZoom(std::nan("")));
  EXPECT_EQ(map.GetZoom(), CWorldMap::kMaxZoom);

  // Zooms where the map is larger than the window both ways, so that centring is kept.
  for (double zoom : {0.05, 0.25, 1.0, 2.0}) {
    map.SetZoom(zoom, 600, -1000);
    int cx, cy;
    map.GetZoom(cx, cy);
    EXPECT_EQ(cx, 600);
    EXPECT_EQ(cy, -1000);
    // Truncating v + 0.5 toward zero is off by up to 1.5 pixels for negative v, and a pixel
    // covers 1/zoom arc minutes.
    const double tolerance = 1.5 / zoom + 1;
    for (int x = -10000; x <= 10000; x += 1237)
      for (int y = -5000; y <= 5000; y += 911) {
        map.MapToScreen(x, y, sx, sy);
        int mx, my;
        map.ScreenToMap(sx, sy, mx, my);
        EXPECT_LE(std::abs(mx - x), tolerance) << zoom << " " << x;
        EXPECT_LE(std::abs(my - y), tolerance) << zoom << " " << y;
      }
  }
}

TEST(WorldMap, ExtentScrollingAndZoomRectangle) {
  CWorldMap map;
  ASSERT_TRUE(map.Init(1000, 500));
  map.SetZoom(0.1);
  const MapRect e = map.GetMapSize();
  EXPECT_EQ((std::vector<int>{e.left, e.top, e.right, e.bottom}),
            (std::vector<int>{-1080, -540, 1080, 540}));
  // min, max, page, line, pos: centred on 0.
  const CWorldMap::ScrollInfo h = map.GetScroll(true);
  EXPECT_EQ((std::vector<int>{h.min, h.max, h.page, h.line, h.pos}),
            (std::vector<int>{-1080, 1080 - 1000, 1000, 10, -500}));

  // Scrolling past the end stops at the map's edge.
  map.SetScroll(true, 100000);
  int sx, sy;
  map.MapToScreen(10800, 0, sx, sy);
  EXPECT_EQ(sx, 1000);
  map.SetScroll(true, -100000);
  map.MapToScreen(-10800, 0, sx, sy);
  EXPECT_NEAR(sx, 0, 1);

  // Centring near a pole is clamped: the map's top edge stays at the window's top.
  map.SetZoom(0.1, 0, -5300);
  map.MapToScreen(0, -5400, sx, sy);
  EXPECT_NEAR(sy, 0, 1);

  // Zoomed out so that the map is smaller than the window: centred, nothing to scroll.
  map.SetZoom(0.02, 5000, 2000);
  map.MapToScreen(0, 0, sx, sy);
  EXPECT_EQ(sx, 500);
  EXPECT_EQ(sy, 250);
  EXPECT_EQ(map.GetScroll(true).min, map.GetScroll(true).max);

  // A rectangle 15 pixels wide changes nothing; a larger one zooms by the smaller ratio.
  map.SetZoom(0.1, 0, 0);
  EXPECT_FALSE(map.ZoomToRect(MapRect{100, 100, 115, 300}));
  EXPECT_DOUBLE_EQ(map.GetZoom(), 0.1);
  int cx, cy;
  map.ScreenToMap(600, 300, cx, cy);
  EXPECT_TRUE(map.ZoomToRect(MapRect{700, 400, 500, 200}));  // corners in any order
  EXPECT_DOUBLE_EQ(map.GetZoom(), 0.1 * 2.5);                // min(1000/200, 500/200)
  int zx, zy;
  map.GetZoom(zx, zy);
  EXPECT_EQ(zx, cx);
  EXPECT_EQ(zy, cy);
}

TEST(WorldMap, DistancesAreGreatCirclesAndNeverNaN) {
  EXPECT_NEAR(CWorldMap::GetDistance(0, 0, 60, 0), 111.3, 0.1);
  EXPECT_EQ(CWorldMap::GetDistance(1234, -567, 1234, -567), 0.0);
  // Pole to pole and antipodes: half the circumference.
  const double half = M_PI * CWorldMap::kEarthRadiusKm;
  EXPECT_NEAR(CWorldMap::GetDistance(0, -5400, 0, 5400), half, 1.0);
  const double antipodes = CWorldMap::GetDistance(-10800 + 600, -1200, 600, 1200);
  EXPECT_FALSE(std::isnan(antipodes));
  EXPECT_NEAR(antipodes, half, 1.0);
  // Near-polar antipodes, where rounding carries the cosine past -1 (-5362 is one).
  for (int y = -5400; y <= -5300; ++y) {
    const double d = CWorldMap::GetDistance(0, y, 10800, -y);
    ASSERT_FALSE(std::isnan(d)) << y;
    EXPECT_NEAR(d, half, 1.0) << y;
  }
  // Points a hair apart push the cosine to 1 in rounding: still a number, and tiny.
  const double tiny = CWorldMap::GetDistance(0, 0, 0, 1);
  EXPECT_FALSE(std::isnan(tiny));
  EXPECT_LT(tiny, 2.0);
  // Paris (2 deg 21 E, 48 deg 51 N) to New York (74 deg 0 W, 40 deg 43 N): about 5840 km
  // on this sphere.
  EXPECT_NEAR(CWorldMap::GetDistance(141, -2931, -4440, -2443), 5840, 30);
}

TEST(WorldMap, TilesTouchingTheViewAlongAnEdgeAreCulled) {
  const MapRect view{0, 0, 900, 900};
  EXPECT_TRUE(CWorldMap::TileVisible(0, 0, view));
  EXPECT_TRUE(CWorldMap::TileVisible(-899, -899, view));
  EXPECT_FALSE(CWorldMap::TileVisible(900, 0, view));   // shares the right edge only
  EXPECT_FALSE(CWorldMap::TileVisible(-900, 0, view));  // shares the left edge only
  EXPECT_FALSE(CWorldMap::TileVisible(0, 900, view));
  EXPECT_FALSE(CWorldMap::TileVisible(-900, -900, view));  // a corner
}

TEST(WorldMapData, RecordsReadUntilATruncatedRecordEndsTheLayer) {
  std::vector<uint8_t> b;
  Record(b, -900, -900, {{-850, -850}, {-800, -850}, {-800, -800}});
  Record(b, 0, 0, {{10, 20}, {-30, 40}});
  MapLayer layer;
  ASSERT_TRUE(ParseMapRecords(b.data(), b.size(), layer));
  ASSERT_EQ(layer.heads.size(), 2u);
  EXPECT_EQ((std::vector<int64_t>{layer.heads[0].tileX, layer.heads[0].tileY, layer.heads[1].first,
                                  layer.heads[1].count, layer.largest}),
            (std::vector<int64_t>{-900, -900, 3, 2, 3}));
  EXPECT_EQ((std::vector<float>{layer.points[4].x, layer.points[4].y}),
            (std::vector<float>{-30, 40}));

  // A record claiming more points than the data holds, then a good one: only the first stays.
  std::vector<uint8_t> t;
  Record(t, 0, 0, {{1, 1}, {2, 2}, {3, 3}});
  Record(t, 900, 0, {{901, 1}, {902, 2}}, 1000);
  Record(t, 0, 900, {{1, 901}, {2, 902}});
  MapLayer cut;
  EXPECT_FALSE(ParseMapRecords(t.data(), t.size(), cut));
  EXPECT_EQ(cut.heads.size(), 1u);
  EXPECT_EQ(cut.points.size(), 3u);
  // A count that would overflow a size computation, and a header cut short.
  std::vector<uint8_t> huge;
  Record(huge, 0, 0, {{1, 1}}, 0xFFFFFFFFu);
  MapLayer none;
  EXPECT_FALSE(ParseMapRecords(huge.data(), huge.size(), none));
  EXPECT_TRUE(none.heads.empty());
  EXPECT_FALSE(ParseMapRecords(b.data(), b.size() - (b.size() - 5), none));
  EXPECT_TRUE(none.heads.empty());
}

TEST(WorldMapData, BuiltInLayersAreWholeAndInsideTheirTiles) {
  const char* names[] = {"coastvec", "LAKEVEC", "RiverVec"};
  for (const char* name : names) {
    const uint8_t* data = nullptr;
    size_t size = 0;
    ASSERT_TRUE(FindMapResource(name, data, size)) << name;
    MapLayer layer;
    EXPECT_TRUE(ParseMapRecords(data, size, layer)) << name << " ends inside a record";
    EXPECT_GT(layer.heads.size(), 10u) << name;
    for (const MapHead& h : layer.heads) {
      EXPECT_EQ((h.tileX + CWorldMap::kHalfWidth) % CWorldMap::kTile, 0);
      for (uint32_t k = 0; k < h.count; ++k) {
        const MapCoor& p = layer.points[h.first + k];
        ASSERT_TRUE(p.x >= h.tileX && p.x <= h.tileX + CWorldMap::kTile &&
                    p.y >= h.tileY && p.y <= h.tileY + CWorldMap::kTile)
            << name << " point outside its tile";
      }
    }
  }
  const uint8_t* data;
  size_t size;
  EXPECT_FALSE(FindMapResource("Coast", data, size));
  // Shared by the map objects, released by the last.
  const int before = CMapData::References();
  {
    CWorldMap a;
    CWorldMap b(a);
    EXPECT_EQ(CMapData::References(), before + 2);
    EXPECT_FALSE(CMapData::Layer(kMapLand).heads.empty());
  }
  EXPECT_EQ(CMapData::References(), before);
  if (before == 0) {
    EXPECT_TRUE(CMapData::Layer(kMapLand).heads.empty());
  }
}

TEST(WorldMapData, AFailedPolygonEndsItsLayerAndCullingSkipsHiddenTiles) {
  CWorldMap map;
  ASSERT_TRUE(map.Init(1080, 540));
  CRecorder all;
  const MapRect screen{0, 0, 1080, 540};
  const int land = map.DrawLayer(all, kMapLand, 0, 0, 0, screen);
  EXPECT_EQ(all.polygons, land);
  EXPECT_GT(land, 500);
  CRecorder failing;
  failing.fail_after = 3;
  EXPECT_EQ(map.DrawLayer(failing, kMapLand, 0, 0, 0, screen), 3);
  EXPECT_EQ(failing.polygons, 4);  // the fourth failed and nothing followed
  // A small corner of the screen draws only the records of the tiles under it.
  CRecorder corner;
  const int few = map.DrawLayer(corner, kMapLand, 0, 0, 0, MapRect{0, 0, 20, 20});
  EXPECT_LT(few, land / 20);
}

TEST(WorldMapCities, NamesAreBoundedAndTheFileIsReadOnlyWhenChanged) {
  const std::string path = TempFile("cities.txt");
  const std::string long_name(300, 'N');
  Write(path, "Alpha\t60 -120\r\n" + long_name + "\t1 2\nno tab here 1 2\nBeta\t-600 300\n"
              "Gamma\t99999 0\nDelta\t5 x\n");
  CCityList list;
  ASSERT_TRUE(list.Update(path));
  // The 300-character line is cut at 255 characters, which leaves no tab: not a city.
  ASSERT_EQ(list.Cities().size(), 2u);
  EXPECT_EQ(list.Cities()[0].name, "Alpha");
  EXPECT_EQ(list.Cities()[0].x, 60);
  EXPECT_EQ(list.Cities()[0].y, -120);
  EXPECT_EQ(list.Cities()[1].name, "Beta");

  const std::string name100(100, 'M');
  Write(path, name100 + "\t7 8\nBeta\t-600 300\n");
  ASSERT_TRUE(list.Update(path));
  ASSERT_EQ(list.Cities().size(), 2u);
  EXPECT_EQ(list.Cities()[0].name, std::string(CCityList::kMaxName, 'M'));
  const int reads = list.Reads();
  EXPECT_TRUE(list.Update(path));
  EXPECT_TRUE(list.Update(path));
  EXPECT_EQ(list.Reads(), reads);  // unchanged: not read again

  // Same size, new time: read again.
  Write(path, name100 + "\t9 8\nBeta\t-600 300\n");
  std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));
  ASSERT_TRUE(list.Update(path));
  EXPECT_EQ(list.Reads(), reads + 1);
  EXPECT_EQ(list.Cities()[0].x, 9);

  std::filesystem::remove(path);
  EXPECT_FALSE(list.Update(path));
  EXPECT_TRUE(list.Cities().empty());
}

TEST(WorldMapCities, OverlappingNamesAreLeftOutOnlyWhenAsked) {
  const std::string path = TempFile("overlap.txt");
  Write(path, "Same\t600 -600\nSame\t600 -600\nFar\t-6000 600\n");
  CWorldMap map;
  ASSERT_TRUE(map.Init(1080, 540));
  map.SetCityFile(path);
  map.SetMode(CWorldMap::kCities);
  CRecorder all;
  map.Draw(all, MapRect{0, 0, 1080, 540});
  EXPECT_EQ(all.dots, 3);
  map.SetMode(CWorldMap::kCities | CWorldMap::kCitiesNoOverlap);
  CRecorder one;
  map.Draw(one, MapRect{0, 0, 1080, 540});
  EXPECT_EQ(one.dots, 2);
  ASSERT_EQ(one.texts.size(), 2u);
  // The name is centred above the dot, its lower edge 2 pixels over it.
  int sx, sy;
  map.MapToScreen(600, -600, sx, sy);
  EXPECT_EQ(one.texts[0].x, sx - 12);
  EXPECT_EQ(one.texts[0].y + 10, sy - 2);
  // Outside the update area: not drawn.
  CRecorder none;
  map.Draw(none, MapRect{0, 0, 10, 10});
  EXPECT_EQ(none.dots, 0);
  std::filesystem::remove(path);
}

TEST(WorldMap, GridLabelsSitAtTheEdgesAndLinesBreakAroundThem) {
  CWorldMap map;
  ASSERT_TRUE(map.Init(2160, 1080));  // 0.1 pixels per arc minute
  CRecorder measure;
  std::vector<CWorldMap::GridLine> lines;
  std::vector<CWorldMap::GridLabel> labels;
  map.GridLayout(measure, lines, labels);
  // 17 parallels (80 S .. 80 N) and 35 meridians (170 W .. 170 E), three labels each.
  EXPECT_EQ(labels.size(), size_t(3 * (17 + 35)));
  // The equator's labels: "0" inside the left edge, centred on 5 degrees east, inside the
  // right edge.
  EXPECT_EQ(labels[3 * 8].text, "0");
  int x0, x5, x1, y;
  map.MapToScreen(-10800, 0, x0, y);
  map.MapToScreen(300, 0, x5, y);
  map.MapToScreen(10800, 0, x1, y);
  EXPECT_EQ(x5, 1080 + 30);
  EXPECT_EQ(labels[3 * 8].box.left, x0);
  EXPECT_EQ(labels[3 * 8 + 1].box.left, x5 - 3);
  EXPECT_EQ(labels[3 * 8 + 2].box.right, x1);
  EXPECT_EQ(labels[3 * 8 + 1].box.top, y - 5);
  EXPECT_EQ(labels[0].text, "80");
  EXPECT_EQ(labels[3 * 17].text, "170");
  // No stroke runs through a label.
  for (const auto& line : lines)
    for (const auto& label : labels) {
      const MapRect stroke{std::min(line.from.x, line.to.x), std::min(line.from.y, line.to.y),
                           std::max(line.from.x, line.to.x) + 1, std::max(line.from.y, line.to.y) + 1};
      EXPECT_FALSE(stroke.Meets(label.box)) << label.text << " " << label.box.left << "," << label.box.top << " " << label.box.right << "," << label.box.bottom << " stroke " << stroke.left << "," << stroke.top << " " << stroke.right << "," << stroke.bottom;
    }
}

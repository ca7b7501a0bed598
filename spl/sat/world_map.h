// CWorldMap: a zoomable, scrollable world map in plate carrée: filled land with an optional
// relief shadow, filled lakes, rivers, a labelled 10-degree grid and city names, drawn
// through an IMapCanvas. It holds the view (client size, zoom, the map point at the centre)
// and does the arithmetic a window needs around it: map <-> screen transforms, the map's
// extent, scroll bar ranges, zooming to a dragged rectangle and great-circle distances. The
// vector layers are shared by all map objects (CMapData); the toolkit side (painting, mouse,
// scroll bars) is CWorldMapView in spl/widgets.
//
// Map coordinates are whole arc minutes: x = longitude, east positive, -10800..10800;
// y = latitude, north NEGATIVE, -5400 (north pole)..5400 (south pole), so that y grows
// downwards like screen y.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "spl/sat/world_map_canvas.h"
#include "spl/sat/world_map_cities.h"

class CWorldMap {
 public:
  // Mode flags (SetMode), combined by or.
  enum Mode {
    kOffscreen = 2,          // the window draws into a bitmap and shows it in one step
    kRelief = 4,             // shadows under land, lakes and rivers
    kGrid = 8,               // 10-degree grid with degree labels
    kCities = 16,            // a dot and the name of every city
    kCitiesNoOverlap = 32,   // cities whose names would overlap a drawn name are left out
  };
  static constexpr double kMaxZoom = 2.0;    // pixels per arc minute
  static constexpr double kMinZoom = 1e-3;
  static constexpr int kHalfWidth = 10800;   // arc minutes, 180 degrees
  static constexpr int kHalfHeight = 5400;   // arc minutes, 90 degrees
  static constexpr int kTile = 900;          // arc minutes, side of a record's tile
  static constexpr int kMinZoomRect = 15;    // pixels: a dragged rectangle must be wider and higher
  static constexpr double kEarthRadiusKm = 6378.165;
  static constexpr int kGridFontPixels = 14;
  static constexpr int kCityFontPixels = 12;

  struct Colors {
    uint32_t background = 0x335C6F;  // 0xRRGGBB
    uint32_t land = 0xD7D771;
    uint32_t lakes = 0x3237A3;
    uint32_t rivers = 0x323294;
    uint32_t shadow = 0xA5A53F;      // 0: no relief colour, relief is not drawn
    uint32_t grid = 0xFFFFFF;
    uint32_t cities = 0x000000;
  };

  // What a scroll bar shows, in pixels of the zoomed map (0 at the map's centre).
  struct ScrollInfo {
    int min, max;  // range of pos; min == max when the whole map fits that way
    int page;      // client size
    int line;      // client size / 100, at least 1
    int pos;       // the client's left (top) edge
  };

  // One grid stroke and one grid label, in screen pixels.
  struct GridLine {
    MapPoint from, to;
  };
  struct GridLabel {
    MapRect box;
    std::string text;
  };

  CWorldMap();  // takes a reference to the shared layers
  CWorldMap(const CWorldMap& other);
  CWorldMap& operator=(const CWorldMap& other) = default;
  ~CWorldMap();  // the last map releases the shared layers

  // Sets the client size (pixels, 1 and more each way), the zoom that shows the whole map
  // centred, the default colours and the point buffers. 0 for a bad size, nothing changed.
  int Init(int width, int height);
  // A new client size; the zoom and the centre point stay (clamped to the map). 0 for a bad
  // size.
  int SetClientSize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Colours as 0xRRGGBB; shadow 0 switches the relief colour off.
  void SetColor(uint32_t background, uint32_t land, uint32_t lakes, uint32_t rivers,
                uint32_t shadow);
  void SetGridColor(uint32_t rgb) { colors_.grid = rgb; }
  void SetCityColor(uint32_t rgb) { colors_.cities = rgb; }
  const Colors& GetColors() const { return colors_; }

  // 1 when the flags changed (the window should redraw), else 0.
  int SetMode(int flags);
  int GetMode() const { return mode_; }

  // zoom > 0, capped at kMaxZoom (and at least kMinZoom). The second form also centres the
  // map on (x, y). The centre is then clamped so that the map fills the window where it is
  // larger than the window, and centred where it is not. 0 for a zoom <= 0 or not a number.
  int SetZoom(double zoom);
  int SetZoom(double zoom, int x, int y);
  // The zoom, and the map point at the window centre.
  double GetZoom(int& x, int& y) const;
  double GetZoom() const { return zoom_; }
  // The zoom at which the whole map just fits the client area.
  double FitZoom() const;

  void MapToScreen(int mx, int my, int& sx, int& sy) const;
  void ScreenToMap(int sx, int sy, int& mx, int& my) const;
  // The same for an array of points, converted in place.
  void MapToScreen(MapPoint* points, int count) const;
  void ScreenToMap(MapPoint* points, int count) const;

  // The map's extent at the current zoom in zoomed pixels around the map's centre.
  MapRect GetMapSize() const;
  // Great-circle distance in km between two map points; 0 for identical points, never NaN.
  static double GetDistance(int x1, int y1, int x2, int y2);

  // Map rectangle (arc minutes) under a screen rectangle.
  MapRect VisibleMapRect(const MapRect& screen) const;
  // True when the 15-degree tile at (tileX, tileY) overlaps the map rectangle; a tile that
  // only touches it along an edge does not.
  static bool TileVisible(int tileX, int tileY, const MapRect& visibleMap);

  ScrollInfo GetScroll(bool horizontal) const;
  // Scrolls so that the client's left (top) edge is at pos (clamped to the range).
  void SetScroll(bool horizontal, int pos);
  // Zooms in to show a dragged screen rectangle (corners in any order): the zoom grows by
  // the smaller of client width / rectangle width and client height / rectangle height and
  // the map centres on the point under the rectangle's centre. 0 (nothing changed) unless
  // the rectangle is more than kMinZoomRect pixels wide and high.
  int ZoomToRect(const MapRect& screen);

  // The grid's strokes, broken around the labels, and its labels: parallels every 10
  // degrees with labels just inside both map edges and centred on 5 degrees east, meridians
  // every 10 degrees with labels just inside both edges and centred on 5 degrees north.
  // canvas measures the text only.
  void GridLayout(IMapCanvas& canvas, std::vector<GridLine>& lines,
                  std::vector<GridLabel>& labels) const;

  // The city file read when cities are on (default "cities.txt" in the current folder).
  void SetCityFile(const std::string& path) { city_file_ = path; }
  const CCityList& Cities() const { return cities_; }

  // Draws the map part meeting the screen rectangle update: background, relief, land,
  // lakes, rivers, grid and cities as the mode says. The caller clips to update.
  void Draw(IMapCanvas& canvas, const MapRect& update);
  // One layer with an extra pixel shift; polygons for land and lakes, lines for rivers.
  // The number of records drawn; a failed canvas call ends the layer.
  int DrawLayer(IMapCanvas& canvas, int layer, uint32_t rgb, int dx, int dy,
                const MapRect& update);

 private:
  void ClampCentre();
  void DrawGrid(IMapCanvas& canvas);
  void DrawCities(IMapCanvas& canvas, const MapRect& update);

  int width_ = 0, height_ = 0;
  double zoom_ = 1.0;
  double offset_x_ = 0, offset_y_ = 0;  // arc minutes; the centre shows (-offset x, -offset y)
  int mode_ = 0;
  Colors colors_;
  std::vector<MapPoint> buffer_;  // one record's screen points
  std::string city_file_ = "cities.txt";
  CCityList cities_;
};

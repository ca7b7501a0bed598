// kstl --render-map / --render-track: the world map, or the tracking view with every
// satellite of an element file at a given UTC time, drawn into a PNG without a window, so the
// map can be checked where there is no display.
#pragma once
#include <string>

#include "app/ui/station_app.h"

constexpr int kRenderWidth = 1440, kRenderHeight = 720;  // 4 arc minutes a pixel

// 0 when the picture was written, else 2 with error set. Needs a QApplication.
int RenderMapPicture(const KstlOptions& options, std::string& error);
// "LAT,LON" in degrees (north and east positive) or a locator as map coordinates (arc
// minutes, north negative). 1, or 0.
int ParseObserverPoint(const std::string& text, int& y, int& x);
// "YYYY-MM-DDTHH:MM:SS" (UTC; seconds may be left out) as seconds since 1970. 1, or 0 for
// anything else, an impossible date included.
int ParseUtc(const std::string& text, double& seconds);

#include "spl/image/hsv_picture.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "spl/image/bit24.h"

namespace {

constexpr int kMaxChannel = 255;
constexpr int kMiddle = 128;            // contrast turns around this value
constexpr double kBrightStep = 0.05;    // per brightness level
constexpr double kContrastUp = 0.1;     // per positive contrast level
constexpr double kContrastDown = 0.05;  // per negative contrast level
constexpr int kLastSector = 5;

// Nearest integer, halves to even (the default rounding mode).
int Round(double v) { return int(std::nearbyint(v)); }
uint8_t ClampChannel(int v) { return uint8_t(std::clamp(v, 0, kMaxChannel)); }

}  // namespace

void Chsv::FromRgb(COLORREF c, uint16_t& hue, uint8_t& sat, uint8_t& val) {
  const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  const int v = std::max({r, g, b});
  const int d = v - std::min({r, g, b});
  val = uint8_t(v);
  hue = kNoHue;
  sat = 0;
  // Any difference gives a saturation of at least 1, so d > 0 is the coloured case.
  if (v == 0 || d == 0) return;
  sat = uint8_t(std::min(kMaxChannel, Round(double(kMaxChannel) * d / v)));
  double h;
  if (r == v)
    h = double(g - b) / d;
  else if (g == v)
    h = 2.0 + double(b - r) / d;
  else
    h = 4.0 + double(r - g) / d;
  int units = Round(h * kSector);
  if (units < 0) units += kCircle;
  hue = uint16_t(units);
}

COLORREF Chsv::ToRgb(uint16_t hue, uint8_t sat, uint8_t val) {
  const int v = val;
  if (sat == 0) return RGB(v, v, v);
  const double H = double(hue) / kSector;
  const int i = std::min(Round(H - 0.5), kLastSector);
  const double f = H - i;
  const double scale = v / double(kMaxChannel);
  const int p = ClampChannel(Round(scale * (kMaxChannel - sat)));
  const int q = ClampChannel(Round(scale * (kMaxChannel - f * sat)));
  const int t = ClampChannel(Round(scale * (kMaxChannel - (1.0 - f) * sat)));
  switch (i) {
    case 0: return RGB(v, t, p);
    case 1: return RGB(q, v, p);
    case 2: return RGB(p, v, t);
    case 3: return RGB(p, q, v);
    case 4: return RGB(t, p, v);
    default: return RGB(v, p, q);
  }
}

int Chsv::Init(HBITMAP src) {
  C24Bit pixels;
  if (!pixels.Init(src)) return 0;
  m_width = pixels.GetWidth();
  m_height = pixels.GetHeight();
  const size_t n = size_t(m_width) * size_t(m_height);
  try {
    m_hue.assign(n, kNoHue);
    m_sat.assign(n, 0);
    m_val.assign(n, 0);
  } catch (const std::bad_alloc&) {
    m_hue.clear();
    m_sat.clear();
    m_val.clear();
    m_width = m_height = 0;
    return 0;
  }
  size_t k = 0;
  for (int y = 0; y < m_height; ++y)
    for (int x = 0; x < m_width; ++x, ++k)
      FromRgb(pixels.GetPixel(x, y), m_hue[k], m_sat[k], m_val[k]);
  return 1;
}

void Chsv::Brighten(int level) {
  const double gain = 1.0 + kBrightStep * level;
  for (uint8_t& v : m_val) v = ClampChannel(Round(v * gain));
}

void Chsv::Contrast(int level) {
  const double gain = 1.0 + (level < 0 ? kContrastDown : kContrastUp) * level;
  for (uint8_t& v : m_val) v = ClampChannel(int((v - kMiddle) * gain) + kMiddle);
}

int Chsv::Store(HBITMAP dst) const {
  C24Bit pixels;
  if (!pixels.Init(dst) || pixels.GetWidth() != m_width || pixels.GetHeight() != m_height) return 0;
  size_t k = 0;
  for (int y = 0; y < m_height; ++y)
    for (int x = 0; x < m_width; ++x, ++k)
      pixels.SetPixel(x, y, ToRgb(m_hue[k], m_sat[k], m_val[k]));
  return 1;
}

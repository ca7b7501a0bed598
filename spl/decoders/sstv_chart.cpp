#include "spl/decoders/sstv_chart.h"

#include <cstddef>

namespace {

constexpr int kMinWidth = kSstvChartBars, kMinHeight = 4, kMaxSide = 32768;
// Full-level bars in the order of the usual test pattern (falling luminance).
constexpr uint8_t kBars[kSstvChartBars][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255},
                                              {0, 255, 0},     {255, 0, 255}, {255, 0, 0},
                                              {0, 0, 255},     {0, 0, 0}};

}  // namespace

void SstvChartBar(int i, uint8_t rgb[3]) {
  const int k = i < 0 ? 0 : (i >= kSstvChartBars ? kSstvChartBars - 1 : i);
  for (int c = 0; c < 3; ++c) rgb[c] = kBars[k][c];
}

int SstvChartRampRow(int height) { return height * 3 / 4; }

int MakeSstvChart(int width, int height, std::vector<uint8_t>& rgb) {
  if (width < kMinWidth || height < kMinHeight || width > kMaxSide || height > kMaxSide) return 0;
  rgb.assign(size_t(width) * height * 3, 0);
  const int ramp = SstvChartRampRow(height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
      if (y < ramp) {
        SstvChartBar(int((long long)x * kSstvChartBars / width), p);
      } else {
        const uint8_t v = uint8_t((long long)x * 255 / (width - 1));
        p[0] = p[1] = p[2] = v;
      }
    }
  return 1;
}

// Picture files at the size of a weather chart (1810 x 1200): run-length coding of an 8-bit
// chart both ways, reading its RLE8 file image, and JPEG saving and reading of a 24-bit one
// at the station's quality 75.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include <unistd.h>

#include "spl/image/bmp_rle.h"
#include "spl/image/dib_section.h"

namespace {

constexpr int kChartWidth = 1810, kChartHeight = 1200;
constexpr int kQuality = 75;

// A FAX chart: white paper with black lines and a gray band, as the FAX decoder saves it.
HBITMAP Chart(CDibSection& dib, int bits) {
  HBITMAP h = dib.Create(kChartWidth, kChartHeight, bits);
  RGBQUAD ramp[256];
  for (int i = 0; i < 256; ++i) ramp[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
  if (bits == 8) dib.SetPalette(h, ramp, 256);
  for (int y = 0; y < kChartHeight; ++y) {
    uint8_t* row = dib.AdrH(h) + size_t(y) * size_t(dib.BPL(h));
    for (int x = 0; x < kChartWidth; ++x) {
      const bool line = x % 97 < 2 || y % 61 < 2 || (x + 3 * y) % 401 < 3;
      const uint8_t v = line ? 0 : (y > 500 && y < 560) ? uint8_t(128 + x % 7) : 255;
      if (bits == 8) {
        row[x] = v;
      } else {
        row[3 * x] = v;
        row[3 * x + 1] = uint8_t(v ^ (x & 0x10));
        row[3 * x + 2] = uint8_t(v ^ (y & 0x20));
      }
    }
  }
  return h;
}

// A scratch file of this run (several benchmark programs may run at once).
std::string Scratch(const char* name) {
  return "/tmp/kestrel-bench-" + std::to_string(getpid()) + "-" + name;
}

std::vector<unsigned char> ReadAll(const std::string& path) {
  std::vector<unsigned char> d;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return d;
  for (int c; (c = std::fgetc(f)) != EOF;) d.push_back(uint8_t(c));
  std::fclose(f);
  return d;
}

void BM_EncodeRle8(benchmark::State& state) {
  CDibSection dib;
  HBITMAP h = Chart(dib, 8);
  std::vector<uint8_t> coded;
  for (auto _ : state) {
    coded.clear();
    for (int y = 0; y < kChartHeight; ++y)
      EncodeBmpRleRow(dib.AdrH(h) + size_t(y) * dib.BPL(h), kChartWidth, 8, y == kChartHeight - 1,
                      coded);
    benchmark::DoNotOptimize(coded.data());
  }
  state.SetItemsProcessed(state.iterations() * kChartWidth * kChartHeight);
  state.counters["ratio"] = double(coded.size()) / double(dib.SizeH(h));
  DeleteObject(h);
}
BENCHMARK(BM_EncodeRle8)->Unit(benchmark::kMillisecond);

void BM_ReadRle8File(benchmark::State& state) {
  CDibSection dib;
  HBITMAP h = Chart(dib, 8);
  const std::string path = Scratch("chart-rle8.bmp");
  dib.SaveFileRLE(path.c_str(), h);
  DeleteObject(h);
  const std::vector<unsigned char> file = ReadAll(path);
  std::remove(path.c_str());
  for (auto _ : state) {
    HBITMAP b = dib.ReadBMP(file.data(), file.size());
    benchmark::DoNotOptimize(b);
    DeleteObject(b);
  }
  state.SetItemsProcessed(state.iterations() * kChartWidth * kChartHeight);
}
BENCHMARK(BM_ReadRle8File)->Unit(benchmark::kMillisecond);

void BM_SaveJpeg(benchmark::State& state) {
  CDibSection dib;
  HBITMAP h = Chart(dib, int(state.range(0)));
  const std::string path = Scratch("chart.jpg");
  for (auto _ : state) benchmark::DoNotOptimize(dib.SaveJpeg(path.c_str(), h, kQuality));
  std::remove(path.c_str());
  state.SetItemsProcessed(state.iterations() * kChartWidth * kChartHeight);
  DeleteObject(h);
}
BENCHMARK(BM_SaveJpeg)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

void BM_ReadJpeg(benchmark::State& state) {
  CDibSection dib;
  HBITMAP h = Chart(dib, 24);
  const std::string path = Scratch("chart-read.jpg");
  dib.SaveJpeg(path.c_str(), h, kQuality);
  DeleteObject(h);
  const std::vector<unsigned char> file = ReadAll(path);
  std::remove(path.c_str());
  for (auto _ : state) {
    HBITMAP b = dib.ReadJpeg(file.data(), file.size());
    benchmark::DoNotOptimize(b);
    DeleteObject(b);
  }
  state.SetItemsProcessed(state.iterations() * kChartWidth * kChartHeight);
}
BENCHMARK(BM_ReadJpeg)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

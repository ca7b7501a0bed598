// The picture editor's edits that compute new pixels: neighbourhood filters, brightness and
// contrast, stroke thinning, and the FAX corrections (left-edge synchronisation, slant,
// module and drum-speed conversion).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

#include "spl/image/bit24.h"
#include "spl/image/dib_edit.h"
#include "spl/image/dib_rows.h"
#include "spl/image/hsv_picture.h"

namespace {

constexpr int kMaxChannel = 255;
constexpr int kBytesPerPixel = 3;
constexpr uint8_t kWhite = 0xFF;

// 3 x 3 kernels by level: the same corners and edges, a centre per level (1 first). The
// sharpening centres outweigh the four negative edges; the softening ones weigh the pixel
// against its eight neighbours.
struct KernelFamily {
  int corner, edge;
  int centre[CDibEdit::kFilterLevels];
};
constexpr KernelFamily kSharpen = {0, -10, {70, 60, 55, 50, 46}};
constexpr KernelFamily kSoften = {1, 1, {12, 8, 4, 2, 1}};

// The kernel of a level, rows top first; false for a level out of range.
bool KernelOf(const KernelFamily& family, int level, int kernel[9]) {
  if (level < 1 || level > CDibEdit::kFilterLevels) return false;
  const int c = family.corner, e = family.edge;
  const int k[9] = {c, e, c, e, family.centre[level - 1], e, c, e, c};
  std::copy(k, k + 9, kernel);
  return true;
}

// The first row's slant shift: half the picture's rows times the slant.
constexpr double kSlantStart = 0.5;
// Beyond this a double no longer counts whole pixels: such a shift is no slant of a picture.
constexpr double kLargestShift = 0x1p52;
// A picture row's time is 120 / rpm (the drum speed in turns per minute); only ratios of the
// times matter.
constexpr double kSecondsPerRowRpm = 120.0;

int Clamp(int v) { return std::clamp(v, 0, kMaxChannel); }
void FillWhite(HBITMAP h) { std::memset(h->pixels, kWhite, size_t(h->bpl) * size_t(DibRows(h))); }

}  // namespace

// Neighbourhood filters.

int CDibEdit::KUp(int level) {
  int kernel[9];
  return KernelOf(kSharpen, level, kernel) ? Filter(kernel) : 0;
}

int CDibEdit::KDown(int level) {
  int kernel[9];
  return KernelOf(kSoften, level, kernel) ? Filter(kernel) : 0;
}

int CDibEdit::Filter(const int kernel[9]) {
  if (!m_picture) return 0;
  const int w = PictureWidth(), h = PictureHeight();
  HBITMAP n = NewPicture(w, h);
  if (!n) return 0;
  C24Bit from, to;
  from.Init(m_picture);
  from.InitMatrix(kernel);
  to.Init(n);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int r = 0, g = 0, b = 0;
      from.GetMatrixPixel(x, y, r, g, b);
      to.SetPixel(x, y, RGB(Clamp(r), Clamp(g), Clamp(b)));
    }
    Report(y + 1, h);
  }
  return Replace(n);
}

// Brightness, contrast, thinning.

int CDibEdit::Bright(int level) {
  if (!m_picture) return 0;
  Chsv hsv;
  if (!hsv.Init(m_picture)) return Fail(kDibMemory);
  hsv.Brighten(level);
  return StoreHsv(hsv);
}

int CDibEdit::Contrast(int level) {
  if (!m_picture) return 0;
  Chsv hsv;
  if (!hsv.Init(m_picture)) return Fail(kDibMemory);
  hsv.Contrast(level);
  return StoreHsv(hsv);
}

int CDibEdit::StoreHsv(const Chsv& hsv) {
  HBITMAP n = NewPicture(hsv.GetWidth(), hsv.GetHeight());
  if (!n) return 0;
  hsv.Store(n);
  return Replace(n);
}

int CDibEdit::Thin() {
  if (!m_picture) return 0;
  // Thinning follows bright strokes; the pictures carry dark ones.
  auto invert = [](HBITMAP gray) {
    for (int y = 0; y < DibRows(gray); ++y) {
      uint8_t* row = DibRow(gray, y);
      for (int x = 0; x < gray->width; ++x) row[x] = uint8_t(kMaxChannel - row[x]);
    }
  };
  HBITMAP gray = ConvertToGray(m_picture);
  if (!gray) return 0;
  invert(gray);
  HBITMAP thin = Thinning(gray);
  DeleteObject(gray);
  if (!thin) return 0;
  invert(thin);
  HBITMAP n = Convert(thin, 24);
  DeleteObject(thin);
  return Replace(n);
}

// FAX corrections.

int CDibEdit::DoSync(int x) {
  if (!m_picture) return 0;
  const int w = PictureWidth(), h = PictureHeight();
  const int shift = (x % w + w) % w;
  HBITMAP n = NewPicture(w, h);
  if (!n) return 0;
  const size_t head = size_t(shift) * kBytesPerPixel, row = size_t(w) * kBytesPerPixel;
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = DibRow(m_picture, y);
    uint8_t* d = DibRow(n, y);
    std::memcpy(d, s + head, row - head);
    std::memcpy(d + (row - head), s, head);
  }
  return Replace(n);
}

int CDibEdit::DoSlant(double s, int factor) {
  if (!m_picture || s == 0.0 || !std::isfinite(s) || factor < 1) return 0;
  const int w = PictureWidth(), h = PictureHeight();
  // The super-sampled picture must be one the library can make.
  if (int64_t(w) * factor > kMaxBitmapSide || int64_t(h) * factor > kMaxBitmapSide)
    return Fail(kDibMemory);
  const int wf = w * factor, hf = h * factor;
  if (!(std::abs(s) * (double(h) + hf) < kLargestShift)) return 0;
  HBITMAP large = NewPicture(wf, hf);
  if (!large) return 0;
  FillWhite(large);
  m_progressBase = hf;
  m_progressTotal = hf + h;
  double offset = std::trunc(h * s * kSlantStart);
  for (int y = 0; y < hf; ++y) {
    // The shift taken modulo the width first: a slant of many widths wraps as often.
    const int shift = int(std::fmod(std::trunc(offset), double(wf)));
    const uint8_t* src = DibRow(m_picture, y / factor);
    uint8_t* dst = DibRow(large, y);
    for (int x = 0; x < wf; ++x) {
      int t = (x + shift) % wf;
      if (t < 0) t += wf;
      std::memcpy(dst + size_t(t) * kBytesPerPixel, src + size_t(x / factor) * kBytesPerPixel,
                  kBytesPerPixel);
    }
    offset -= s;
    Report(y + 1, m_progressTotal);
  }
  HBITMAP n = Shrink(large, w, h, 0, ForwardProgress, reinterpret_cast<long>(this));
  DeleteObject(large);
  return Replace(n);
}

int CDibEdit::SlantBetween(int x1, int y1, int x2, int y2) {
  if (y1 == y2) return 0;
  // Along the edge downwards: a lower end further right needs lower rows moved left.
  return DoSlant(double(x2 - x1) / double(y2 - y1), m_slantFactor);
}

int CDibEdit::ModulConvert(double inIoc, double inRpm, double outIoc, double outRpm) {
  if (!m_picture) return 0;
  for (double v : {inIoc, inRpm, outIoc, outRpm})
    if (!(v > 0.0) || !std::isfinite(v)) return 0;
  const int w = PictureWidth(), h = PictureHeight();
  const double tIn = kSecondsPerRowRpm / inRpm / w;
  const double outWidth = std::trunc(outIoc * std::numbers::pi + 0.5);
  if (outWidth < 1.0 || outWidth > kMaxBitmapSide) return Fail(kDibMemory);
  const int wo = int(outWidth);
  const double tOut = kSecondsPerRowRpm / outRpm / wo;
  const double outRows = std::floor((std::trunc(double(w) * h * tIn / tOut) + wo - 1) / wo);
  if (outRows < 1.0 || outRows > kMaxBitmapSide) return Fail(kDibMemory);
  const int ho = int(outRows);
  HBITMAP n = NewPicture(wo, ho);
  if (!n) return 0;
  FillWhite(n);

  // The input is one continuous scan: every output pixel averages the input pixels of its
  // time, and an input pixel longer than an output pixel fills several.
  const int64_t outPixels = int64_t(wo) * ho;
  int64_t at = 0;
  uint64_t sum[kBytesPerPixel] = {};
  uint64_t count = 0;
  double time = 0.0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = DibRow(m_picture, y);
    for (int x = 0; x < w; ++x) {
      for (int k = 0; k < kBytesPerPixel; ++k) sum[k] += row[x * kBytesPerPixel + k];
      ++count;
      time += tIn;
      if (time < tOut) continue;
      uint8_t color[kBytesPerPixel];
      for (int k = 0; k < kBytesPerPixel; ++k) color[k] = uint8_t(sum[k] / count), sum[k] = 0;
      count = 0;
      for (; time >= tOut; time -= tOut, ++at)
        if (at < outPixels)
          std::memcpy(DibRow(n, int(at / wo)) + size_t(at % wo) * kBytesPerPixel, color,
                      kBytesPerPixel);
    }
    Report(y + 1, h);
  }
  return Replace(n);
}

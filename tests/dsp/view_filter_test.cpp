// Filter curve view: the measured response against the response computed from the taps,
// normalising, smoothing that keeps the curve in place, measuring that leaves a working
// filter alone, and the drawn curve, pass range and marks at their columns.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "dsp_test_util.h"
#include "spl/dsp/view_filter.h"

namespace {

using dsptest::Block;

constexpr int kRate = 11025;
constexpr int kBlock = 1024;

// |H(f)| of the taps, times the impulse height the view measures with.
double ModelResponse(const CFilter& f, double hz) {
  std::complex<double> sum = 0;
  const float* h = f.GetCoeff();
  for (int k = 0; k <= f.GetTaps(); ++k)
    sum += double(h[k]) * std::polar(1.0, -2 * M_PI * hz * k / f.GetSFrq());
  return 32767.0 * std::abs(sum);
}

// The frequency of curve value k of n: FFT bin (k * (N / 2)) / n of an N-point transform.
double CurveHz(int k, int n, int fftSize) {
  return double(int64_t(k) * (fftSize / 2) / n) * kRate / fftSize;
}

struct LowPass {
  CFilter f;
  explicit LowPass(float fc, int order = 128) {
    EXPECT_EQ(f.Init(kRate, kBlock, order), 1);
    EXPECT_EQ(f.CreateTP(fc, kFilterWindowHann), 1);
  }
};

TEST(ViewFilter, DiracCurveIsTheResponseOfTheTaps) {
  // The transform holds the whole impulse response behind the impulse: at least 512 points,
  // also for a 4-value curve of 257 taps, which a transform of 2n points would cut off.
  const struct {
    int order, n;
    float fc;
    double tolerance;
  } cases[] = {{128, 200, 1000, 2e-3 * 32767.0}, {128, 256, 1000, 2e-3 * 32767.0},
               {128, 37, 1000, 2e-3 * 32767.0}, {256, 4, 2000, 70.0}};
  for (const auto& t : cases) {
    SCOPED_TRACE(testing::Message() << t.order << " taps, " << t.n << " values");
    LowPass lp(t.fc, t.order);
    CViewFilter view;
    ASSERT_EQ(view.Init(&lp.f, 0, nullptr), 1);
    AudioBlock* c = view.GetDiracCurve(t.n, 0);
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->count, t.n);
    int size = 512;
    while (size < 2 * t.n) size *= 2;
    for (int k = 0; k < t.n; ++k)
      ASSERT_NEAR(c->data[k], ModelResponse(lp.f, CurveHz(k, t.n, size)), t.tolerance) << k;
    FreeAudioBlock(c);
  }
}

TEST(ViewFilter, NormScalesThePeakAndASilentFilterStaysZero) {
  CFilter bp;
  ASSERT_EQ(bp.Init(kRate, kBlock, 128), 1);
  ASSERT_EQ(bp.CreateBP(1200.0f, 2200.0f, kFilterWindowHann), 1);
  CViewFilter view;
  ASSERT_EQ(view.Init(&bp, 0, nullptr), 1);
  AudioBlock* c = view.GetDiracCurve(300, 77);
  ASSERT_NE(c, nullptr);
  EXPECT_NEAR(c->peak, 77.0f, 1e-3f);
  EXPECT_NEAR(c->max, 77.0f, 1e-3f);
  FreeAudioBlock(c);
  // Taps all zero (no design yet): no peak to scale by, and no division by it.
  CFilter none;
  ASSERT_EQ(none.Init(kRate, kBlock, 64), 1);
  ASSERT_EQ(view.Init(&none, 0, nullptr), 1);
  c = view.GetDiracCurve(50, 100);
  ASSERT_NE(c, nullptr);
  for (int k = 0; k < 50; ++k) EXPECT_EQ(c->data[k], 0.0f);
  FreeAudioBlock(c);
  EXPECT_EQ(view.GetDiracCurve(0, 0), nullptr);
}

TEST(ViewFilter, InitRefusals) {
  CViewFilter view;
  EXPECT_EQ(view.GetDiracCurve(10, 0), nullptr);
  EXPECT_EQ(view.View(), 0);
  EXPECT_EQ(view.Init(nullptr, 0, nullptr), 0);
  LowPass lp(1000.0f);
  EXPECT_EQ(view.Init(&lp.f, 5512, nullptr), 0);  // smoothing at half the rate
  EXPECT_EQ(view.Init(&lp.f, -5, nullptr), 0);
  EXPECT_EQ(view.GetDiracCurve(10, 0), nullptr);
  CMemoryPaintTarget tiny;
  ASSERT_TRUE(tiny.Init(4, 4));
  EXPECT_EQ(view.Init(&lp.f, 0, &tiny), 0);
  ASSERT_EQ(view.Init(&lp.f, 0, nullptr), 1);
  EXPECT_EQ(view.View(), 0);  // curves only, nothing to draw into
}

TEST(ViewFilter, MeasuringLeavesAWorkingFilterAlone) {
  LowPass used(800.0f), twin(800.0f);
  CViewFilter view;
  ASSERT_EQ(view.Init(&used.f, 0, nullptr), 1);
  Block in(dsptest::Cosine(kBlock, 600.0, kRate, 5000.0));
  Block a(kBlock), b(kBlock);
  AudioBlock* first = view.GetDiracCurve(100, 0);
  for (int round = 0; round < 3; ++round) {
    used.f.Filter(in.get(), a.get(), 0);
    twin.f.Filter(in.get(), b.get(), 0);
    AudioBlock* again = view.GetDiracCurve(100, 0);
    ASSERT_NE(again, nullptr);
    // The same curve whatever the filter has seen.
    for (int k = 0; k < 100; ++k) ASSERT_EQ(again->data[k], first->data[k]) << k;
    FreeAudioBlock(again);
  }
  // The measured filter's output continues exactly like its unmeasured twin's.
  EXPECT_EQ(a.vec(), b.vec());
  FreeAudioBlock(first);
}

// The column where the curve first drops below half its largest value.
int HalfColumn(const AudioBlock* c) {
  for (int k = 0; k < c->count; ++k)
    if (c->data[k] < 0.5f * c->max) return k;
  return -1;
}

TEST(ViewFilter, SmoothingKeepsTheCurveInPlaceAndItsLevels) {
  LowPass lp(1500.0f, 32);
  CViewFilter plain, smooth;
  ASSERT_EQ(plain.Init(&lp.f, 0, nullptr), 1);
  ASSERT_EQ(smooth.Init(&lp.f, 400, nullptr), 1);
  AudioBlock* p = plain.GetDiracCurve(200, 0);
  AudioBlock* s = smooth.GetDiracCurve(200, 0);
  ASSERT_TRUE(p && s);
  int hp = HalfColumn(p), hs = HalfColumn(s);
  ASSERT_GT(hp, 40);
  EXPECT_NEAR(hs, hp, 2);  // not shifted by the low-pass's delay of 32 values
  // The pass band keeps its level (times the low-pass's own gain) up to the left edge, the
  // stop band stays low.
  CFilter twin;
  ASSERT_EQ(twin.Init(kRate, kBlock, 64), 1);
  ASSERT_EQ(twin.CreateTP(400.0f, kFilterWindowHann), 1);
  float gain = 0.0f;
  for (int k = 0; k <= 64; ++k) gain += twin.GetCoeff()[k];
  EXPECT_NEAR(s->data[0], gain * p->data[0], 0.01f * p->data[0]);
  EXPECT_LT(s->data[199], 0.02f * p->data[0]);
  // And it does smooth: the stop band ripple of a short filter is flattened.
  double roughP = 0, roughS = 0;
  for (int k = 120; k < 199; ++k) {
    roughP += std::fabs(p->data[k + 1] - p->data[k]);
    roughS += std::fabs(s->data[k + 1] - s->data[k]);
  }
  EXPECT_LT(roughS, 0.5 * roughP);
  // Repeated calls give the same curve (no delay line carried over).
  AudioBlock* s2 = smooth.GetDiracCurve(200, 0);
  for (int k = 0; k < 200; ++k) ASSERT_EQ(s2->data[k], s->data[k]);
  for (AudioBlock* x : {p, s, s2}) FreeAudioBlock(x);
}

constexpr COLORREF kFill = RGB(10, 20, 30);
constexpr COLORREF kLine = RGB(250, 240, 230);
constexpr COLORREF kRange = RGB(40, 50, 60);
constexpr COLORREF kMark = RGB(200, 0, 100);

TEST(ViewFilter, LowPassCurveIsHighLeftOfTheCutOffAndLowRightOfIt) {
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(224, 104));  // 220 x 100
  LowPass lp(1000.0f);
  CViewFilter view;
  ASSERT_EQ(view.Init(&lp.f, 0, &wnd), 1);
  ASSERT_EQ(view.View(), 1);
  const int w = view.Width(), h = view.Height();
  ASSERT_EQ(w, 220);
  ASSERT_EQ(h, 100);
  const int cut = view.Column(1000);
  EXPECT_EQ(cut, 1000 * 220 / 5512);
  // The curve's own model: normalised to the height, gain h / span * 0.9090909, centred.
  AudioBlock* c = view.GetDiracCurve(w, h);
  float span = c->max - c->min, gain = float(h) / span * 0.9090909f;
  EXPECT_NEAR(view.GetGain(), gain, 1e-6f);
  float mid = (c->max + c->min) * 0.5f;
  for (int x = 0; x < w; ++x) {
    int y = std::clamp(int(std::lround(49.5f - (c->data[x] - mid) * gain)), 0, h - 1);
    ASSERT_NEAR(view.CurveY(x), y, 1) << x;
  }
  FreeAudioBlock(c);
  // Flat top at row 4 (49.5 - 45.45) in the pass band, bottom row 95 in the stop band.
  for (int x = 0; x < cut - 8; ++x) EXPECT_NEAR(view.CurveY(x), 4, 1) << x;
  for (int x = cut + 10; x < w; ++x) EXPECT_NEAR(view.CurveY(x), 95, 1) << x;
  // Half way down close to the cut-off column.
  int half = -1;
  for (int x = 0; x < w && half < 0; ++x)
    if (view.CurveY(x) > 50) half = x;
  EXPECT_NEAR(half, cut, 2);
  // Shown in the target inside the sunken edge, the line in the outline colour.
  COLORREF outline = 0;
  view.GetColor(nullptr, &outline, nullptr, nullptr);
  EXPECT_EQ(GetPixel24(wnd.Picture(), 2 + 10, 2 + view.CurveY(10)), outline);
  EXPECT_EQ(GetPixel24(wnd.Picture(), 2 + 200, 2 + view.CurveY(200)), outline);
}

TEST(ViewFilter, PassRangeAndMarksAtTheirColumns) {
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(224, 104));
  CFilter bp;
  ASSERT_EQ(bp.Init(kRate, kBlock, 128), 1);
  ASSERT_EQ(bp.CreateBP(1000.0f, 2000.0f, kFilterWindowHann), 1);
  CViewFilter view;
  ASSERT_EQ(view.Init(&bp, 0, &wnd), 1);
  view.SetBrush(nullptr, nullptr, nullptr);
  view.SetColor(kFill, kLine, kRange, kMark);
  view.SetGrid(0, 0, 0);
  ASSERT_EQ(view.SetRange(1000, 2000), 1);
  ASSERT_EQ(view.SetMark(500, 3000), 1);
  EXPECT_EQ(view.SetRange(2000, 1000), 0);
  EXPECT_EQ(view.SetMark(100, 6000), 0);
  ASSERT_EQ(view.View(), 1);
  HBITMAP pic = view.Picture();
  const int a = view.Column(1000), b = view.Column(2000);
  EXPECT_EQ(a, 39);
  EXPECT_EQ(b, 79);
  // Bottom row: range colour inside the pass range, fill colour outside, marks over all.
  for (int x = 0; x < 220; ++x) {
    COLORREF want = (x >= a && x <= b) ? kRange : kFill;
    if (x == view.Column(500) || x == view.Column(3000)) want = kMark;
    if (view.CurveY(x) == 99) want = x == view.Column(500) || x == view.Column(3000) ? kMark : kLine;
    EXPECT_EQ(GetPixel24(pic, x, 99), want) << x;
  }
  EXPECT_EQ(GetPixel24(pic, view.Column(500), 0), kMark);
  EXPECT_EQ(GetPixel24(pic, view.Column(3000), 50), kMark);
  // The pass band's top is near the top, above it the background.
  int top = view.CurveY((a + b) / 2);
  EXPECT_LE(top, 6);
  EXPECT_EQ(GetPixel24(pic, (a + b) / 2, 0), RGB(0, 0, 0));
  // Removing both.
  ASSERT_EQ(view.SetRange(0, 0), 1);
  ASSERT_EQ(view.SetMark(0, 0), 1);
  view.View();
  EXPECT_EQ(GetPixel24(pic, (a + b) / 2, 99), kFill);
  EXPECT_EQ(GetPixel24(pic, view.Column(500), 0), RGB(0, 0, 0));
}

TEST(ViewFilter, DefaultBrushesFillTheirRegions) {
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(104, 54));
  LowPass lp(2500.0f);
  CViewFilter view;
  ASSERT_EQ(view.Init(&lp.f, 0, &wnd), 1);
  view.SetGrid(0, 0, 0);
  ASSERT_EQ(view.SetRange(0, 1000), 1);
  ASSERT_EQ(view.View(), 1);
  HBITMAP bg = CreateViewPattern(kPatternBackground), curve = CreateViewPattern(kPatternCurve),
          range = CreateViewPattern(kPatternRange);
  HBITMAP pic = view.Picture();
  const int x = 80, xr = 5;  // stop band; inside the range
  EXPECT_EQ(GetPixel24(pic, x, 0), GetPixel24(bg, x % 8, 0));
  EXPECT_EQ(GetPixel24(pic, x, 49), GetPixel24(curve, x % 8, 49 % 8));
  EXPECT_EQ(GetPixel24(pic, xr, 40), GetPixel24(range, xr, 40 % 8));
  for (HBITMAP p : {bg, curve, range}) DeleteObject(p);
}

}  // namespace

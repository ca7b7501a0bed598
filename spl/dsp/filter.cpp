#include "spl/dsp/filter.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "spl/primitives/nspwin.h"

namespace {
constexpr int kMinDesignOrder = 2;  // the windows need three taps
constexpr double kTwoPi = 2.0 * M_PI;

// The windows of the design, in the order they are applied.
struct FilterWindow {
  unsigned long flag;
  void (*apply)(float*, int);
};
constexpr FilterWindow kWindows[] = {
    {kFilterWindowHamming, nspsWinHamming},
    {kFilterWindowBartlett, nspsWinBartlett},
    {kFilterWindowHann, nspsWinHann},
};
}  // namespace

CFilter::~CFilter() { Release(); }

void CFilter::Release() {
  if (prepared_) nspFirnspFree(&fir_);
  prepared_ = false;
  free(taps_);
  taps_ = nullptr;
}

int CFilter::Init(int rate, int blockSize, int order) {
  Release();
  if (rate <= 0 || blockSize < 0 || order < 0) return 0;
  taps_ = static_cast<float*>(calloc(size_t(order) + 1, sizeof(float)));
  if (!taps_) return 0;
  fir_ = NSPFirState{};
  rate_ = float(rate);
  block_ = blockSize;
  order_ = order;
  fsum_ = 0.0f;
  return 1;
}

int CFilter::CoeffLP(float fc, int sign) {
  if (!taps_) return 0;
  const double s = sign > 0 ? 1.0 : -1.0;
  const int m = order_ / 2;
  taps_[m] += float(s * 2.0 * fc);
  for (int k = 1; k <= m; ++k) {
    const double x = kTwoPi * fc * k / rate_;
    const double v = x == 0.0 ? 2.0 * fc : 2.0 * fc * std::sin(x) / x;
    taps_[m - k] += float(s * v);
    taps_[m + k] += float(s * v);
  }
  return 1;
}

int CFilter::CoeffHP(float fc, int sign) {
  if (!taps_) return 0;
  const double s = sign > 0 ? 1.0 : -1.0;
  const int m = order_ / 2;
  taps_[m] += float(s * (rate_ - 2.0 * fc));
  for (int k = 1; k <= m; ++k) {
    const double x = kTwoPi * fc * k / rate_;
    const double v = x == 0.0 ? 2.0 * fc : 2.0 * fc * std::sin(x) / x;
    taps_[m - k] -= float(s * v);
    taps_[m + k] -= float(s * v);
  }
  return 1;
}

float CFilter::GetSkalFak() const {
  if (!taps_) return 0.0f;
  const int m = order_ / 2;
  double sum = std::fabs(taps_[m]);
  for (int k = 1; k <= m; ++k) sum += std::fabs(taps_[m - k]) + std::fabs(taps_[m + k]);
  return float(sum);
}

int CFilter::BeginDesign() {
  if (!taps_ || order_ < kMinDesignOrder) return 0;
  if (prepared_) nspFirnspFree(&fir_);
  prepared_ = false;
  memset(taps_, 0, (size_t(order_) + 1) * sizeof(float));
  return 1;
}

int CFilter::Prepare() {
  if (prepared_) nspFirnspFree(&fir_);
  prepared_ = nspsFirInit(taps_, order_ + 1, nullptr, &fir_) == 0;
  return prepared_ ? 1 : 0;
}

int CFilter::FinishDesign(unsigned long window) {
  fsum_ = GetSkalFak();
  // An all-zero response (both edges equal, say) has nothing to normalise.
  if (fsum_ > 0.0f) {
    const float scale = 1.0f / fsum_;
    for (int i = 0; i <= order_; ++i) taps_[i] *= scale;
  }
  for (const FilterWindow& w : kWindows)
    if (window & w.flag) w.apply(taps_, order_ + 1);
  return Prepare();
}

int CFilter::CreateTP(float fc, unsigned long window) {
  if (!BeginDesign()) return 0;
  CoeffLP(fc, 1);
  return FinishDesign(window);
}

int CFilter::CreateHP(float fc, unsigned long window) {
  if (!BeginDesign()) return 0;
  CoeffHP(fc, 1);
  return FinishDesign(window);
}

int CFilter::CreateBP(float f1, float f2, unsigned long window) {
  if (!BeginDesign()) return 0;
  CoeffLP(f1, -1);
  CoeffLP(f2, 1);
  return FinishDesign(window);
}

int CFilter::CreateBS(float f1, float f2, unsigned long window) {
  if (!BeginDesign()) return 0;
  CoeffHP(f2, 1);
  CoeffLP(f1, 1);
  return FinishDesign(window);
}

int CFilter::AddCoeff(const float* taps) {
  if (!taps_ || !taps || order_ < kMinDesignOrder) return 0;
  for (int i = 0; i <= order_; ++i) taps_[i] += taps[i];
  return FinishDesign(0);
}

void CFilter::Filter(const AudioBlock* src, AudioBlock* dst, int measure) {
  if (!prepared_ || !src || !dst || src == dst) return;
  const int n = src->count < dst->count ? src->count : dst->count;
  if (n > 0) nspsbFir(&fir_, src->data, dst->data, n);
  if (measure) MeasureAudioBlock(dst);
}

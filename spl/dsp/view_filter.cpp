#include "spl/dsp/view_filter.h"

#include <algorithm>

#include "spl/audio/op_amp.h"
#include "spl/dsp/view_area.h"
#include "spl/primitives/nspfir.h"

namespace {

constexpr int kSmoothingTaps = 64;
constexpr float kImpulse = 32767.0f;
constexpr float kHeadroom = 0.9090909f;  // the curve fills 1 / 1.1 of the height

// Runs n samples through a fresh FIR state with the filter's taps, so that measuring never
// disturbs the delay line of a filter that is in use, and no earlier input leaks in.
int RunTaps(const CFilter& f, const float* src, float* dst, int n) {
  if (!f.GetCoeff()) return 0;
  NSPFirState st{};
  if (nspsFirInit(f.GetCoeff(), f.GetTaps() + 1, nullptr, &st) != 0) return 0;
  nspsbFir(&st, src, dst, n);
  nspFirnspFree(&st);
  return 1;
}

int PowerOfTwoAtLeast(int n) {
  int p = 2;
  while (p < n) p *= 2;
  return p;
}

}  // namespace

CViewFilter::CViewFilter() { SetFill(1); }

int CViewFilter::Init(CFilter* filter, int smoothing, HPAINT wnd) {
  m_filter = nullptr;
  if (!filter || !filter->GetCoeff() || !(filter->GetSFrq() >= 2.0f)) return 0;
  int rate = int(filter->GetSFrq());
  if (smoothing < 0 || (smoothing && smoothing >= rate / 2)) return 0;
  if (smoothing && (!m_smooth.Init(rate, filter->GetSSiz(), kSmoothingTaps) ||
                    !m_smooth.CreateTP(float(smoothing), kFilterWindowHann)))
    return 0;
  if (wnd) {
    if (!CScope::Init(wnd)) return 0;
  } else {
    CScope::Exit();
  }
  m_filter = filter;
  m_rate = rate;
  m_block = filter->GetSSiz();
  m_taps = filter->GetTaps();
  m_smoothing = smoothing;
  m_target = wnd;
  return 1;
}

int CViewFilter::Smooth(AudioBlock* curve) {
  // The low-pass delays by half its length; the curve is extended at both ends by its end
  // values so that the smoothed curve stays in place and keeps its level at the edges.
  const int n = curve->count, delay = m_smooth.GetTaps() / 2;
  AudioBlock *in = nullptr, *out = nullptr;
  int ok = NewAudioBlock(&in, n + 2 * delay) && NewAudioBlock(&out, n + 2 * delay);
  if (ok) {
    for (int i = 0; i < n + 2 * delay; ++i) in->data[i] = curve->data[std::clamp(i - delay, 0, n - 1)];
    ok = RunTaps(m_smooth, in->data, out->data, n + 2 * delay);
    if (ok) std::copy(out->data + 2 * delay, out->data + 2 * delay + n, curve->data);
  }
  FreeAudioBlock(in);
  FreeAudioBlock(out);
  return ok;
}

AudioBlock* CViewFilter::GetDiracCurve(int n, int norm) {
  if (!m_filter || n < 1 || n > (1 << 24)) return nullptr;
  // Twice the curve's points, and room for the whole impulse response behind the impulse.
  const int size = PowerOfTwoAtLeast(std::max(2 * n, 2 * (m_filter->GetTaps() + 1)));
  int order = BlockOrder(size);
  AudioBlock *impulse = nullptr, *re = nullptr, *im = nullptr, *mag = nullptr, *out = nullptr;
  int ok = NewAudioBlock(&impulse, size) && NewAudioBlock(&re, size) &&
           NewAudioBlock(&im, size) && NewAudioBlock(&mag, size / 2) && NewAudioBlock(&out, n);
  COpAmp op;
  if (ok) {
    op.Set(impulse, 0.0f);
    impulse->data[size / 2] = kImpulse;
    ok = RunTaps(*m_filter, impulse->data, re->data, size);
  }
  if (ok) {
    op.Set(im, 0.0f);
    op.FFT(re, im, order, 1, 0);
    op.Mag(re, im, mag, 0);
    for (int k = 0; k < n; ++k) out->data[k] = mag->data[int(int64_t(k) * (size / 2) / n)];
    if (m_smoothing) ok = Smooth(out);
  }
  FreeAudioBlock(impulse);
  FreeAudioBlock(re);
  FreeAudioBlock(im);
  FreeAudioBlock(mag);
  if (!ok) {
    FreeAudioBlock(out);
    return nullptr;
  }
  MeasureAudioBlock(out);
  // A filter without response has no peak to scale by.
  if (norm && out->peak > 0.0f) op.Mul(out, float(norm) / out->peak, 1);
  return out;
}

int CViewFilter::Column(int f) const {
  if (m_rate < 2) return 0;
  return int(int64_t(f) * Width() / (m_rate / 2));
}

int CViewFilter::SetRange(int low, int high) {
  if (!(low == 0 && high == 0) && !Valid(low, high)) return 0;
  m_rangeLo = low;
  m_rangeHi = high;
  return 1;
}

int CViewFilter::SetMark(int low, int high) {
  if (!(low == 0 && high == 0) && !Valid(low, high)) return 0;
  m_markLo = low;
  m_markHi = high;
  return 1;
}

int CViewFilter::View() {
  if (!m_filter || !m_target || !Picture()) return 0;
  AudioBlock* curve = GetDiracCurve(Width(), Height());
  if (!curve) return 0;
  float span = curve->max - curve->min;
  SetGain(span > 0.0f ? float(Height()) / span * kHeadroom : 1.0f);
  // Centred on the middle of its span (for a response reaching 0 this is span / 2).
  COpAmp op;
  op.Sub(curve, (curve->max + curve->min) * 0.5f, 0);
  if (m_rangeLo != m_rangeHi)
    SetRangeColumns(std::min(Column(m_rangeLo), Width() - 1), std::min(Column(m_rangeHi), Width() - 1));
  else
    ClearRange();
  if (m_markLo || m_markHi)
    SetMarkColumns(std::min(Column(m_markLo), Width() - 1), std::min(Column(m_markHi), Width() - 1));
  else
    SetMarkColumns(-1, -1);
  int ok = Draw(curve);
  FreeAudioBlock(curve);
  return ok;
}

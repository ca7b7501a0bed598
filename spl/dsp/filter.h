// CFilter: windowed-sinc FIR design (low-pass, high-pass, band-pass, band-stop) and block
// filtering on audio blocks; every decoder owns at least one, and the equalizer derives from it.
#pragma once

#include "spl/audio/audio_block.h"
#include "spl/primitives/nspfir.h"

// Window flags of the Create... calls; several bits multiply several windows, in this order.
constexpr unsigned long kFilterWindowHamming = 1;
constexpr unsigned long kFilterWindowBartlett = 2;
constexpr unsigned long kFilterWindowHann = 4;

class CFilter {
 public:
  CFilter() = default;
  CFilter(const CFilter&) = delete;
  CFilter& operator=(const CFilter&) = delete;
  virtual ~CFilter();

  // rate > 0 (Hz), blockSize >= 0 (kept for GetSSiz), order >= 0 (order + 1 taps, all zero).
  // Releases previous taps and state; no filter is prepared until a design call. 1 or 0.
  int Init(int rate, int blockSize, int order);

  // Add (sign > 0) or subtract (sign <= 0) an ideal low-pass / high-pass response at fc (Hz).
  // 0 when there are no taps.
  int CoeffLP(float fc, int sign);
  int CoeffHP(float fc, int sign);

  // Design and prepare: low-pass at fc, high-pass at fc, band-pass f1 ... f2, band-stop f1 ... f2,
  // normalised to a tap magnitude sum of 1, then windowed. 0 (previous filter kept) without taps
  // or with an order below 2.
  int CreateTP(float fc, unsigned long window);
  int CreateHP(float fc, unsigned long window);
  int CreateBP(float f1, float f2, unsigned long window);
  int CreateBS(float f1, float f2, unsigned long window);
  // Adds order + 1 taps to the current ones, renormalises and prepares again (no window).
  int AddCoeff(const float* taps);
  // Sum of the tap magnitudes |h[M]| + sum |h[M-k]| + |h[M+k]|, M = order / 2.
  float GetSkalFak() const;

  // FIR over min(src->count, dst->count) samples, src and dst two different blocks; the delay
  // line carries over, so successive blocks form one signal. Does nothing before a design.
  void Filter(const AudioBlock* src, AudioBlock* dst, int measure);

  const float* GetCoeff() const { return taps_; }
  float GetFSum() const { return fsum_; }
  float GetSFrq() const { return rate_; }
  int GetSSiz() const { return block_; }
  int GetTaps() const { return order_; }

 protected:
  // Zeroes the taps and releases the prepared state; 0 when a design is impossible.
  int BeginDesign();
  // Normalises by the magnitude sum, applies the windows and prepares the FIR state.
  int FinishDesign(unsigned long window);
  int Prepare();
  void Release();

  NSPFirState fir_{};
  bool prepared_ = false;
  float* taps_ = nullptr;
  float rate_ = 0.0f;
  float fsum_ = 0.0f;
  int block_ = 0;
  int order_ = 0;
};

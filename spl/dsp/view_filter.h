// CViewFilter: the filter curve view. Measures the amplitude response of a CFilter from its
// impulse response (one FFT) and draws it in an oscilloscope picture, optionally smoothed by
// a low-pass, with the pass range highlighted and two mark lines in hertz.
#pragma once
#include "spl/audio/audio_block.h"
#include "spl/dsp/filter.h"
#include "spl/dsp/scope.h"

class CViewFilter : public CScope {
 public:
  CViewFilter();
  ~CViewFilter() override = default;

  // filter: the designed filter to show (kept by pointer, read at every call; rate > 0).
  // smoothing: 0 for none, else the cut-off in Hz (0 < smoothing < rate / 2) of a 64-tap
  // low-pass (Hann window) run over the response curve. wnd: null for curves only.
  // 1, or 0 for no filter, a bad cut-off or a failed set-up.
  int Init(CFilter* filter, int smoothing, HPAINT wnd);

  // The amplitude response as n >= 1 values from 0 Hz up to (not including) half the sample
  // rate, measured; norm != 0 scales it so that its peak is norm. Null before Init, for
  // n < 1 or without memory. The caller frees the block.
  AudioBlock* GetDiracCurve(int n, int norm);

  // Draws the response over the whole picture, normalised to the height and centred.
  // 1, or 0 without a window or filter.
  int View();

  // Pass range and marks in Hz (0 <= low < high <= rate / 2, else 0 and kept); SetRange with
  // low == high == 0 and SetMark with both 0 remove them.
  int SetRange(int low, int high);
  int SetMark(int low, int high);

  int SampleRate() const { return m_rate; }
  int BlockSize() const { return m_block; }
  int Taps() const { return m_taps; }
  // The picture column of a frequency: f * W / (rate / 2).
  int Column(int f) const;

 private:
  int Valid(int low, int high) const { return low >= 0 && low < high && high <= m_rate / 2; }
  int Smooth(AudioBlock* curve);

  CFilter* m_filter = nullptr;
  int m_rate = 0, m_block = 0, m_taps = 0, m_smoothing = 0;
  CFilter m_smooth;
  HPAINT m_target = nullptr;
  int m_rangeLo = 0, m_rangeHi = 0, m_markLo = 0, m_markHi = 0;
};

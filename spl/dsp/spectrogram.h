// CTimeSpec: the spectrogram (waterfall). Every audio block adds one column at the right edge
// of a scrolling 24-bit picture, frequency upwards, intensity as a colour between the
// background and the foreground colour; narrow areas are zoomed by a longer FFT over history.
#pragma once
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/dsp/filter.h"
#include "spl/image/dib_section.h"
#include "spl/primitives/nspfir.h"
#include "spl/platform/paint_target.h"

class CTimeSpec : public CDibSection {
 public:
  CTimeSpec() = default;
  CTimeSpec(const CTimeSpec&) = delete;
  CTimeSpec& operator=(const CTimeSpec&) = delete;
  ~CTimeSpec() override;

  int Init(HPAINT wnd, int sampleRate, int blockSize);
  int SetArea(int low, int high);
  int SetColor(COLORREF background, COLORREF foreground);
  // on != 0: every block is band-passed to the area (128-tap FIR, Hann window) before its FFT.
  int SetFilter(int on);
  void Draw(const AudioBlock* block);
  void Exit();

  int Zoom() const { return m_zoom; }
  int Rows() const { return m_rows; }
  COLORREF TableColor(int k) const { return m_table[k & 255]; }
  HBITMAP Picture() const { return m_pic; }
  // The row (from the bottom) the bins lo ... hi of the current FFT are spread over.
  int FirstBin() const { return m_lo; }
  int LastBin() const { return m_hi; }
  int Filtered() const { return m_filterOn; }
  const CFilter& BandPass() const { return m_bp; }

 private:
  HPAINT m_wnd = nullptr;
  int m_rate = 11025, m_block = 1024;
  int m_areaLo = 0, m_areaHi = 5512;
  COLORREF m_background = RGB(35, 80, 3), m_foreground = RGB(255, 255, 128);
  int m_zoom = 1, m_fftOrder = 10, m_rows = 0, m_cols = 0, m_lo = 0, m_hi = 0;
  COLORREF m_table[256] = {};
  HBITMAP m_pic = nullptr;
  AudioBlock *m_hist = nullptr, *m_re = nullptr, *m_im = nullptr, *m_mag = nullptr;
  std::vector<int> m_rowValue;
  int m_filterOn = 0;
  CFilter m_bp;  // filters the block itself when no zoom is needed
  NSPFirState m_histFir{};  // the same taps, streaming into the history when zoomed
  bool m_histFirReady = false;
};

// Colour conversions of the spectrogram's table: hue 0 ... 65519 (10920 per sixth),
// saturation and value 0 ... 255.
void RgbToHsv(COLORREF c, int& h, int& s, int& v);
COLORREF HsvToRgb(int h, int s, int v);

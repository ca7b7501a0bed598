// CSpectrana: the spectrum analyser. One windowed FFT per audio block, drawn as a filled
// amplitude curve over a frequency area, with a highlighted pass range, two mark lines and an
// optional slowly falling peak display, into an off-screen picture shown on a paint target.
#pragma once
#include <cstdint>
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/dsp/scope.h"
#include "spl/dsp/view_patterns.h"
#include "spl/platform/paint_target.h"

class CSpectrana {
 public:
  CSpectrana() = default;
  CSpectrana(const CSpectrana&) = delete;
  CSpectrana& operator=(const CSpectrana&) = delete;
  virtual ~CSpectrana();

  int Init(HPAINT wnd, int sampleRate, int blockSize);
  void Exit();
  int SetArea(int low, int high);
  int SetRange(int low, int high);
  int SetMark(int low, int high);
  void SetPeak(int on) { m_peak = on; }
  // Colours as the scope's (CCurveColors); the background without a brush is black.
  void SetColor(COLORREF curve, COLORREF outline, COLORREF range, COLORREF mark) {
    m_colors.Set(curve, outline, range, mark);
  }
  void GetColor(COLORREF* curve, COLORREF* outline, COLORREF* range, COLORREF* mark) const {
    m_colors.Get(curve, outline, range, mark);
  }
  // Takes the pictures over as background, curve and range brushes and releases the ones
  // replaced; a null brush fills with the matching colour (background black, curve, range).
  void SetBrush(HBITMAP background, HBITMAP curve, HBITMAP range) {
    m_brushes.Set(background, curve, range);
  }
  HBITMAP GetBrush(CViewBrushes::Slot s) const { return m_brushes.Get(s); }
  void FFTDisplay(const AudioBlock* block);

  // The column a frequency is drawn at, 0 ... W - 1 unclamped.
  int Column(int f) const;
  int Width() const { return m_w; }
  int Height() const { return m_h; }
  HBITMAP Picture() const { return m_pic; }
  int Bin(int i) const { return m_bin[i]; }  // column table entry, 0 ... W + 2
  int CurveY(int column) const { return m_y[column]; }  // column 1 ... W

 protected:
  // Owners add their own scale or labels here; called before the picture is shown.
  virtual void UserDraw(HBITMAP /*picture*/, const RECT& /*area*/) {}

 private:
  int Valid(int low, int high) const { return low >= 0 && low < high && high <= m_rate / 2; }
  void Draw();

  HPAINT m_wnd = nullptr;
  int m_rate = 11025, m_block = 1024, m_order = 10;
  int m_areaLo = 0, m_areaHi = 5512, m_rangeLo = 0, m_rangeHi = 0, m_markLo = 0, m_markHi = 0;
  int m_peak = 0;
  CCurveColors m_colors;
  COLORREF m_background = RGB(0, 0, 0);
  int m_w = 0, m_h = 0;
  AudioBlock *m_re = nullptr, *m_im = nullptr, *m_win = nullptr, *m_mag = nullptr;
  std::vector<int16_t> m_mag16;
  std::vector<int> m_bin, m_y;
  HBITMAP m_pic = nullptr;
  CViewBrushes m_brushes;
};

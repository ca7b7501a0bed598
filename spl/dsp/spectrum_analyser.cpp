#include "spl/dsp/spectrum_analyser.h"

#include <algorithm>

#include "spl/audio/op_amp.h"
#include "spl/dsp/view_area.h"
#include "spl/primitives/nspwin.h"

CSpectrana::~CSpectrana() { Exit(); }

void CSpectrana::Exit() {
  FreeAudioBlock(m_re);
  FreeAudioBlock(m_im);
  FreeAudioBlock(m_win);
  FreeAudioBlock(m_mag);
  m_re = m_im = m_win = m_mag = nullptr;
  if (m_pic && m_wnd) m_wnd->PictureGone(m_pic);
  DeleteObject(m_pic);
  m_pic = nullptr;
  m_mag16.clear();
  m_bin.clear();
  m_y.clear();
  m_w = m_h = 0;
}

int CSpectrana::Init(HPAINT wnd, int sampleRate, int blockSize) {
  Exit();
  int order = BlockOrder(blockSize);
  if (!wnd || sampleRate < 2 || order < 1) return 0;
  m_wnd = wnd;
  m_rate = sampleRate;
  m_block = blockSize;
  m_order = order;
  ClampArea(m_rate, m_areaLo, m_areaHi);
  ViewArea(wnd, m_w, m_h);
  if (m_w < 1 || m_h < 2 || m_areaHi <= 0) return Exit(), 0;
  if (!NewAudioBlock(&m_re, blockSize) || !NewAudioBlock(&m_im, blockSize) ||
      !NewAudioBlock(&m_win, blockSize) || !NewAudioBlock(&m_mag, blockSize / 2))
    return Exit(), 0;
  m_pic = CreateBitmapObject(m_w, m_h, 24);
  if (!m_pic) return Exit(), 0;
  COpAmp op;
  op.Set(m_win, 1.0f);
  nspsWinHamming(m_win->data, blockSize);
  m_mag16.assign(blockSize / 2, 0);
  m_bin.assign(m_w + 3, 0);
  m_y.assign(m_w + 1, m_h - 1);
  float step = float(m_areaHi - m_areaLo) / float(m_w + 1);
  for (int i = 0; i < m_w + 3; ++i) {
    int b = int((((i + 1) * step + m_areaLo - 1) * (m_w + 3)) / (sampleRate * 0.5) *
                blockSize * 0.5 / (m_w + 3));
    // Kept inside the magnitude block: the last entries may reach past half the rate.
    m_bin[i] = std::clamp(b, 0, blockSize / 2 - 1);
  }
  return 1;
}

int CSpectrana::SetArea(int low, int high) {
  if (!Valid(low, high)) return 0;
  m_areaLo = low;
  m_areaHi = high;
  return m_wnd ? Init(m_wnd, m_rate, m_block) : 1;
}

int CSpectrana::SetRange(int low, int high) {
  if (!Valid(low, high)) return 0;
  m_rangeLo = low;
  m_rangeHi = high;
  return 1;
}

int CSpectrana::SetMark(int low, int high) {
  if (!Valid(low, high)) return 0;
  m_markLo = low;
  m_markHi = high;
  return 1;
}

int CSpectrana::Column(int f) const {
  int d = (m_areaHi - m_areaLo) / (m_block / 2) - 1;
  return ((f - m_areaLo + d) * m_w) / (m_areaHi - m_areaLo);
}

void CSpectrana::FFTDisplay(const AudioBlock* block) {
  if (!m_pic || !block) return;
  COpAmp op;
  op.Set(m_re, 0.0f);
  op.Copy(block, 0, m_re, 0, std::min(block->count, m_block));
  op.Mul(m_win, m_re, 0);
  op.Set(m_im, 0.0f);
  op.FFT(m_re, m_im, m_order, 1, 0);
  op.Mag(m_re, m_im, m_mag, 0);
  float top = op.Max(m_mag);
  if (!(top > 1.0f)) top = 1.0f;
  op.Mul(m_mag, float(m_h - 1) / top, 0);
  op.ToShort(m_mag, m_mag16.data());
  int bins = (m_areaHi - m_areaLo) * (m_block / 2) / (m_rate / 2);
  for (int c = 1; c <= m_w; ++c) {
    int v = m_mag16[m_bin[c - 1]];
    if (bins > m_w)
      for (int b = m_bin[c - 1] + 1; b < m_bin[c]; ++b) v = std::max<int>(v, m_mag16[b]);
    v = std::clamp(v, 0, m_h - 1);
    int y = (m_h - 1) - v;
    if (m_peak) y = std::min({y, m_y[c] + 2, m_h - 1});
    m_y[c] = y;
  }
  Draw();
}

void CSpectrana::Draw() {
  int rangeA = -1, rangeB = -2;
  if (m_rangeLo != m_rangeHi) {
    rangeA = std::clamp(Column(m_rangeLo), 1, m_w - 1);
    rangeB = std::clamp(Column(m_rangeHi), 1, m_w - 1);
  }
  for (int c = 1; c <= m_w; ++c) {
    int x = c - 1;
    int y = m_y[c];
    m_brushes.FillColumn(CViewBrushes::kBackground, m_pic, x, 0, y, m_background);
    if (x >= rangeA && x <= rangeB)
      m_brushes.FillColumn(CViewBrushes::kRange, m_pic, x, y, m_h, m_colors.range);
    else
      m_brushes.FillColumn(CViewBrushes::kCurve, m_pic, x, y, m_h, m_colors.curve);
    // The outline joins this column's top to its neighbour's.
    int prev = c > 1 ? m_y[c - 1] : y;
    for (int r = std::min(prev, y); r <= std::max(prev, y); ++r)
      PutPixel24(m_pic, x, r, m_colors.outline);
  }
  if (m_markLo || m_markHi) {
    for (int f : {m_markLo, m_markHi}) {
      int x = std::clamp(Column(f), 0, m_w - 1);
      for (int r = 0; r < m_h; ++r) PutPixel24(m_pic, x, r, m_colors.mark);
    }
  }
  RECT area{0, 0, m_w, m_h};
  UserDraw(m_pic, area);
  m_wnd->Show(m_pic, kViewInset, kViewInset);
  m_wnd->SunkenEdge();
}

#include "spl/dsp/spectrogram.h"

#include <algorithm>
#include <cstring>

#include "spl/audio/op_amp.h"
#include "spl/dsp/view_area.h"

namespace {
constexpr int kBandPassTaps = 128;
constexpr int kHueTurn = 65520;
constexpr int kHueSixth = 10920;
constexpr int kMaxIntensity = 255;
}  // namespace

void RgbToHsv(COLORREF c, int& h, int& s, int& v) {
  int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  int mx = std::max({r, g, b}), mn = std::min({r, g, b}), delta = mx - mn;
  v = mx;
  s = mx ? ((mx - mn) * 255 + mx / 2) / mx : 0;
  if (delta == 0) {
    h = 0;
    return;
  }
  if (r == mx)
    h = kHueSixth * (g - b) / delta;
  else if (g == mx)
    h = 2 * kHueSixth + kHueSixth * (b - r) / delta;
  else
    h = 4 * kHueSixth + kHueSixth * (r - g) / delta;
  if (h < 0) h += kHueTurn;
}

COLORREF HsvToRgb(int h, int s, int v) {
  if (s == 0) return RGB(v, v, v);
  h %= kHueTurn;
  int sixth = h / kHueSixth, f = h % kHueSixth;
  int p = v * (255 - s) / 255;
  int q = v * (255 - s * f / kHueSixth) / 255;
  int t = v * (255 - s * (kHueSixth - f) / kHueSixth) / 255;
  switch (sixth) {
    case 0: return RGB(v, t, p);
    case 1: return RGB(q, v, p);
    case 2: return RGB(p, v, t);
    case 3: return RGB(p, q, v);
    case 4: return RGB(t, p, v);
    default: return RGB(v, p, q);
  }
}

CTimeSpec::~CTimeSpec() { Exit(); }

void CTimeSpec::Exit() {
  FreeAudioBlock(m_hist);
  FreeAudioBlock(m_re);
  FreeAudioBlock(m_im);
  FreeAudioBlock(m_mag);
  m_hist = m_re = m_im = m_mag = nullptr;
  if (m_histFirReady) nspFirnspFree(&m_histFir);
  m_histFirReady = false;
  if (m_pic && m_wnd) m_wnd->PictureGone(m_pic);
  DeleteObject(m_pic);
  m_pic = nullptr;
  m_rows = m_cols = 0;
}

int CTimeSpec::Init(HPAINT wnd, int sampleRate, int blockSize) {
  Exit();
  int order = BlockOrder(blockSize);
  if (!wnd || sampleRate < 2 || order < 1) return 0;
  m_wnd = wnd;
  m_rate = sampleRate;
  m_block = blockSize;
  ClampArea(m_rate, m_areaLo, m_areaHi);
  ViewArea(wnd, m_cols, m_rows);
  if (m_cols < 1 || m_rows < 1) return Exit(), 0;
  int b = blockSize / 2, half = sampleRate / 2;
  int bins = m_areaHi * b / half - m_areaLo * b / half;
  m_zoom = 1;
  if (bins < m_rows) {
    m_zoom = 2;
    while (bins * m_zoom < m_rows && m_zoom < (1 << 16)) m_zoom *= 2;
  }
  m_fftOrder = order + (m_zoom > 1 ? BlockOrder(m_zoom) : 0);
  int n = m_zoom * blockSize;
  if (!NewAudioBlock(&m_hist, n) || !NewAudioBlock(&m_re, n) || !NewAudioBlock(&m_im, n) ||
      !NewAudioBlock(&m_mag, n / 2))
    return Exit(), 0;
  COpAmp op;
  op.Set(m_hist, 0.0f);
  int hb, sb, vb, hf, sf, vf;
  RgbToHsv(m_background, hb, sb, vb);
  RgbToHsv(m_foreground, hf, sf, vf);
  for (int k = 0; k < 256; ++k)
    m_table[k] = HsvToRgb(hb + k * (hf - hb) / 255, sb + k * (sf - sb) / 255,
                          vb + k * (vf - vb) / 255);
  m_pic = Create(m_cols, m_rows, 24, m_table[0]);
  if (!m_pic) return Exit(), 0;
  int fftBins = n / 2;
  m_lo = m_areaLo * fftBins / half;
  m_hi = std::min(m_areaHi * fftBins / half, fftBins - 1);
  m_rowValue.assign(m_rows, 0);
  if (m_filterOn) {
    if (!m_bp.Init(sampleRate, blockSize, kBandPassTaps) ||
        !m_bp.CreateBP(float(m_areaLo), float(m_areaHi), kFilterWindowHann))
      return Exit(), 0;
    m_histFirReady = nspsFirInit(m_bp.GetCoeff(), m_bp.GetTaps() + 1, nullptr, &m_histFir) == 0;
    if (!m_histFirReady) return Exit(), 0;
  }
  return 1;
}

int CTimeSpec::SetFilter(int on) {
  m_filterOn = on ? 1 : 0;
  return m_wnd ? Init(m_wnd, m_rate, m_block) : 1;
}

int CTimeSpec::SetArea(int low, int high) {
  if (low < 0 || low >= high || high > m_rate / 2) return 0;
  m_areaLo = low;
  m_areaHi = high;
  return m_wnd ? Init(m_wnd, m_rate, m_block) : 1;
}

int CTimeSpec::SetColor(COLORREF background, COLORREF foreground) {
  m_background = background;
  m_foreground = foreground;
  return m_wnd ? Init(m_wnd, m_rate, m_block) : 1;
}

void CTimeSpec::Draw(const AudioBlock* block) {
  if (!m_pic) return;
  if (block) {
    // Scroll one pixel to the left.
    for (int r = 0; r < m_rows; ++r) {
      uint8_t* p = m_pic->pixels + size_t(r) * m_pic->bpl;
      memmove(p, p + 3, size_t(m_cols - 1) * 3);
    }
    COpAmp op;
    int n = m_zoom * m_block;
    int take = std::min(block->count, m_block);
    if (m_zoom > 1) op.Copy(m_hist, m_block, m_hist, 0, n - m_block);
    float* tail = m_hist->data + (n - m_block);
    if (!m_filterOn)
      std::copy(block->data, block->data + take, tail);
    else if (m_zoom > 1)
      nspsbFir(&m_histFir, block->data, tail, take);
    else
      m_bp.Filter(block, m_hist, 0);  // the history is one block long here
    // A short block is padded with silence.
    std::fill(tail + take, tail + m_block, 0.0f);
    op.Copy(m_hist, m_re);
    op.Set(m_im, 0.0f);
    op.FFT(m_re, m_im, m_fftOrder, 1, 0);
    op.Mag(m_re, m_im, m_mag, 0);
    int a = m_zoom > 1 ? m_lo : 0, z = m_zoom > 1 ? m_hi : n / 2 - 1;
    float top = 0.0f;
    for (int k = a; k <= z; ++k) top = std::max(top, m_mag->data[k]);
    if (top <= 0.0f) top = 1.0f;
    float scale = float(kMaxIntensity) / top;
    std::fill(m_rowValue.begin(), m_rowValue.end(), 0);
    int last = std::max(m_hi - m_lo - 1, 1);
    for (int j = 0; j <= m_hi - m_lo - 1; ++j) {
      int row = std::min(m_rows * j / last, m_rows - 1);
      int v = std::min(int(m_mag->data[m_lo + j] * scale), kMaxIntensity);
      m_rowValue[row] = std::max(m_rowValue[row], v);
    }
    for (int r = 0; r < m_rows; ++r) {
      // Stored bottom-up: stored row r is row r from the bottom.
      uint8_t* p = m_pic->pixels + size_t(r) * m_pic->bpl + size_t(m_cols - 1) * 3;
      COLORREF c = m_table[m_rowValue[r]];
      p[0] = uint8_t(GetBValue(c));
      p[1] = uint8_t(GetGValue(c));
      p[2] = uint8_t(GetRValue(c));
    }
  }
  m_wnd->Show(m_pic, kViewInset, kViewInset);
  m_wnd->SunkenEdge();
}

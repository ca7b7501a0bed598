// Resampling and pixel copies: box-average shrinking, weighted enlarging, scaling to a size,
// fitting into a box, and copies between pictures (plain, stretched, through a mask), all
// clipped to both pictures.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "spl/image/dib_rows.h"
#include "spl/image/dib_section.h"

namespace {

// One source column (or row) contributing to a destination pixel.
struct Tap {
  int at;
  double weight;
};

// Source taps of each destination pixel along one axis when n source pixels become m.
// Enlarging: the pixel's footprint covers at most two source pixels, each weighted by its
// share. Reducing: every covered source pixel is weighted by its overlap with the footprint.
std::vector<std::vector<Tap>> BlowTaps(int n, int m) {
  std::vector<std::vector<Tap>> taps(static_cast<size_t>(m));
  const double f = double(n) / double(m);
  for (int i = 0; i < m; ++i) {
    auto& t = taps[size_t(i)];
    if (f <= 1.0) {
      const int a = int(i * f);
      const int b = std::min(int((i + 1) * f), n - 1);
      if (a == b) {
        t.push_back({a, 1.0});
      } else {
        t.push_back({a, b / f - i});
        t.push_back({b, (i + 1) - b / f});
      }
    } else {
      const double lo = i * f, hi = (i + 1) * f;
      for (int c = int(lo); c < n && c < hi; ++c) {
        const double share = (std::min(hi, c + 1.0) - std::max(lo, double(c))) / f;
        if (share > 0) t.push_back({c, share});
      }
      if (t.empty()) t.push_back({std::min(int(lo), n - 1), 1.0});
    }
  }
  return taps;
}

int ClampByte(double v) { return v <= 0 ? 0 : v >= 255 ? 255 : int(v); }

// Clips a w x h copy from (sx, sy) of a picture sw x sh to (x, y) of a picture dw x dh;
// false when nothing of it lies in both.
bool ClipCopy(int& x, int& y, int& w, int& h, int& sx, int& sy, int dw, int dh, int sw, int sh) {
  int64_t X = x, Y = y, W = w, H = h, SX = sx, SY = sy;
  if (X < 0) SX -= X, W += X, X = 0;
  if (Y < 0) SY -= Y, H += Y, Y = 0;
  if (SX < 0) X -= SX, W += SX, SX = 0;
  if (SY < 0) Y -= SY, H += SY, SY = 0;
  W = std::min({W, dw - X, sw - SX});
  H = std::min({H, dh - Y, sh - SY});
  if (W <= 0 || H <= 0) return false;
  x = int(X), y = int(Y), w = int(W), h = int(H), sx = int(SX), sy = int(SY);
  return true;
}

}  // namespace

HBITMAP CDibSection::Shrink(HBITMAP src, int w, int h, int keepAspect, DibProgress progress,
                            long user) {
  if (!Check(src)) return nullptr;
  if (w < 1 || h < 1) return FailH(kDibSize);
  const int srcW = src->width, srcH = DibRows(src);
  if (keepAspect) {
    const double ratio = std::max(double(srcW) / w, double(srcH) / h);
    // A very flat or tall picture keeps at least one pixel on its short side.
    w = std::max(1, int(srcW / ratio + 0.5));
    h = std::max(1, int(srcH / ratio + 0.5));
  }
  HBITMAP out = NewBitmap(w, src->height < 0 ? -h : h, src->bits);
  if (!out) return nullptr;
  std::memcpy(out->palette, src->palette, sizeof out->palette);
  out->colorsUsed = src->colorsUsed;

  // Box edges in exact integer arithmetic: x0 = i / sx with sx = w / srcW.
  std::vector<int> x0(size_t(w) + 1);
  for (int i = 0; i <= w; ++i) x0[size_t(i)] = int(int64_t(i) * srcW / w);
  std::vector<COLORREF> line(static_cast<size_t>(srcW)), top(static_cast<size_t>(srcW)),
      result(static_cast<size_t>(w));
  std::vector<uint64_t> sum(size_t(w) * 3);
  for (int j = 0; j < h; ++j) {
    const int y0 = int(int64_t(j) * srcH / h);
    // An empty band (vertical enlargement) stands for its first row.
    const int y1 = std::max(y0 + 1, std::min(int(int64_t(j + 1) * srcH / h), srcH));
    std::fill(sum.begin(), sum.end(), 0);
    for (int y = y0; y < y1; ++y) {
      std::vector<COLORREF>& in = y == y0 ? top : line;
      LoadSpan(src, y, 0, srcW, in.data());
      for (int i = 0; i < w; ++i) {
        uint64_t* s = &sum[size_t(i) * 3];
        for (int x = x0[size_t(i)]; x < x0[size_t(i) + 1]; ++x) {
          const COLORREF c = in[size_t(x)];
          s[0] += GetRValue(c);
          s[1] += GetGValue(c);
          s[2] += GetBValue(c);
        }
      }
    }
    for (int i = 0; i < w; ++i) {
      const int a = x0[size_t(i)], b = x0[size_t(i) + 1];
      if (a == b) {  // a box without columns takes its top left source pixel
        result[size_t(i)] = top[size_t(a)];
        continue;
      }
      const uint64_t n = uint64_t(b - a) * uint64_t(y1 - y0);
      const uint64_t* s = &sum[size_t(i) * 3];
      result[size_t(i)] = RGB(int(s[0] / n), int(s[1] / n), int(s[2] / n));
    }
    StoreRow(out, j, result.data());
    if (progress) progress(user, j);
  }
  return out;
}

HBITMAP CDibSection::Blow(HBITMAP src, int w, int h, DibProgress progress, long user) {
  if (!Check(src)) return nullptr;
  if (w < 1 || h < 1) return FailH(kDibSize);
  bool owned = false;
  HBITMAP s = As24(src, owned);
  if (!s) return nullptr;
  HBITMAP out = NewBitmap(w, src->height < 0 ? -h : h, 24);
  if (!out) {
    if (owned) DeleteObject(s);
    return nullptr;
  }
  const auto cols = BlowTaps(s->width, w);
  const auto rows = BlowTaps(DibRows(s), h);
  std::vector<double> acc(size_t(w) * 3);
  for (int j = 0; j < h; ++j) {
    std::fill(acc.begin(), acc.end(), 0.0);
    for (const Tap& r : rows[size_t(j)]) {
      const uint8_t* line = DibRow(s, r.at);
      for (int i = 0; i < w; ++i) {
        double* a = &acc[size_t(i) * 3];
        for (const Tap& c : cols[size_t(i)]) {
          const uint8_t* p = line + 3 * c.at;
          const double k = r.weight * c.weight;
          a[0] += k * p[0];
          a[1] += k * p[1];
          a[2] += k * p[2];
        }
      }
    }
    uint8_t* d = DibRow(out, j);
    for (size_t k = 0; k < acc.size(); ++k) d[k] = uint8_t(ClampByte(acc[k] + 0.5));
    if (progress) progress(user, j);
  }
  if (owned) DeleteObject(s);
  return out;
}

HBITMAP CDibSection::Scale(HBITMAP src, int w, int h, DibProgress progress, long user) {
  if (!Check(src)) return nullptr;
  if (w < 1 || h < 1) return FailH(kDibSize);
  const int srcW = src->width, srcH = DibRows(src);
  if (w < srcW && h < srcH) return Shrink(src, w, h, 0, progress, user);
  if (w >= srcW && h >= srcH) return Blow(src, w, h, progress, user);
  // One side shrinks, the other grows: shrink that side first, then enlarge.
  HBITMAP mid = w < srcW ? Shrink(src, w, srcH, 0, progress, user)
                         : Shrink(src, srcW, h, 0, progress, user);
  if (!mid) return nullptr;
  HBITMAP out = Blow(mid, w, h, progress, user);
  DeleteObject(mid);
  return out;
}

double CDibSection::SymScale(int srcW, int srcH, int boxW, int boxH, RECT& out) {
  if (srcW < 1 || srcH < 1 || boxW < 1 || boxH < 1) {
    out = RECT{0, 0, 0, 0};
    return 0.0;
  }
  const double s = std::min(double(boxW) / srcW, double(boxH) / srcH);
  int w = srcW, h = srcH;
  if (s < 1.0) {
    w = int(srcW * s);
    h = int(srcH * s);
  }
  out.left = (boxW - w) / 2;
  out.top = (boxH - h) / 2;
  out.right = out.left + w;
  out.bottom = out.top + h;
  return s < 1.0 ? s : 1.0;
}

int CDibSection::Blit(HBITMAP dst, int x, int y, int w, int h, HBITMAP src, int sx, int sy) {
  if (!Check(dst) || !Check(src)) return 0;
  if (w < 0 || h < 0) return Fail(kDibSize);
  if (!ClipCopy(x, y, w, h, sx, sy, dst->width, DibRows(dst), src->width, DibRows(src))) return 1;
  // A copy inside one picture reads from a snapshot, whatever the overlap.
  HBITMAP from = src;
  if (src == dst && !(from = Copy(src))) return 0;
  if (from->bits == dst->bits) {
    const int bits = dst->bits;
    for (int j = 0; j < h; ++j) {
      const uint8_t* s = DibRow(from, sy + j);
      uint8_t* d = DibRow(dst, y + j);
      if (bits >= 8) {
        const int bytes = bits / 8;
        std::memcpy(d + size_t(x) * bytes, s + size_t(sx) * bytes, size_t(w) * bytes);
      } else {
        for (int i = 0; i < w; ++i) SetPixelIndex(d, bits, x + i, PixelIndex(s, bits, sx + i));
      }
    }
  } else {
    std::vector<COLORREF> line(static_cast<size_t>(w));
    for (int j = 0; j < h; ++j) {
      LoadSpan(from, sy + j, sx, w, line.data());
      StoreSpan(dst, y + j, x, w, line.data());
    }
  }
  if (from != src) DeleteObject(from);
  return 1;
}

int CDibSection::Stretch(HBITMAP dst, int x, int y, int w, int h, HBITMAP src, int sx, int sy,
                         int sw, int sh) {
  if (!Check(dst) || !Check(src)) return 0;
  if (w < 0 || h < 0 || sw < 0 || sh < 0) return Fail(kDibSize);
  if (w == 0 || h == 0 || sw == 0 || sh == 0) return 1;
  HBITMAP from = src;
  if (src == dst && !(from = Copy(src))) return 0;
  const int srcW = from->width, srcH = DibRows(from), dstW = dst->width, dstH = DibRows(dst);
  // Source box of destination column i: [sx + i*sw/w, sx + ceil((i+1)*sw/w)), at least one
  // pixel wide, cut to the source picture; pixels whose box lies outside stay as they are.
  auto lo = [](int64_t origin, int64_t i, int64_t srcLen, int64_t dstLen) {
    return origin + i * srcLen / dstLen;
  };
  auto hi = [](int64_t origin, int64_t i, int64_t srcLen, int64_t dstLen) {
    return origin + ((i + 1) * srcLen + dstLen - 1) / dstLen;
  };
  // Destination columns inside the destination picture with source pixels under them.
  std::vector<int> cx0, cx1;
  int first = -1, last = -1;
  const int iEnd = int(std::min<int64_t>(w, int64_t(dstW) - x));
  for (int i = int(std::max<int64_t>(0, -int64_t(x))); i < iEnd; ++i) {
    const int64_t dx = int64_t(x) + i;
    const int64_t a = std::max<int64_t>(lo(sx, i, sw, w), 0);
    const int64_t b = std::min<int64_t>(hi(sx, i, sw, w), srcW);
    if (dx < 0 || dx >= dstW || a >= b) continue;
    if (first < 0) first = i;
    last = i;
    cx0.push_back(int(a));
    cx1.push_back(int(b));
  }
  if (first >= 0) {
    const int n = last - first + 1;
    const int spanLo = cx0.front(), spanHi = cx1.back();
    std::vector<COLORREF> line(static_cast<size_t>(spanHi - spanLo)), result(static_cast<size_t>(n));
    std::vector<uint64_t> sum(size_t(n) * 3);
    const int jEnd = int(std::min<int64_t>(h, int64_t(dstH) - y));
    for (int j = int(std::max<int64_t>(0, -int64_t(y))); j < jEnd; ++j) {
      const int64_t dy = int64_t(y) + j;
      const int64_t a = std::max<int64_t>(lo(sy, j, sh, h), 0);
      const int64_t b = std::min<int64_t>(hi(sy, j, sh, h), srcH);
      if (dy < 0 || dy >= dstH || a >= b) continue;
      std::fill(sum.begin(), sum.end(), 0);
      for (int64_t r = a; r < b; ++r) {
        LoadSpan(from, int(r), spanLo, spanHi - spanLo, line.data());
        for (int i = 0; i < n; ++i) {
          uint64_t* s = &sum[size_t(i) * 3];
          for (int c = cx0[size_t(i)]; c < cx1[size_t(i)]; ++c) {
            const COLORREF p = line[size_t(c - spanLo)];
            s[0] += GetRValue(p);
            s[1] += GetGValue(p);
            s[2] += GetBValue(p);
          }
        }
      }
      for (int i = 0; i < n; ++i) {
        const uint64_t count = uint64_t(cx1[size_t(i)] - cx0[size_t(i)]) * uint64_t(b - a);
        const uint64_t* s = &sum[size_t(i) * 3];
        result[size_t(i)] = RGB(int((s[0] + count / 2) / count), int((s[1] + count / 2) / count),
                                int((s[2] + count / 2) / count));
      }
      StoreSpan(dst, int(dy), x + first, n, result.data());
    }
  }
  if (from != src) DeleteObject(from);
  return 1;
}

int CDibSection::MaskBlit(HBITMAP dst, int x, int y, int w, int h, HBITMAP src, int sx, int sy,
                          HBITMAP mask) {
  if (!Check(dst) || !Check(src) || !Check(mask)) return 0;
  if (mask->bits != 1) return Fail(kDibTransfer);
  if (w < 0 || h < 0) return Fail(kDibSize);
  if (!ClipCopy(x, y, w, h, sx, sy, dst->width, DibRows(dst), src->width, DibRows(src))) return 1;
  HBITMAP from = src;
  if (src == dst && !(from = Copy(src))) return 0;
  const int maskW = mask->width, maskH = DibRows(mask);
  std::vector<COLORREF> line(static_cast<size_t>(w));
  for (int j = 0; j < h; ++j) {
    const int my = sy + j;
    if (my >= maskH) break;
    const uint8_t* m = DibRow(mask, my);
    const uint8_t* s = DibRow(from, sy + j);
    uint8_t* d = DibRow(dst, y + j);
    const int n = std::min(w, maskW - sx);  // mask pixels beyond its edge hold no 1
    if (from->bits != dst->bits) LoadSpan(from, sy + j, sx, std::max(n, 0), line.data());
    for (int i = 0; i < n;) {
      if (!PixelIndex(m, 1, sx + i)) {
        ++i;
        continue;
      }
      int run = i + 1;
      while (run < n && PixelIndex(m, 1, sx + run)) ++run;
      if (from->bits != dst->bits) {
        StoreSpan(dst, y + j, x + i, run - i, line.data() + i);
      } else if (dst->bits >= 8) {
        const int bytes = dst->bits / 8;
        std::memcpy(d + size_t(x + i) * bytes, s + size_t(sx + i) * bytes, size_t(run - i) * bytes);
      } else {
        for (int k = i; k < run; ++k) SetPixelIndex(d, dst->bits, x + k, PixelIndex(s, dst->bits, sx + k));
      }
      i = run;
    }
  }
  if (from != src) DeleteObject(from);
  return 1;
}

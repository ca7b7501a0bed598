// Depth conversions of pictures: pixel colours in and out of rows of any depth, nearest
// palette entries, median-cut colour reduction with optional error diffusion, gray pictures
// and edge pictures.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "spl/image/dib_rows.h"
#include "spl/image/dib_section.h"

namespace {

constexpr int kMaxPalette = 256;

bool ValidDepth(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}
int PaletteSize(int bits) { return bits <= 8 ? 1 << bits : 0; }
// Palette entries a picture really uses for colour matching.
int UsedEntries(HBITMAP h) {
  const int all = PaletteSize(h->bits);
  return h->colorsUsed > 0 && h->colorsUsed < all ? h->colorsUsed : all;
}

int GetIndex(const uint8_t* row, int bits, int x) {
  switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4;
    default: return row[x];
  }
}

void SetIndex(uint8_t* row, int bits, int x, int v) {
  switch (bits) {
    case 1: {
      const uint8_t bit = uint8_t(0x80 >> (x & 7));
      row[x >> 3] = v & 1 ? uint8_t(row[x >> 3] | bit) : uint8_t(row[x >> 3] & ~bit);
      break;
    }
    case 4:
      row[x >> 1] = (x & 1) ? uint8_t((row[x >> 1] & 0xF0) | (v & 15))
                            : uint8_t((row[x >> 1] & 0x0F) | (v & 15) << 4);
      break;
    default: row[x] = uint8_t(v);
  }
}

COLORREF QuadColor(const RGBQUAD& q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

// 16-bit pixels are 5-5-5 red, green, blue from the high bits.
COLORREF From555(int v) { return RGB(((v >> 10) & 31) << 3, ((v >> 5) & 31) << 3, (v & 31) << 3); }
int To555(COLORREF c) { return (GetRValue(c) >> 3) << 10 | (GetGValue(c) >> 3) << 5 | GetBValue(c) >> 3; }

// Nearest-entry search with a small direct-mapped cache, since neighbouring pixels mostly
// repeat a few colours.
class CPaletteMatch {
 public:
  CPaletteMatch(const RGBQUAD* palette, int n) : m_palette(palette), m_n(n) {
    for (auto& s : m_slots) s.color = kNoColor;
  }
  int Index(COLORREF c) {
    Slot& s = m_slots[(c ^ (c >> 7) ^ (c >> 15)) & (kSlots - 1)];
    if (s.color != c) {
      s.color = c;
      s.index = CDibSection::NearestIndex(m_palette, m_n, c);
    }
    return s.index;
  }

 private:
  static constexpr COLORREF kNoColor = 0xFFFFFFFFu;  // no 0x00BBGGRR colour has a top byte
  static constexpr int kSlots = 256;
  struct Slot {
    COLORREF color;
    int index;
  };
  const RGBQUAD* m_palette;
  int m_n;
  Slot m_slots[kSlots];
};

// Median cut works on colours of 6 bits per component.
constexpr int kCube = 64;
constexpr int kCells = kCube * kCube * kCube;
constexpr uint16_t kNoEntry = 0xFFFF;
int Cell(int r, int g, int b) { return (r * kCube + g) * kCube + b; }

struct CutBox {
  int lo[3], hi[3];  // red, green, blue ranges, inclusive
  uint64_t count;
};

// Moves every side of the box inwards while the slice there is empty; sets the count.
void FitBox(CutBox& box, const uint32_t* hist) {
  uint64_t marg[3][kCube] = {};
  for (int r = box.lo[0]; r <= box.hi[0]; ++r)
    for (int g = box.lo[1]; g <= box.hi[1]; ++g) {
      const uint32_t* line = hist + Cell(r, g, 0);
      for (int b = box.lo[2]; b <= box.hi[2]; ++b) {
        const uint32_t n = line[b];
        marg[0][r] += n;
        marg[1][g] += n;
        marg[2][b] += n;
      }
    }
  box.count = 0;
  for (int r = box.lo[0]; r <= box.hi[0]; ++r) box.count += marg[0][r];
  if (box.count == 0) return;
  for (int a = 0; a < 3; ++a) {
    while (box.lo[a] < box.hi[a] && marg[a][box.lo[a]] == 0) ++box.lo[a];
    while (box.hi[a] > box.lo[a] && marg[a][box.hi[a]] == 0) --box.hi[a];
  }
}

int Extent(const CutBox& b, int a) { return b.hi[a] - b.lo[a]; }

// Splits box on its longest axis at the slice where half its pixels are reached; false when
// the box is one cell wide on that axis.
bool SplitBox(CutBox& box, CutBox& rest, const uint32_t* hist) {
  int axis = 2;  // blue before green before red on ties
  if (Extent(box, 1) > Extent(box, axis)) axis = 1;
  if (Extent(box, 0) > Extent(box, axis)) axis = 0;
  if (box.lo[axis] == box.hi[axis]) return false;
  uint64_t slice[kCube] = {};
  for (int r = box.lo[0]; r <= box.hi[0]; ++r)
    for (int g = box.lo[1]; g <= box.hi[1]; ++g) {
      const uint32_t* line = hist + Cell(r, g, 0);
      for (int b = box.lo[2]; b <= box.hi[2]; ++b) {
        const int at[3] = {r, g, b};
        slice[at[axis]] += line[b];
      }
    }
  const uint64_t half = box.count / 2;
  uint64_t sum = 0;
  int cut = box.lo[axis];
  for (; cut < box.hi[axis]; ++cut) {
    sum += slice[cut];
    if (sum >= half) break;
  }
  if (cut == box.hi[axis]) --cut;
  rest = box;
  box.hi[axis] = cut;
  rest.lo[axis] = cut + 1;
  FitBox(box, hist);
  FitBox(rest, hist);
  return true;
}

// The count-weighted mean cell of a box, 6 bits per component.
RGBQUAD BoxColor(const CutBox& box, const uint32_t* hist) {
  uint64_t sum[3] = {}, n = 0;
  for (int r = box.lo[0]; r <= box.hi[0]; ++r)
    for (int g = box.lo[1]; g <= box.hi[1]; ++g) {
      const uint32_t* line = hist + Cell(r, g, 0);
      for (int b = box.lo[2]; b <= box.hi[2]; ++b) {
        const uint64_t c = line[b];
        sum[0] += c * uint64_t(r);
        sum[1] += c * uint64_t(g);
        sum[2] += c * uint64_t(b);
        n += c;
      }
    }
  if (n == 0) return RGBQUAD{0, 0, 0, 0};
  return RGBQUAD{uint8_t(sum[2] / n), uint8_t(sum[1] / n), uint8_t(sum[0] / n), 0};
}

// Nearest entry of a 6-bit palette to a 6-bit colour, first on ties. A partial distance that
// already reaches the best one cannot win, so most entries cost one or two products.
int Nearest6(const RGBQUAD* pal6, int n, int r, int g, int b) {
  int best = 0, bestD = 1 << 30;
  for (int i = 0; i < n; ++i) {
    const int dr = r - pal6[i].rgbRed;
    int d = dr * dr;
    if (d >= bestD) continue;
    const int dg = g - pal6[i].rgbGreen;
    d += dg * dg;
    if (d >= bestD) continue;
    const int db = b - pal6[i].rgbBlue;
    d += db * db;
    if (d < bestD) {
      bestD = d;
      best = i;
    }
  }
  return best;
}

// Weights of the gray value; the sum is rounded up so that pure primaries give 77, 151 and 28
// and grays stay as they are.
constexpr int kGrayRed = 77, kGrayGreen = 151, kGrayBlue = 28;
constexpr int kGrayRoundUp = 255;
int GrayOf(COLORREF c) {
  return (kGrayRed * GetRValue(c) + kGrayGreen * GetGValue(c) + kGrayBlue * GetBValue(c) +
          kGrayRoundUp) >> 8;
}
void SetGrayPalette(HBITMAP h) {
  for (int i = 0; i < kMaxPalette; ++i) h->palette[i] = RGBQUAD{uint8_t(i), uint8_t(i), uint8_t(i), 0};
}

// Edge operator families: four 3 x 3 kernels (rows top first) and the divisor of the largest
// absolute response.
struct EdgeFamily {
  int bit;
  int kernels[4][9];
  int divisor;
};
constexpr EdgeFamily kEdgeFamilies[] = {
    {1,
     {{-1, -2, -1, 0, 0, 0, 1, 2, 1},
      {0, -1, -2, 1, 0, -1, 2, 1, 0},
      {-1, 0, 1, -2, 0, 2, -1, 0, 1},
      {-2, -1, 0, -1, 0, 1, 0, 1, 2}},
     2},
    {2,
     {{-1, 0, 1, -1, 0, 1, -1, 0, 1},
      {-1, -1, 0, -1, 0, 1, 0, 1, 1},
      {-1, -1, -1, 0, 0, 0, 1, 1, 1},
      {0, -1, -1, 1, 0, -1, 1, 1, 0}},
     1},
    {4,
     {{-100, 0, 100, -141, 0, 141, -100, 0, 100},
      {-141, -100, 0, -100, 0, 100, 0, 100, 141},
      {-100, -141, -100, 0, 0, 0, 100, 141, 100},
      {0, -100, -141, 100, 0, -100, 141, 100, 0}},
     141},
};

}  // namespace

int CDibSection::PixelIndex(const unsigned char* row, int bits, int x) { return GetIndex(row, bits, x); }
void CDibSection::SetPixelIndex(unsigned char* row, int bits, int x, int v) { SetIndex(row, bits, x, v); }

HBITMAP CDibSection::NewBitmap(int width, int height, int bits) {
  HBITMAP h = CreateBitmapObject(width, height, bits);
  if (!h) m_error = kDibMemory;
  return h;
}

int CDibSection::NearestIndex(const RGBQUAD* palette, int n, COLORREF c) {
  if (!palette || n < 1) return 0;
  n = std::min(n, kMaxPalette);
  const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  int best = 0;
  long bestD = -1;
  for (int i = 0; i < n; ++i) {
    const long dr = r - palette[i].rgbRed, dg = g - palette[i].rgbGreen, db = b - palette[i].rgbBlue;
    const long d = dr * dr + dg * dg + db * db;
    if (bestD < 0 || d < bestD) {
      bestD = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

void CDibSection::LoadSpan(HBITMAP h, int y, int x, int n, COLORREF* colors) {
  const uint8_t* row = DibRow(h, y);
  switch (h->bits) {
    case 24:
      for (int i = 0; i < n; ++i) {
        const uint8_t* p = row + 3 * (x + i);
        colors[i] = RGB(p[2], p[1], p[0]);
      }
      break;
    case 32:
      for (int i = 0; i < n; ++i) {
        const uint8_t* p = row + 4 * (x + i);
        colors[i] = RGB(p[2], p[1], p[0]);
      }
      break;
    case 16:
      for (int i = 0; i < n; ++i) {
        const uint8_t* p = row + 2 * (x + i);
        colors[i] = From555(p[0] | p[1] << 8);
      }
      break;
    default:
      for (int i = 0; i < n; ++i) colors[i] = QuadColor(h->palette[GetIndex(row, h->bits, x + i)]);
  }
}

void CDibSection::StoreSpan(HBITMAP h, int y, int x, int n, const COLORREF* colors) {
  uint8_t* row = DibRow(h, y);
  switch (h->bits) {
    case 24:
      for (int i = 0; i < n; ++i) {
        uint8_t* p = row + 3 * (x + i);
        p[0] = uint8_t(GetBValue(colors[i]));
        p[1] = uint8_t(GetGValue(colors[i]));
        p[2] = uint8_t(GetRValue(colors[i]));
      }
      break;
    case 32:
      for (int i = 0; i < n; ++i) {
        uint8_t* p = row + 4 * (x + i);
        p[0] = uint8_t(GetBValue(colors[i]));
        p[1] = uint8_t(GetGValue(colors[i]));
        p[2] = uint8_t(GetRValue(colors[i]));
        p[3] = 0;
      }
      break;
    case 16:
      for (int i = 0; i < n; ++i) {
        const int v = To555(colors[i]);
        row[2 * (x + i)] = uint8_t(v);
        row[2 * (x + i) + 1] = uint8_t(v >> 8);
      }
      break;
    default: {
      CPaletteMatch match(h->palette, UsedEntries(h));
      for (int i = 0; i < n; ++i) SetIndex(row, h->bits, x + i, match.Index(colors[i]));
    }
  }
}

void CDibSection::StoreRow(HBITMAP dst, int y, const COLORREF* colors) {
  StoreSpan(dst, y, 0, dst->width, colors);
}

HBITMAP CDibSection::As24(HBITMAP h, bool& owned) {
  owned = false;
  if (!Check(h)) return nullptr;
  if (h->bits == 24) return h;
  HBITMAP c = Convert(h, 24);
  owned = c != nullptr;
  return c;
}

HBITMAP CDibSection::Convert(HBITMAP h, int bits) {
  if (!Check(h)) return nullptr;
  if (bits == 0) bits = 24;
  if (!ValidDepth(bits)) return FailH(kDibCreate);
  const int width = h->width, rows = DibRows(h);

  if (bits <= 8 && h->bits <= 8) {
    // Indices survive when every one of them has a place in the new palette.
    bool fits = true;
    for (int y = 0; y < rows && fits && h->bits > bits; ++y) {
      const uint8_t* row = DibRow(h, y);
      for (int x = 0; x < width && fits; ++x) fits = GetIndex(row, h->bits, x) < (1 << bits);
    }
    if (fits) {
      HBITMAP out = NewBitmap(width, h->height, bits);
      if (!out) return nullptr;
      const int keep = std::min(PaletteSize(bits), PaletteSize(h->bits));
      std::memcpy(out->palette, h->palette, 4 * size_t(keep));
      const int used = UsedEntries(h);
      out->colorsUsed = used < PaletteSize(bits) ? std::min(used, keep) : 0;
      for (int y = 0; y < rows; ++y) {
        const uint8_t* s = DibRow(h, y);
        uint8_t* d = DibRow(out, y);
        if (bits == h->bits) {
          std::memcpy(d, s, size_t(h->bpl));
        } else {
          for (int x = 0; x < width; ++x) SetIndex(d, bits, x, GetIndex(s, h->bits, x));
        }
      }
      return out;
    }
  }

  if (bits > 8) {
    HBITMAP out = NewBitmap(width, h->height, bits);
    if (!out) return nullptr;
    std::vector<COLORREF> line(static_cast<size_t>(width));
    for (int y = 0; y < rows; ++y) {
      LoadSpan(h, y, 0, width, line.data());
      StoreSpan(out, y, 0, width, line.data());
    }
    return out;
  }

  // A palette depth from colour: the picture's own colours when they fit, else median cut.
  bool owned = false;
  HBITMAP src = As24(h, owned);
  if (!src) return nullptr;
  const size_t limit = size_t(PaletteSize(bits));
  std::vector<COLORREF> own;
  std::vector<COLORREF> line(static_cast<size_t>(width));
  bool few = true;
  for (int y = 0; y < rows && few; ++y) {
    LoadSpan(src, y, 0, width, line.data());
    COLORREF last = 0xFFFFFFFFu;
    for (int x = 0; x < width && few; ++x) {
      const COLORREF c = line[size_t(x)];
      if (c == last) continue;
      last = c;
      auto at = std::lower_bound(own.begin(), own.end(), c);
      if (at != own.end() && *at == c) continue;
      if (own.size() == limit) few = false;
      else own.insert(at, c);
    }
  }
  HBITMAP out = nullptr;
  if (few) {
    out = NewBitmap(width, h->height, bits);
    if (out) {
      for (size_t i = 0; i < own.size(); ++i)
        out->palette[i] = RGBQUAD{uint8_t(GetBValue(own[i])), uint8_t(GetGValue(own[i])),
                                  uint8_t(GetRValue(own[i])), 0};
      out->colorsUsed = own.size() < limit ? int(own.size()) : 0;
      for (int y = 0; y < rows; ++y) {
        LoadSpan(src, y, 0, width, line.data());
        uint8_t* d = DibRow(out, y);
        for (int x = 0; x < width; ++x) {
          const auto at = std::lower_bound(own.begin(), own.end(), line[size_t(x)]);
          SetIndex(d, bits, x, int(at - own.begin()));
        }
      }
    }
  } else {
    out = Reduce(src, bits, int(limit), 0);
  }
  if (owned) DeleteObject(src);
  return out;
}

HBITMAP CDibSection::Reduce(HBITMAP src24, int bits, int colors, int dither) {
  if (!Check(src24)) return nullptr;
  if (src24->bits != 24 || bits < 1 || bits > 8 || colors < 1 || colors > PaletteSize(bits))
    return FailH(kDibTransfer);
  const int width = src24->width, rows = DibRows(src24);
  // One buffer serves first as the histogram, then as the nearest-entry cache.
  void* buffer = std::malloc(sizeof(uint32_t) * kCells);
  HBITMAP out = buffer ? NewBitmap(width, src24->height, bits) : nullptr;
  if (!out) {
    std::free(buffer);
    return FailH(kDibMemory);
  }
  auto* hist = static_cast<uint32_t*>(buffer);
  std::memset(hist, 0, sizeof(uint32_t) * kCells);
  for (int y = 0; y < rows; ++y) {
    const uint8_t* p = DibRow(src24, y);
    for (int x = 0; x < width; ++x, p += 3) ++hist[Cell(p[2] >> 2, p[1] >> 2, p[0] >> 2)];
  }

  std::vector<CutBox> boxes;
  boxes.reserve(static_cast<size_t>(colors));
  boxes.push_back(CutBox{{0, 0, 0}, {kCube - 1, kCube - 1, kCube - 1}, 0});
  FitBox(boxes[0], hist);
  for (int n = 1; n < colors; ++n) {
    size_t pick = 0;
    int most = -1;
    for (size_t i = 0; i < boxes.size(); ++i) {
      const int e = Extent(boxes[i], 0) + Extent(boxes[i], 1) + Extent(boxes[i], 2);
      if (e > most) {
        most = e;
        pick = i;
      }
    }
    CutBox rest{};
    if (!SplitBox(boxes[pick], rest, hist)) break;  // every box is a single cell
    boxes.push_back(rest);
  }
  RGBQUAD pal6[kMaxPalette] = {};
  const int n = int(boxes.size());
  for (int i = 0; i < n; ++i) pal6[i] = BoxColor(boxes[size_t(i)], hist);

  auto* cache = static_cast<uint16_t*>(buffer);
  for (int i = 0; i < kCells; ++i) cache[i] = kNoEntry;
  auto lookup = [&](int r, int g, int b) {
    uint16_t& e = cache[Cell(r, g, b)];
    if (e == kNoEntry) e = uint16_t(Nearest6(pal6, n, r, g, b));
    return int(e);
  };

  if (!dither) {
    for (int y = 0; y < rows; ++y) {
      const uint8_t* p = DibRow(src24, y);
      uint8_t* d = DibRow(out, y);
      for (int x = 0; x < width; ++x, p += 3) SetIndex(d, bits, x, lookup(p[2] >> 2, p[1] >> 2, p[0] >> 2));
    }
  } else {
    // Error diffusion in 6-bit units, errors scaled by 512: 3/8 to the right, 3/8 below,
    // 1/4 below right. The carry to the right runs on across row ends.
    constexpr int kErrScale = 512, kToSide = 192, kToCorner = 128;
    std::vector<int> above(size_t(width + 1) * 3, 0), below(size_t(width + 1) * 3, 0);
    int carry[3] = {0, 0, 0};
    for (int y = 0; y < rows; ++y) {
      const uint8_t* p = DibRow(src24, y);
      uint8_t* d = DibRow(out, y);
      std::fill(below.begin(), below.end(), 0);
      for (int x = 0; x < width; ++x, p += 3) {
        const int v[3] = {p[2] >> 2, p[1] >> 2, p[0] >> 2};
        int c[3];
        for (int k = 0; k < 3; ++k)
          c[k] = std::clamp(v[k] + (above[size_t(x) * 3 + k] + carry[k]) / kErrScale, 0, kCube - 1);
        const int e = lookup(c[0], c[1], c[2]);
        SetIndex(d, bits, x, e);
        const int got[3] = {pal6[e].rgbRed, pal6[e].rgbGreen, pal6[e].rgbBlue};
        for (int k = 0; k < 3; ++k) {
          const int err = c[k] - got[k];
          carry[k] = err * kToSide;
          below[size_t(x) * 3 + k] += err * kToSide;
          below[size_t(x + 1) * 3 + k] = err * kToCorner;
        }
      }
      above.swap(below);
    }
  }
  std::free(buffer);
  for (int i = 0; i < n; ++i)
    out->palette[i] = RGBQUAD{uint8_t(pal6[i].rgbBlue * 4), uint8_t(pal6[i].rgbGreen * 4),
                              uint8_t(pal6[i].rgbRed * 4), 0};
  out->colorsUsed = colors < PaletteSize(bits) ? colors : 0;
  return out;
}

HBITMAP CDibSection::ConvertTo8(HBITMAP src, int dither) {
  bool owned = false;
  HBITMAP s = As24(src, owned);
  if (!s) return nullptr;
  HBITMAP out = Reduce(s, 8, kMaxPalette, dither);
  if (owned) DeleteObject(s);
  return out;
}

HBITMAP CDibSection::ConvertToGray(HBITMAP src) {
  if (!Check(src)) return nullptr;
  HBITMAP out = NewBitmap(src->width, src->height, 8);
  if (!out) return nullptr;
  SetGrayPalette(out);
  std::vector<COLORREF> line(static_cast<size_t>(src->width));
  for (int y = 0; y < DibRows(src); ++y) {
    LoadSpan(src, y, 0, src->width, line.data());
    uint8_t* d = DibRow(out, y);
    for (int x = 0; x < src->width; ++x) d[x] = uint8_t(GrayOf(line[size_t(x)]));
  }
  return out;
}

HBITMAP CDibSection::BorderDetect(HBITMAP src, int operators) {
  if (!Check(src)) return nullptr;
  HBITMAP gray = src;
  if (src->bits != 8 && !(gray = ConvertToGray(src))) return nullptr;
  const int width = src->width, rows = DibRows(src);
  HBITMAP out = NewBitmap(width, src->height, 8);
  if (!out) {
    if (gray != src) DeleteObject(gray);
    return nullptr;
  }
  SetGrayPalette(out);
  const EdgeFamily* family = nullptr;
  for (const auto& f : kEdgeFamilies)
    if (operators & f.bit) family = &f;  // the highest set bit's family is what remains
  if (family) {
    for (int y = 0; y < rows; ++y) {
      const uint8_t* line[3] = {DibRow(gray, std::max(y - 1, 0)), DibRow(gray, y),
                                DibRow(gray, std::min(y + 1, rows - 1))};
      uint8_t* d = DibRow(out, y);
      for (int x = 0; x < width; ++x) {
        const int col[3] = {std::max(x - 1, 0), x, std::min(x + 1, width - 1)};
        int most = 0;
        for (const auto& k : family->kernels) {
          int sum = 0;
          for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) sum += k[r * 3 + c] * line[r][col[c]];
          most = std::max(most, std::abs(sum));
        }
        d[x] = uint8_t(std::min(most / family->divisor, 255));
      }
    }
  }
  if (gray != src) DeleteObject(gray);
  return out;
}

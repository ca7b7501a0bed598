// Helpers of the picture-file tests: whole files, little-endian fields, ImageMagick as an
// outside reader and writer, and a plain run-length decoder to check coded data against.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "spl/image/dib_section.h"

namespace pictest {

inline std::vector<unsigned char> ReadAll(const std::string& path) {
  std::vector<unsigned char> d;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return d;
  unsigned char buf[8192];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) d.insert(d.end(), buf, buf + n);
  std::fclose(f);
  return d;
}
inline bool WriteAll(const std::string& path, const std::vector<unsigned char>& d) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = d.empty() || std::fwrite(d.data(), d.size(), 1, f) == 1;
  return std::fclose(f) == 0 && ok;
}
inline uint32_t Le32(const std::vector<unsigned char>& d, size_t at) {
  return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | uint32_t(d[at + 3]) << 24;
}
inline uint16_t Le16(const std::vector<unsigned char>& d, size_t at) {
  return uint16_t(d[at] | d[at + 1] << 8);
}

// True when ImageMagick's convert and identify can be run.
inline bool HaveImageMagick() {
  static const bool have = std::system("convert -version >/dev/null 2>&1") == 0 &&
                           std::system("identify -version >/dev/null 2>&1") == 0;
  return have;
}
inline bool Shell(const std::string& cmd) { return std::system((cmd + " 2>/dev/null").c_str()) == 0; }
// Standard output of a command, binary safe.
inline std::vector<unsigned char> Capture(const std::string& cmd) {
  std::vector<unsigned char> d;
  FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r");
  if (!p) return d;
  unsigned char buf[8192];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) d.insert(d.end(), buf, buf + n);
  if (pclose(p) != 0) d.clear();
  return d;
}
// ImageMagick's readings of files (red, green, blue bytes, rows from the top) in one run (a
// run costs a tenth of a second), cut by the pixel counts given.
inline std::vector<std::vector<unsigned char>> MagickRgbs(const std::vector<std::string>& paths,
                                                           const std::vector<size_t>& pixels) {
  std::string cmd = "convert";
  for (const std::string& p : paths) cmd += " '" + p + "'";
  const auto all = Capture(cmd + " -depth 8 rgb:-");
  std::vector<std::vector<unsigned char>> out;
  size_t at = 0;
  for (size_t n : pixels) {
    const size_t end = std::min(all.size(), at + 3 * n);
    out.emplace_back(all.begin() + long(at), all.begin() + long(end));
    at = end;
  }
  return out;
}

// The picture's colours as red, green, blue bytes, rows from the top.
inline std::vector<unsigned char> OurRgb(CDibSection& dib, HBITMAP h) {
  std::vector<unsigned char> d;
  const int w = dib.Width(h), rows = std::abs(dib.Height(h));
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < w; ++x) {
      const COLORREF c = dib.PixelColor(h, x, y);
      d.push_back(uint8_t(GetRValue(c)));
      d.push_back(uint8_t(GetGValue(c)));
      d.push_back(uint8_t(GetBValue(c)));
    }
  return d;
}

// Palette indices of a run-length coded BMP body, rows from the bottom, written the plain
// way the format describes; empty when the data breaks a rule.
inline std::vector<int> ReferenceRleDecode(const std::vector<unsigned char>& d, size_t at,
                                           int bits, int width, int rows) {
  std::vector<int> px(size_t(width) * rows, 0);
  int x = 0, y = 0;
  auto set = [&](int v) {
    if (x >= width || y >= rows) return false;
    px[size_t(y) * width + x++] = v;
    return true;
  };
  while (at + 1 < d.size()) {
    const int a = d[at], b = d[at + 1];
    at += 2;
    if (a) {
      for (int k = 0; k < a; ++k)
        if (!set(bits == 8 ? b : (k % 2 ? b & 15 : b >> 4))) return {};
    } else if (b == 0) {
      x = 0;
      ++y;
    } else if (b == 1) {
      return px;
    } else if (b == 2) {
      x += d.at(at);
      y += d.at(at + 1);
      at += 2;
    } else {
      const size_t bytes = bits == 8 ? size_t(b) : size_t(b + 1) / 2;
      for (int k = 0; k < b; ++k) {
        const int v = bits == 8 ? d.at(at + k) : (k % 2 ? d.at(at + k / 2) & 15 : d.at(at + k / 2) >> 4);
        if (!set(v)) return {};
      }
      at += bytes + (bytes & 1);
    }
  }
  return {};
}

// Raw access to the stored layout (rows from the top), independent of the library's own
// pixel functions.
inline int Rows(HBITMAP h) { return std::abs(h->height); }
inline uint8_t* RowBytes(HBITMAP h, int y) {
  const int stored = h->height > 0 ? Rows(h) - 1 - y : y;
  return h->pixels + size_t(stored) * size_t(h->bpl);
}
inline int IndexAt(HBITMAP h, int x, int y) {
  const uint8_t* r = RowBytes(h, y);
  if (h->bits == 1) return (r[x / 8] >> (7 - x % 8)) & 1;
  if (h->bits == 4) return x % 2 ? r[x / 2] & 15 : r[x / 2] >> 4;
  return r[x];
}
inline void SetIndex(HBITMAP h, int x, int y, int v) {
  uint8_t* r = RowBytes(h, y);
  if (h->bits == 1) {
    r[x / 8] = uint8_t((r[x / 8] & ~(0x80 >> (x % 8))) | ((v & 1) << (7 - x % 8)));
  } else if (h->bits == 4) {
    r[x / 2] = x % 2 ? uint8_t((r[x / 2] & 0xF0) | v) : uint8_t((r[x / 2] & 0x0F) | v << 4);
  } else {
    r[x] = uint8_t(v);
  }
}
// The colour a pixel shows, read straight from the layout.
inline COLORREF ColorAt(HBITMAP h, int x, int y) {
  const uint8_t* r = RowBytes(h, y);
  switch (h->bits) {
    case 16: {
      const int v = r[2 * x] | r[2 * x + 1] << 8;
      return RGB(((v >> 10) & 31) << 3, ((v >> 5) & 31) << 3, (v & 31) << 3);
    }
    case 24: return RGB(r[3 * x + 2], r[3 * x + 1], r[3 * x]);
    case 32: return RGB(r[4 * x + 2], r[4 * x + 1], r[4 * x]);
  }
  const RGBQUAD q = h->palette[IndexAt(h, x, y)];
  return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}
// For 24 and 32 bits.
inline void SetColorAt(HBITMAP h, int x, int y, COLORREF c) {
  uint8_t* r = RowBytes(h, y);
  const int step = h->bits / 8;
  r[step * x] = uint8_t(GetBValue(c));
  r[step * x + 1] = uint8_t(GetGValue(c));
  r[step * x + 2] = uint8_t(GetRValue(c));
}
// A picture of the given depth filled with random indices (palette depths, random palette)
// or random colours.
inline HBITMAP RandomPicture(CDibSection& dib, int w, int h, int bits, unsigned seed) {
  std::mt19937 rng(seed);
  HBITMAP p = dib.Create(w, h, bits);
  if (!p) return nullptr;
  if (bits <= 8) {
    for (int i = 0; i < (1 << bits); ++i)
      p->palette[i] = RGBQUAD{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
  }
  for (int y = 0; y < Rows(p); ++y)
    for (int x = 0; x < w; ++x) {
      if (bits <= 8) {
        SetIndex(p, x, y, int(rng() % (1u << bits)));
      } else if (bits == 16) {
        uint8_t* r = RowBytes(p, y);
        const unsigned v = rng() & 0x7FFF;
        r[2 * x] = uint8_t(v);
        r[2 * x + 1] = uint8_t(v >> 8);
      } else {
        SetColorAt(p, x, y, rng() & 0xFFFFFF);
      }
    }
  return p;
}

inline int IndexAt(CDibSection&, HBITMAP h, int x, int y) { return IndexAt(h, x, y); }
inline void SetIndex(CDibSection&, HBITMAP h, int x, int y, int v) { SetIndex(h, x, y, v); }

}  // namespace pictest

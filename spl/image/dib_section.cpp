#include "spl/image/dib_section.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "spl/image/bmp_rle.h"
#include "spl/image/dib_rows.h"

namespace {
constexpr int kInfoSize = 40;
constexpr int kFileHeaderSize = 14;
constexpr uint32_t kBiBitfields = 3;  // red, green and blue masks follow the header
constexpr int kMasksSize = 12;
// The colour masks of the pixel layouts bitmaps have in memory.
struct PlainMasks {
  int bits;
  uint32_t red, green, blue;
};
constexpr PlainMasks kPlainMasks[] = {{16, 0x7C00, 0x03E0, 0x001F},
                                      {32, 0xFF0000, 0x00FF00, 0x0000FF}};

int PaletteEntries(int bits) { return bits <= 8 ? 1 << bits : 0; }
int Rows(HBITMAP h) { return h->height < 0 ? -h->height : h->height; }
// Stored row of picture row y (counted from the top).
uint8_t* Row(HBITMAP h, int y) {
  const int stored = h->height > 0 ? h->height - 1 - y : y;
  return h->pixels + size_t(stored) * size_t(h->bpl);
}
uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }
}  // namespace

const char* CDibSection::ErrorText(int code) {
  switch (code) {
    case kDibOk: return "no error";
    case kDibNoContext: return "no drawing context";
    case kDibOpenRead: return "cannot open the file for reading";
    case kDibOpenWrite: return "cannot open the file for writing";
    case kDibRead: return "short read (truncated file)";
    case kDibWrite: return "write failed";
    case kDibSeek: return "seek failed (offset beyond the file)";
    case kDibMemory: return "out of memory (picture too large)";
    case kDibCreate: return "bitmap creation failed (bad size or depth)";
    case kDibInfo: return "not a bitmap";
    case kDibPalette: return "bad palette";
    case kDibTransfer: return "pixel data cannot be converted";
    case kDibSize: return "bad size";
    case kDibClipboard: return "clipboard unavailable";
    case kDibResource: return "resource not found";
  }
  return "unknown error";
}

bool CDibSection::Check(HBITMAP h) {
  if (IsBitmapObject(h)) return true;
  m_error = kDibInfo;
  return false;
}

int CDibSection::Width(HBITMAP h) { return Check(h) ? h->width : 0; }
int CDibSection::Height(HBITMAP h) { return Check(h) ? h->height : 0; }
int CDibSection::Planes(HBITMAP h) { return Check(h) ? 1 : 0; }
int CDibSection::Bits(HBITMAP h) { return Check(h) ? h->bits : 0; }
int CDibSection::Colors(HBITMAP h) {
  if (!Check(h)) return 0;
  if (h->bits <= 8 && h->colorsUsed > 0) return h->colorsUsed;
  return h->bits >= 31 ? 0 : 1 << h->bits;
}
int CDibSection::BPL(HBITMAP h) { return Check(h) ? h->bpl : 0; }
long CDibSection::SizeH(HBITMAP h) { return Check(h) ? long(h->bpl) * Rows(h) : 0; }
unsigned char* CDibSection::AdrH(HBITMAP h) { return Check(h) ? h->pixels : nullptr; }

int CDibSection::SizeB(const BITMAPINFO* info) {
  const auto& b = info->bmiHeader;
  if (b.biBitCount > 8) return kInfoSize;
  const int n = b.biClrUsed ? int(b.biClrUsed) : 1 << b.biBitCount;
  return kInfoSize + 4 * n;
}
unsigned char* CDibSection::AdrB(BITMAPINFO* info) {
  return reinterpret_cast<unsigned char*>(info) + SizeB(info);
}

BITMAPINFO* CDibSection::CreateBitmapInfo(int width, int height, int bits) {
  const int n = PaletteEntries(bits);
  auto* info = static_cast<BITMAPINFO*>(std::calloc(1, kInfoSize + 4 * n + 4));
  if (!info) return FailH(kDibMemory), nullptr;
  auto& b = info->bmiHeader;
  b.biSize = kInfoSize;
  b.biWidth = width;
  b.biHeight = height;
  b.biPlanes = 1;
  b.biBitCount = uint16_t(bits);
  const int64_t rows = height < 0 ? -int64_t(height) : height;
  b.biSizeImage = uint32_t(rows * ((int64_t(width) * bits + 31) / 32) * 4);
  b.biClrUsed = b.biClrImportant = uint32_t(n);
  return info;
}

BITMAPINFO* CDibSection::CreateBitmapInfo(HBITMAP h) {
  if (!Check(h)) return nullptr;
  BITMAPINFO* info = CreateBitmapInfo(h->width, h->height, h->bits);
  if (info) std::memcpy(info->bmiColors, h->palette, 4 * size_t(PaletteEntries(h->bits)));
  return info;
}

BITMAPFILEHEADER* CDibSection::CreateBitmapFileHeader(HBITMAP h) {
  if (!Check(h)) return nullptr;
  auto* f = static_cast<BITMAPFILEHEADER*>(std::calloc(1, sizeof(BITMAPFILEHEADER)));
  if (!f) return FailH(kDibMemory), nullptr;
  const uint32_t pal = 4u * uint32_t(PaletteEntries(h->bits));
  f->bfType = kBmpFileType;
  f->bfSize = uint32_t(SizeH(h)) + pal + kFileHeaderSize + kInfoSize;
  f->bfOffBits = pal + kFileHeaderSize + kInfoSize;
  return f;
}

HBITMAP CDibSection::Create(int width, int height, int bits, unsigned long fill) {
  if (bits == 0) bits = 24;
  HBITMAP h = CreateBitmapObject(width, height, bits);
  if (!h) return FailH(kDibCreate);
  if (fill < 0x1000000ul && bits >= 16) {
    for (int y = 0; y < Rows(h); ++y) {
      uint8_t* p = h->pixels + size_t(y) * h->bpl;
      for (int x = 0; x < width; ++x) {
        if (bits == 24) {
          p[3 * x] = uint8_t(GetBValue(fill));
          p[3 * x + 1] = uint8_t(GetGValue(fill));
          p[3 * x + 2] = uint8_t(GetRValue(fill));
        } else if (bits == 32) {
          p[4 * x] = uint8_t(GetBValue(fill));
          p[4 * x + 1] = uint8_t(GetGValue(fill));
          p[4 * x + 2] = uint8_t(GetRValue(fill));
        } else {
          const uint16_t v = uint16_t((GetRValue(fill) >> 3) << 10 | (GetGValue(fill) >> 3) << 5 |
                                      (GetBValue(fill) >> 3));
          p[2 * x] = uint8_t(v);
          p[2 * x + 1] = uint8_t(v >> 8);
        }
      }
    }
  }
  // Palette depths: the zero palette's nearest entry is index 0, i.e. the zeroed pixels.
  return h;
}

HBITMAP CDibSection::Copy(HBITMAP src) {
  if (!Check(src)) return nullptr;
  HBITMAP h = Create(src->width, src->height, src->bits);
  if (!h) return nullptr;
  std::memcpy(h->palette, src->palette, sizeof h->palette);
  h->colorsUsed = src->colorsUsed;
  std::memcpy(h->pixels, src->pixels, size_t(SizeH(src)));
  return h;
}

int CDibSection::SetPalette(HBITMAP h, const RGBQUAD* entries, int n) {
  if (!Check(h)) return 0;
  if (h->bits > 8 || n < 1 || n > (1 << h->bits) || !entries) return Fail(kDibPalette);
  std::memcpy(h->palette, entries, 4 * size_t(n));
  return n;
}

int CDibSection::CopyPalette(HBITMAP from, HBITMAP to) {
  if (!Check(from) || !Check(to)) return 0;
  if (from->bits != to->bits || from->bits > 8) return Fail(kDibPalette);
  std::memcpy(to->palette, from->palette, 4 * size_t(PaletteEntries(from->bits)));
  to->colorsUsed = from->colorsUsed;
  return 1;
}

int CDibSection::InitBMIPalette(BITMAPINFO* info, HBITMAP h) {
  if (!Check(h)) return 0;
  if (h->bits > 8) return 1;
  std::memcpy(info->bmiColors, h->palette, 4 * size_t(PaletteEntries(h->bits)));
  return 1;
}

COLORREF CDibSection::PixelColor(HBITMAP h, int x, int y) {
  if (!Check(h) || x < 0 || y < 0 || x >= h->width || y >= Rows(h)) return 0;
  const uint8_t* r = Row(h, y);
  int index = 0;
  switch (h->bits) {
    case 1: index = (r[x >> 3] >> (7 - (x & 7))) & 1; break;
    case 4: index = (x & 1) ? r[x >> 1] & 15 : r[x >> 1] >> 4; break;
    case 8: index = r[x]; break;
    case 16: {
      const int v = Le16(r + 2 * x);
      return RGB(((v >> 10) & 31) << 3, ((v >> 5) & 31) << 3, (v & 31) << 3);
    }
    case 24: return RGB(r[3 * x + 2], r[3 * x + 1], r[3 * x]);
    default: return RGB(r[4 * x + 2], r[4 * x + 1], r[4 * x]);
  }
  const RGBQUAD& q = h->palette[index];
  return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

// Reading a BMP file image: headers, palette, then plain rows straight in or run-length
// data decoded into a bottom-up bitmap.
HBITMAP CDibSection::ReadBMP(const unsigned char* data, size_t size) {
  if (!data || size < size_t(kFileHeaderSize + kInfoSize)) return FailH(kDibRead);
  const uint32_t offBits = Le32(data + 10);
  const unsigned char* ih = data + kFileHeaderSize;
  const uint32_t infoSize = Le32(ih);
  const int32_t width = int32_t(Le32(ih + 4));
  const int32_t height = int32_t(Le32(ih + 8));
  const int bits = Le16(ih + 14);
  const uint32_t compression = Le32(ih + 16);
  const uint32_t imageSize = Le32(ih + 20);
  const uint32_t used = Le32(ih + 32);
  if (infoSize < uint32_t(kInfoSize)) return FailH(kDibTransfer);
  // Colour masks (written for 16 and 32 bits by many programs) are read as plain rows when
  // they describe the layout the bitmap has anyway; other layouts are not converted.
  if (compression == kBiBitfields) {
    const uint64_t masksAt = infoSize >= kInfoSize + kMasksSize ? uint64_t(kFileHeaderSize) + kInfoSize
                                                                : uint64_t(kFileHeaderSize) + infoSize;
    if (masksAt + kMasksSize > size) return FailH(kDibRead);
    const unsigned char* m = data + masksAt;
    bool known = false;
    for (const PlainMasks& p : kPlainMasks)
      known = known || (p.bits == bits && Le32(m) == p.red && Le32(m + 4) == p.green &&
                        Le32(m + 8) == p.blue);
    if (!known) return FailH(kDibTransfer);
  }
  // Run-length data exists for its own depth only, and only bottom-up.
  const bool rle = compression != BI_RGB && compression != kBiBitfields;
  if (rle && !((compression == BI_RLE8 && bits == 8) || (compression == BI_RLE4 && bits == 4)))
    return FailH(kDibTransfer);
  if (rle && height < 0) return FailH(kDibTransfer);
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return FailH(kDibCreate);
  int entries = 0;
  if (bits <= 8) {
    entries = used ? int(used) : 1 << bits;
    if (used > uint32_t(1 << bits)) return FailH(kDibPalette);
  }
  const uint64_t palAt = uint64_t(kFileHeaderSize) + infoSize;
  if (palAt + 4ull * entries > size) return FailH(kDibRead);
  if (offBits > size) return FailH(kDibSeek);
  if (width < 1 || height == 0 || height == INT32_MIN) return FailH(kDibCreate);
  const int bpl = BitmapRowBytes(width, bits);
  const uint64_t rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
  if (bpl == 0 || rows > uint64_t(kMaxBitmapSide)) return FailH(kDibMemory);
  // Coded data: as many bytes as the header says; without a size, the rest of the file
  // (coded pictures can be larger than plain ones) and the end-of-bitmap code tells where
  // it stops.
  uint64_t dataSize = uint64_t(bpl) * rows;
  if (rle) dataSize = imageSize ? imageSize : size - offBits;
  if (uint64_t(offBits) + dataSize > size) return FailH(kDibRead);
  HBITMAP h = CreateBitmapObject(width, height, bits);
  if (!h) return FailH(kDibMemory);
  std::memcpy(h->palette, data + palAt, 4 * size_t(entries));
  h->colorsUsed = bits <= 8 && used ? int(used) : 0;
  if (!rle) {
    std::memcpy(h->pixels, data + offBits, size_t(bpl) * rows);
  } else if (!DecodeBmpRle(data + offBits, size_t(dataSize), bits, width, int(rows), h->pixels,
                           bpl)) {
    DeleteObject(h);
    return FailH(kDibTransfer);
  }
  return h;
}

HBITMAP CDibSection::LoadFile(const char* path) {
  if (DibIsJpegName(path)) return LoadJpeg(path);
  FILE* f = std::fopen(path, "rb");
  if (!f) return FailH(kDibOpenRead);
  std::vector<unsigned char> data;
  unsigned char buf[65536];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) data.insert(data.end(), buf, buf + n);
  std::fclose(f);
  return ReadBMP(data.data(), data.size());
}

int CDibSection::SaveFile(const char* path, HBITMAP h) {
  if (!Check(h)) return 0;
  BITMAPFILEHEADER* fh = CreateBitmapFileHeader(h);
  BITMAPINFO* info = CreateBitmapInfo(h);
  if (!fh || !info) {
    std::free(fh);
    std::free(info);
    return Fail(kDibMemory);
  }
  FILE* f = std::fopen(path, "wb");
  int ok = 0;
  if (!f) {
    m_error = kDibOpenWrite;
  } else {
    ok = std::fwrite(fh, kFileHeaderSize, 1, f) == 1 &&
         std::fwrite(info, size_t(SizeB(info)), 1, f) == 1 &&
         std::fwrite(h->pixels, size_t(SizeH(h)), 1, f) == 1;
    if (std::fclose(f) != 0) ok = 0;
    if (!ok) m_error = kDibWrite;
  }
  std::free(fh);
  std::free(info);
  return ok;
}

int CDibSection::GetBMPSize(const char* path, int& width, int& height) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return Fail(kDibOpenRead);
  unsigned char hdr[kFileHeaderSize + kInfoSize];
  const size_t n = std::fread(hdr, 1, sizeof hdr, f);
  std::fclose(f);
  if (n != sizeof hdr) return Fail(kDibRead);
  width = int32_t(Le32(hdr + 18));
  height = int32_t(Le32(hdr + 22));
  return 1;
}

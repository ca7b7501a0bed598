// Picture objects of the library: device-independent bitmaps in memory, referred to by HBITMAP
// and destroyed by DeleteObject, with the file-format records that describe them.
// Pixel layout: rows padded to 4 bytes, bottom-up for a positive height (top-down for a
// negative one), 24-bit pixels blue-green-red, palettes of blue-green-red-0 entries; decoders
// and views address the pixel memory directly.
#pragma once
#include <cstddef>
#include <cstdint>

using COLORREF = uint32_t;  // 0x00BBGGRR: red in the low byte

constexpr COLORREF RGB(int r, int g, int b) {
  return COLORREF(uint8_t(r)) | (COLORREF(uint8_t(g)) << 8) | (COLORREF(uint8_t(b)) << 16);
}
constexpr int GetRValue(COLORREF c) { return int(c & 0xFF); }
constexpr int GetGValue(COLORREF c) { return int((c >> 8) & 0xFF); }
constexpr int GetBValue(COLORREF c) { return int((c >> 16) & 0xFF); }

struct RECT {
  int32_t left, top, right, bottom;
};

// One palette entry as stored in files and bitmaps.
struct RGBQUAD {
  uint8_t rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
static_assert(sizeof(RGBQUAD) == 4);

// The 40-byte BMP information header (little-endian on every supported machine).
struct BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;  // positive: bottom-up rows; negative: top-down
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;  // BI_RGB, BI_RLE8, BI_RLE4
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

// The information header followed by its palette (as many entries as the header says).
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// The 14-byte BMP file header.
#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  uint16_t bfType;  // "BM"
  uint32_t bfSize;
  uint16_t bfReserved1;
  uint16_t bfReserved2;
  uint32_t bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint16_t kBmpFileType = 0x4D42;  // "BM" read as a little-endian word

// The largest picture the library makes: larger requests fail like a failed allocation.
constexpr int kMaxBitmapSide = 32768;                   // pixels per side
constexpr size_t kMaxBitmapBytes = size_t(256) << 20;   // pixel area

// A bitmap object. Fields are the platform's; callers use CDibSection's queries.
struct BitmapObject {
  uint32_t magic;         // kBitmapMagic while alive
  int width;              // pixels
  int height;             // rows, signed as above
  int bits;               // 1, 4, 8, 16, 24 or 32
  int bpl;                // bytes per row, a multiple of 4
  int colorsUsed;         // palette entries in use (0: all 2^bits)
  RGBQUAD palette[256];   // 2^bits entries for bits <= 8
  uint8_t* pixels;        // bpl * |height| bytes
};
using HBITMAP = BitmapObject*;
constexpr uint32_t kBitmapMagic = 0x42495450u;

// Bytes per row of a picture: ((bits * width + 31) / 32) * 4; 0 for bad arguments.
int BitmapRowBytes(int width, int bits);

// A new bitmap with zeroed pixels and an all-zero palette; null for a bad size or depth, or
// when the memory cannot be had. Depths: 1, 4, 8, 16, 24, 32.
HBITMAP CreateBitmapObject(int width, int height, int bits);
// 1 when h is a live bitmap made by CreateBitmapObject.
int IsBitmapObject(HBITMAP h);
// Destroys a bitmap; 0 for a null or foreign handle.
int DeleteObject(HBITMAP h);

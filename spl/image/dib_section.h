// The picture toolbox: creates bitmaps, reads and writes BMP (plain and run-length encoded)
// and JPEG files, converts depths, reduces to 256 colours, makes gray and edge pictures,
// shrinks, enlarges and copies pixels. Decoders derive from it to own their line bitmaps.
#pragma once
#include <cstddef>

#include "spl/platform/bitmap.h"

// Reasons of the last failure, read through CDibSection::Error() after a null or 0 result.
enum DibError {
  kDibOk = 0,
  kDibNoContext = 1,     // no drawing context
  kDibOpenRead = 2,      // file cannot be opened for reading
  kDibOpenWrite = 3,     // file cannot be opened for writing
  kDibRead = 4,          // short read (also: truncated data)
  kDibWrite = 5,         // write failed
  kDibSeek = 6,          // seek failed (also: offsets beyond the file)
  kDibMemory = 7,        // out of memory (also: a picture larger than the library makes)
  kDibCreate = 8,        // bitmap creation failed (bad size or depth)
  kDibInfo = 9,          // not a bitmap, or its information unavailable
  kDibPalette = 10,      // palette could not be read or written
  kDibTransfer = 11,     // pixel transfer between formats failed (bad RLE data, bad JPEG)
  kDibSize = 12,         // bad size arguments
  kDibClipboard = 23,    // clipboard unavailable or empty
  kDibResource = 37,     // resource picture not found
};

// Called after each destination row with the caller's value; the result is ignored.
using DibProgress = int (*)(long user, long row);

class CDibSection {
 public:
  CDibSection() = default;
  virtual ~CDibSection() = default;
  CDibSection(const CDibSection&) = default;
  CDibSection& operator=(const CDibSection&) = default;

  int Error() const { return m_error; }
  void ClearError() { m_error = kDibOk; }
  // A short English text for an error code ("short read", ...).
  static const char* ErrorText(int code);

  // Queries; each sets kDibInfo and returns 0 (null) for a handle that is no bitmap.
  int Width(HBITMAP h);
  int Height(HBITMAP h);  // signed: positive rows are stored bottom-up
  int Planes(HBITMAP h);  // always 1
  int Bits(HBITMAP h);
  int Colors(HBITMAP h);  // palette entries in use (2^bits when unset, also above 8 bits)
  int BPL(HBITMAP h);     // bytes per row, multiple of 4
  long SizeH(HBITMAP h);  // BPL * |height|
  unsigned char* AdrH(HBITMAP h);  // pixel area, first stored row first
  // On an information record: 40 + 4 * palette entries (colours used, or 2^bits when 0;
  // none above 8 bits), and the address just behind the palette.
  static int SizeB(const BITMAPINFO* info);
  static unsigned char* AdrB(BITMAPINFO* info);

  // Records. Each is one std::malloc block that the caller releases with std::free.
  // A record for width x height x bits with compression 0, a zeroed palette of 2^bits entries.
  BITMAPINFO* CreateBitmapInfo(int width, int height, int bits);
  // A record describing h (its signed height, image size SizeH, full palette).
  BITMAPINFO* CreateBitmapInfo(HBITMAP h);
  // The 14-byte file header of an uncompressed BMP of h.
  BITMAPFILEHEADER* CreateBitmapFileHeader(HBITMAP h);
  // A copy of the record followed by room for rows rows (height = rows, image size set).
  BITMAPINFO* AllocBitmap(const BITMAPINFO* info, int rows);
  // Packed picture: record, palette and pixels in one block, rows as stored.
  BITMAPINFO* GetDIB(HBITMAP h);
  // A bitmap from a packed picture (uncompressed; rows as the record's height says).
  HBITMAP PutDIB(const BITMAPINFO* packed);

  // Creation and copies; new handles belong to the caller (DeleteObject).
  // bits 0 means 24; fill < 0x1000000 paints every pixel with that 0x00BBGGRR colour
  // (the nearest palette entry, i.e. index 0 of the zero palette, for palette depths).
  HBITMAP Create(int width, int height, int bits, unsigned long fill = 0xFFFFFFFFul);
  HBITMAP Copy(HBITMAP h);
  // The source's pixels at a new depth (0 means 24). To 24 (or 16/32) bits every pixel takes
  // its colour. To a palette depth: indices and palette are kept when the source has a
  // palette of at most that depth or uses only its first 2^bits entries; otherwise a picture
  // of at most 2^bits colours gets exactly its own colours (ascending 0x00BBGGRR), any other
  // a median-cut palette of 2^bits colours. Codes: kDibInfo, kDibCreate (depth), kDibMemory.
  HBITMAP Convert(HBITMAP h, int bits);
  int SetPalette(HBITMAP h, const RGBQUAD* entries, int n);  // entries set, 0 on failure
  int CopyPalette(HBITMAP from, HBITMAP to);  // 1 when both have the same depth <= 8
  int InitBMIPalette(BITMAPINFO* info, HBITMAP h);  // palette into a record (1 at once > 8 bits)

  // Files. Paths are plain file names; ".jpg" (any case) selects JPEG where stated.
  int GetBMPSize(const char* path, int& width, int& height);
  int GetJPEGSize(const char* path, int& width, int& height);
  int GetSize(const char* path, int& width, int& height);
  HBITMAP LoadFile(const char* path);          // BMP (plain or RLE) or, for ".jpg", JPEG
  int SaveFile(const char* path, HBITMAP h);   // uncompressed BMP, pixels as stored
  int SaveFileRLE(const char* path, HBITMAP h);  // 4 or 8 bits: RLE4 / RLE8, bottom-up
  int SaveFileCompressed(const char* path, HBITMAP h);  // .jpg: JPEG 75; 4/8 bits: RLE; else plain
  HBITMAP LoadJpeg(const char* path);          // always 24 bits
  int SaveJpeg(const char* path, HBITMAP h, int quality);  // 24 bits colour, 8 bits gray; 0..100
  // The same readers on a file image in memory (what the file readers use).
  HBITMAP ReadBMP(const unsigned char* data, size_t size);
  HBITMAP ReadJpeg(const unsigned char* data, size_t size);
  int ReadJpegSize(const unsigned char* data, size_t size, int& width, int& height);
  // A BMP file that grows by rows: StreamCreate writes the headers with height 0, StreamOut
  // appends rows firstRow .. firstRow + rows - 1 of h (counted from the top) and rewrites them.
  int StreamCreate(const char* path, HBITMAP h);
  int StreamOut(const char* path, HBITMAP h, int firstRow, int rows);

  // Pixel copies between bitmaps (x, y and sx, sy from the top left, clipped to both). 1 also
  // when nothing lies inside both; 0 for a bad handle (kDibInfo) or negative size (kDibSize).
  // Blit: plain copy, both of one depth (palette depths copy indices), else through colour.
  int Blit(HBITMAP dst, int x, int y, int w, int h, HBITMAP src, int sx, int sy);
  // Scales the source region sw x sh onto w x h with box averaging (24-bit colour).
  int Stretch(HBITMAP dst, int x, int y, int w, int h, HBITMAP src, int sx, int sy, int sw,
              int sh);
  // Copies where the 1-bit mask (same coordinates as src) holds a 1; kDibTransfer for a mask
  // of another depth.
  int MaskBlit(HBITMAP dst, int x, int y, int w, int h, HBITMAP src, int sx, int sy,
               HBITMAP mask);

  // Resampling and conversions: new bitmaps, null on failure with the error set.
  HBITMAP Shrink(HBITMAP src, int w, int h, int keepAspect, DibProgress progress = nullptr,
                 long user = 0);
  HBITMAP Blow(HBITMAP src, int w, int h, DibProgress progress = nullptr, long user = 0);
  HBITMAP Scale(HBITMAP src, int w, int h, DibProgress progress = nullptr, long user = 0);
  // Fits srcW x srcH into boxW x boxH (never enlarging); out gets the centred rectangle.
  static double SymScale(int srcW, int srcH, int boxW, int boxH, RECT& out);
  HBITMAP ConvertTo8(HBITMAP src, int dither);  // median cut to 256 colours
  HBITMAP ConvertToGray(HBITMAP src);           // 8 bits, palette i -> (i, i, i)
  // Edge picture of an 8-bit source's pixel values (other depths are taken through their
  // gray values); operators: bit 1 Sobel, 2 Prewitt, 4 isotropic, the highest set bit wins;
  // with none of them the result stays black.
  HBITMAP BorderDetect(HBITMAP src, int operators);
  // Strokes of an 8-bit picture (values of at least 128) thinned to one pixel: 255 on the
  // remaining stroke pixels, 0 elsewhere, gray palette. Null for other depths (kDibCreate).
  HBITMAP Thinning(HBITMAP src);

  // The colour of pixel (x, y) counted from the top, 0x00BBGGRR; 0 outside.
  COLORREF PixelColor(HBITMAP h, int x, int y);
  // The nearest palette index to a colour (least squared distance, first on ties).
  static int NearestIndex(const RGBQUAD* palette, int n, COLORREF c);

 protected:
  int Fail(int code) {
    m_error = code;
    return 0;
  }
  HBITMAP FailH(int code) {
    m_error = code;
    return nullptr;
  }
  // A live bitmap, or kDibInfo set and false.
  bool Check(HBITMAP h);
  // The source in 24 bits: h itself when it is 24 bits (owned = false), else a new copy.
  HBITMAP As24(HBITMAP h, bool& owned);
  // Stores one top-first row of 0x00BBGGRR colours into row y of dst (any depth).
  void StoreRow(HBITMAP dst, int y, const COLORREF* colors);
  // The colours of n pixels of row y (from the top) starting at column x, any depth; and
  // the reverse, palette depths taking the nearest entry. The caller keeps inside the picture.
  static void LoadSpan(HBITMAP h, int y, int x, int n, COLORREF* colors);
  static void StoreSpan(HBITMAP h, int y, int x, int n, const COLORREF* colors);
  // The palette index of pixel x in a stored row of 1, 4 or 8 bits, and setting it.
  static int PixelIndex(const unsigned char* row, int bits, int x);
  static void SetPixelIndex(unsigned char* row, int bits, int x, int index);
  // A zeroed bitmap for a result, or null with kDibMemory when it cannot be had.
  HBITMAP NewBitmap(int width, int height, int bits);
  // Median-cut reduction of a 24-bit picture to an n-colour palette (n <= 256).
  HBITMAP Reduce(HBITMAP src24, int bits, int colors, int dither);

  int m_error = kDibOk;
};

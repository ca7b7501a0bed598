// BMP files that grow by rows (a picture saved while it is received) and packed pictures:
// record, palette and pixels in one memory block.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "spl/image/dib_rows.h"
#include "spl/image/dib_section.h"

namespace {
constexpr int kFileHeaderSize = 14;
constexpr int kInfoSize = 40;

uint32_t Le32(const unsigned char* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
void PutLe32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
// Field offsets inside the two headers as they lie in the file.
constexpr int kFileSizeAt = 2;
constexpr int kHeightAt = kFileHeaderSize + 8;
constexpr int kWidthAt = kFileHeaderSize + 4;
constexpr int kBitsAt = kFileHeaderSize + 14;
constexpr int kCompressionAt = kFileHeaderSize + 16;
constexpr int kImageSizeAt = kFileHeaderSize + 20;
constexpr int kUsedAt = kFileHeaderSize + 32;
}  // namespace

int CDibSection::StreamCreate(const char* path, HBITMAP h) {
  if (!Check(h)) return 0;
  BITMAPFILEHEADER* fh = CreateBitmapFileHeader(h);
  BITMAPINFO* info = CreateBitmapInfo(h);
  if (!fh || !info) {
    std::free(fh);
    std::free(info);
    return Fail(kDibMemory);
  }
  // No rows yet: the headers describe an empty picture that StreamOut lets grow.
  info->bmiHeader.biHeight = 0;
  info->bmiHeader.biSizeImage = 0;
  info->bmiHeader.biCompression = BI_RGB;
  fh->bfSize -= uint32_t(SizeH(h));
  int ok = 0;
  FILE* f = std::fopen(path, "wb");
  if (!f) {
    m_error = kDibOpenWrite;
  } else {
    ok = std::fwrite(fh, kFileHeaderSize, 1, f) == 1 &&
         std::fwrite(info, size_t(SizeB(info)), 1, f) == 1;
    if (std::fclose(f) != 0) ok = 0;
    if (!ok) m_error = kDibWrite;
  }
  std::free(fh);
  std::free(info);
  return ok;
}

int CDibSection::StreamOut(const char* path, HBITMAP h, int firstRow, int rows) {
  if (!Check(h)) return 0;
  if (rows < 1 || firstRow < 0 || firstRow > DibRows(h) - rows) return Fail(kDibTransfer);
  FILE* f = std::fopen(path, "r+b");
  if (!f) return Fail(kDibOpenRead);
  unsigned char head[kFileHeaderSize + kInfoSize];
  if (std::fread(head, sizeof head, 1, f) != 1) {
    std::fclose(f);
    return Fail(kDibRead);
  }
  // Rows are appended only to a stream of the same picture format, so the file stays one
  // consistent picture.
  const uint32_t bits = head[kBitsAt] | head[kBitsAt + 1] << 8;
  const int32_t height = int32_t(Le32(head + kHeightAt));
  if (int32_t(Le32(head + kWidthAt)) != h->width || bits != uint32_t(h->bits) ||
      Le32(head + kCompressionAt) != BI_RGB || height < 0) {
    std::fclose(f);
    return Fail(kDibTransfer);
  }
  const uint32_t used = Le32(head + kUsedAt);
  const uint64_t palette = bits > 8 ? 0 : 4ull * (used ? used : 1u << bits);
  const uint64_t imageSize = Le32(head + kImageSizeAt);
  const uint64_t band = uint64_t(h->bpl) * uint64_t(rows);
  const uint64_t newImage = imageSize + band;
  const uint64_t newFile = uint64_t(Le32(head + kFileSizeAt)) + band;
  if (newImage > 0xFFFFFFFFull || newFile > 0xFFFFFFFFull || int64_t(height) + rows > INT32_MAX) {
    std::fclose(f);
    return Fail(kDibWrite);
  }
  // The band's stored rows run from the top source row down.
  const long at = long(kFileHeaderSize + kInfoSize + palette + imageSize);
  if (std::fseek(f, at, SEEK_SET) != 0) {
    std::fclose(f);
    return Fail(kDibSeek);
  }
  int ok = 1;
  for (int k = 0; k < rows && ok; ++k)
    ok = std::fwrite(DibRow(h, firstRow + k), size_t(h->bpl), 1, f) == 1;
  PutLe32(head + kFileSizeAt, uint32_t(newFile));
  PutLe32(head + kImageSizeAt, uint32_t(newImage));
  PutLe32(head + kHeightAt, uint32_t(height + rows));
  if (ok && std::fseek(f, 0, SEEK_SET) != 0) {
    std::fclose(f);
    return Fail(kDibSeek);
  }
  if (ok) ok = std::fwrite(head, sizeof head, 1, f) == 1;
  if (std::fclose(f) != 0) ok = 0;
  return ok ? 1 : Fail(kDibWrite);
}

BITMAPINFO* CDibSection::AllocBitmap(const BITMAPINFO* info, int rows) {
  if (!info || rows < 0) return FailH(kDibInfo), nullptr;
  const auto& b = info->bmiHeader;
  const int rowBytes = BitmapRowBytes(b.biWidth, b.biBitCount);
  if (rowBytes == 0 || rows > kMaxBitmapSide) return FailH(kDibCreate), nullptr;
  const size_t head = size_t(SizeB(info));
  const size_t pixels = size_t(rowBytes) * size_t(rows);
  auto* packed = static_cast<BITMAPINFO*>(std::calloc(1, head + pixels));
  if (!packed) return FailH(kDibMemory), nullptr;
  std::memcpy(packed, info, head);
  packed->bmiHeader.biHeight = rows;
  packed->bmiHeader.biSizeImage = uint32_t(pixels);
  return packed;
}

BITMAPINFO* CDibSection::GetDIB(HBITMAP h) {
  if (!Check(h)) return nullptr;
  BITMAPINFO* info = CreateBitmapInfo(h);
  if (!info) return nullptr;
  const size_t head = size_t(SizeB(info));
  const size_t pixels = size_t(SizeH(h));
  auto* packed = static_cast<BITMAPINFO*>(std::realloc(info, head + pixels));
  if (!packed) {
    std::free(info);
    return FailH(kDibMemory), nullptr;
  }
  std::memcpy(reinterpret_cast<unsigned char*>(packed) + head, h->pixels, pixels);
  return packed;
}

HBITMAP CDibSection::PutDIB(const BITMAPINFO* packed) {
  if (!packed) return FailH(kDibInfo);
  const auto& b = packed->bmiHeader;
  if (b.biSize != uint32_t(kInfoSize) || b.biCompression != BI_RGB) return FailH(kDibTransfer);
  if (b.biBitCount <= 8 && b.biClrUsed > (1u << b.biBitCount)) return FailH(kDibPalette);
  HBITMAP h = CreateBitmapObject(b.biWidth, b.biHeight, b.biBitCount);
  if (!h) return FailH(kDibCreate);
  const int entries = b.biBitCount <= 8 ? (b.biClrUsed ? int(b.biClrUsed) : 1 << b.biBitCount) : 0;
  // A packed picture keeps its palette right behind the 40-byte header.
  const auto* base = reinterpret_cast<const unsigned char*>(packed);
  std::memcpy(h->palette, base + kInfoSize, 4 * size_t(entries));
  h->colorsUsed = b.biBitCount <= 8 ? int(b.biClrUsed) : 0;
  std::memcpy(h->pixels, base + SizeB(packed), size_t(SizeH(h)));
  return h;
}

#include "spl/platform/bitmap.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {
bool ValidDepth(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}
}  // namespace

int BitmapRowBytes(int width, int bits) {
  if (width < 1 || width > kMaxBitmapSide || !ValidDepth(bits)) return 0;
  return int(((int64_t(width) * bits + 31) / 32) * 4);
}

HBITMAP CreateBitmapObject(int width, int height, int bits) {
  const int bpl = BitmapRowBytes(width, bits);
  const int64_t rows = height < 0 ? -int64_t(height) : int64_t(height);
  if (bpl == 0 || rows < 1 || rows > kMaxBitmapSide) return nullptr;
  const uint64_t size = uint64_t(bpl) * uint64_t(rows);
  if (size > kMaxBitmapBytes) return nullptr;
  auto* b = new (std::nothrow) BitmapObject{};
  if (!b) return nullptr;
  b->pixels = static_cast<uint8_t*>(std::calloc(size_t(size), 1));
  if (!b->pixels) {
    delete b;
    return nullptr;
  }
  b->magic = kBitmapMagic;
  b->width = width;
  b->height = height;
  b->bits = bits;
  b->bpl = bpl;
  return b;
}

int IsBitmapObject(HBITMAP h) { return h && h->magic == kBitmapMagic ? 1 : 0; }

int DeleteObject(HBITMAP h) {
  if (!IsBitmapObject(h)) return 0;
  h->magic = 0;
  std::free(h->pixels);
  delete h;
  return 1;
}

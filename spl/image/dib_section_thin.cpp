// Stroke thinning of 8-bit pictures: set pixels are peeled off the strokes' borders, one
// side at a time, until every stroke is one pixel wide, without breaking a stroke apart or
// shortening its ends.
#include <cstdint>
#include <new>
#include <vector>

#include "spl/image/dib_rows.h"
#include "spl/image/dib_section.h"

namespace {

constexpr int kSetFrom = 128;  // binarising threshold: at least this value is a stroke
constexpr uint8_t kStroke = 255;
constexpr int kGrayLevels = 256;

// A pixel's 3 x 3 neighbourhood as a 9-bit code, three octal digits for the rows above,
// through and below it; within a digit 4 is the left, 2 the middle and 1 the right column.
constexpr int kAbove = 0200, kBelow = 0002, kLeft = 0040, kRight = 0010;
// One sub-pass per side, each peeling only pixels whose neighbour on that side is clear.
constexpr int kSideMasks[] = {kAbove, kBelow, kLeft, kRight};

// Whether a set pixel with a given neighbourhood may go (it keeps the strokes connected and
// their end points in place): entry k is bit 3 - k % 4 of hexadecimal digit k / 4.
constexpr char kDeletable[] =
    "0000137300003b33000000f300000033000000f30000bbff000080f30000bbff"
    "000000000000bb330000000000000033000080f30000bbff000080f30000bbff";
static_assert(sizeof kDeletable == 512 / 4 + 1);

bool Deletable(int code) {
  const char c = kDeletable[code >> 2];
  const int digit = c <= '9' ? c - '0' : c - 'a' + 10;
  return (digit >> (3 - (code & 3))) & 1;
}

}  // namespace

HBITMAP CDibSection::Thinning(HBITMAP src) {
  if (!Check(src)) return nullptr;
  if (src->bits != 8) return FailH(kDibCreate);
  const int w = src->width, h = DibRows(src);
  // The picture with a clear frame of one pixel, so that every pixel has eight neighbours.
  const size_t stride = size_t(w) + 2;
  std::vector<uint8_t> set, before;
  try {
    set.assign(stride * (size_t(h) + 2), 0);
    before.assign(set.size(), 0);
  } catch (const std::bad_alloc&) {
    return FailH(kDibMemory);
  }
  HBITMAP out = NewBitmap(w, src->height, 8);
  if (!out) return nullptr;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = DibRow(src, y);
    for (int x = 0; x < w; ++x) set[(size_t(y) + 1) * stride + size_t(x) + 1] = row[x] >= kSetFrom;
  }

  // Each sub-pass judges every pixel by the picture as it was when the sub-pass began, so
  // that what it peels does not depend on the order it visits the pixels in.
  for (bool peeled = true; peeled;) {
    peeled = false;
    for (int mask : kSideMasks) {
      before = set;
      for (size_t y = 1; y <= size_t(h); ++y) {
        const uint8_t* up = &before[(y - 1) * stride];
        const uint8_t* mid = up + stride;
        const uint8_t* down = mid + stride;
        for (size_t x = 1; x <= size_t(w); ++x) {
          if (!mid[x]) continue;
          const int code = up[x - 1] << 8 | up[x] << 7 | up[x + 1] << 6 | mid[x - 1] << 5 |
                           mid[x] << 4 | mid[x + 1] << 3 | down[x - 1] << 2 | down[x] << 1 |
                           down[x + 1];
          if ((code & mask) == 0 && Deletable(code)) {
            set[y * stride + x] = 0;
            peeled = true;
          }
        }
      }
    }
  }

  for (int i = 0; i < kGrayLevels; ++i)
    out->palette[i] = RGBQUAD{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  for (int y = 0; y < h; ++y) {
    uint8_t* row = DibRow(out, y);
    for (int x = 0; x < w; ++x)
      row[x] = set[(size_t(y) + 1) * stride + size_t(x) + 1] ? kStroke : 0;
  }
  return out;
}

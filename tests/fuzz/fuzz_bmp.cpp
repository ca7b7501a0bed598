// libFuzzer target: BMP file images, plain and run-length encoded. Whatever the reader
// accepts must be a well-formed bitmap, and its palette rows must survive the run-length
// coder unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "spl/image/bmp_rle.h"
#include "spl/image/dib_section.h"

namespace {

// Larger pictures are legal but only slow the search down: a few header bytes claim a quarter
// of a gigabyte that the reader then makes and fills, and every pixel costs a trip through the
// instrumented loops. Nothing in the reader depends on the size beyond this.
constexpr long long kMaxFuzzPixels = 1LL << 16;
constexpr long kMaxRoundTripBytes = 1L << 16;
constexpr size_t kInfoSizeAt = 14, kWidthAt = 18, kCoreHeightAt = 20, kHeightAt = 22;
constexpr uint32_t kCoreHeaderSize = 12;  // the old OS/2 header: 16-bit width and height

uint32_t Le(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// The pixels the header claims (0 when it is too short to say).
long long ClaimedPixels(const uint8_t* data, size_t size) {
  if (size < kHeightAt + 4) return 0;
  if (Le(data + kInfoSizeAt, 4) == kCoreHeaderSize)
    return (long long)Le(data + kWidthAt, 2) * Le(data + kCoreHeightAt, 2);
  const long long w = int32_t(Le(data + kWidthAt, 4)), h = int32_t(Le(data + kHeightAt, 4));
  return std::llabs(w) * std::llabs(h);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (ClaimedPixels(data, size) > kMaxFuzzPixels) return 0;
  CDibSection dib;
  HBITMAP h = dib.ReadBMP(data, size);
  if (!h) {
    if (dib.Error() == kDibOk) std::abort();  // a failure always has a reason
    return 0;
  }
  const int rows = std::abs(dib.Height(h));
  if (dib.Width(h) < 1 || rows < 1 || dib.BPL(h) % 4 || dib.SizeH(h) != long(dib.BPL(h)) * rows)
    std::abort();
  // Touch every pixel so a wrong size shows up under the address sanitizer.
  unsigned sum = 0;
  const uint8_t* bytes = dib.AdrH(h);
  for (long i = 0, n = dib.SizeH(h); i < n; ++i) sum += bytes[i];
  (void)sum;
  const int bits = dib.Bits(h);
  // The run-length round trip on small pictures only: rows of a big one say nothing new.
  if ((bits == 4 || bits == 8) && long(dib.SizeH(h)) <= kMaxRoundTripBytes) {
    std::vector<uint8_t> coded;
    for (int y = 0; y < rows; ++y)
      EncodeBmpRleRow(dib.AdrH(h) + size_t(y) * dib.BPL(h), dib.Width(h), bits, y == rows - 1, coded);
    std::vector<uint8_t> back(size_t(dib.SizeH(h)), 0);
    if (!DecodeBmpRle(coded.data(), coded.size(), bits, dib.Width(h), rows, back.data(), dib.BPL(h)))
      std::abort();
    // Compare the pixels only: the row padding is not coded.
    const int used = (dib.Width(h) * bits) / 8;
    for (int y = 0; y < rows; ++y)
      if (std::memcmp(back.data() + size_t(y) * dib.BPL(h), dib.AdrH(h) + size_t(y) * dib.BPL(h),
                      size_t(used)) != 0)
        std::abort();
  }
  DeleteObject(h);
  return 0;
}

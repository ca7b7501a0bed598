// libFuzzer target: JPEG file images. A picture the reader accepts is 24 bits of the size
// the header read reports; a refusal always carries a reason; nothing leaves the process.
#include <cstdint>
#include <cstdlib>

#include "spl/image/dib_section.h"

namespace {
// Larger pictures are legal but only slow the search down.
constexpr long kMaxFuzzPixels = 4L << 20;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CDibSection dib;
  int w = 0, h = 0;
  if (!dib.ReadJpegSize(data, size, w, h)) {
    if (dib.Error() == kDibOk) std::abort();
    return 0;
  }
  if (long(w) * long(h) > kMaxFuzzPixels) return 0;
  HBITMAP b = dib.ReadJpeg(data, size);
  if (!b) {
    if (dib.Error() == kDibOk) std::abort();
    return 0;
  }
  if (dib.Bits(b) != 24 || dib.Width(b) != w || dib.Height(b) != h) std::abort();
  unsigned sum = 0;
  for (long i = 0; i < dib.SizeH(b); ++i) sum += dib.AdrH(b)[i];
  (void)sum;
  DeleteObject(b);
  return 0;
}

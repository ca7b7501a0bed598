// libFuzzer target: depth conversions, colour reduction, resampling, edges and clipped copies
// on small pictures of every depth and both row orders made from the input. Results must
// have the promised size and depth; the sanitizers watch every pixel access. Colour reduction
// (median cut over a 1 MiB histogram) costs a hundred times the rest, whatever the picture's
// size: every kReduceOneIn-th input runs it, counted rather than chosen by an input byte (the
// fuzzer would keep the inputs that choose it), the first of a run always, so a single saved
// input replays what it found.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "spl/image/bit1.h"
#include "spl/image/bit24.h"
#include "spl/image/bit8.h"
#include "spl/image/dib_section.h"

namespace {

constexpr int kDepths[] = {1, 4, 8, 16, 24, 32};
constexpr size_t kHeader = 12;
constexpr int kReduceOneIn = 256;

// A picture whose palette and pixels repeat the bytes after the header.
HBITMAP Make(CDibSection& dib, int w, int h, int bits, const uint8_t* fill, size_t n) {
  HBITMAP p = dib.Create(w, h, bits);
  if (!p) return nullptr;
  uint8_t* pal = reinterpret_cast<uint8_t*>(p->palette);
  for (size_t i = 0; i < sizeof p->palette; ++i) pal[i] = n ? fill[i % n] : uint8_t(i);
  for (long i = 0; i < dib.SizeH(p); ++i) p->pixels[i] = n ? fill[(size_t(i) * 7 + 3) % n] : uint8_t(i);
  return p;
}

void Expect(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader) return 0;
  const uint8_t* fill = data + kHeader;
  const size_t n = size - kHeader;
  CDibSection dib;
  const int bits = kDepths[data[0] % 6], other = kDepths[data[1] % 6];
  const int w = 1 + data[2] % 24, h = (1 + data[3] % 16) * (data[3] & 0x80 ? -1 : 1);
  const int tw = 1 + data[4] % 40, th = 1 + data[5] % 40;
  auto s8 = [&](int i) { return int(int8_t(data[i])); };
  static unsigned inputs = 0;
  const bool reduce = inputs++ % kReduceOneIn == 0;
  HBITMAP src = Make(dib, w, h, bits, fill, n);
  HBITMAP dst = Make(dib, 1 + data[6] % 20, (1 + data[7] % 12) * (data[7] & 0x80 ? -1 : 1), other, fill, n);
  HBITMAP mask = Make(dib, 1 + data[8] % 20, 1 + data[9] % 12, 1, fill, n);
  Expect(src && dst && mask);

  for (int to : kDepths) {
    if (to <= 8 && to < bits && !reduce) continue;  // more colours than a palette: a reduction
    HBITMAP c = dib.Convert(src, to);
    Expect(c && c->bits == to && c->width == w && c->height == h);
    DeleteObject(c);
  }
  for (HBITMAP r : {dib.Shrink(src, tw, th, data[10] & 1), dib.Blow(src, tw, th), dib.Scale(src, tw, th)}) {
    Expect(r != nullptr);
    if (!(data[10] & 1)) Expect(r->width == tw && std::abs(r->height) == th);
    DeleteObject(r);
  }
  if (reduce) {
    HBITMAP r = dib.ConvertTo8(src, data[10] & 2);
    Expect(r && r->bits == 8 && r->width == w && r->height == h);
    DeleteObject(r);
  }
  for (HBITMAP r : {dib.ConvertToGray(src), dib.BorderDetect(src, data[11])}) {
    Expect(r && r->bits == 8 && r->width == w && r->height == h);
    DeleteObject(r);
  }
  Expect(dib.Blit(dst, s8(4), s8(5), data[6] % 32, data[7] % 32, src, s8(8), s8(9)) == 1);
  Expect(dib.Stretch(dst, s8(5), s8(4), data[8] % 40, data[9] % 40, src, s8(10), s8(11), data[6] % 40,
                     data[2] % 40) == 1);
  Expect(dib.MaskBlit(dst, s8(9), s8(8), data[10] % 32, data[11] % 32, src, s8(4), s8(6), mask) == 1);
  Expect(dib.Blit(src, s8(6), s8(7), 40, 40, src, s8(10), s8(11)) == 1);

  RECT box{};
  C8Bit p8;
  if (p8.Init(src)) p8.GetRect(box);
  C24Bit p24;
  if (p24.Init(src)) {
    p24.Push(RECT{s8(4), s8(5), s8(6), s8(7)});
    p24.Pop();
    p24.Redo();
  }
  C1Bit p1;
  if (p1.Init(mask)) {
    p1.Invert();
    p1.GetRect(box);
  }
  DeleteObject(mask);
  DeleteObject(dst);
  DeleteObject(src);
  return 0;
}

#include "spl/image/bmp_rle.h"

namespace {

// Shortest runs worth breaking an absolute run for: a run costs two bytes, and each break
// of an absolute run costs its two-byte head and up to one pad byte.
constexpr int kMinRun8 = 3;
constexpr int kMinRun4 = 6;
constexpr int kMinAbsolute = 3;  // absolute runs of 1 or 2 pixels would read as escapes

int Pixel(const uint8_t* row, int bits, int x) {
  if (bits == 8) return row[x];
  return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
}

void Put(uint8_t* row, int bits, int x, int v) {
  if (bits == 8) {
    row[x] = uint8_t(v);
  } else if (x & 1) {
    row[x >> 1] = uint8_t((row[x >> 1] & 0xF0) | (v & 0x0F));
  } else {
    row[x >> 1] = uint8_t((row[x >> 1] & 0x0F) | (v << 4));
  }
}

// Length of the run starting at x, at most limit: equal pixels at 8 bits, the repeated
// pair of pixels at 4 bits (an encoded 4-bit run alternates its two nibbles).
int RunAt(const uint8_t* row, int bits, int width, int x, int limit) {
  int n = 1;
  while (n < limit && x + n < width &&
         Pixel(row, bits, x + n) == Pixel(row, bits, bits == 4 ? x + (n & 1) : x))
    ++n;
  return n;
}

void PutRun(const uint8_t* row, int bits, int x, int n, std::vector<uint8_t>& out) {
  out.push_back(uint8_t(n));
  if (bits == 8) {
    out.push_back(uint8_t(Pixel(row, bits, x)));
  } else {
    const int second = n > 1 ? Pixel(row, bits, x + 1) : 0;
    out.push_back(uint8_t(Pixel(row, bits, x) << 4 | second));
  }
}

void PutAbsolute(const uint8_t* row, int bits, int x, int n, std::vector<uint8_t>& out) {
  out.push_back(0);
  out.push_back(uint8_t(n));
  size_t bytes = 0;
  if (bits == 8) {
    for (int i = 0; i < n; ++i) out.push_back(uint8_t(Pixel(row, bits, x + i)));
    bytes = size_t(n);
  } else {
    for (int i = 0; i < n; i += 2) {
      const int lo = i + 1 < n ? Pixel(row, bits, x + i + 1) : 0;
      out.push_back(uint8_t(Pixel(row, bits, x + i) << 4 | lo));
    }
    bytes = size_t(n + 1) / 2;
  }
  if (bytes & 1) out.push_back(0);  // absolute runs end on a 16-bit boundary
}

}  // namespace

bool DecodeBmpRle(const uint8_t* data, size_t size, int bits, int width, int rows,
                  uint8_t* pixels, int bpl) {
  if ((bits != 4 && bits != 8) || width < 1 || rows < 1 || !pixels) return false;
  // Some writers code whole stored rows, padding included: runs may reach the end of the
  // stored row, and only the pixels inside the picture are kept.
  const int rowPixels = bpl * 8 / bits;
  if (rowPixels < width) return false;
  auto put = [&](uint8_t* row, int at, int v) {
    if (at < width) Put(row, bits, at, v);
  };
  int x = 0, y = 0;
  size_t i = 0;
  while (i + 2 <= size) {
    const int count = data[i], value = data[i + 1];
    i += 2;
    if (count > 0) {
      if (y >= rows || count > rowPixels - x) return false;
      uint8_t* row = pixels + size_t(y) * size_t(bpl);
      for (int k = 0; k < count; ++k)
        put(row, x + k, bits == 8 ? value : ((k & 1) ? value & 0x0F : value >> 4));
      x += count;
      continue;
    }
    switch (value) {
      case kRleEndOfLine:
        if (y >= rows) return false;
        x = 0;
        ++y;
        break;
      case kRleEndOfBitmap:
        return true;
      case kRleDelta: {
        if (i + 2 > size) return false;
        const int dx = data[i], dy = data[i + 1];
        i += 2;
        if (dx > rowPixels - x || dy >= rows - y) return false;
        x += dx;
        y += dy;
        break;
      }
      default: {  // absolute run of value pixels
        const size_t bytes = bits == 8 ? size_t(value) : size_t(value + 1) / 2;
        const size_t padded = bytes + (bytes & 1);
        if (y >= rows || value > rowPixels - x || padded > size - i) return false;
        uint8_t* row = pixels + size_t(y) * size_t(bpl);
        for (int k = 0; k < value; ++k) {
          const int b = bits == 8 ? data[i + size_t(k)] : data[i + size_t(k) / 2];
          put(row, x + k, bits == 8 ? b : ((k & 1) ? b & 0x0F : b >> 4));
        }
        x += value;
        i += padded;
        break;
      }
    }
  }
  return false;  // no end of bitmap
}

void EncodeBmpRleRow(const uint8_t* row, int width, int bits, bool last,
                     std::vector<uint8_t>& out) {
  const int minRun = bits == 8 ? kMinRun8 : kMinRun4;
  int x = 0;
  while (x < width) {
    const int run = RunAt(row, bits, width, x, kRleMaxRun);
    if (run >= minRun || run == width - x) {
      PutRun(row, bits, x, run, out);
      x += run;
      continue;
    }
    // Pixels up to the next worthwhile run go into one absolute run.
    int end = x + 1;
    while (end < width && end - x < kRleMaxRun && RunAt(row, bits, width, end, minRun) < minRun)
      ++end;
    const int n = end - x;
    if (n >= kMinAbsolute) {
      PutAbsolute(row, bits, x, n, out);
    } else {
      // One or two pixels: short encoded runs (a 4-bit run carries two different pixels).
      for (int k = 0; k < n;) {
        const int m = bits == 4 && n - k == 2 ? 2 : 1;
        PutRun(row, bits, x + k, m, out);
        k += m;
      }
    }
    x = end;
  }
  out.push_back(0);
  out.push_back(last ? kRleEndOfBitmap : kRleEndOfLine);
}

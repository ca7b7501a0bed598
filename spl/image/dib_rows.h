// Row addressing inside bitmap objects for the picture-file code: picture rows are counted
// from the top, whichever order the rows are stored in.
#pragma once
#include <cstddef>
#include <cstdint>

#include "spl/platform/bitmap.h"

inline int DibRows(HBITMAP h) { return h->height < 0 ? -h->height : h->height; }

// Stored bytes of picture row y (0 = top row).
inline uint8_t* DibRow(HBITMAP h, int y) {
  const int stored = h->height > 0 ? h->height - 1 - y : y;
  return h->pixels + size_t(stored) * size_t(h->bpl);
}

// True when the file name ends in ".jpg", in any case.
inline bool DibIsJpegName(const char* path) {
  size_t n = 0;
  while (path && path[n]) ++n;
  if (n < 4 || path[n - 4] != '.') return false;
  const char* e = path + n - 3;
  return (e[0] | 0x20) == 'j' && (e[1] | 0x20) == 'p' && (e[2] | 0x20) == 'g';
}

#include "spl/dsp/view_area.h"

int BlockOrder(int blockSize) {
  if (blockSize < 2) return -1;
  int o = 0;
  while (o < 30 && (1 << o) < blockSize) ++o;
  return (1 << o) == blockSize ? o : -1;
}

void ClampArea(int sampleRate, int& low, int& high) {
  if (high > sampleRate / 2) high = sampleRate / 2;
  if (low >= high) low = 0;
}

int ViewArea(HPAINT wnd, int& width, int& height) {
  if (!wnd) return 0;
  width = wnd->ClientWidth() - 2 * kViewInset;
  height = wnd->ClientHeight() - 2 * kViewInset;
  return 1;
}

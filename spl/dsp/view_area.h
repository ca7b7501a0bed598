// Set-up shared by the display engines (analyser, spectrogram, scope): the FFT order of a block
// size, the frequency area kept within half the sample rate, and the drawing area that lies
// inside the window's sunken edge.
#pragma once
#include "spl/platform/paint_target.h"

constexpr int kViewInset = 2;  // the drawing area lies 2 pixels inside the client area

// log2 of a power of two >= 2; -1 for anything else.
int BlockOrder(int blockSize);
// Area high limited to sampleRate / 2; area low reset to 0 when it is not below area high.
void ClampArea(int sampleRate, int& low, int& high);
// The window's client size less the edge on every side; 0 (sizes untouched) for no window.
int ViewArea(HPAINT wnd, int& width, int& height);

// The window lists of a decoder's signal outputs: each output kind keeps its own list of
// windows to which the decoder posts a copy of that signal after every block.
#pragma once

#include <initializer_list>
#include <utility>
#include <vector>

#include "spl/audio/sound_device.h"

// Appends wnd to list: 0 when it is already there, else 1.
int ConnectDecoderWindow(CWindowList& list, HWND wnd);
// Removes wnd keeping the order of the others: 0 when it is not there, else 1.
int DisConnectDecoderWindow(CWindowList& list, HWND wnd);

// One list per output kind of a decoder.
class CDecoderWindows {
 public:
  explicit CDecoderWindows(std::initializer_list<int> kinds);
  // 0 for a kind the decoder does not have, else as ConnectDecoderWindow.
  int Connect(HWND wnd, int kind);
  int DisConnect(HWND wnd, int kind);
  // Posts block (wParam = kind) to the windows of that kind.
  void Post(const AudioBlock* block, int kind);

 private:
  CWindowList* ListOf(int kind);
  std::vector<std::pair<int, CWindowList>> lists_;
};

#include "spl/decoders/decoder_windows.h"

#include <algorithm>

int ConnectDecoderWindow(CWindowList& list, HWND wnd) {
  if (std::find(list.begin(), list.end(), wnd) != list.end()) return 0;
  list.push_back(wnd);
  return 1;
}

int DisConnectDecoderWindow(CWindowList& list, HWND wnd) {
  const auto it = std::find(list.begin(), list.end(), wnd);
  if (it == list.end()) return 0;
  list.erase(it);
  return 1;
}

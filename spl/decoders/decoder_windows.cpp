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

CDecoderWindows::CDecoderWindows(std::initializer_list<int> kinds) {
  for (int kind : kinds) lists_.emplace_back(kind, CWindowList());
}

CWindowList* CDecoderWindows::ListOf(int kind) {
  for (auto& [k, list] : lists_)
    if (k == kind) return &list;
  return nullptr;
}

int CDecoderWindows::Connect(HWND wnd, int kind) {
  CWindowList* list = ListOf(kind);
  return list ? ConnectDecoderWindow(*list, wnd) : 0;
}

int CDecoderWindows::DisConnect(HWND wnd, int kind) {
  CWindowList* list = ListOf(kind);
  return list ? DisConnectDecoderWindow(*list, wnd) : 0;
}

void CDecoderWindows::Post(const AudioBlock* block, int kind) {
  if (CWindowList* list = ListOf(kind)) PostAudioBlock(*list, block, kind);
}

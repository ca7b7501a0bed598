// The page windows of the station: one message target per decoder group, which receives the
// captured blocks and the decoders' signals (WM_AUDIOBLOCK) on the user-interface thread.
// The desktop program makes them on its event loop; the headless station on a CMessageLoop.
#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "spl/platform/message_loop.h"

using PageHandler = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;

class CPageWindowHost {
 public:
  virtual ~CPageWindowHost() = default;
  // A window whose messages are handed to handler on the user-interface thread; null on
  // failure. The window lives until DestroyPageWindow or the host goes.
  virtual HWND CreatePageWindow(PageHandler handler) = 0;
  virtual void DestroyPageWindow(HWND hwnd) = 0;
};

// Page windows on a CMessageLoop (the headless station and the tests).
class CLoopPageHost : public CPageWindowHost {
 public:
  explicit CLoopPageHost(CMessageLoop& loop) : loop_(loop) {}
  HWND CreatePageWindow(PageHandler handler) override;
  void DestroyPageWindow(HWND hwnd) override;

 private:
  class CPage : public CHeadlessWindow {
   public:
    CPage(CMessageLoop& loop, PageHandler handler)
        : CHeadlessWindow(loop), handler_(std::move(handler)) {}
    void WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
      handler_(message, wParam, lParam);
    }

   private:
    PageHandler handler_;
  };
  CMessageLoop& loop_;
  std::vector<std::unique_ptr<CPage>> pages_;
};

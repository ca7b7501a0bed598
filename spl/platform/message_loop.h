// The headless event loop of the tool and the tests: windows that live on one thread,
// their posted messages, and thread timers. The desktop program puts its own loop in this
// place; the library only ever posts to HWNDs and never depends on which loop serves them.
#pragma once
#include <functional>
#include <map>
#include <memory>

#include "spl/platform/kernel.h"
#include "spl/platform/window.h"

class CMessageLoop;

// A window served by a CMessageLoop; derived classes handle messages in WindowProc.
class CHeadlessWindow : public CMessageTarget {
 public:
  explicit CHeadlessWindow(CMessageLoop& loop);
  ~CHeadlessWindow() override;  // unregisters; later posts to Handle() fail
  CHeadlessWindow(const CHeadlessWindow&) = delete;
  CHeadlessWindow& operator=(const CHeadlessWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  virtual void WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {}
  void Enqueue(const MSG& msg) override;

 private:
  // What the handle table holds: posts reach the loop through this member, never through the
  // window's own virtual table, which a derived destructor rewrites while another thread may
  // still be posting (the handle goes only in this base's destructor).
  class CPoster : public CMessageTarget {
   public:
    explicit CPoster(CHeadlessWindow& window) : window_(window) {}
    void Enqueue(const MSG& msg) override { window_.Post(msg); }

   private:
    CHeadlessWindow& window_;
  };
  void Post(const MSG& msg);

  CMessageLoop& loop_;
  CPoster poster_{*this};
  HWND hwnd_;
};

// Asks the program to quit with code: through the quit hook when the program has set one,
// else the main loop (the first loop made that still exists) gets WM_QUIT; 0 when there is
// neither. Safe from any thread. The library never ends the process itself.
int PostAppQuit(int code);
// The program's own way to quit (the desktop's event loop, for one); null removes it. The
// hook may be called on any thread.
void SetAppQuitHook(std::function<void(int code)> hook);

class CMessageLoop {
 public:
  using Timer = std::function<void()>;
  using Orphan = std::function<void(const MSG&)>;

  CMessageLoop();
  ~CMessageLoop();  // pending messages go to the orphan handler
  CMessageLoop(const CMessageLoop&) = delete;
  CMessageLoop& operator=(const CMessageLoop&) = delete;

  // The loop that the calling thread made last, or null.
  static CMessageLoop* Current();

  // Waits up to timeout ms for one message, running timers that fall due meanwhile;
  // 1 and the message, 0 on time-out. WM_QUIT is returned like any other message.
  int GetMessage(MSG& msg, DWORD timeout);
  // Hands the message to its window; a message whose window is gone goes to the orphan
  // handler, which owns whatever the message carried (an audio block, for instance).
  void DispatchMessage(const MSG& msg);
  // Dispatches until WM_QUIT (returns its wParam), or until timeout ms passed (returns -1).
  int Run(DWORD timeout = INFINITE);
  // Dispatches whatever is queued now, without waiting; returns how many.
  int Pump();
  void PostQuitMessage(int code);

  // Thread timer: fn runs on this loop's thread every ms milliseconds. Same id replaces.
  void SetTimer(unsigned id, DWORD ms, Timer fn);
  void KillTimer(unsigned id);

  void SetOrphanHandler(Orphan fn) { orphan_ = std::move(fn); }

 private:
  friend class CHeadlessWindow;
  struct TimerSlot {
    DWORD period;
    DWORD due;
    Timer fn;
  };
  void RunDueTimers();
  DWORD MsUntilNextTimer() const;

  CMessageQueue queue_;
  std::mutex windows_mutex_;
  std::map<HWND, CHeadlessWindow*> windows_;
  std::map<unsigned, TimerSlot> timers_;
  Orphan orphan_;
  CMessageLoop* previous_;
};

#include "spl/platform/message_loop.h"

#include <algorithm>
#include <vector>

namespace {
thread_local CMessageLoop* current_loop = nullptr;
std::mutex main_loop_mutex;
CMessageLoop* main_loop = nullptr;
std::function<void(int)> quit_hook;
}  // namespace

void SetAppQuitHook(std::function<void(int code)> hook) {
  std::lock_guard<std::mutex> lock(main_loop_mutex);
  quit_hook = std::move(hook);
}

int PostAppQuit(int code) {
  std::lock_guard<std::mutex> lock(main_loop_mutex);
  if (quit_hook) {
    quit_hook(code);
    return 1;
  }
  if (!main_loop) return 0;
  main_loop->PostQuitMessage(code);
  return 1;
}

CHeadlessWindow::CHeadlessWindow(CMessageLoop& loop)
    : loop_(loop), hwnd_(CreateWindowHandle(&poster_)) {
  std::lock_guard<std::mutex> lock(loop_.windows_mutex_);
  loop_.windows_[hwnd_] = this;
}

CHeadlessWindow::~CHeadlessWindow() {
  DestroyWindowHandle(hwnd_);
  std::lock_guard<std::mutex> lock(loop_.windows_mutex_);
  loop_.windows_.erase(hwnd_);
}

void CHeadlessWindow::Enqueue(const MSG& msg) { Post(msg); }

void CHeadlessWindow::Post(const MSG& msg) { loop_.queue_.Post(msg); }

CMessageLoop::CMessageLoop() : previous_(current_loop) {
  current_loop = this;
  std::lock_guard<std::mutex> lock(main_loop_mutex);
  if (!main_loop) main_loop = this;
}

CMessageLoop::~CMessageLoop() {
  {
    std::lock_guard<std::mutex> lock(main_loop_mutex);
    if (main_loop == this) main_loop = nullptr;
  }
  MSG msg;
  while (queue_.Peek(msg)) {
    if (orphan_) orphan_(msg);
  }
  if (current_loop == this) current_loop = previous_;
}

CMessageLoop* CMessageLoop::Current() { return current_loop; }

DWORD CMessageLoop::MsUntilNextTimer() const {
  DWORD wait = INFINITE;
  DWORD now = GetTickCount();
  for (const auto& [id, t] : timers_) {
    int32_t left = int32_t(t.due - now);  // wrap-safe difference
    wait = std::min<DWORD>(wait, left > 0 ? DWORD(left) : 0);
  }
  return wait;
}

void CMessageLoop::RunDueTimers() {
  DWORD now = GetTickCount();
  std::vector<unsigned> due;
  for (auto& [id, t] : timers_) {
    if (int32_t(now - t.due) >= 0) due.push_back(id);
  }
  for (unsigned id : due) {
    auto it = timers_.find(id);
    if (it == timers_.end()) continue;  // killed by an earlier timer of this round
    it->second.due = now + it->second.period;
    Timer fn = it->second.fn;  // the timer may kill or replace itself
    fn();
  }
}

int CMessageLoop::GetMessage(MSG& msg, DWORD timeout) {
  DWORD start = GetTickCount();
  for (;;) {
    RunDueTimers();
    DWORD wait = MsUntilNextTimer();
    DWORD left = INFINITE;
    if (timeout != INFINITE) {
      DWORD spent = GetTickCount() - start;
      left = spent >= timeout ? 0 : timeout - spent;
    }
    if (queue_.Get(msg, std::min(wait, left))) return 1;
    if (left == 0) return 0;
  }
}

void CMessageLoop::DispatchMessage(const MSG& msg) {
  CHeadlessWindow* window = nullptr;
  {
    std::lock_guard<std::mutex> lock(windows_mutex_);
    auto it = windows_.find(msg.hwnd);
    if (it != windows_.end()) window = it->second;
  }
  if (window) {
    window->WindowProc(msg.message, msg.wParam, msg.lParam);
  } else if (orphan_) {
    orphan_(msg);
  }
}

int CMessageLoop::Run(DWORD timeout) {
  DWORD start = GetTickCount();
  MSG msg;
  for (;;) {
    DWORD left = INFINITE;
    if (timeout != INFINITE) {
      DWORD spent = GetTickCount() - start;
      if (spent >= timeout) return -1;
      left = timeout - spent;
    }
    if (!GetMessage(msg, left)) continue;
    if (msg.message == WM_QUIT) return int(msg.wParam);
    DispatchMessage(msg);
  }
}

int CMessageLoop::Pump() {
  RunDueTimers();
  int n = 0;
  MSG msg;
  while (queue_.Peek(msg)) {
    if (msg.message == WM_QUIT) {
      queue_.Post(msg);  // leave it for Run or GetMessage to see
      break;
    }
    DispatchMessage(msg);
    ++n;
  }
  return n;
}

void CMessageLoop::PostQuitMessage(int code) { queue_.Post(MSG{nullptr, WM_QUIT, WPARAM(code), 0}); }

void CMessageLoop::SetTimer(unsigned id, DWORD ms, Timer fn) {
  timers_[id] = TimerSlot{ms, GetTickCount() + ms, std::move(fn)};
}

void CMessageLoop::KillTimer(unsigned id) { timers_.erase(id); }

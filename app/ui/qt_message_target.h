// The library's message targets on Qt's event loop: a window handle whose posted messages
// (captured audio blocks, decoder signals) travel as Qt events from any thread and are handed
// to a handler on the user-interface thread. A block still queued when its page goes is freed,
// never leaked and never delivered to a page that no longer exists.
#pragma once
#include <QEvent>
#include <QObject>
#include <functional>

#include "app/core/page_windows.h"
#include "spl/platform/window.h"

class CQtMessageTarget : public QObject, public CMessageTarget {
 public:
  using Handler = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;
  explicit CQtMessageTarget(Handler handler, QObject* parent = nullptr);
  ~CQtMessageTarget() override;
  CQtMessageTarget(const CQtMessageTarget&) = delete;
  CQtMessageTarget& operator=(const CQtMessageTarget&) = delete;

  HWND Handle() const { return m_hwnd; }
  // Any thread: queues the message as a Qt event for this object.
  void Enqueue(const MSG& msg) override;

 protected:
  bool event(QEvent* e) override;

 private:
  Handler m_handler;
  HWND m_hwnd = nullptr;
};

// Page windows as Qt message targets (the desktop program's CPageWindowHost).
class CQtPageHost : public CPageWindowHost {
 public:
  ~CQtPageHost() override;
  HWND CreatePageWindow(PageHandler handler) override;
  void DestroyPageWindow(HWND hwnd) override;

 private:
  std::vector<CQtMessageTarget*> m_pages;
};

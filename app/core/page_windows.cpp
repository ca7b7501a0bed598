#include "app/core/page_windows.h"

HWND CLoopPageHost::CreatePageWindow(PageHandler handler) {
  pages_.push_back(std::make_unique<CPage>(loop_, std::move(handler)));
  return pages_.back()->Handle();
}

void CLoopPageHost::DestroyPageWindow(HWND hwnd) {
  for (auto it = pages_.begin(); it != pages_.end(); ++it)
    if ((*it)->Handle() == hwnd) {
      pages_.erase(it);
      return;
    }
}

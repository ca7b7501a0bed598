#include "spl/platform/window.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace {

// The registry of live targets; handle values count up from 1 so a stale handle never
// names a newer window.
struct WindowTable {
  std::mutex mutex;
  std::unordered_map<uintptr_t, CMessageTarget*> targets;
  uintptr_t next = 1;
};

WindowTable& Table() {
  static WindowTable table;
  return table;
}

}  // namespace

HWND CreateWindowHandle(CMessageTarget* target) {
  WindowTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  uintptr_t id = t.next++;
  t.targets[id] = target;
  return reinterpret_cast<HWND>(id);
}

void DestroyWindowHandle(HWND hwnd) {
  WindowTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  t.targets.erase(reinterpret_cast<uintptr_t>(hwnd));
}

int IsWindow(HWND hwnd) {
  WindowTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  return t.targets.count(reinterpret_cast<uintptr_t>(hwnd)) ? 1 : 0;
}

int PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowTable& t = Table();
  // Enqueue under the table lock: the target cannot be destroyed while a post is under way.
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.targets.find(reinterpret_cast<uintptr_t>(hwnd));
  if (it == t.targets.end()) return 0;
  it->second->Enqueue(MSG{hwnd, message, wParam, lParam});
  return 1;
}

// Window handles: HWND names a message target that lives on some thread's event loop.
// A target is anything that can accept a posted message without blocking: the headless
// loop of the tool and the tests, or later an adapter onto the desktop's event loop.
// Handles are registered in one process-wide table so that a post to a target that has
// gone away fails instead of touching freed memory.
#pragma once
#include "spl/platform/message_queue.h"

class CMessageTarget {
 public:
  virtual ~CMessageTarget() = default;
  // Called on the posting thread; must only queue the message (thread-safe, no waiting).
  virtual void Enqueue(const MSG& msg) = 0;
};

// Registers a target and returns its new handle (never null). Handles are not reused.
HWND CreateWindowHandle(CMessageTarget* target);
// Unregisters the handle; later posts to it fail. Waits for posts in progress to finish.
void DestroyWindowHandle(HWND hwnd);
int IsWindow(HWND hwnd);

// Queues a message for the target of hwnd from any thread. Returns 1, or 0 when the
// handle is not (or no longer) registered; the caller then still owns whatever lParam names.
int PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

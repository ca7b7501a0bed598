#include "app/ui/qt_message_target.h"

#include <QCoreApplication>

#include "spl/audio/sound_device.h"

namespace {

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// One posted message; it owns what the message carries until the handler has it.
class CMessageEvent : public QEvent {
 public:
  explicit CMessageEvent(const MSG& msg) : QEvent(kMessageEvent), m_msg(msg) {}
  ~CMessageEvent() override {
    if (!m_taken) DiscardAudioMessage(m_msg);
  }
  const MSG& Take() {
    m_taken = true;
    return m_msg;
  }

 private:
  MSG m_msg;
  bool m_taken = false;
};

}  // namespace

CQtMessageTarget::CQtMessageTarget(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {
  m_hwnd = CreateWindowHandle(this);
}

CQtMessageTarget::~CQtMessageTarget() {
  // No new posts after this; those already queued are deleted with their blocks.
  DestroyWindowHandle(m_hwnd);
  QCoreApplication::removePostedEvents(this, kMessageEvent);
}

void CQtMessageTarget::Enqueue(const MSG& msg) {
  QCoreApplication::postEvent(this, new CMessageEvent(msg));
}

bool CQtMessageTarget::event(QEvent* e) {
  if (e->type() != kMessageEvent) return QObject::event(e);
  const MSG& msg = static_cast<CMessageEvent*>(e)->Take();
  m_handler(msg.message, msg.wParam, msg.lParam);
  return true;
}

CQtPageHost::~CQtPageHost() {
  for (CQtMessageTarget* p : m_pages) delete p;
}

HWND CQtPageHost::CreatePageWindow(PageHandler handler) {
  m_pages.push_back(new CQtMessageTarget(std::move(handler)));
  return m_pages.back()->Handle();
}

void CQtPageHost::DestroyPageWindow(HWND hwnd) {
  for (auto it = m_pages.begin(); it != m_pages.end(); ++it)
    if ((*it)->Handle() == hwnd) {
      delete *it;
      m_pages.erase(it);
      return;
    }
}

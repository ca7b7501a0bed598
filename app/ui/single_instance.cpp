#include "app/ui/single_instance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalSocket>
#include <cstdio>

#include "app/core/safe_file.h"
#include "app/core/station_paths.h"

namespace {
constexpr int kConnectMs = 1000;
constexpr char kRaise[] = "raise\n";
}  // namespace

CSingleInstance::CSingleInstance(const std::string& base) : m_base(base) {
  // One name per base folder and user, short enough for a socket path.
  const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(base),
                                                   QCryptographicHash::Sha1).toHex().left(16);
  m_name = QString("kestrel-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
}

CSingleInstance::~CSingleInstance() { delete m_server; }

int CSingleInstance::AskRunning() {
  QLocalSocket socket;
  socket.connectToServer(m_name);
  if (!socket.waitForConnected(kConnectMs)) return 0;
  socket.write(kRaise);
  socket.waitForBytesWritten(kConnectMs);
  socket.disconnectFromServer();
  return 1;
}

int CSingleInstance::Listen(std::function<void()> raise) {
  delete m_server;
  m_server = new QLocalServer();
  // A server left behind by a station that crashed is stale: nobody answered AskRunning.
  QLocalServer::removeServer(m_name);
  if (!m_server->listen(m_name)) return 0;
  QObject::connect(m_server, &QLocalServer::newConnection, [this, raise] {
    while (QLocalSocket* s = m_server->nextPendingConnection()) {
      QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
      raise();
    }
  });
  return 1;
}

int CSingleInstance::WriteWindowFile() {
  const uint32_t pid = uint32_t(getpid());
  const uint8_t bytes[4] = {uint8_t(pid), uint8_t(pid >> 8), uint8_t(pid >> 16), uint8_t(pid >> 24)};
  return WriteFileReplacing(BasePath(m_base, kWindowFileName), bytes, sizeof bytes);
}

void CSingleInstance::RemoveWindowFile() { remove(BasePath(m_base, kWindowFileName).c_str()); }

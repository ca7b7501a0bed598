// One station per base folder: a second start asks the running one to come to the front and
// ends; the running one keeps THIS.WND (its process id) in the base folder while it runs.
#pragma once
#include <QLocalServer>
#include <QString>
#include <functional>
#include <string>

class CSingleInstance {
 public:
  explicit CSingleInstance(const std::string& base);
  ~CSingleInstance();
  CSingleInstance(const CSingleInstance&) = delete;
  CSingleInstance& operator=(const CSingleInstance&) = delete;

  // 1 when a station runs on this base folder and was asked to come to the front.
  int AskRunning();
  // Listens for later starts; raise runs on the user-interface thread. 1 or 0.
  int Listen(std::function<void()> raise);
  // THIS.WND: written after a successful start (4 bytes, the process id), removed on close.
  int WriteWindowFile();
  void RemoveWindowFile();
  const QString& ServerName() const { return m_name; }

 private:
  std::string m_base;
  QString m_name;
  QLocalServer* m_server = nullptr;
};

// The one QApplication of the widget tests, on the off-screen platform unless the caller chose
// one; made by whichever test asks first.
#pragma once
#include <QApplication>
#include <cstdlib>

inline QApplication& App() {
  if (QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "test_widgets";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's own globals may be gone by the time statics are torn down.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

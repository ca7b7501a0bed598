// The one QApplication of the window tests (offscreen platform, set by the test runner).
#pragma once
#include <gtest/gtest.h>

#include <QApplication>

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "test_ui";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's own globals may be gone by the time statics are torn down.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Every test gets the application, also when it runs alone (ctest runs each test by itself).
class CTestAppEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { TestApp(); }
};
inline const bool kTestAppRegistered =
    (::testing::AddGlobalTestEnvironment(new CTestAppEnvironment), true);

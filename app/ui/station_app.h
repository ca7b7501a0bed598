// The station program's start and end around its main window: the command line, one station
// per base folder, the core started in order with its message boxes, the window placement,
// the receiver's keep-alive on a Qt timer, and an automatic quit with a screenshot for scripts.
#pragma once
#include <QTimer>
#include <memory>
#include <string>

#include "app/core/station_core.h"
#include "app/ui/main_window.h"
#include "app/ui/qt_message_target.h"
#include "app/ui/single_instance.h"

struct KstlOptions {
  std::string base;
  std::string port = "sim";
  std::string audioIn;   // empty: "sim" on the simulated receiver, else the default device
  std::string audioOut;
  std::string synopStore;
  double quitAfter = 0.0;  // seconds, 0 = run until closed
  std::string screenshot;  // PNG of the main window taken just before quitting
  // Offscreen pictures instead of the station: the world map, or the tracking view of the
  // element sets in tle for observer at time (UTC).
  std::string renderMap, renderTrack, tle, observer, time;
};

// Parses the arguments after the program name: 1, 0 with error set, -1 when --help was asked
// (the usage is in error then).
int ParseKstlOptions(int argc, char** argv, KstlOptions& out, std::string& error);

class CStationApp {
 public:
  CStationApp();
  ~CStationApp();
  CStationApp(const CStationApp&) = delete;
  CStationApp& operator=(const CStationApp&) = delete;

  // Everything up to the running window. -1 when the station runs (enter the event loop);
  // else the exit status (0: another station runs on this base folder and was raised).
  int Start(const KstlOptions& options);
  CMainWindow* Window() const { return m_window.get(); }
  CStationCore& Core() { return m_core; }
  const std::string& Base() const { return m_base; }
  // What the start-up reported last when it failed.
  const std::string& Failure() const { return m_failure; }
  // How often a later start asked this station to come to the front.
  int Raised() const { return m_raised; }

 private:
  void Shutdown();

  // Destroyed in reverse: the core first, while the window it reports to and its pages live.
  std::unique_ptr<CMainWindow> m_window;
  CQtPageHost m_pages;
  CStationCore m_core;
  std::unique_ptr<CSingleInstance> m_instance;
  QTimer m_keepAlive;
  std::string m_base, m_failure;
  bool m_running = false;
  int m_raised = 0;
};

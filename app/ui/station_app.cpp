#include "app/ui/station_app.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "app/core/sim_station.h"
#include "app/core/station_paths.h"
#include "app/ui/audio_page.h"
#include "app/ui/decoder_pages.h"

namespace {

constexpr const char* kUsage =
    "usage: kstl [--base DIR] [--port PATH|COMn|sim[:TYPE]] [--audio-in DEVICE|wav:FILE|sim]\n"
    "            [--audio-out DEVICE|null] [--quit-after SECONDS] [--screenshot FILE.png]\n"
    "       kstl --render-map OUT.png\n"
    "       kstl --render-track OUT.png --tle FILE --observer LOCATOR|LAT,LON --time UTC\n"
    "The station: without --port it runs on the simulated receiver and band (no receiver and\n"
    "no sound card needed). The base folder: DIR, else the current folder when it holds\n"
    "KSTL.INI or KSTLCONFIG.CFG, else ~/.local/share/kestrel. --quit-after closes the window\n"
    "after SECONDS (saving what is under way), --screenshot grabs it just before.\n"
    "--render-map draws the world map, --render-track the tracking view with every satellite\n"
    "of the element file FILE at UTC (2026-12-01T12:00:00), into OUT.png without a window,\n"
    "and ends.\n";
constexpr double kMaxQuitAfter = 7 * 24 * 3600.0;

}  // namespace

int ParseKstlOptions(int argc, char** argv, KstlOptions& out, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") return error = kUsage, -1;
    const bool valued = a == "--base" || a == "--port" || a == "--audio-in" || a == "--audio-out" ||
                        a == "--quit-after" || a == "--screenshot" || a == "--synop-store" ||
                        a == "--render-map" || a == "--render-track" || a == "--tle" ||
                        a == "--observer" || a == "--time";
    if (!valued) return error = "unknown option \"" + a + "\"\n" + kUsage, 0;
    if (i + 1 >= argc) return error = a + " needs a value", 0;
    const std::string v = argv[++i];
    if (a == "--base") out.base = v;
    else if (a == "--port") out.port = v;
    else if (a == "--audio-in") out.audioIn = v;
    else if (a == "--audio-out") out.audioOut = v;
    else if (a == "--screenshot") out.screenshot = v;
    else if (a == "--synop-store") out.synopStore = v;
    else if (a == "--render-map") out.renderMap = v;
    else if (a == "--render-track") out.renderTrack = v;
    else if (a == "--tle") out.tle = v;
    else if (a == "--observer") out.observer = v;
    else if (a == "--time") out.time = v;
    else {
      char* end = nullptr;
      out.quitAfter = strtod(v.c_str(), &end);
      if (!end || *end || !(out.quitAfter > 0.0 && out.quitAfter <= kMaxQuitAfter))
        return error = "--quit-after wants seconds, more than 0", 0;
    }
  }
  if (!out.renderTrack.empty() && (out.tle.empty() || out.observer.empty() || out.time.empty()))
    return error = "--render-track needs --tle FILE, --observer and --time", 0;
  int type = 0;
  if (out.audioIn.empty() && ParseSimPort(out.port, type)) out.audioIn = kSimAudioName;
  return 1;
}

CStationApp::CStationApp() = default;

CStationApp::~CStationApp() {
  SetAppQuitHook(nullptr);
  Shutdown();
}

int CStationApp::Start(const KstlOptions& options) {
  m_base = ChooseBaseFolder(options.base, &m_failure);
  if (m_base.empty()) return 2;
  m_instance = std::make_unique<CSingleInstance>(m_base);
  if (m_instance->AskRunning()) {
    fprintf(stderr, "kstl: a station runs on %s already; it was brought to the front\n", m_base.c_str());
    return 0;
  }
  m_window = std::make_unique<CMainWindow>(m_core);
  m_window->SetQuietMessages(true);  // start-up failures get one message box below
  if (!m_core.Init(m_base, m_window.get(), &m_pages)) {
    m_failure = m_window->Messages().empty() ? "cannot start" : m_window->Messages().back();
    return 1;
  }
  m_window->CreatePages();
  StationOptions o;
  o.port = options.port;
  o.audioIn = options.audioIn;
  o.audioOut = options.audioOut;
  o.synopStore = options.synopStore;
  if (!m_core.Start(o)) {
    m_failure = m_window->Messages().empty() ? "cannot start" : m_window->Messages().back();
    m_core.Shutdown();
    if (options.quitAfter == 0.0)
      QMessageBox::critical(nullptr, kProgramTitle, QString::fromStdString(m_failure));
    return 1;
  }
  m_running = true;
  m_window->SetQuietMessages(options.quitAfter > 0.0);
  m_window->SetCloseHandler([this] { Shutdown(); });
  m_window->ReceiverChanged();
  if (m_window->DecoderPages()) m_window->DecoderPages()->Refresh();
  if (m_window->AudioPage()) m_window->AudioPage()->Refresh();
  m_window->RestorePlacement();
  m_instance->WriteWindowFile();
  m_instance->Listen([this] {
    ++m_raised;
    if (!m_window) return;
    m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
  });
  // No library loop runs here: the receiver is kept alive from a Qt timer.
  if (!m_core.Radio().KeepAliveTimer()) {
    QObject::connect(&m_keepAlive, &QTimer::timeout, [this] { m_core.Radio().Radio_KeepAlive(); });
    m_keepAlive.start(int(m_core.Radio().KeepAlivePeriod()));
  }
  // A library error asks for the end: close the window in order on the UI thread.
  SetAppQuitHook([this](int code) {
    QMetaObject::invokeMethod(qApp, [this, code] {
      if (m_window) m_window->close();
      QCoreApplication::exit(code);
    }, Qt::QueuedConnection);
  });
  if (options.quitAfter > 0.0) {
    const std::string shot = options.screenshot;
    QTimer::singleShot(int(options.quitAfter * 1000.0), m_window.get(), [this, shot] {
      if (!shot.empty() && !m_window->grab().save(QString::fromStdString(shot)))
        fprintf(stderr, "kstl: %s: cannot write the screenshot\n", shot.c_str());
      m_window->close();
    });
  }
  return -1;
}

void CStationApp::Shutdown() {
  if (!m_running) return;
  m_running = false;
  m_keepAlive.stop();
  if (m_instance) m_instance->RemoveWindowFile();
  m_core.Shutdown();
}

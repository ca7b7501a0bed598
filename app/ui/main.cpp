// kstl: the station program. Without a display it says so and runs the same station without
// windows ("kestrel station"), so that the first command of the README works everywhere.
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/ui/map_render.h"
#include "app/ui/station_app.h"

namespace {

bool HaveDisplay() {
  return getenv("QT_QPA_PLATFORM") || (getenv("DISPLAY") && *getenv("DISPLAY")) ||
         (getenv("WAYLAND_DISPLAY") && *getenv("WAYLAND_DISPLAY"));
}

// The tool sits at the top of the build folder, one level above this program.
int RunHeadless(const KstlOptions& o) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return 2;
  self[n] = '\0';
  std::string dir(self);
  dir = dir.substr(0, dir.rfind('/'));
  const std::string tool = dir.substr(0, dir.rfind('/')) + "/kestrel";
  std::vector<std::string> args = {tool, "station", "--port", o.port, "--audio-in", o.audioIn};
  if (!o.base.empty()) args.insert(args.end(), {"--base", o.base});
  if (!o.audioOut.empty()) args.insert(args.end(), {"--audio-out", o.audioOut});
  if (o.quitAfter > 0.0) args.insert(args.end(), {"--seconds", std::to_string(o.quitAfter)});
  fprintf(stderr, "kstl: no display; running the station without windows:");
  std::vector<char*> argv;
  for (std::string& a : args) {
    fprintf(stderr, " %s", a.c_str());
    argv.push_back(a.data());
  }
  fprintf(stderr, "\n");
  argv.push_back(nullptr);
  execv(tool.c_str(), argv.data());
  perror(tool.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  KstlOptions options;
  std::string error;
  const int parsed = ParseKstlOptions(argc, argv, options, error);
  if (parsed < 0) return fputs(error.c_str(), stdout), 0;
  if (!parsed) return fprintf(stderr, "kstl: %s\n", error.c_str()), 2;
  if (!options.renderMap.empty() || !options.renderTrack.empty()) {
    if (!HaveDisplay()) setenv("QT_QPA_PLATFORM", "offscreen", 1);  // pictures need no display
    QApplication app(argc, argv);
    const int status = RenderMapPicture(options, error);
    if (status) fprintf(stderr, "kstl: %s\n", error.c_str());
    return status;
  }
  if (!HaveDisplay()) return RunHeadless(options);
  QApplication app(argc, argv);
  app.setApplicationName("kstl");
  CStationApp station;
  const int status = station.Start(options);
  if (status >= 0) {
    if (status > 0) fprintf(stderr, "kstl: %s\n", station.Failure().c_str());
    return status;
  }
  return app.exec();
}

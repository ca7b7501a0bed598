#include "spl/platform/volume_control.h"

#include <spawn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

bool OnPath(const char* program) {
  const char* path = getenv("PATH");
  if (!path) return false;
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

bool Spawn(std::vector<const char*> argv) {
  argv.push_back(nullptr);
  pid_t pid;
  return posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char* const*>(argv.data()),
                      environ) == 0;
}

}  // namespace

int StartVolumeControl(bool record, std::string* why) {
  if (!getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY")) {
    if (why) *why = "no desktop display to show a volume control on";
    return 0;
  }
  // pavucontrol's tabs: 1 playback streams, 2 recording streams.
  if (OnPath("pavucontrol") && Spawn({"pavucontrol", record ? "--tab=2" : "--tab=1"})) return 1;
  if (OnPath("alsamixer") && OnPath("x-terminal-emulator") &&
      Spawn({"x-terminal-emulator", "-e", "alsamixer", "-V", record ? "capture" : "playback"}))
    return 1;
  if (why) *why = "no volume control installed (pavucontrol, or alsamixer with a terminal)";
  return 0;
}

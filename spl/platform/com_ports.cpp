#include "spl/platform/com_ports.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>

namespace {

struct DefaultRun {
  int first;          // first port number of the run
  int count;          // how many
  const char* stem;   // device path without its index
};
constexpr DefaultRun kDefaults[] = {
    {1, 4, "/dev/ttyS"},
    {5, 4, "/dev/ttyUSB"},
};

struct ComTable {
  std::mutex mutex;
  std::map<int, std::string> devices;
  ComTable() { Reset(); }
  void Reset() {
    devices.clear();
    for (const DefaultRun& run : kDefaults)
      for (int i = 0; i < run.count; ++i) devices[run.first + i] = run.stem + std::to_string(i);
  }
};

ComTable& Table() {
  static ComTable table;
  return table;
}

}  // namespace

std::string ComPortDevice(int port) {
  ComTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.devices.find(port);
  return it == t.devices.end() ? std::string() : it->second;
}

int SetComPortDevice(int port, const std::string& device) {
  if (port < 1 || port > kComPortMax) return 0;
  ComTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  if (device.empty())
    t.devices.erase(port);
  else
    t.devices[port] = device;
  return 1;
}

void ResetComPortDevices() {
  ComTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  t.Reset();
}

int ComPortFromName(const std::string& name) {
  if (name.size() > 3 && toupper(name[0]) == 'C' && toupper(name[1]) == 'O' &&
      toupper(name[2]) == 'M') {
    char* end = nullptr;
    long n = strtol(name.c_str() + 3, &end, 10);
    if (*end || !isdigit(static_cast<unsigned char>(name[3])) || n < 1 || n > kComPortMax) return 0;
    return int(n);
  }
  if (name.find('/') == std::string::npos) return 0;
  ComTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  for (const auto& [port, device] : t.devices)
    if (device == name) return port;
  for (int port = kComPortFirstPath; port <= kComPortMax; ++port) {
    if (!t.devices.count(port)) {
      t.devices[port] = name;
      return port;
    }
  }
  return 0;
}

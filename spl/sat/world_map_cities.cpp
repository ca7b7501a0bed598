#include "spl/sat/world_map_cities.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

constexpr int kMapHalfWidth = 10800;   // arc minutes, 180 degrees
constexpr int kMapHalfHeight = 5400;   // arc minutes, 90 degrees

// One line "name\tx y": 1 with city filled, 0 for a line that is not a city.
int ParseCity(const char* line, MapCity& city) {
  const char* tab = line;
  while (*tab && *tab != '\t') ++tab;
  if (*tab != '\t' || tab == line) return 0;
  char* end = nullptr;
  const long x = std::strtol(tab + 1, &end, 10);
  if (end == tab + 1) return 0;
  const char* ystart = end;
  const long y = std::strtol(ystart, &end, 10);
  if (end == ystart) return 0;
  if (x < -kMapHalfWidth || x > kMapHalfWidth || y < -kMapHalfHeight || y > kMapHalfHeight)
    return 0;
  const size_t length = size_t(tab - line);
  city.name.assign(line, length < size_t(CCityList::kMaxName) ? length : CCityList::kMaxName);
  city.x = int(x);
  city.y = int(y);
  return 1;
}

}  // namespace

int CCityList::Update(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const uintmax_t size = fs::file_size(path, ec);
  if (ec) {
    cities_.clear();
    loaded_ = false;
    return 0;
  }
  const auto stamp = fs::last_write_time(path, ec);
  if (ec) {
    cities_.clear();
    loaded_ = false;
    return 0;
  }
  const int64_t mtime = int64_t(
      std::chrono::duration_cast<std::chrono::nanoseconds>(stamp.time_since_epoch()).count());
  if (loaded_ && path == path_ && size == size_ && mtime == mtime_) return 1;

  std::FILE* f = std::fopen(path.c_str(), "rb");
  cities_.clear();
  loaded_ = false;
  if (!f) return 0;
  ++reads_;
  char line[kMaxLine + 1];
  int used = 0;
  bool cut = false;  // the rest of an over-long line is skipped
  for (int c = std::fgetc(f);; c = std::fgetc(f)) {
    if (c == EOF || c == '\n') {
      line[used] = 0;
      if (used > 0 && line[used - 1] == '\r') line[used - 1] = 0;
      MapCity city;
      if (ParseCity(line, city)) cities_.push_back(std::move(city));
      used = 0;
      cut = false;
      if (c == EOF) break;
    } else if (!cut) {
      if (used < kMaxLine)
        line[used++] = char(c);
      else
        cut = true;
    }
  }
  std::fclose(f);
  path_ = path;
  size_ = size;
  mtime_ = mtime;
  loaded_ = true;
  return 1;
}

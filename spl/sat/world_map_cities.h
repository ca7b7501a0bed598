// CCityList: the cities drawn on the world map, read from a text file of one city a line,
//   name TAB x SPACE y
// with x and y in map coordinates (arc minutes, x east positive, y north negative). Lines
// longer than kMaxLine characters are cut there; names longer than kMaxName are cut. The
// map asks for the list at every redraw, so the file is read again only when its size or
// modification time changed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct MapCity {
  std::string name;
  int x, y;
};

class CCityList {
 public:
  static constexpr int kMaxLine = 255;  // characters a line, end of line not counted
  static constexpr int kMaxName = 63;   // characters kept of a name

  CCityList() = default;

  // Brings the list up to date with the file: reads it when it is new or changed since the
  // last read. 1 when the list holds the file's cities; 0 when the file is missing or
  // unreadable (the list is then empty).
  int Update(const std::string& path);
  const std::vector<MapCity>& Cities() const { return cities_; }
  // How often a file was actually read (the map redraws far more often).
  int Reads() const { return reads_; }

 private:
  std::vector<MapCity> cities_;
  std::string path_;
  bool loaded_ = false;
  uintmax_t size_ = 0;
  int64_t mtime_ = 0;  // nanoseconds of the file clock
  int reads_ = 0;
};

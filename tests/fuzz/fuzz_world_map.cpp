// libFuzzer target: the world map's vector records and its cities file. Whatever the record
// reader keeps must be whole records inside the points it read; the cities reader keeps
// names within their bound whatever the lines hold.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "spl/sat/world_map_cities.h"
#include "spl/sat/world_map_data.h"
#include "tests/fuzz/fuzz_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MapLayer layer;
  ParseMapRecords(data, size, layer);
  size_t total = 0;
  for (const MapHead& h : layer.heads) {
    if (h.first != total || h.count > layer.largest) std::abort();
    total += h.count;
  }
  if (total != layer.points.size()) std::abort();

  // The same bytes as a cities file (written anew, so that its size or time tells).
  std::FILE* f = std::fopen((FuzzFolder() + "/cities.txt").c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  CCityList cities;
  cities.Update(FuzzFolder() + "/cities.txt");
  for (const MapCity& c : cities.Cities())
    if (c.name.size() > size_t(CCityList::kMaxName)) std::abort();
  return 0;
}

#include "spl/sat/world_map_data.h"

#include <mutex>
#include <strings.h>

namespace {

constexpr size_t kHeaderBytes = 8;  // tile x, tile y, count
constexpr size_t kPointBytes = 4;   // x, y

int16_t ReadI16(const uint8_t* p) { return int16_t(uint16_t(p[0]) | uint16_t(p[1]) << 8); }
uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Resource names of the layers, in MapLayerId order.
constexpr const char* kResourceNames[kMapLayerCount] = {"CoastVec", "LakeVec", "RiverVec"};

std::mutex g_lock;
int g_references = 0;
MapLayer g_layers[kMapLayerCount];

}  // namespace

// The built-in layers (world_map_vectors.cpp).
extern "C" {
#define KESTREL_MAP_BLOB(sym) \
  extern const uint8_t sym[] __attribute__((visibility("hidden"))); \
  extern const uint8_t sym##_end[] __attribute__((visibility("hidden")));
KESTREL_MAP_BLOB(kestrel_map_land)
KESTREL_MAP_BLOB(kestrel_map_lakes)
KESTREL_MAP_BLOB(kestrel_map_rivers)
#undef KESTREL_MAP_BLOB
}

int ParseMapRecords(const uint8_t* data, size_t size, MapLayer& layer) {
  size_t at = 0;
  while (at < size) {
    if (size - at < kHeaderBytes) return 0;
    const uint8_t* h = data + at;
    const uint32_t count = ReadU32(h + 4);
    // Compared by division so that a huge count cannot overflow the product.
    if ((size - at - kHeaderBytes) / kPointBytes < count) return 0;
    MapHead head{ReadI16(h), ReadI16(h + 2), count, uint32_t(layer.points.size())};
    const uint8_t* p = h + kHeaderBytes;
    for (uint32_t k = 0; k < count; ++k, p += kPointBytes)
      layer.points.push_back({float(ReadI16(p)), float(ReadI16(p + 2))});
    layer.heads.push_back(head);
    if (count > layer.largest) layer.largest = count;
    at += kHeaderBytes + size_t(count) * kPointBytes;
  }
  return 1;
}

int FindMapResource(const char* name, const uint8_t*& data, size_t& size) {
  static const struct {
    const uint8_t* begin;
    const uint8_t* end;
  } kResources[kMapLayerCount] = {{kestrel_map_land, kestrel_map_land_end},
                                   {kestrel_map_lakes, kestrel_map_lakes_end},
                                   {kestrel_map_rivers, kestrel_map_rivers_end}};
  if (!name) return 0;
  for (int k = 0; k < kMapLayerCount; ++k)
    if (strcasecmp(name, kResourceNames[k]) == 0) {
      data = kResources[k].begin;
      size = size_t(kResources[k].end - kResources[k].begin);
      return 1;
    }
  return 0;
}

void CMapData::Acquire() {
  std::lock_guard<std::mutex> guard(g_lock);
  if (g_references++ > 0) return;
  for (int k = 0; k < kMapLayerCount; ++k) {
    g_layers[k] = MapLayer();
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (FindMapResource(kResourceNames[k], data, size)) ParseMapRecords(data, size, g_layers[k]);
  }
}

void CMapData::Release() {
  std::lock_guard<std::mutex> guard(g_lock);
  if (g_references == 0 || --g_references > 0) return;
  for (MapLayer& layer : g_layers) layer = MapLayer();
}

const MapLayer& CMapData::Layer(MapLayerId id) { return g_layers[id]; }

int CMapData::References() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_references;
}

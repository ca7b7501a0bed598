// The world map's vector layers (land outlines, lakes, rivers): the reader of their record
// format, the three layers built into the library and the process-wide copy that every map
// object shares, loaded by the first object and released by the last.
//
// Record format, little-endian, records back to back until the data ends:
//   int16 tile x    west edge of the record's 15-degree tile, arc minutes
//   int16 tile y    north edge of the tile, arc minutes (north negative)
//   uint32 n        number of points
//   n x (int16 x, int16 y)   the outline in map coordinates (arc minutes, y north negative)
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct MapHead {
  int16_t tileX, tileY;  // as stored
  uint32_t count;        // points of the record
  uint32_t first;        // index of its first point in the layer's MapCoor array
};

struct MapCoor {
  float x, y;
};

struct MapLayer {
  std::vector<MapHead> heads;
  std::vector<MapCoor> points;
  uint32_t largest = 0;  // most points in one record (sizes the drawing buffers)
};

enum MapLayerId { kMapLand, kMapLakes, kMapRivers, kMapLayerCount };

// Appends the records of data to layer. 1 when the data ends exactly after a record; 0 when a
// record header or its points run past the end: that record and anything after it are
// dropped, the records before it stay.
int ParseMapRecords(const uint8_t* data, size_t size, MapLayer& layer);

// A built-in layer by its resource name ("CoastVec", "LakeVec", "RiverVec", any case):
// 1 with data and size set, else 0.
int FindMapResource(const char* name, const uint8_t*& data, size_t& size);

// The layers shared by all map objects, counted under a lock.
class CMapData {
 public:
  // Takes a reference; the first one reads the built-in layers (a missing or damaged one is
  // left empty or as far as it could be read).
  static void Acquire();
  // Drops a reference; the last one frees the layers.
  static void Release();
  // The shared layer (empty while nobody holds a reference). Valid until the last Release.
  static const MapLayer& Layer(MapLayerId id);
  // Current number of references.
  static int References();
};

// The world map's three vector layers, built into the library from data/worldmap (made by
// data/worldmap/make_worldmap.py; see the README there). The assembler includes the files
// as they are, so the library carries the record format byte for byte.
#include <cstdint>

#ifndef KESTREL_WORLDMAP_DIR
#error "KESTREL_WORLDMAP_DIR must name the folder of the map vectors"
#endif

#define KESTREL_MAP_BLOB(sym, file)                                  \
  ".global " #sym "\n.hidden " #sym "\n.balign 4\n" #sym ":\n"       \
  ".incbin \"" KESTREL_WORLDMAP_DIR "/" file "\"\n"                  \
  ".global " #sym "_end\n.hidden " #sym "_end\n" #sym "_end:\n"

asm(".pushsection .rodata\n"
    KESTREL_MAP_BLOB(kestrel_map_land, "land.vec")
    KESTREL_MAP_BLOB(kestrel_map_lakes, "lakes.vec")
    KESTREL_MAP_BLOB(kestrel_map_rivers, "rivers.vec")
    ".popsection\n");

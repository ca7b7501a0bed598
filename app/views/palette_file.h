// The colour manipulator's palettes (".pal": 256 lines "R G B", entry 0 first) and what
// applying one does to a saved picture: its gray copy takes the palette and replaces the file,
// and the preview beside a FAX picture (".BMM") is made again with the same colours.
#pragma once
#include <string>

#include "spl/platform/bitmap.h"

constexpr int kPaletteEntries = 256;

struct Palette {
  RGBQUAD entries[kPaletteEntries];
};

// The gray ramp (entry i is i, i, i).
Palette GrayPalette();
// Reads a palette file. Values outside 0 ... 255 are clamped. 1, or 0 with error naming the
// file and the line that is not three numbers (a file of fewer than 256 lines is refused).
int ReadPalette(const std::string& path, Palette& out, std::string& error);
// Writes one, replacing the file in one step. 1, or 0 with error set.
int WritePalette(const std::string& path, const Palette& palette, std::string& error);
// Gives the picture file at path (BMP or JPEG) the palette on its gray values and saves it
// over itself (JPEG in colour), and rewrites its FAX preview (.BMM) when there is one. 1, or 0
// with error set; either file is only ever replaced whole.
int ApplyPaletteToFile(const std::string& path, const Palette& palette, std::string& error);

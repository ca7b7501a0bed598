// Automatic slant correction of received FAX pictures. A sender's or a sound card's clock a
// little off makes every line a little longer or shorter than the decoder's; the rows then
// move across the picture by the same number of pixels each line. FaxLineDrift measures that
// from the picture itself (rows some lines apart compared at every shift: upright strokes,
// text and coast lines line up at the drift), FaxStraighten cuts the rows anew along the
// measured line length. Gray rows as the decoder gives them, top first, one byte a pixel.
#pragma once

#include <cstdint>
#include <vector>

// Pixels that a row's content moves right from one row to the next: the true line length less
// the width. 0.0 when the picture holds too little upright structure to tell, when the drift
// found is beyond a clock error (more than 1 % of the width) or under half a pixel over all rows.
double FaxLineDrift(const uint8_t* rows, int width, int height);

// The rows cut anew along lines of width + drift pixels of the stream of all rows (cubic
// interpolation); rows reaching past the stream's end go, so *height may shrink by one or two.
std::vector<uint8_t> FaxStraighten(const uint8_t* rows, int width, int* height, double drift);

// The clock error a drift means, in parts per million (positive: lines longer than nominal).
inline double FaxDriftPpm(double drift, int width) {
  return width > 0 ? drift / width * 1e6 : 0.0;
}

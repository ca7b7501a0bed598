// Element segmentation of one character: at high speeds the band-pass, the key edges and the
// detector smear the gap between two dots until the envelope hardly dips, and in noise the
// threshold runs dots together, splits dashes or joins characters over a blip in a letter gap.
// CwMarkLevels follows the tone coherently over the ticks of a character and CwSegmentMark
// decides, from those levels, which run of dots, dashes and gaps they most likely were.
#pragma once
#include <complex>
#include <vector>

// z: the mixed-down tone, one value a tick, over the character (n >= 2 ticks); bins: 1 ... n;
// reach >= 1: bins either side that give a bin its phase. Fills levels with the mean level per
// tick of each of `bins` equal stretches along the phase of its neighbours, so key-up
// stretches average near 0.
void CwMarkLevels(const std::complex<float>* z, int n, int bins, int reach,
                  std::vector<float>* levels);

// levels: as filled by CwMarkLevels; bin_units: a bin's length in units (> 0); key_down: each
// bin's key-down level in the same scale (> 0, as many as levels; it follows fading); gap_cost:
// what each gap must gain, in key-down level times units (>= 0). Chooses the runs of key-down
// (one or three units) and key-up (one unit inside a character, up to about five between
// characters) with the most key-down level above the midway point under the key-down runs, and
// fills runs with their lengths in bins, key-down first and last. 1, or 0 (runs cleared) when no
// such sequence fits the levels. lead: when given, the levels may also begin with key-up (noise
// that the threshold joined to the character's front); *lead gets its length in bins, 0 if none.
int CwSegmentMark(const std::vector<float>& levels, double bin_units,
                  const std::vector<float>& key_down, double gap_cost, std::vector<int>* runs,
                  int* lead = nullptr);

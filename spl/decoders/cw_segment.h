// Element segmentation of a word: at high speeds the band-pass, the key edges and the detector
// smear the gap between two dots until the envelope hardly dips, and in noise the threshold runs
// dots together, splits dashes, joins characters over a blip in a letter gap or splits them
// where an element sank. CwMarkLevels follows the tone coherently over the ticks of a word and
// CwSegmentMark decides, from those levels, which run of dots, dashes and gaps they most likely
// were.
#pragma once
#include <complex>
#include <vector>

// z: the mixed-down tone, one value a tick, over the character (n >= 2 ticks); bins: 1 ... n;
// reach >= 1: bins either side that give a bin its phase. Fills levels with the mean level per
// tick of each of `bins` equal stretches along the phase of its neighbours, so key-up
// stretches average near 0.
void CwMarkLevels(const std::complex<float>* z, int n, int bins, int reach,
                  std::vector<float>* levels);

// How CwSegmentMark scores the runs.
struct CwSegmentSetup {
  double bin_units = 0.0;    // a bin's length in units (> 0)
  double longest_gap = 5.0;  // units: the longest key-up run (letter gaps, word gaps inside)
  double letter_gap = 2.0;   // units: gaps from here on end a character
  double dash_units = 2.0;   // units: key-down runs longer are dashes
  // Each bin's noise variance in the levels' scale. When known (> 0) the runs are scored by
  // their likelihood, with the sender's element and gap lengths as the model; else each gap
  // costs gap_cost (key-down level times units, >= 0) so noise alone does not split an element.
  double noise = 0.0;
  double gap_cost = 0.0;
  // The levels may begin with key-up (noise that the threshold joined to the front) and end with
  // key-up (the detector's tail).
  bool lead = false, trail = false;
};

// levels: as filled by CwMarkLevels; key_down: each bin's key-down level in the same scale (> 0,
// as many as levels; it follows fading). Chooses the runs of key-down (one or three units) and
// key-up (one unit inside a character, longer between characters and words) that best explain
// the levels and spell characters of the Morse table between the gaps from letter_gap on, and
// fills runs with their lengths in bins, key-down first and last, without a leading or trailing
// key-up run. *lead (when given) gets the leading run's length in bins, 0 if none. 1, or 0 (runs
// cleared) when no such sequence fits the levels.
int CwSegmentMark(const std::vector<float>& levels, const std::vector<float>& key_down,
                  const CwSegmentSetup& setup, std::vector<int>* runs, int* lead = nullptr);

// A built-in SSTV test picture: colour bars over a gray ramp, for the demo, the tool and the
// decoder tests, so that a received picture can be judged against known colours.
#pragma once
#include <cstdint>
#include <vector>

constexpr int kSstvChartBars = 8;  // white, yellow, cyan, green, magenta, red, blue, black

// width x height pixels, rows top first, 3 bytes red, green, blue: the upper three quarters
// hold kSstvChartBars equal vertical bars, the rest a ramp from black (left) to white. 0 for
// sizes below 8 x 4 or above 32768.
int MakeSstvChart(int width, int height, std::vector<uint8_t>& rgb);
// The colour of bar i (0 ... kSstvChartBars - 1) as red, green, blue bytes.
void SstvChartBar(int i, uint8_t rgb[3]);
// The first row of the ramp.
int SstvChartRampRow(int height);

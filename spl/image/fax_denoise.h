// Noise filtering of received FAX pictures. Below about +15 dB SNR a received picture is
// limited by noise that is independent from line to line and short along a line, while charts
// and photos are smooth over several pixels. FaxNoiseLevel measures that noise from the picture
// itself, FaxDenoise smooths each pixel with its like neighbours, as strongly as that noise
// asks, keeping edges, thin strokes and text. Gray rows as the decoder gives them, top first,
// one byte a pixel (0 white ... 255 black), as in fax_slant.h.
#pragma once

#include <cstdint>
#include <vector>

// Below this noise (gray levels) a picture is clean: FaxDenoise leaves it as it is.
constexpr double kFaxCleanNoise = 2.0;

// The standard deviation of the picture's pixel noise in gray levels (0 ... about 100), from
// the second differences of its quietest quarter of blocks, so that strokes, text and coast
// lines do not count as noise. 0.0 for a picture under 3 x 3 pixels.
double FaxNoiseLevel(const uint8_t* rows, int width, int height);

// The rows filtered for noise (gray levels, as FaxNoiseLevel gives it): each pixel becomes
// the mean of the neighbours within 7 pixels x 5 lines that lie near its value, drawn back
// towards its own value where that neighbourhood holds more detail than noise; a pixel with
// hardly any like neighbour (a click) takes the median of its 3 x 3. Below kFaxCleanNoise the
// rows come back unchanged. Empty for width or height < 1.
std::vector<uint8_t> FaxDenoise(const uint8_t* rows, int width, int height, double noise);

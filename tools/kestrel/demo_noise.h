// The demo's test noise: the station's noise source added to a signal at a given SNR in 3 kHz,
// and the result written as a mono wave file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Adds uniform noise to s so that the noise in 3 kHz lies snrDb below the power of s's first
// `measured` samples (a silent tail does not count), then writes s to path at rate.
// false with the reason in why.
bool WriteWithDemoNoise(std::vector<float>& s, size_t measured, int rate, double snrDb,
                        const std::string& path, std::string& why);

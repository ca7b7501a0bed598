// Audio-mode settings taken from the station's 11025 Hz set-up to a file's own sample rate, and
// the check that a carrier tone fits that rate.
#pragma once

#include <string>

// samples (a block or filter length at 11025 Hz) scaled to rate, at least 1.
int ScaledToRate(int samples, int rate);
// 0 with the reason (for "--tone") when tone lies outside minTone ... rate / 2 - 100 Hz.
int CheckTone(long tone, long minTone, int rate, std::string& why);

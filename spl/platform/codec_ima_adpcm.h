// IMA ADPCM (tag 0x11) in WAVE blocks: per channel a 4-byte header (first sample, step
// index), then 4-bit codes, for stereo in alternating 4-byte groups of 8 codes per channel.
#pragma once
#include <cstdint>

// The customary block size: 256 bytes per channel at 11025 Hz and below, doubled per
// doubling of the rate above it.
int ImaAdpcmBlockAlign(int rate, int channels);
// Frames carried by one block of blockAlign bytes.
int ImaAdpcmFramesPerBlock(int blockAlign, int channels);

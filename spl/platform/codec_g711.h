// G.711 companding (A-law, tag 6; mu-law, tag 7) of 16-bit samples to 8-bit codes and back,
// behind the A-law and mu-law rows of the codec driver table.
#pragma once
#include <cstdint>

uint8_t LinearToALaw(int16_t sample);
int16_t ALawToLinear(uint8_t code);
uint8_t LinearToMuLaw(int16_t sample);
int16_t MuLawToLinear(uint8_t code);

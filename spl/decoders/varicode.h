// The PSK31 Varicode shared by the PSK31 decoder, the BPSK31 transmitter and the QPSK31 coder:
// one code word of '1' and '0' per character code 0 ... 255. Every word begins and ends with 1
// and holds no "00", so two 0 bits mark the end of a character.
#pragma once
#include <cstdint>

constexpr int kVaricodeSize = 256;

// Codes 0 ... 127: the PSK31 alphabet; 128 ... 255: the unused valid words in order of length,
// then of binary value.
extern const char* const kVaricode[kVaricodeSize];

// Longest code word of the table, in bits.
constexpr int kVaricodeMaxBits = 12;

// The character of a code word (its bits without the two closing 0 bits), or -1.
int VaricodeLookup(const char* word);
// The same for a word held as bits, the first code bit being the highest set bit (so "1011" is
// 0xB); -1 for words that are not in the table.
int VaricodeLookupBits(uint32_t word);

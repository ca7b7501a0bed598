// The Morse table shared by the CW decoder and the CW transmitter: International Morse code for
// letters, digits and signs, two further signs and seven procedural signals, with the packed
// element register the decoder compares against.
#pragma once
#include <cstdint>

// Element bytes of the decoder's register; the newest element sits in the lowest byte.
constexpr uint8_t kMorseDot = 'P';
constexpr uint8_t kMorseDash = 'S';
constexpr uint8_t kMorseUnused = 'x';
constexpr int kMorseRegisterElements = 8;
constexpr uint64_t kMorseEmptyRegister = 0x7878787878787878ULL;  // eight unused bytes

struct MorseEntry {
  const char* elements;  // '.' and '-', first sent first
  const char* text;      // what the decoder passes on, character by character
  bool procedural;       // procedural signals are received only, never sent
};

extern const MorseEntry kMorseTable[];
extern const int kMorseTableSize;

// The register after shifting in the elements of `elements` ('.' / '-') from the empty one;
// sequences longer than the register keep their last eight elements.
uint64_t MorsePackElements(const char* elements);
// The text of the entry whose register equals reg, or null when there is none.
const char* MorseLookup(uint64_t reg);
// The elements of the sendable character ch (upper-case letters, digits, signs), or null.
const char* MorseElementsOf(int ch);

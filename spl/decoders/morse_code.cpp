#include "spl/decoders/morse_code.h"

#include <array>
#include <cctype>
#include <cstddef>

namespace {
constexpr int kMorseTableCapacity = 64;
}  // namespace

// ITU-R M.1677 sequences, the two extra signs and the procedural signals (printed framed by
// spaces so that they stand apart in the text).
const MorseEntry kMorseTable[] = {
    {".-", "A", false},       {"-...", "B", false},     {"-.-.", "C", false},
    {"-..", "D", false},      {".", "E", false},        {"..-.", "F", false},
    {"--.", "G", false},      {"....", "H", false},     {"..", "I", false},
    {".---", "J", false},     {"-.-", "K", false},      {".-..", "L", false},
    {"--", "M", false},       {"-.", "N", false},       {"---", "O", false},
    {".--.", "P", false},     {"--.-", "Q", false},     {".-.", "R", false},
    {"...", "S", false},      {"-", "T", false},        {"..-", "U", false},
    {"...-", "V", false},     {".--", "W", false},      {"-..-", "X", false},
    {"-.--", "Y", false},     {"--..", "Z", false},     {"-----", "0", false},
    {".----", "1", false},    {"..---", "2", false},    {"...--", "3", false},
    {"....-", "4", false},    {".....", "5", false},    {"-....", "6", false},
    {"--...", "7", false},    {"---..", "8", false},    {"----.", "9", false},
    {".-.-.-", ".", false},   {"--..--", ",", false},   {"---...", ":", false},
    {"..--..", "?", false},   {".----.", "'", false},   {"-....-", "-", false},
    {"-..-.", "/", false},    {"-.--.", "(", false},    {"-.--.-", ")", false},
    {".-..-.", "\"", false},  {"-...-", "=", false},    {".-.-.", "+", false},
    {"..--.-", "_", false},   {".-..-", "^", false},
    {"-.-.-", " <KA> ", true},   {".-...", " <AS> ", true},   {"...-.", " <VE> ", true},
    {"...-.-", " <SK> ", true},  {"........", " <I> ", true}, {"-...-.-", " <BK> ", true},
    {"-.-..-..", " <CL> ", true},
};
const int kMorseTableSize = sizeof(kMorseTable) / sizeof(kMorseTable[0]);
static_assert(sizeof(kMorseTable) / sizeof(kMorseTable[0]) <= kMorseTableCapacity);

uint64_t MorsePackElements(const char* elements) {
  uint64_t reg = kMorseEmptyRegister;
  for (const char* p = elements; *p; ++p) reg = (reg << 8) | (*p == '-' ? kMorseDash : kMorseDot);
  return reg;
}

const char* MorseLookup(uint64_t reg) {
  // The registers of the table, packed once.
  static const std::array<uint64_t, kMorseTableCapacity> packed = [] {
    std::array<uint64_t, kMorseTableCapacity> r{};
    for (int i = 0; i < kMorseTableSize; ++i) r[std::size_t(i)] = MorsePackElements(kMorseTable[i].elements);
    return r;
  }();
  for (int i = 0; i < kMorseTableSize; ++i)
    if (packed[std::size_t(i)] == reg) return kMorseTable[i].text;
  return nullptr;
}

const char* MorseElementsOf(int ch) {
  if (ch < 0 || ch > 127) return nullptr;
  const char up = char(std::toupper(ch));
  for (int i = 0; i < kMorseTableSize; ++i) {
    const MorseEntry& e = kMorseTable[i];
    if (!e.procedural && e.text[0] == up && e.text[1] == '\0') return e.elements;
  }
  return nullptr;
}

#include "spl/decoders/teleprinter_codes.h"

#include <cstring>

namespace {
constexpr uint8_t X = kBaudotInvalid;
constexpr uint8_t kCr = 13, kLf = 10, kBell = 0x0E;
constexpr uint8_t kFigs = kBaudotFigs, kLtrs = kBaudotLtrs;
// The signs the Baudot and SITOR-B transmitters send from the figures shift.
constexpr const char* kSendableSigns = "'()+,-./0123456789:=?";
}  // namespace

const uint8_t kBaudotLetters[kBaudotCodes] = {
    X,   'T', kCr, 'O', ' ', 'H', 'N', 'M', kLf, 'L', 'R', 'G',   'I', 'P', 'C', 'V',
    'E', 'Z', 'D', 'B', 'S', 'Y', 'F', 'X', 'A', 'W', 'J', kFigs, 'U', 'Q', 'K', kLtrs};
const uint8_t kBaudotFigures[kBaudotCodes] = {
    X,   '5', kCr, '9', ' ',  '_', ',', '.', kLf, ')', '4', '|',   '8', '0', ':', '=',
    '3', '+', '#', '?', '\'', '6', '_', '/', '-', '2', kBell, kFigs, '7', '1', '(', kLtrs};

const SitorCode kSitorCodeTable[kSitorValidCodes] = {
    {0x0F, kCr, kCr},   {0x17, 'T', '5'},   {0x1B, kLf, kLf},
    {0x1D, ' ', ' '},   {0x1E, 'V', '='},   {0x27, 'B', '?'},
    {0x2B, '*', '*'},   {0x2D, kLtrs, kLtrs}, {0x2E, 'X', '/'},
    {0x33, kSitorCharRq, kSitorCharRq},       {0x35, 'E', '3'},
    {0x36, kFigs, kFigs}, {0x39, 'U', '7'}, {0x3A, 'Q', '1'},
    {0x3C, 'K', '('},   {0x47, 'O', '9'},   {0x4B, 'H', 0},
    {0x4D, 'N', ','},   {0x4E, 'M', '.'},   {0x53, 'L', ')'},
    {0x55, 'R', '4'},   {0x56, 'G', 0},     {0x59, 'I', '8'},
    {0x5A, 'P', '0'},   {0x5C, 'C', ':'},   {0x63, 'Z', '+'},
    {0x65, 'D', 0},     {0x66, kSitorCharBeta, kSitorCharBeta},
    {0x69, 'S', '\''},  {0x6A, 'Y', '6'},   {0x6C, 'F', 0},
    {0x71, 'A', '-'},   {0x72, 'W', '2'},   {0x74, 'J', kBell},
    {0x78, kSitorCharAlpha, kSitorCharAlpha},
};

namespace {
// Both halves of the 128-entry receive table, laid out once from the rows above.
struct SitorLookup {
  uint8_t half[2][kSitorCodes];  // [0] figures, [1] letters
};
SitorLookup BuildSitorLookup() {
  SitorLookup t{};
  for (const SitorCode& r : kSitorCodeTable) {
    t.half[0][r.code] = r.figure;
    t.half[1][r.code] = r.letter;
  }
  return t;
}
const SitorLookup kSitorLookup = BuildSitorLookup();

bool IsLetter(int ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'); }
bool IsSendableSign(int ch) { return ch > 0 && strchr(kSendableSigns, ch) != nullptr; }
int Upper(int ch) { return ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch; }

// Controls of the send tables: the character, its Baudot code and its SITOR-B code.
struct SendControl {
  int ch, baudot, sitor;
};
constexpr int kNone = -1;
constexpr SendControl kSendControls[] = {
    {1, kBaudotLtrs, kSitorLtrs}, {2, kBaudotFigs, kSitorFigs}, {3, kNone, kSitorAlpha},
    {4, kNone, kSitorRq},         {5, kNone, kSitorBeta},       {10, kBaudotLf, kSitorLf},
    {13, kBaudotCr, kSitorCr},    {' ', kBaudotSpace, kSitorSpace},
};
}  // namespace

uint8_t SitorChar(int code, int letters) {
  if (code < 0 || code >= kSitorCodes) return 0;
  return kSitorLookup.half[letters ? 1 : 0][code];
}

int BaudotSendCode(int ch) {
  for (const SendControl& c : kSendControls)
    if (c.ch == ch) return c.baudot;
  if (IsLetter(ch)) {
    for (int code = 0; code < kBaudotCodes; ++code)
      if (kBaudotLetters[code] == Upper(ch)) return code;
  } else if (IsSendableSign(ch)) {
    for (int code = 0; code < kBaudotCodes; ++code)
      if (kBaudotFigures[code] == ch) return code;
  }
  return kNone;
}

SitorSend SitorSendCode(int ch) {
  for (const SendControl& c : kSendControls)
    if (c.ch == ch) return {c.sitor, 1};
  if (IsLetter(ch)) {
    for (const SitorCode& r : kSitorCodeTable)
      if (r.letter == Upper(ch)) return {r.code, 1};
  } else if (IsSendableSign(ch)) {
    for (const SitorCode& r : kSitorCodeTable)
      if (r.figure == ch) return {r.code, 0};
  }
  return {kNone, 0};
}

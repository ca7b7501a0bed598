// Teleprinter code tables shared by the RTTY decoder, the RTTY transmitter and the SYNOP parser:
// the 5-unit ITA2 alphabet (letters and figures) and the 7-unit 4-of-7 SITOR-B code.
#pragma once
#include <cstdint>

// ITA2 codes with a meaning of their own, first received bit = weight 16.
constexpr int kBaudotNull = 0;
constexpr int kBaudotCr = 2;
constexpr int kBaudotSpace = 4;
constexpr int kBaudotLf = 8;
constexpr int kBaudotFigs = 27;
constexpr int kBaudotLtrs = 31;
constexpr int kBaudotCodes = 32;
// Table value of the code that prints nothing and counts as an error.
constexpr uint8_t kBaudotInvalid = 0xB2;

// Receive tables: the character for each 5-bit code in letters and in figures shift.
extern const uint8_t kBaudotLetters[kBaudotCodes];
extern const uint8_t kBaudotFigures[kBaudotCodes];

// SITOR-B codes (bit 6 received first) with a meaning of their own.
constexpr int kSitorCr = 0x0F;
constexpr int kSitorLf = 0x1B;
constexpr int kSitorSpace = 0x1D;
constexpr int kSitorLtrs = 0x2D;
constexpr int kSitorRq = 0x33;    // RQ signal, the phasing signal of the DX positions
constexpr int kSitorFigs = 0x36;
constexpr int kSitorBeta = 0x66;  // beta signal, idle at RX positions
constexpr int kSitorAlpha = 0x78;  // alpha signal, idle and phasing at DX positions
constexpr int kSitorCodes = 128;
// Marker values of the receive table for the three signals (no printable character).
constexpr uint8_t kSitorCharRq = 0x81;
constexpr uint8_t kSitorCharBeta = 0x82;
constexpr uint8_t kSitorCharAlpha = 0x83;

// The 35 valid 7-bit codes (exactly four 1-bits) with their letters and figures characters;
// figures 0 marks the four letters whose figures position is not valid in SITOR-B.
struct SitorCode {
  uint8_t code, letter, figure;
};
constexpr int kSitorValidCodes = 35;
extern const SitorCode kSitorCodeTable[kSitorValidCodes];
// The character of a received 7-bit code in letters (1) or figures (0) shift; 0 = not valid.
// CR, LF, LTRS (31), FIGS (27) and the three signal markers stand for their codes.
uint8_t SitorChar(int code, int letters);

// Send tables. Baudot: the 5-bit code of an ASCII character (control 1 = LTRS, 2 = FIGS), or -1.
int BaudotSendCode(int ch);
// SITOR-B: the 7-bit code and whether it belongs to the letters shift, or code -1.
struct SitorSend {
  int code;
  int letters;
};
SitorSend SitorSendCode(int ch);

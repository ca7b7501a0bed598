#include "spl/radio/receiver_table.h"

#include <algorithm>
#include <cctype>

#include "spl/radio/receiver_handlers.h"

namespace {

using H = RadioHandlers;

// Largest frequencies that fit the digit fields of the command sets, in kHz.
constexpr double kMax7DigitsTenHz = 99999.99;      // "%07d" of 10-Hz units
constexpr double kMax8DigitsTenHz = 999999.99;     // 8 BCD digits of 10-Hz units
constexpr double kMax8DigitsHz = 99999.999;        // "%08d" or 8 BCD digits of Hz
constexpr double kMax9DigitsHz = 999999.999;       // the 100-MHz digit is the last one sent
constexpr double kMaxIntHz = 2147483.647;          // a 32-bit int of Hz
constexpr double kMax4DigitMHz = 9999999.99;       // "%010.5f" of MHz keeps four whole digits
constexpr double kMaxHexSteps = 44544.0;           // six hex digits of kHz x 376.635...
constexpr double kKeyMinKHz = 30.0;                // the key-code and FU sets start at 30 kHz
constexpr double kKeyMaxKHz = 29999.0;
constexpr double kType3MaxKHz = 29999.900390625;

constexpr SerialLine kLine33600O1{33600, 8, 1, 0};
constexpr SerialLine kLine1200N2{1200, 8, 0, 2};
constexpr SerialLine kLine1200N1{1200, 8, 0, 0};
constexpr SerialLine kLine2400O1{2400, 8, 1, 0};
constexpr SerialLine kLine4800N2{4800, 8, 0, 2};
constexpr SerialLine kLine4800N1{4800, 8, 0, 0};
constexpr SerialLine kLine9600N2{9600, 8, 0, 2};
constexpr SerialLine kLine9600E7{9600, 7, 2, 0};

constexpr int kCivIcom86 = 0x56;  // type 14 always talks to this bus address

// rigctld carries any frequency as a number of Hz; the limit only keeps the text sane.
constexpr double kMaxNetworkKHz = 99999999.999;
// rigctld's own default port; its modes are the station's but ASF, which it has no name for.
constexpr char kRigctldAddress[] = "localhost:4532";
constexpr uint32_t kRigctldMask = (kCapModeMask & ~uint32_t(kModeASF)) | kCapAttenuator |
                                  kCapIFWidth | kCapVolume | kCapSquelch | kCapAGC | kCapNB;

}  // namespace

// clang-format off
const ReceiverType kReceiverTypes[] = {
  {1, "key codes with fraction", kLine33600O1, 0xFC3, kKeyMinKHz, kKeyMaxKHz, 0,
   {.setFrq = H::KeyFrqWithFraction, .setMode = H::KeyMode, .setPTT = H::SharedPTT}},
  {2, "key codes", kLine33600O1, 0x0, kKeyMinKHz, kKeyMaxKHz, 0,
   {.setFrq = H::KeyFrq, .setPTT = H::SharedPTT}},
  {3, "ASCII FU/MU", kLine1200N2, 0x1E8B, kKeyMinKHz, kType3MaxKHz, 0,
   {.setFrq = H::Type3Frq, .setMode = H::Type3Mode, .setPTT = H::SharedPTT}},
  {4, "ASCII MHz with mode letter", kLine4800N2, 0x308B, 0.0, kMax4DigitMHz, 0,
   {.setFrq = H::Type4Frq, .setMode = H::Type4Mode, .setPTT = H::SharedPTT}},
  {5, "ASCII VA/MD/BW/RQ", kLine9600N2, 0x2908B, 0.0, kMaxIntHz, 0,
   {.setFrq = H::Type5Frq, .setMode = H::Type5Mode, .setZFWidth = H::Type5Width,
    .setSquelch = H::Type5Squelch, .setPTT = H::SharedPTT}},
  {6, "binary P1 frames", kLine1200N1, 0x1108B, 0.0, kMaxHexSteps, 0,
   {.setFrq = H::Type6Frq, .setMode = H::Type6Mode, .setVolume = H::Type6Volume,
    .setPTT = H::SharedPTT}},
  {7, "5-byte BCD frames, low digits first", kLine4800N2, 0x10CF, 0.0, kMax8DigitsTenHz, 0,
   {.setFrq = H::Type7Frq, .setMode = H::Type7Mode, .setPTT = H::SharedPTT}},
  {8, "ASCII H1/F in Hz", kLine4800N2, 0x10BB, 0.0, kMax8DigitsHz, 0,
   {.onOff = H::Type8OnOff, .setFrq = H::Type8Frq, .setMode = H::Type8Mode,
    .setPTT = H::SharedPTT}},
  {9, "ASCII FA/MD with semicolons", kLine4800N2, 0x109B, 0.0, kMaxIntHz, 0,
   {.setFrq = H::Type9Frq, .setMode = H::Type9Mode, .setPTT = H::SharedPTT}},
  {10, "CI-V", kLine1200N2, 0x309B, 0.0, kMaxIntHz, 0,
   {.onOff = H::Type10OnOff, .setFrq = H::Type10Frq, .setMode = H::Type10Mode,
    .setPTT = H::SharedPTT}},
  {11, "NMEA-style sentences", kLine4800N1, 0x8B, 0.0, kMaxIntHz, 0,
   {.setFrq = H::Type11Frq, .setMode = H::Type11Mode, .setPTT = H::SharedPTT}},
  {12, "ICOM PCR1000", kLine9600N2, 0xFF08B, 0.0, kMaxIntHz, 0,
   {.onOff = H::PcrOnOff, .setFrq = H::Pcr12Frq, .setMode = H::Pcr12Mode,
    .setZFWidth = H::Pcr12Width, .setAtt = H::PcrAtt, .setAGC = H::PcrAGC, .setNB = H::PcrNB,
    .setVolume = H::PcrVolume, .setSquelch = H::PcrSquelch, .setPTT = H::SharedPTT,
    .getSMeter = H::PcrSMeter, .parse = H::Pcr12Parse, .keepAlive = H::PcrKeepAlive}},
  {13, "8-byte C2 frames", kLine2400O1, 0x8A, 0.0, kMax8DigitsHz, 0,
   {.setFrq = H::Type13Frq, .setMode = H::Type13Mode, .setPTT = H::SharedPTT}},
  {14, "CI-V at address 0x56", kLine1200N2, 0x3109B, 0.0, kMaxIntHz, kCivIcom86,
   {.setFrq = H::Type14Frq, .setMode = H::Type14Mode, .setVolume = H::Type14Volume,
    .setSquelch = H::Type14Squelch, .setPTT = H::Type14PTT}},
  {15, "ASCII 7E1, byte by byte", kLine9600E7, 0xD09B, 0.0, kMax7DigitsTenHz, 0,
   {.setFrq = H::Type15Frq, .setMode = H::Type15Mode, .setZFWidth = H::Type15Width,
    .setAtt = H::Type15Att, .setPTT = H::SharedPTT}},
  {16, "ASCII H1/F in 10 Hz", kLine1200N2, 0x10BB, 0.0, kMax8DigitsTenHz, 0,
   {.onOff = H::Type8OnOff, .setFrq = H::Type16Frq, .setMode = H::Type8Mode,
    .setPTT = H::SharedPTT}},
  {17, "ASCII T/H1/F, ten digits", kLine4800N2, 0x70BB, 0.0, kMaxIntHz, 0,
   {.onOff = H::Type17OnOff, .setFrq = H::Type17Frq, .setMode = H::Type17Mode,
    .setAtt = H::Type17Att, .setPTT = H::SharedPTT}},
  {18, "5-byte BCD frames, high digits first", kLine4800N2, 0x10CF, 0.0, kMax8DigitsTenHz, 0,
   {.onOff = H::Type18OnOff, .setFrq = H::Type18Frq, .setMode = H::Type18Mode,
    .setPTT = H::SharedPTT}},
  {19, "5-byte BCD frames, command 08", kLine4800N2, 0x10CF, 0.0, kMax8DigitsTenHz, 0,
   {.onOff = H::Type19OnOff, .setFrq = H::Type19Frq, .setMode = H::Type19Mode,
    .setPTT = H::SharedPTT}},
  {20, "5-byte BCD frames, 25-Hz steps", kLine4800N2, 0x10CF, 0.0, kMax9DigitsHz, 0,
   {.onOff = H::Type20OnOff, .setFrq = H::Type20Frq, .setMode = H::Type20Mode,
    .setPTT = H::SharedPTT}},
  // The command set of type 21 has never been described; it keeps its line settings so that
  // settings naming it stay valid, refuses every operation and offers no controls.
  {21, "(command set unknown)", kLine9600N2, 0x0, 0.0, kMaxIntHz, 0, {}},
  {22, "PCR, AM/FM/WFM only", kLine9600N2, 0xFF080, 0.0, kMaxIntHz, 0,
   {.onOff = H::PcrOnOff, .setFrq = H::Pcr22Frq, .setMode = H::Pcr22Mode,
    .setZFWidth = H::Pcr22Width, .setAtt = H::PcrAtt, .setAGC = H::PcrAGC, .setNB = H::PcrNB,
    .setVolume = H::PcrVolume, .setSquelch = H::PcrSquelch, .setPTT = H::SharedPTT,
    .getSMeter = H::PcrSMeter, .parse = H::Pcr22Parse, .keepAlive = H::PcrKeepAlive}},
  {23, "5-byte BCD frames, as type 7", kLine4800N2, 0x10CF, 0.0, kMax8DigitsTenHz, 0,
   {.setFrq = H::Type7Frq, .setMode = H::Type7Mode, .setPTT = H::SharedPTT}},
  {24, "rigctld (hamlib) over TCP", kUnknownTypeLine, kRigctldMask, 0.0, kMaxNetworkKHz, 0,
   {.setFrq = H::RigctldFrq, .setMode = H::RigctldMode, .setZFWidth = H::RigctldWidth,
    .setAtt = H::RigctldAtt, .setAGC = H::RigctldAGC, .setNB = H::RigctldNB,
    .setVolume = H::RigctldVolume, .setSquelch = H::RigctldSquelch,
    .getSMeter = H::RigctldSMeter, .parse = H::RigctldParse},
   kRigctldAddress},
};
// clang-format on
const int kReceiverTypeCount = sizeof(kReceiverTypes) / sizeof(kReceiverTypes[0]);

const ReceiverType* FindReceiverType(int type) {
  for (int i = 0; i < kReceiverTypeCount; ++i)
    if (kReceiverTypes[i].type == type) return &kReceiverTypes[i];
  return nullptr;
}

std::string ModeName(int mode) {
  for (int i = 0; i < kModeCount; ++i) {
    if (mode == (1 << i)) {
      std::string name(kModeNames + 4 * i, std::min<size_t>(4, sizeof kModeNames - 1 - 4 * i));
      while (!name.empty() && name.back() == ' ') name.pop_back();
      return name;
    }
  }
  return "";
}

int TuningMode(uint32_t mask, int mode) {
  const uint32_t modes = mask & kCapModeMask;
  if (!modes) return mode;
  if (mode > 0 && (uint32_t(mode) & (uint32_t(mode) - 1)) == 0 && (modes & uint32_t(mode)))
    return mode;
  return int(modes & (~modes + 1));  // the lowest bit set
}

int ModeFromName(const std::string& name) {
  std::string upper;
  for (char c : name) upper += char(toupper(static_cast<unsigned char>(c)));
  for (int i = 0; i < kModeCount; ++i)
    if (!upper.empty() && ModeName(1 << i) == upper) return 1 << i;
  return 0;
}

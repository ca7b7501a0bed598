// The receiver types that CRadio can drive, one constant row each: line settings (or, for a
// receiver reached over the network, its default address), the capability mask, the
// frequency range the command set can carry and the handler of every operation. The
// receive-mode bits and the capability bits are defined here as well.
#pragma once
#include <cstdint>
#include <string>

#include "spl/platform/serial_port.h"

class CRadio;

// Receive modes: bit i is the i-th four-character entry of kModeNames.
constexpr int kModeLSB = 0x1;
constexpr int kModeUSB = 0x2;
constexpr int kModeCWN = 0x4;  // narrow CW
constexpr int kModeCW = 0x8;
constexpr int kModeRTTY = 0x10;
constexpr int kModeFAX = 0x20;
constexpr int kModeAMN = 0x40;  // narrow AM
constexpr int kModeAM = 0x80;
constexpr int kModeASD = 0x100;
constexpr int kModeASF = 0x200;
constexpr int kModeASL = 0x400;
constexpr int kModeASU = 0x800;
constexpr int kModeFM = 0x1000;
constexpr int kModeWFM = 0x2000;
constexpr int kModeCount = 14;
constexpr char kModeNames[] = "LSB USB CWN CW  RTTYFAX AMN AM  ASD ASF ASL ASU FM  WFM";

// Capability bits above the mode bits.
constexpr uint32_t kCapAttenuator = 0x4000;
constexpr uint32_t kCapIFWidth = 0x8000;
constexpr uint32_t kCapVolume = 0x10000;   // the receiver sets its own volume
constexpr uint32_t kCapSquelch = 0x20000;  // the receiver has its own squelch
constexpr uint32_t kCapAGC = 0x40000;
constexpr uint32_t kCapNB = 0x80000;
constexpr uint32_t kCapModeMask = 0x3FFF;

// "USB" for kModeUSB and so on; "" for a value that is not one mode bit.
std::string ModeName(int mode);
// The mode bit of a name (any case, "CW" or "cw"); 0 when unknown.
int ModeFromName(const std::string& name);

// The operation table: a null entry means the receiver type lacks the operation. Setters
// return 1 when the command went to the port and 0 when the value was refused.
struct RadioOps {
  int (*onOff)(CRadio&, int on) = nullptr;
  int (*setFrq)(CRadio&, double kHz) = nullptr;  // kHz already checked against the row's range
  int (*setMode)(CRadio&, int mode) = nullptr;
  int (*setZFWidth)(CRadio&, int kHz) = nullptr;
  int (*setAtt)(CRadio&, int on) = nullptr;
  int (*setAGC)(CRadio&, int on) = nullptr;
  int (*setNB)(CRadio&, int on) = nullptr;
  int (*setVolume)(CRadio&, int level) = nullptr;   // level 0..255, checked before the call
  int (*setSquelch)(CRadio&, int level) = nullptr;  // level 0..255, checked before the call
  int (*setPTT)(CRadio&, int on) = nullptr;
  int (*getSMeter)(CRadio&) = nullptr;
  void (*parse)(CRadio&, int c) = nullptr;  // one received character
  void (*keepAlive)(CRadio&) = nullptr;     // run every keep-alive period
};

struct ReceiverType {
  int type;            // 1..24
  const char* name;    // what the command set is, for listings
  SerialLine line;     // line settings at connection (serial receivers)
  uint32_t mask;       // CapabilityMask
  double minKHz;       // frequencies the command set can carry (inclusive)
  double maxKHz;
  int civAddress;      // CI-V receiver address forced by the type; 0 = keep the configured one
  RadioOps ops;
  // Non-null: the receiver is reached over TCP, its port named "host:port", and this is the
  // address used when none is given.
  const char* defaultAddress = nullptr;
};

extern const ReceiverType kReceiverTypes[];
extern const int kReceiverTypeCount;
constexpr int kReceiverTypeFirst = 1;
constexpr int kReceiverTypeLast = 24;
// Line settings of a type outside the table.
constexpr SerialLine kUnknownTypeLine{9600, 8, 0, 0};

// The row of a type, or null outside 1..24.
const ReceiverType* FindReceiverType(int type);

// The mode a type tunes in when mode is wanted: mode itself when it is one mode bit that the
// type's mask offers, else the type's first mode (its lowest mode bit); mode unchanged for a
// type offering no modes (it tunes without them).
int TuningMode(uint32_t mask, int mode);

// The modes of "kestrel decode MODE" and "kestrel transmit MODE": one table row per mode,
// found by name; each mode parses its own options.
#pragma once

struct ModeCommand {
  const char* name;     // word after "decode" or "transmit"
  const char* summary;  // one line for "kestrel decode --help"
  int (*run)(int argc, char** argv);  // argv[0] is the mode name; returns the exit status
};

// The tables live in mode_table.cpp; a new decoder or transmitter adds one row there.
extern const ModeCommand kDecodeModes[];
extern const int kDecodeModeCount;
extern const ModeCommand kTransmitModes[];
extern const int kTransmitModeCount;

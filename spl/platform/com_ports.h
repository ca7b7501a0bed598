// The receiver's "COM%d" port numbers and the device paths they stand for. One process-wide
// table, changeable by the user; by default COM1-COM4 are the built-in serial ports
// /dev/ttyS0-/dev/ttyS3 and COM5-COM8 the USB serial adapters /dev/ttyUSB0-/dev/ttyUSB3.
// A device path given where a port is named gets a number of its own (from 100 up).
#pragma once
#include <string>

constexpr int kComPortMax = 255;        // highest port number the table holds
constexpr int kComPortFirstPath = 100;  // numbers handed out to paths named directly

// The device path of COMport, "" when the number is not mapped.
std::string ComPortDevice(int port);
// Maps COMport (1..kComPortMax) to a device path; an empty path removes the entry. 1 or 0.
int SetComPortDevice(int port, const std::string& device);
// Puts back the default table.
void ResetComPortDevices();
// "COM3" (any case) → 3; a path ("/dev/ttyUSB0", anything with a '/') → the number it is
// mapped to, adding it when new; 0 for anything else or when the table is full.
int ComPortFromName(const std::string& name);

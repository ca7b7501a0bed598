// The platform's mixer layer: a sound card mixer seen as destination lines, each with its
// controls and its source lines with theirs, and control values read and written per channel
// and item. CMixer is written against this interface; the ALSA implementation is
// alsa_mixer_device.h.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "spl/platform/message_queue.h"
#include "spl/platform/win_types.h"

// Change notifications posted to the mixer's window (wParam 0, lParam the control or line id).
constexpr UINT MM_MIXM_LINE_CHANGE = 0x3D0;
constexpr UINT MM_MIXM_CONTROL_CHANGE = 0x3D1;

// Control types of the map of mixer states, and the line component types.
constexpr DWORD MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
constexpr DWORD MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
constexpr DWORD MIXERCONTROL_CONTROLTYPE_BASS = 0x50030002;
constexpr DWORD MIXERCONTROL_CONTROLTYPE_TREBLE = 0x50030003;
constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = 4;
constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_WAVEIN = 7;
constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_ANALOG = 0x100A;

struct MixerLine {
  DWORD id = 0;
  DWORD componentType = 0;
  int channels = 1;
  int connections = 0;  // sources of a destination
  int controls = 0;
  std::string shortName;
  std::string name;
};

// What identifies a card to a saved mixer configuration. ALSA has no maker or product numbers,
// so: mid is the card's index, pid a 16-bit checksum (CRC-16/CCITT) of the card's driver name,
// driverVersion the kernel's sound driver version as 0x00MMmmpp (0 when unknown), name the
// card's name (at most 31 bytes), support 0, destinations the number of destination lines.
struct MixerCaps {
  uint16_t mid = 0;
  uint16_t pid = 0;
  uint32_t driverVersion = 0;
  std::string name;
  uint32_t support = 0;
  uint32_t destinations = 0;
};
constexpr size_t kMixerCapsNameSize = 32;  // bytes of the name field, its zero included

struct MixerControl {
  DWORD id = 0;
  DWORD type = 0;
  DWORD flags = 0;
  int items = 0;  // 0: a single value
  std::string shortName;
  std::string name;
  long minimum = 0;
  long maximum = 0;
};

class CMixerDevice {
 public:
  virtual ~CMixerDevice() = default;
  // Opens the mixer of the card that carries the named capture device (an ALSA name);
  // changes are posted to notify (may be 0). 1, or 0 with Error() set.
  virtual int Open(const std::string& captureDevice, HWND notify) = 0;
  virtual void Close() = 0;
  virtual std::string ProductName() const = 0;
  virtual MixerCaps Caps() const = 0;
  virtual int Destinations() const = 0;
  virtual int GetDestination(int index, MixerLine& line) const = 0;
  virtual int GetSource(int destination, int index, MixerLine& line) const = 0;
  virtual int GetLineControls(DWORD lineId, std::vector<MixerControl>& controls) const = 0;
  // values: channels x max(items, 1) values, channel by channel. 1 or 0.
  virtual int GetControlDetails(const MixerControl& control, int channels,
                                std::vector<long>& values) const = 0;
  virtual int SetControlDetails(const MixerControl& control, int channels,
                                const std::vector<long>& values) = 0;
  virtual const std::string& Error() const = 0;
};

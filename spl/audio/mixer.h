// CMixer: the sound card mixer of the capture device: its destinations, sources and controls,
// and a snapshot of every volume, bass, treble and mute value as a map of text keys
// ("destination:source:control:" or "destination:control:") to "%d" values, which can be put
// back later.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "spl/platform/mixer_device.h"

using CMixerState = std::map<std::string, std::string>;

class CMixer {
 public:
  CMixer();
  CMixer(const CMixer&) = delete;
  CMixer& operator=(const CMixer&) = delete;
  virtual ~CMixer();

  // Opens the mixer of the card behind the named capture device (ALSA; "sim": the model card
  // held in memory), learns its lines and controls; changes are posted to notify. 1, or 0
  // with the mixer closed and no lines.
  int Init(const std::string& captureDevice, HWND notify);
  // The same on a given mixer layer (owned by the mixer from here on).
  int Init(std::unique_ptr<CMixerDevice> device, const std::string& captureDevice, HWND notify);

  // First channel's value, -1 on failure.
  int GetControlValueU(const MixerLine& line, const MixerControl& control);
  // The value of one item (of a multiple-item control; item 0 otherwise), -1 outside or on failure.
  int GetControlValueB(const MixerLine& line, const MixerControl& control, int item);
  // Every channel set to value. 1 or 0.
  int SetControlValueU(const MixerLine& line, const MixerControl& control, int value);
  int SetControlValueB(const MixerLine& line, const MixerControl& control, int item, int value);

  // Every readable mute, volume, bass and treble value (an empty map without a mixer).
  CMixerState GetMixerState();
  // Sets every control whose key is in the map (atoi of the value); other keys are ignored.
  void SetMixerState(const CMixerState& state);

  const std::string& ProductName() const { return product_; }
  // The card's identification (all zero while closed).
  MixerCaps Caps() const;
  const std::string& Error() const { return error_; }
  int IsOpen() const { return device_ ? 1 : 0; }

  // The lines and controls as learnt by Init: each destination with its own controls and its
  // sources with theirs.
  struct Source {
    MixerLine line;
    std::vector<MixerControl> controls;
  };
  struct Destination {
    MixerLine line;
    std::vector<MixerControl> controls;
    std::vector<Source> sources;
  };
  const std::vector<Destination>& Destinations() const { return destinations_; }
  // The line and control with these identifiers: 1 with both set, else 0.
  int FindControl(DWORD lineId, DWORD controlId, MixerLine& line, MixerControl& control) const;

 private:
  void Exit();
  // Calls visit(key, line, control) for every control of the map's four types, in the walk order.
  template <typename Visit>
  void Walk(Visit visit);

  std::vector<Destination> destinations_;
  std::unique_ptr<CMixerDevice> device_;
  std::string product_;
  std::string error_;
};

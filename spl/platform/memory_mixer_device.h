// CMemoryMixerDevice: a sound card mixer held in memory, for machines without a sound card
// (the simulated station, the tool's "sim" device) and for tests: lines with their controls
// and a value list per control. ModelCard() builds a typical card: speakers with volume, mute,
// bass and treble over wave and line sources, and a recording destination with an input
// selector over line, microphone and CD.
#pragma once
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "spl/platform/mixer_device.h"

// The mixer device name that selects the model card.
constexpr const char* kMemoryMixerName = "sim";

class CMemoryMixerDevice : public CMixerDevice {
 public:
  struct Line {
    MixerLine info;
    std::vector<MixerControl> controls;
    std::vector<Line> sources;
  };

  static std::unique_ptr<CMemoryMixerDevice> ModelCard();

  int Open(const std::string&, HWND) override { return 1; }
  void Close() override {}
  std::string ProductName() const override { return caps.name; }
  MixerCaps Caps() const override;
  int Destinations() const override { return int(lines.size()); }
  int GetDestination(int index, MixerLine& line) const override;
  int GetSource(int destination, int index, MixerLine& line) const override;
  int GetLineControls(DWORD lineId, std::vector<MixerControl>& controls) const override;
  int GetControlDetails(const MixerControl& control, int channels, std::vector<long>& values) const override;
  int SetControlDetails(const MixerControl& control, int channels, const std::vector<long>& values) override;
  const std::string& Error() const override { return error_; }

  MixerCaps caps;                             // name and numbers (destinations are counted)
  std::vector<Line> lines;                    // the destinations
  std::map<DWORD, std::vector<long>> values;  // control id -> channel or item values
  std::vector<DWORD> refuseReads;             // controls whose reads fail
  int writes = 0;

 private:
  std::string error_;
};

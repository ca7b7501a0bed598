#include "spl/audio/mixer.h"

#include <cstdlib>

#include "spl/platform/alsa_mixer_device.h"
#include "spl/platform/memory_mixer_device.h"

namespace {
constexpr DWORD kStateTypes[] = {MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLTYPE_VOLUME,
                                 MIXERCONTROL_CONTROLTYPE_BASS, MIXERCONTROL_CONTROLTYPE_TREBLE};

bool InState(const MixerControl& c) {
  for (DWORD t : kStateTypes)
    if (c.type == t) return true;
  return false;
}
}  // namespace

CMixer::CMixer() = default;

CMixer::~CMixer() { Exit(); }

void CMixer::Exit() {
  if (device_) device_->Close();
  device_.reset();
  destinations_.clear();
}

int CMixer::Init(const std::string& captureDevice, HWND notify) {
  if (captureDevice == kMemoryMixerName) return Init(CMemoryMixerDevice::ModelCard(), captureDevice, notify);
  return Init(std::make_unique<CAlsaMixerDevice>(), captureDevice, notify);
}

int CMixer::Init(std::unique_ptr<CMixerDevice> device, const std::string& captureDevice,
                 HWND notify) {
  Exit();
  error_.clear();
  if (!device) return 0;
  if (!device->Open(captureDevice, notify)) {
    error_ = device->Error();
    return 0;
  }
  device_ = std::move(device);
  product_ = device_->ProductName();
  for (int d = 0; d < device_->Destinations(); ++d) {
    Destination dest;
    if (!device_->GetDestination(d, dest.line) ||
        !device_->GetLineControls(dest.line.id, dest.controls)) {
      error_ = "cannot read destination " + std::to_string(d);
      Exit();
      return 0;
    }
    for (int s = 0; s < dest.line.connections; ++s) {
      Source src;
      if (!device_->GetSource(d, s, src.line) || !device_->GetLineControls(src.line.id, src.controls)) {
        error_ = "cannot read source " + std::to_string(s) + " of " + dest.line.name;
        Exit();
        return 0;
      }
      dest.sources.push_back(std::move(src));
    }
    destinations_.push_back(std::move(dest));
  }
  return 1;
}

int CMixer::GetControlValueU(const MixerLine& line, const MixerControl& control) {
  std::vector<long> values;
  if (!device_ || !device_->GetControlDetails(control, line.channels, values) || values.empty())
    return -1;
  return int(values[0]);
}

// Boolean controls are read and written as one list of values, one per item (one value when
// the control has no items).
int CMixer::GetControlValueB(const MixerLine&, const MixerControl& control, int item) {
  const int items = control.items > 0 ? control.items : 1;
  std::vector<long> values;
  if (!device_ || item < 0 || item >= items || !device_->GetControlDetails(control, items, values) ||
      size_t(item) >= values.size())
    return -1;
  return int(values[size_t(item)]);
}

int CMixer::SetControlValueU(const MixerLine& line, const MixerControl& control, int value) {
  if (!device_) return 0;
  return device_->SetControlDetails(control, line.channels,
                                    std::vector<long>(size_t(line.channels > 0 ? line.channels : 1), value));
}

int CMixer::SetControlValueB(const MixerLine&, const MixerControl& control, int item, int value) {
  const int items = control.items > 0 ? control.items : 1;
  std::vector<long> values;
  if (!device_ || item < 0 || item >= items || !device_->GetControlDetails(control, items, values) ||
      size_t(item) >= values.size())
    return 0;
  values[size_t(item)] = value;
  return device_->SetControlDetails(control, items, values);
}

MixerCaps CMixer::Caps() const { return device_ ? device_->Caps() : MixerCaps(); }

int CMixer::FindControl(DWORD lineId, DWORD controlId, MixerLine& line, MixerControl& control) const {
  auto find = [&](const MixerLine& l, const std::vector<MixerControl>& controls) {
    if (l.id != lineId) return false;
    for (const MixerControl& c : controls)
      if (c.id == controlId) return line = l, control = c, true;
    return false;
  };
  for (const Destination& d : destinations_) {
    if (find(d.line, d.controls)) return 1;
    for (const Source& s : d.sources)
      if (find(s.line, s.controls)) return 1;
  }
  return 0;
}

template <typename Visit>
void CMixer::Walk(Visit visit) {
  for (const Destination& d : destinations_) {
    for (const MixerControl& c : d.controls)
      if (InState(c)) visit(d.line.name + ":" + c.name + ":", d.line, c);
    for (const Source& s : d.sources)
      for (const MixerControl& c : s.controls)
        if (InState(c)) visit(d.line.name + ":" + s.line.name + ":" + c.name + ":", s.line, c);
  }
}

CMixerState CMixer::GetMixerState() {
  CMixerState state;
  Walk([&](const std::string& key, const MixerLine& line, const MixerControl& c) {
    const int v = c.type == MIXERCONTROL_CONTROLTYPE_MUTE ? GetControlValueB(line, c, 0)
                                                          : GetControlValueU(line, c);
    if (v != -1) state[key] = std::to_string(v);
  });
  return state;
}

void CMixer::SetMixerState(const CMixerState& state) {
  Walk([&](const std::string& key, const MixerLine& line, const MixerControl& c) {
    const auto it = state.find(key);
    if (it == state.end()) return;
    const int v = atoi(it->second.c_str());
    if (c.type == MIXERCONTROL_CONTROLTYPE_MUTE)
      SetControlValueB(line, c, 0, v);
    else
      SetControlValueU(line, c, v);
  });
}

#include "spl/platform/memory_mixer_device.h"

namespace {

constexpr DWORD kControlTypeMux = 0x70010001;  // a multiple-item input selector
constexpr DWORD kComponentSrcWave = 0x1008;
constexpr DWORD kComponentSrcLine = 0x1002;
constexpr DWORD kComponentSrcMic = 0x1003;
constexpr DWORD kComponentSrcCd = 0x1005;
constexpr long kFullScale = 65535;

MixerControl Control(DWORD id, DWORD type, const char* name, int items = 0) {
  MixerControl c;
  c.id = id;
  c.type = type;
  c.name = c.shortName = name;
  c.items = items;
  c.maximum = type == MIXERCONTROL_CONTROLTYPE_MUTE || items ? 1 : kFullScale;
  return c;
}

CMemoryMixerDevice::Line MakeLine(DWORD id, DWORD component, const char* name, std::vector<MixerControl> controls) {
  CMemoryMixerDevice::Line l;
  l.info.id = id;
  l.info.componentType = component;
  l.info.channels = 2;
  l.info.name = l.info.shortName = name;
  l.info.controls = int(controls.size());
  l.controls = std::move(controls);
  return l;
}

}  // namespace

std::unique_ptr<CMemoryMixerDevice> CMemoryMixerDevice::ModelCard() {
  auto card = std::make_unique<CMemoryMixerDevice>();
  card->caps.name = "Sound Card 1";
  card->caps.mid = 0;
  card->caps.pid = 0x0001;
  card->caps.driverVersion = 0x00060100;
  Line speakers = MakeLine(1, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, "Speakers",
                           {Control(100, MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume"),
                            Control(101, MIXERCONTROL_CONTROLTYPE_MUTE, "Mute"),
                            Control(102, MIXERCONTROL_CONTROLTYPE_BASS, "Bass"),
                            Control(103, MIXERCONTROL_CONTROLTYPE_TREBLE, "Treble")});
  speakers.sources = {MakeLine(2, kComponentSrcWave, "Wave",
                               {Control(110, MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume"),
                                Control(111, MIXERCONTROL_CONTROLTYPE_MUTE, "Mute")}),
                      MakeLine(3, kComponentSrcLine, "Line In",
                               {Control(120, MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume"),
                                Control(121, MIXERCONTROL_CONTROLTYPE_MUTE, "Mute")})};
  Line recording = MakeLine(4, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, "Recording Control",
                            {Control(200, MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume"),
                             Control(201, kControlTypeMux, "Input Source", 3)});
  recording.sources = {MakeLine(5, kComponentSrcLine, "Line In",
                                {Control(210, MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume"),
                                 Control(211, MIXERCONTROL_CONTROLTYPE_MUTE, "Mute")}),
                       MakeLine(6, kComponentSrcMic, "Microphone",
                                {Control(220, MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume"),
                                 Control(221, MIXERCONTROL_CONTROLTYPE_MUTE, "Mute")}),
                       MakeLine(7, kComponentSrcCd, "CD Audio",
                                {Control(230, MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume")})};
  for (Line* d : {&speakers, &recording}) d->info.connections = int(d->sources.size());
  card->lines = {speakers, recording};
  card->values = {{100, {40000, 40000}}, {101, {0}},        {102, {32768, 32768}}, {103, {32768, 32768}},
                  {110, {50000, 50000}}, {111, {0}},        {120, {30000, 30000}}, {121, {1}},
                  {200, {45000, 45000}}, {201, {1, 0, 0}},  {210, {40000, 40000}}, {211, {0}},
                  {220, {20000, 20000}}, {221, {1}},        {230, {10000, 10000}}};
  return card;
}

MixerCaps CMemoryMixerDevice::Caps() const {
  MixerCaps c = caps;
  c.destinations = uint32_t(lines.size());
  return c;
}

int CMemoryMixerDevice::GetDestination(int index, MixerLine& line) const {
  if (index < 0 || size_t(index) >= lines.size()) return 0;
  line = lines[size_t(index)].info;
  return 1;
}

int CMemoryMixerDevice::GetSource(int destination, int index, MixerLine& line) const {
  if (destination < 0 || size_t(destination) >= lines.size()) return 0;
  const std::vector<Line>& sources = lines[size_t(destination)].sources;
  if (index < 0 || size_t(index) >= sources.size()) return 0;
  line = sources[size_t(index)].info;
  return 1;
}

int CMemoryMixerDevice::GetLineControls(DWORD lineId, std::vector<MixerControl>& controls) const {
  for (const Line& d : lines) {
    if (d.info.id == lineId) return controls = d.controls, 1;
    for (const Line& s : d.sources)
      if (s.info.id == lineId) return controls = s.controls, 1;
  }
  return 0;
}

int CMemoryMixerDevice::GetControlDetails(const MixerControl& control, int channels,
                                          std::vector<long>& out) const {
  for (DWORD id : refuseReads)
    if (id == control.id) return 0;
  auto it = values.find(control.id);
  if (it == values.end()) return 0;
  out = it->second;
  const size_t want = size_t(control.items > 0 ? control.items : channels);
  out.resize(want, out.empty() ? 0 : out[0]);
  return 1;
}

int CMemoryMixerDevice::SetControlDetails(const MixerControl& control, int channels,
                                          const std::vector<long>& in) {
  const size_t n = std::min(in.size(), size_t(control.items > 0 ? control.items : channels));
  values[control.id] = std::vector<long>(in.begin(), in.begin() + long(n));
  ++writes;
  return 1;
}

#include "spl/platform/alsa_mixer_device.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "spl/platform/alsa_device.h"
#include "spl/platform/wake_event.h"
#include "spl/platform/window.h"

namespace {

constexpr const char* kPlaybackName = "Playback";
constexpr const char* kRecordingName = "Recording Control";
constexpr const char* kMasterElement = "Master";
constexpr const char* kCaptureElement = "Capture";
constexpr int kPollSliceMs = 200;

enum class Kind { kPlaybackVolume, kPlaybackSwitch, kCaptureVolume, kCaptureSwitch };

struct Ctl {
  MixerControl info;
  snd_mixer_elem_t* elem = nullptr;
  Kind kind = Kind::kPlaybackVolume;
};

struct Line {
  MixerLine info;
  std::vector<Ctl> controls;
  std::vector<Line> sources;
};

std::string ElementName(snd_mixer_elem_t* e) {
  std::string name = snd_mixer_selem_get_name(e);
  const unsigned index = snd_mixer_selem_get_index(e);
  return index ? name + " " + std::to_string(index) : name;
}

bool IsTone(const std::string& name, const char* which) {
  return name.find("Tone") != std::string::npos && name.find(which) != std::string::npos;
}

constexpr const char* kDriverVersionFile = "/proc/asound/version";

// CRC-16/CCITT (polynomial 0x1021, start 0xFFFF): a stable 16-bit stand-in for a product number.
uint16_t Crc16(const std::string& text) {
  uint16_t crc = 0xFFFF;
  for (unsigned char c : text) {
    crc ^= uint16_t(c << 8);
    for (int bit = 0; bit < 8; ++bit) crc = uint16_t(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

// "Advanced Linux Sound Architecture Driver Version k6.1.0." -> 0x00060100.
uint32_t KernelDriverVersion() {
  std::FILE* f = std::fopen(kDriverVersionFile, "r");
  if (!f) return 0;
  char line[160] = {};
  const bool read = std::fgets(line, sizeof line, f) != nullptr;
  std::fclose(f);
  const char* v = read ? std::strstr(line, "Version ") : nullptr;
  if (!v) return 0;
  v += std::strlen("Version ");
  while (*v && (*v < '0' || *v > '9')) ++v;
  unsigned major = 0, minor = 0, patch = 0;
  if (std::sscanf(v, "%u.%u.%u", &major, &minor, &patch) < 2) return 0;
  return (major & 0xFF) << 16 | (minor & 0xFF) << 8 | (patch & 0xFF);
}

}  // namespace

struct CAlsaMixerDevice::Impl {
  snd_mixer_t* mixer = nullptr;
  std::string card;
  std::vector<Line> destinations;
  mutable std::mutex lock;  // the mixer handle is shared with the notification thread
  std::thread watcher;
  CWakeEvent stop;
  HWND notify = 0;

  void AddControl(Line& line, snd_mixer_elem_t* e, Kind kind, DWORD type, const char* name) {
    Ctl c;
    c.elem = e;
    c.kind = kind;
    c.info.type = type;
    c.info.name = c.info.shortName = name;
    c.info.id = (line.info.id << 4) | DWORD(line.controls.size());
    if (kind == Kind::kPlaybackVolume) snd_mixer_selem_get_playback_volume_range(e, &c.info.minimum, &c.info.maximum);
    if (kind == Kind::kCaptureVolume) snd_mixer_selem_get_capture_volume_range(e, &c.info.minimum, &c.info.maximum);
    if (kind == Kind::kPlaybackSwitch || kind == Kind::kCaptureSwitch) c.info.maximum = 1;
    line.controls.push_back(c);
    line.info.controls = int(line.controls.size());
  }

  // The element's Volume and Mute for one direction.
  void AddElement(Line& line, snd_mixer_elem_t* e, bool playback) {
    const bool mono = playback ? snd_mixer_selem_is_playback_mono(e) : snd_mixer_selem_is_capture_mono(e);
    line.info.channels = mono ? 1 : 2;
    if (playback ? snd_mixer_selem_has_playback_volume(e) : snd_mixer_selem_has_capture_volume(e))
      AddControl(line, e, playback ? Kind::kPlaybackVolume : Kind::kCaptureVolume,
                 MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume");
    if (playback ? snd_mixer_selem_has_playback_switch(e) : snd_mixer_selem_has_capture_switch(e))
      AddControl(line, e, playback ? Kind::kPlaybackSwitch : Kind::kCaptureSwitch,
                 MIXERCONTROL_CONTROLTYPE_MUTE, "Mute");
  }

  void Build() {
    destinations.assign(2, Line{});
    Line& play = destinations[0];
    Line& rec = destinations[1];
    play.info.name = play.info.shortName = kPlaybackName;
    play.info.componentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    play.info.id = 1u << 8;
    rec.info.name = rec.info.shortName = kRecordingName;
    rec.info.componentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
    rec.info.id = 2u << 8;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e; e = snd_mixer_elem_next(e)) {
      if (!snd_mixer_selem_is_active(e)) continue;
      const std::string name = ElementName(e);
      const bool has_play = snd_mixer_selem_has_playback_volume(e) || snd_mixer_selem_has_playback_switch(e);
      const bool has_cap = snd_mixer_selem_has_capture_volume(e) || snd_mixer_selem_has_capture_switch(e);
      if (name == kMasterElement && has_play) {
        AddElement(play, e, true);
      } else if (IsTone(name, "Bass") && snd_mixer_selem_has_playback_volume(e)) {
        AddControl(play, e, Kind::kPlaybackVolume, MIXERCONTROL_CONTROLTYPE_BASS, "Bass");
      } else if (IsTone(name, "Treble") && snd_mixer_selem_has_playback_volume(e)) {
        AddControl(play, e, Kind::kPlaybackVolume, MIXERCONTROL_CONTROLTYPE_TREBLE, "Treble");
      } else if (has_play && name != kCaptureElement) {
        AddSource(play, e, name, true);
      }
      if (name == kCaptureElement && has_cap)
        AddElement(rec, e, false);
      else if (has_cap)
        AddSource(rec, e, name, false);
    }
  }

  void AddSource(Line& dest, snd_mixer_elem_t* e, const std::string& name, bool playback) {
    Line s;
    s.info.name = s.info.shortName = name;
    s.info.componentType = MIXERLINE_COMPONENTTYPE_SRC_ANALOG;
    s.info.id = dest.info.id | DWORD(dest.sources.size() + 1);
    AddElement(s, e, playback);
    dest.sources.push_back(s);
    dest.info.connections = int(dest.sources.size());
  }

  const Line* FindLine(DWORD id) const {
    for (const Line& d : destinations) {
      if (d.info.id == id) return &d;
      for (const Line& s : d.sources)
        if (s.info.id == id) return &s;
    }
    return nullptr;
  }

  const Ctl* FindControl(DWORD id) const {
    const Line* line = FindLine(id >> 4);
    if (!line || (id & 15) >= line->controls.size()) return nullptr;
    return &line->controls[id & 15];
  }

  void Watch() {
    const int n = snd_mixer_poll_descriptors_count(mixer);
    std::vector<pollfd> fds(size_t(n > 0 ? n : 0) + 1);
    fds[0] = {stop.Fd(), POLLIN, 0};
    {
      std::lock_guard<std::mutex> g(lock);
      if (n > 0) snd_mixer_poll_descriptors(mixer, fds.data() + 1, unsigned(n));
    }
    for (;;) {
      if (poll(fds.data(), nfds_t(fds.size()), kPollSliceMs) < 0 && errno != EINTR) return;
      if (fds[0].revents) return;
      bool changed = false;
      for (size_t i = 1; i < fds.size(); ++i) changed |= fds[i].revents != 0;
      if (!changed) continue;
      {
        std::lock_guard<std::mutex> g(lock);
        unsigned short revents = 0;
        snd_mixer_poll_descriptors_revents(mixer, fds.data() + 1, unsigned(n), &revents);
        snd_mixer_handle_events(mixer);
      }
      if (notify) PostMessage(notify, MM_MIXM_CONTROL_CHANGE, 0, 0);
    }
  }
};

CAlsaMixerDevice::CAlsaMixerDevice() : impl_(new Impl) {}

CAlsaMixerDevice::~CAlsaMixerDevice() { Close(); }

std::string CAlsaMixerDevice::CardOf(const std::string& device) {
  std::string name = device;
  for (const char* prefix : {"plughw:", "hw:", "sysdefault:", "front:", "dsnoop:"}) {
    const size_t len = strlen(prefix);
    if (name.compare(0, len, prefix) != 0) continue;
    std::string card = name.substr(len);
    card = card.substr(0, card.find(','));
    if (card.compare(0, 5, "CARD=") == 0) card = card.substr(5);
    return "hw:" + card;
  }
  return name;
}

int CAlsaMixerDevice::Open(const std::string& captureDevice, HWND notify) {
  Close();
  error_.clear();
  InstallQuietErrorHandler();
  Impl& m = *impl_;
  m.card = CardOf(captureDevice.empty() ? "default" : captureDevice);
  int rc = snd_mixer_open(&m.mixer, 0);
  if (rc == 0 && (rc = snd_mixer_attach(m.mixer, m.card.c_str())) == 0 &&
      (rc = snd_mixer_selem_register(m.mixer, nullptr, nullptr)) == 0)
    rc = snd_mixer_load(m.mixer);
  if (rc < 0) {
    error_ = "no mixer for \"" + m.card + "\": " + snd_strerror(rc);
    Close();
    return 0;
  }
  m.Build();
  m.notify = notify;
  if (m.stop.Init()) m.watcher = std::thread([&m] { m.Watch(); });
  return 1;
}

void CAlsaMixerDevice::Close() {
  Impl& m = *impl_;
  if (m.watcher.joinable()) {
    m.stop.Signal();
    m.watcher.join();
  }
  m.stop.Release();
  if (m.mixer) snd_mixer_close(m.mixer);
  m.mixer = nullptr;
  m.destinations.clear();
}

std::string CAlsaMixerDevice::ProductName() const {
  snd_ctl_card_info_t* info = nullptr;
  snd_ctl_t* ctl = nullptr;
  std::string name = impl_->card;
  if (snd_ctl_open(&ctl, impl_->card.c_str(), 0) == 0) {
    snd_ctl_card_info_alloca(&info);
    if (snd_ctl_card_info(ctl, info) == 0) name = snd_ctl_card_info_get_name(info);
    snd_ctl_close(ctl);
  }
  return name;
}

MixerCaps CAlsaMixerDevice::Caps() const {
  MixerCaps caps;
  caps.name = ProductName().substr(0, kMixerCapsNameSize - 1);
  caps.destinations = uint32_t(Destinations());
  caps.driverVersion = KernelDriverVersion();
  snd_ctl_t* ctl = nullptr;
  if (snd_ctl_open(&ctl, impl_->card.c_str(), 0) == 0) {
    snd_ctl_card_info_t* info = nullptr;
    snd_ctl_card_info_alloca(&info);
    if (snd_ctl_card_info(ctl, info) == 0) {
      caps.mid = uint16_t(snd_ctl_card_info_get_card(info));
      caps.pid = Crc16(snd_ctl_card_info_get_driver(info));
    }
    snd_ctl_close(ctl);
  }
  return caps;
}

int CAlsaMixerDevice::Destinations() const { return int(impl_->destinations.size()); }

int CAlsaMixerDevice::GetDestination(int index, MixerLine& line) const {
  if (index < 0 || index >= Destinations()) return 0;
  line = impl_->destinations[size_t(index)].info;
  return 1;
}

int CAlsaMixerDevice::GetSource(int destination, int index, MixerLine& line) const {
  if (destination < 0 || destination >= Destinations()) return 0;
  const Line& d = impl_->destinations[size_t(destination)];
  if (index < 0 || size_t(index) >= d.sources.size()) return 0;
  line = d.sources[size_t(index)].info;
  return 1;
}

int CAlsaMixerDevice::GetLineControls(DWORD lineId, std::vector<MixerControl>& controls) const {
  const Line* line = impl_->FindLine(lineId);
  if (!line) return 0;
  controls.clear();
  for (const Ctl& c : line->controls) controls.push_back(c.info);
  return 1;
}

int CAlsaMixerDevice::GetControlDetails(const MixerControl& control, int channels,
                                        std::vector<long>& values) const {
  const Ctl* c = impl_->FindControl(control.id);
  if (!c || channels < 1) return 0;
  std::lock_guard<std::mutex> g(impl_->lock);
  values.assign(size_t(channels), 0);
  for (int ch = 0; ch < channels; ++ch) {
    const auto channel = snd_mixer_selem_channel_id_t(ch);
    long v = 0;
    int sw = 0, rc = 0;
    switch (c->kind) {
      case Kind::kPlaybackVolume: rc = snd_mixer_selem_get_playback_volume(c->elem, channel, &v); break;
      case Kind::kCaptureVolume: rc = snd_mixer_selem_get_capture_volume(c->elem, channel, &v); break;
      case Kind::kPlaybackSwitch: rc = snd_mixer_selem_get_playback_switch(c->elem, channel, &sw); v = !sw; break;
      case Kind::kCaptureSwitch: rc = snd_mixer_selem_get_capture_switch(c->elem, channel, &sw); v = !sw; break;
    }
    if (rc < 0) return 0;
    values[size_t(ch)] = v;
  }
  return 1;
}

int CAlsaMixerDevice::SetControlDetails(const MixerControl& control, int channels,
                                        const std::vector<long>& values) {
  const Ctl* c = impl_->FindControl(control.id);
  if (!c || channels < 1 || values.size() < size_t(channels)) return 0;
  std::lock_guard<std::mutex> g(impl_->lock);
  for (int ch = 0; ch < channels; ++ch) {
    const auto channel = snd_mixer_selem_channel_id_t(ch);
    const long v = values[size_t(ch)];
    int rc = 0;
    switch (c->kind) {
      case Kind::kPlaybackVolume: rc = snd_mixer_selem_set_playback_volume(c->elem, channel, v); break;
      case Kind::kCaptureVolume: rc = snd_mixer_selem_set_capture_volume(c->elem, channel, v); break;
      case Kind::kPlaybackSwitch: rc = snd_mixer_selem_set_playback_switch(c->elem, channel, !v); break;
      case Kind::kCaptureSwitch: rc = snd_mixer_selem_set_capture_switch(c->elem, channel, !v); break;
    }
    if (rc < 0) return 0;
  }
  return 1;
}

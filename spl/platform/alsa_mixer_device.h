// CAlsaMixerDevice: the ALSA simple mixer (snd_mixer) of the card that carries a capture
// device, seen as two destinations:
//   "Playback"           the card's "Master" element (Volume, Mute, and Bass / Treble from the
//                        tone elements) and, as sources, every other element with a playback
//                        volume or switch (Volume, Mute);
//   "Recording Control"  the card's "Capture" element (Volume, Mute) and, as sources, every
//                        other element with a capture volume or switch.
// Volumes are the element's raw values in its own range; Mute is 1 when the switch is off.
// A poll thread posts MM_MIXM_CONTROL_CHANGE to the notification window when the card changes.
#pragma once
#include <memory>

#include "spl/platform/mixer_device.h"

class CAlsaMixerDevice : public CMixerDevice {
 public:
  CAlsaMixerDevice();
  ~CAlsaMixerDevice() override;
  int Open(const std::string& captureDevice, HWND notify) override;
  void Close() override;
  std::string ProductName() const override;
  MixerCaps Caps() const override;
  int Destinations() const override;
  int GetDestination(int index, MixerLine& line) const override;
  int GetSource(int destination, int index, MixerLine& line) const override;
  int GetLineControls(DWORD lineId, std::vector<MixerControl>& controls) const override;
  int GetControlDetails(const MixerControl& control, int channels,
                        std::vector<long>& values) const override;
  int SetControlDetails(const MixerControl& control, int channels,
                        const std::vector<long>& values) override;
  const std::string& Error() const override { return error_; }

  // "hw:1,0", "plughw:1", "sysdefault:CARD=X" -> the card's control name ("hw:1", "hw:X");
  // other names (default, pulse ...) are used as they are.
  static std::string CardOf(const std::string& captureDevice);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string error_;
};

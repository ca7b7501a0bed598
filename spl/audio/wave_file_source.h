// A capture device that reads a wave file instead of a sound card, so the whole audio loop
// runs without one: in real time (buffers come as fast as a card would deliver them) or as
// fast as the file can be read, for batch work. Any file the player reads is accepted; its
// samples go into every channel of the capture. The file's rate must be the capture rate.
#pragma once
#include <memory>
#include <string>

#include "spl/platform/real_time_pacer.h"
#include "spl/platform/wave_device.h"

class CWavePlayer;
struct AudioBlock;

class CWaveFileSource : public CWaveDevice {
 public:
  CWaveFileSource(std::string path, bool real_time);
  ~CWaveFileSource() override;
  bool StartsOnDemand() const override { return true; }

 protected:
  int OpenBackend(WaveDirection direction, const WavePcmFormat& format) override;
  int Transfer(WAVEHDR* hdr) override;
  void StartBackend() override;
  void CloseBackend() override;

 private:
  std::string path_;
  bool real_time_;
  std::unique_ptr<CWavePlayer> player_;
  AudioBlock* block_ = nullptr;  // one buffer's worth of decoded samples
  CRealTimePacer pacer_;
};

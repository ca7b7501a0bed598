// A capture device that plays the simulated band instead of a sound card: what a receiver
// tuned as `tuning` says would put out, paced in real time like a card or as fast as it can
// be made, for batch runs and tests. The same samples go into every channel.
#pragma once
#include <functional>
#include <vector>

#include "app/core/sim_band.h"
#include "spl/platform/real_time_pacer.h"
#include "spl/platform/wave_device.h"

// The device names RegisterSimBandSource gives the band.
constexpr const char* kSimBandDevice = "sim";
constexpr const char* kSimBandFastDevice = "simfast";

class CSimBandSource : public CWaveDevice {
 public:
  // stations and tuning as for CSimBand::Init; real_time: paced like a card, else unpaced.
  CSimBandSource(std::vector<SimStation> stations, CSimBand::Tuning tuning, bool real_time,
                 unsigned seed = 1);
  ~CSimBandSource() override;
  // Unpaced, nothing of the band should pass before anyone listens; a live band never waits.
  bool StartsOnDemand() const override { return !real_time_; }

 protected:
  int OpenBackend(WaveDirection direction, const WavePcmFormat& format) override;
  int Transfer(WAVEHDR* hdr) override;
  void StartBackend() override;
  void CloseBackend() override {}

 private:
  std::vector<SimStation> stations_;
  CSimBand::Tuning tuning_;
  bool real_time_;
  unsigned seed_;
  CSimBand band_;
  std::vector<int16_t> mono_;
  CRealTimePacer pacer_;
};

// Registers kSimBandDevice (real time) and kSimBandFastDevice (as fast as it goes) as capture
// device names that play these stations following `tuning`; each opening starts the band
// afresh. An empty tuning unregisters both. Returns 1.
int RegisterSimBandSource(const std::vector<SimStation>& stations, CSimBand::Tuning tuning);
void UnregisterSimBandSource();

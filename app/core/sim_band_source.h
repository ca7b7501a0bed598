// A capture device that plays the simulated band instead of a sound card: what a receiver
// tuned as `tuning` says would put out, paced in real time like a card or as fast as it can
// be made, for batch runs and tests. The same samples go into every channel.
#pragma once
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "app/core/sim_band.h"
#include "spl/platform/real_time_pacer.h"
#include "spl/platform/wave_device.h"

// The device names RegisterSimBandSource gives the band.
constexpr const char* kSimBandDevice = "sim";
constexpr const char* kSimBandFastDevice = "simfast";

// Holds an unpaced band to its listener: the listener reports each block it has processed,
// and the band waits while it is more than a few buffers ahead. Otherwise the band runs
// minutes ahead of a slow listener, and a retuning the listener asks for at one point of
// the audio is heard minutes later, later the slower the machine.
constexpr int kSimPaceBuffers = 4;  // how many buffers an unpaced band may run ahead of its listener

class CSimBandPace {
 public:
  // A new stream that may run `frames` ahead; nothing is outstanding.
  void Restart(long long frames);
  void Produced(int frames);
  void Consumed(int frames);
  // Waits until the band may run on; 0 when cancelled() said stop first.
  int WaitRoom(const std::function<bool()>& cancelled);

 private:
  std::mutex mutex_;
  std::condition_variable room_;
  long long ahead_ = 0, limit_ = 0;
};

class CSimBandSource : public CWaveDevice {
 public:
  // stations and tuning as for CSimBand::Init; real_time: paced like a card, else unpaced
  // (and held to pace when one is given).
  CSimBandSource(std::vector<SimStation> stations, CSimBand::Tuning tuning, bool real_time,
                 unsigned seed = 1, std::shared_ptr<CSimBandPace> pace = nullptr);
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
  std::shared_ptr<CSimBandPace> pace_;
};

// Registers kSimBandDevice (real time) and kSimBandFastDevice (as fast as it goes) as capture
// device names that play these stations following `tuning`; each opening starts the band
// afresh; the unpaced one is held to pace when one is given. An empty tuning unregisters
// both. Returns 1.
int RegisterSimBandSource(const std::vector<SimStation>& stations, CSimBand::Tuning tuning,
                          std::shared_ptr<CSimBandPace> pace = nullptr);
void UnregisterSimBandSource();

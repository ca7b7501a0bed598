// The simulated band: a list of stations (data/simband.txt), each sending its traffic through
// the station's own transmitters on a common clock, and the audio that a receiver tuned among
// them puts out, with band noise, so that the station runs with neither receiver nor sound card.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "spl/radio/sim_receiver.h"

// One station of the list. The tones are those its transmitter renders; kHz is their centre.
struct SimStation {
  double kHz = 0.0;            // radio frequency of the audio centre, > 0
  std::string kind;            // "rtty", "sitor", "cw", "bpsk31", "fax", "sstv"
  double levelDb = 15.0;       // signal over the noise in 3 kHz, -30 ... 60 dB
  double pauseSeconds = 30.0;  // silence between transmissions, 0 ... 3600
  double startSeconds = 0.0;   // silence before the first, 0 ... 3600
  double baud = 50.0;          // rtty: 10 ... 300 (sitor: always 100)
  double stopBits = 1.5;       // rtty: 1 ... 2
  int mark = 1275, space = 1700;  // rtty, sitor: tone of binary 1 and of 0, Hz
  int tone = 1000;             // cw, bpsk31: Hz
  int wpm = 20;                // cw: 5 ... 60
  int ioc = 576, lpm = 120;    // fax: 576 or 288; 60 ... 240
  int lines = 200;             // fax: height of the test chart, 16 ... 2000
  std::string mode = "martin1";  // sstv: a mode name of the SSTV transmitter
  std::string text;            // rtty, sitor, cw, bpsk31: sent again and again
  std::string decoder = "rtty";  // rtty: how a station receiving it decodes: rtty or synop
  int line = 0;                // where it stands in its list file (0: not from a file)
};

// Reads a station list; 1, or 0 with "PATH:LINE: reason" (or "PATH: reason") in error and
// out unchanged. Each station is checked as its transmitter would take it at 11025 Hz.
int LoadSimStations(const std::string& path, std::vector<SimStation>& out, std::string* error);
// The built-in list in the station's data folder.
std::string DefaultSimStationsPath();
// Empty when the station can be sent at this rate, else why not (a short phrase).
std::string SimStationError(const SimStation& station, int rate);

// The audio tone (Hz) a station's kHz stands for: where a receiver in USB tuned to kHz minus
// this hears the station's centre.
double SimStationCentreHz(const SimStation& station);

// The S-meter carriers of the stations for CSimReceiver::SetBand.
std::vector<SimCarrier> SimBandCarriers(const std::vector<SimStation>& stations);

// What a receiver tuned to (kHz, mode bit) puts out, block after block.
class CSimBand {
 public:
  using Tuning = std::function<void(double& kHz, int& modeBit)>;

  CSimBand();
  ~CSimBand();
  CSimBand(const CSimBand&) = delete;
  CSimBand& operator=(const CSimBand&) = delete;

  // stations: checked as SimStationError does at this rate (an empty list is a quiet band).
  // sampleRate: 8000 ... 96000 Hz.
  // tuning: asked once per Generate for the dial frequency (kHz) and mode bit (kModeLSB
  //   mirrors the spectrum; every other mode hears as USB does).
  // seed: of the noise; the same seed gives the same band.
  // 1, or 0 (the object keeps its previous set-up) with Error() saying why.
  int Init(const std::vector<SimStation>& stations, int sampleRate, Tuning tuning,
           unsigned seed = 1);
  // The next n samples (16-bit mono) at the tuning that `tuning` gives now. A station is heard
  // while its audio centre lies between kEdgeHz and rate / 2 - kEdgeHz: (RF - dial) * 1000 Hz,
  // in LSB (dial - RF) * 1000 Hz. Every station keeps sending whether heard or not. Nothing
  // before Init.
  void Generate(int16_t* out, int n);

  const std::string& Error() const { return error_; }
  int SampleRate() const { return rate_; }
  int64_t SamplesDone() const { return samples_; }

  static constexpr double kEdgeHz = 100.0;

 private:
  struct Channel;
  std::vector<std::unique_ptr<Channel>> channels_;
  std::vector<float> native_;  // one station's rendering of the current call
  std::vector<float> mix_;     // the stations heard, summed
  Tuning tuning_;
  std::mt19937 random_;
  std::normal_distribution<float> gauss_;
  float noise_sigma_ = 0.0f;
  int rate_ = 0;
  int64_t samples_ = 0;
  std::string error_;
};

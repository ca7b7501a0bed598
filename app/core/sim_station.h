// The simulated station front end: a simulated receiver on a pseudo-terminal, which the
// station opens as its serial port ("--port sim[:TYPE]"), and the simulated band's audio as a
// capture device ("sim" in real time, "simfast" as fast as it goes) that follows whatever
// that receiver is tuned to. With it the station runs with no receiver and no sound card.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/core/sim_band.h"
#include "app/core/sim_band_source.h"
#include "app/lists/frq_record.h"
#include "spl/radio/sim_receiver.h"

constexpr const char* kSimPortName = "sim";
constexpr const char* kSimAudioName = "sim";
constexpr const char* kSimAudioFastName = "simfast";
// The simulated receiver's S-meter between the stations: floor plus 0 ... spread.
constexpr int kSimNoiseFloor = 20, kSimNoiseSpread = 10;

// "sim" or "sim:TYPE": 1 with type set (0 when none is named), else 0.
int ParseSimPort(const std::string& port, int& type);
bool IsSimAudio(const std::string& device);

// A station of the simulated band is "at" a frequency within this distance.
constexpr double kSimMatchKHz = 0.5;
// The frequency record of the band's station nearest kHz (list at stationsPath, empty: the
// built-in one): its frequency and its decoder with the tones it sends, over what record
// holds already, tuned in USB. 1 when one was found, else record is unchanged.
int FindSimStationRecord(const std::string& stationsPath, double kHz, CFrqRecord& record);

class CSimulatedBand {
 public:
  CSimulatedBand() = default;
  ~CSimulatedBand();
  CSimulatedBand(const CSimulatedBand&) = delete;
  CSimulatedBand& operator=(const CSimulatedBand&) = delete;

  // Starts a simulated receiver of type 1 ... 23 with the station's bus addresses and the
  // band's carriers on its S-meter. 1, or 0 with error set.
  int Init(int type, int civRadio, int civController, const std::string& stationsPath,
           std::string* error);
  // The pty to open as the serial port.
  const std::string& DevicePath() const { return receiver_.DevicePath(); }
  // Registers the band's audio as the capture devices "sim" and "simfast". 1 or 0.
  int StartAudio(std::string* error);
  CSimReceiver& Receiver() { return receiver_; }
  // The listener of the "simfast" audio reports each block it has processed, which holds the
  // band to the listener's pace.
  void Consumed(int frames) { pace_->Consumed(frames); }

 private:
  CSimReceiver receiver_;
  std::vector<SimStation> stations_;
  bool audio_ = false;
  std::shared_ptr<CSimBandPace> pace_ = std::make_shared<CSimBandPace>();
};

#include "app/core/sim_station.h"

#include <cmath>
#include <cstdlib>

#include "app/core/station_codes.h"
#include "spl/decoders/rtty_config.h"
#include "spl/decoders/sstv_transmitter.h"
#include "spl/radio/receiver_table.h"

namespace {
constexpr int kUsbIndex = 1;
constexpr int kFaxCentreHz = 1900;  // FM fax: black 1500 Hz, white 2300 Hz
constexpr DWORD kSimSettleMs = 500;  // a receiver that stopped reading holds the audio no longer
constexpr int kTextDecoderBase = 12288, kFaxDecoderBase = 8192, kSstvDecoderBase = 16384;
}  // namespace

int ParseSimPort(const std::string& port, int& type) {
  const std::string prefix = kSimPortName;
  if (port == prefix) {
    type = 0;
    return 1;
  }
  if (port.compare(0, prefix.size() + 1, prefix + ":") != 0) return 0;
  char* end = nullptr;
  const long t = strtol(port.c_str() + prefix.size() + 1, &end, 10);
  if (!end || *end || t < 1 || t > kReceiverTypeCount) return 0;
  type = int(t);
  return 1;
}

bool IsSimAudio(const std::string& device) {
  return device == kSimAudioName || device == kSimAudioFastName;
}

CSimulatedBand::~CSimulatedBand() {
  if (audio_) UnregisterSimBandSource();
  receiver_.Exit();
}

int CSimulatedBand::Init(int type, int civRadio, int civController, const std::string& stationsPath,
                         std::string* error) {
  const std::string path = stationsPath.empty() ? DefaultSimStationsPath() : stationsPath;
  if (!LoadSimStations(path, stations_, error)) return 0;
  if (!receiver_.Init(type, civRadio, civController)) {
    if (error) *error = "cannot start the simulated receiver of type " + std::to_string(type);
    return 0;
  }
  receiver_.SetBand(SimBandCarriers(stations_), kSimNoiseFloor, kSimNoiseSpread);
  return 1;
}

int CSimulatedBand::StartAudio(std::string* error) {
  if (stations_.empty()) {
    if (error) *error = "the simulated band has no stations";
    return 0;
  }
  audio_ = RegisterSimBandSource(stations_, [this](double& kHz, int& modeBit) {
    // A command the station has sent acts before the next audio, however fast the audio runs.
    receiver_.WaitIdle(kSimSettleMs);
    const SimState s = receiver_.State();
    kHz = s.frqKHz;
    modeBit = s.mode < 0 ? kModeUSB : s.mode;
  }, pace_);
  if (!audio_ && error) *error = "cannot register the simulated band";
  return audio_ ? 1 : 0;
}

int FindSimStationRecord(const std::string& stationsPath, double kHz, CFrqRecord& record) {
  std::vector<SimStation> stations;
  if (!LoadSimStations(stationsPath.empty() ? DefaultSimStationsPath() : stationsPath, stations,
                       nullptr))
    return 0;
  const SimStation* best = nullptr;
  for (const SimStation& s : stations)
    if (std::fabs(s.kHz - kHz) <= kSimMatchKHz && (!best || std::fabs(s.kHz - kHz) < std::fabs(best->kHz - kHz)))
      best = &s;
  if (!best) return 0;
  CFrqRecord r = record;
  if (best->kind == "rtty" || best->kind == "sitor") {
    const bool sitor = best->kind == "sitor";
    r.decoder = kTextDecoderBase + (sitor              ? kDecoderNavtex
                                    : best->decoder == "synop" ? kDecoderSynop
                                                              : kDecoderRtty);
    r.rttyBaud = sitor ? kSitorBaud : int(std::lround(best->baud));
    r.rttyMark = best->mark;
    r.rttySpace = best->space;
    r.rttyStopBits = best->stopBits;
    r.rttyPolarity = best->mark > best->space ? 1 : 0;  // the higher tone is binary 1
  } else if (best->kind == "cw") {
    r.decoder = kTextDecoderBase + kDecoderCw;
    r.cwCenter = r.cwMark = best->tone;
  } else if (best->kind == "bpsk31") {
    // The PSK31 decoder listens at its fixed carrier; the record's tones place the dial.
    r.decoder = kTextDecoderBase + kDecoderBpsk31;
    r.rttyMark = r.rttySpace = kPsk31Carrier;
  } else if (best->kind == "fax") {
    r.decoder = kFaxDecoderBase + best->ioc;
    r.faxIoc = best->ioc;
    r.faxLpm = best->lpm;
    r.faxCenter = kFaxCentreHz;
  } else if (best->kind == "sstv") {
    const int mode = CSstvTransmitter::ModeFromName(best->mode.c_str());
    const int index = SstvIndexOfMode(mode);
    r.decoder = kSstvDecoderBase + (index < 0 ? 0 : index);
    r.sstvMode = index < 0 ? 0 : index;
  } else {
    return 0;
  }
  r.modulation = kUsbIndex;
  // The record holds the station's frequency; the dial it gives must put the signal on centre.
  r.rxFrq = best->kHz - SimStationCentreHz(*best) / 1000.0;
  r.rxFrq += r.rxFrq - FrqDialFrequency(r);
  r.txFrq = r.rxFrq;
  SetFrqText(r.name, sizeof r.name, best->kind.c_str());
  record = r;
  return 1;
}

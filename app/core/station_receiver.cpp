// The receiver setters of the station core and applying a frequency record.
#include <cmath>
#include <cstdio>

#include "app/core/station_core.h"
#include "spl/decoders/rtty_config.h"
#include "spl/radio/receiver_table.h"

namespace {
constexpr int kModeNameWidth = 4;
constexpr int kMinDwellMs = 100;
constexpr double kScanSpanSteps = 0.05;  // a zero scan stop: start + scan step x 0.05 kHz
constexpr double kScanStopSpanKHz = 5.0;
}  // namespace

int SoftVolumeControlValue(int min, int max, int volume) {
  return min + int((long long)(max - min) * volume / kSoftVolumeScale);
}

void CStationCore::ShowFrequency() {
  char text[32];
  snprintf(text, sizeof text, "%.3f", settings_.GetDouble(kCfgFrequency));
  ui_->StatusPane(kPaneFrequency, text);
}

void CStationCore::ShowMode() {
  const int bit = settings_.GetInt(kCfgMode);
  for (int i = 0; i < kModeCount; ++i)
    if (bit == (1 << i)) {
      ui_->StatusPane(kPaneMode, std::string(kModeNames + i * kModeNameWidth, kModeNameWidth));
      return;
    }
}

void CStationCore::SetFrequency(double kHz) {
  settings_.SetDouble(kCfgFrequency, kHz);
  // A receiver type tunes only in its own modes: a stored mode it lacks gives way to the
  // type's first mode rather than have the frequency refused.
  const int stored = settings_.GetInt(kCfgMode);
  if (connected_ && TuningMode(radio_.CapabilityMask, stored) != stored)
    SetMode(TuningMode(radio_.CapabilityMask, stored));
  if (connected_) radio_.Radio_SetFrq(kHz);
  ShowFrequency();
  ui_->ReceiverChanged();
}

// Every receiver value: kept in the settings, sent while connected, shown again.
void CStationCore::StoreAndSend(int offset, int value, int (CRadio::*send)(int)) {
  settings_.SetInt(offset, value);
  if (connected_) (radio_.*send)(value);
  ui_->ReceiverChanged();
}

void CStationCore::SetMode(int modeBit) {
  if (connected_ && !ModeName(modeBit).empty())
    modeBit = TuningMode(radio_.CapabilityMask, modeBit);
  settings_.SetInt(kCfgMode, modeBit);
  if (connected_) radio_.Radio_SetMode(modeBit);
  ShowMode();
  ui_->ReceiverChanged();
}

void CStationCore::SetAgc(int on) { StoreAndSend(kCfgAgc, on, &CRadio::Radio_SetAGC); }

void CStationCore::SetNoiseBlanker(int on) { StoreAndSend(kCfgNoiseBlanker, on, &CRadio::Radio_SetNB); }

void CStationCore::SetAttenuator(int on) { StoreAndSend(kCfgAttenuator, on, &CRadio::Radio_SetAtt); }

void CStationCore::SetIfWidth(int kHz) { StoreAndSend(kCfgIfWidth, kHz, &CRadio::Radio_SetZFWidth); }

void CStationCore::SetStep(int step) {
  settings_.SetInt(kCfgStep, step);
  ui_->ReceiverChanged();
}

void CStationCore::SetSquelch(int level) {
  if (!(radio_.CapabilityMask & kCapSquelch)) return SetSquelchThreshold(level);
  StoreAndSend(kCfgSquelch, level, &CRadio::Radio_SetSquelch);
}

void CStationCore::SetVolume(int level) {
  if (!(radio_.CapabilityMask & kCapVolume)) return SetSoftVolume(level);
  StoreAndSend(kCfgVolume, level, &CRadio::Radio_SetVolume);
}

void CStationCore::SetSquelchThreshold(int level) {
  settings_.SetInt(kCfgSquelchThreshold, level);
  ui_->ReceiverChanged();
  AudioSquelchLamps(audio_squelch_open_);
}

void CStationCore::SetSoftVolume(int level) {
  settings_.SetInt(kCfgSoftVolume, level);
  ui_->ReceiverChanged();
}

CFrqRecord CStationCore::RecordFromSettings(double kHz) const {
  CFrqRecord r = FrqTemplate();
  const int code = Decoder();
  const int sstv_index = SstvIndexOfMode(settings_.GetInt(kCfgSstvMode));
  r.decoder = FrqDecoderValue(code, settings_.GetInt(kCfgFaxIoc), sstv_index < 0 ? 0 : sstv_index);
  r.modulationType = FrqEmissionClassFor(code);
  for (int i = 0; i < kModeCount; ++i)
    if (settings_.GetInt(kCfgMode) == (1 << i)) r.modulation = i;
  r.steps = settings_.GetInt(kCfgStep);
  r.ifIndex = IfIndexOfWidth(settings_.GetInt(kCfgIfWidth));
  r.att = settings_.GetInt(kCfgAttenuator);
  r.agc = settings_.GetInt(kCfgAgc);
  r.nb = settings_.GetInt(kCfgNoiseBlanker);
  r.volume = settings_.GetInt(kCfgVolume);
  r.squelch = settings_.GetInt(kCfgSquelch);
  r.audioSquelch = settings_.GetInt(kCfgSquelchThreshold);
  r.cwCenter = settings_.GetInt(kCfgCwCenter);
  r.cwMark = settings_.GetInt(kCfgCwMark);
  r.cwWidth = settings_.GetInt(kCfgCwBandwidth);
  r.faxIoc = settings_.GetInt(kCfgFaxIoc);
  r.faxLpm = settings_.GetInt(kCfgFaxLpm);
  r.faxCenter = settings_.GetInt(kCfgFaxCenter);
  r.faxShift = settings_.GetInt(kCfgFaxShift);
  r.faxFilterWidth = settings_.GetInt(kCfgFaxWidth);
  r.faxFilterMode = settings_.GetInt(kCfgFaxFilterMode);
  r.faxHMirror = settings_.GetInt(kCfgFaxHMirror);
  r.faxVMirror = settings_.GetInt(kCfgFaxVMirror);
  r.faxAm = settings_.GetInt(kCfgFaxAm);
  r.faxFilterOn = settings_.GetInt(kCfgFaxAmFilter);
  r.faxBurst1 = settings_.GetInt(kCfgFaxBurst1);
  r.faxBurst2 = settings_.GetInt(kCfgFaxBurst2);
  r.faxSyncWidth = settings_.GetInt(kCfgFaxSyncWidth);
  r.faxInvertSync = settings_.GetInt(kCfgFaxSyncPolarity);
  r.rttyMode = code < kDecoderCw ? code : 0;
  r.rttyBaud = settings_.GetInt(kCfgRttyBaud);
  r.rttyMark = settings_.GetInt(kCfgRttyTone1);
  r.rttySpace = settings_.GetInt(kCfgRttyTone2);
  r.rttyStopBits = settings_.GetDouble(kCfgRttyStopBits);
  r.rttyPolarity = settings_.GetInt(kCfgRttyInverted);
  r.sstvMode = sstv_index < 0 ? 0 : sstv_index;
  r.sstvFilterLo = settings_.GetInt(kCfgSstvFilterLow);
  r.sstvFilterHi = settings_.GetInt(kCfgSstvFilterHigh);
  r.sstvFilterOrder = settings_.GetInt(kCfgSstvFilterOrder);
  r.sstvManualFilter = settings_.GetInt(kCfgSstvManualFilter);
  r.startFrq = settings_.GetDouble(kCfgScanStart);
  r.stopFrq = settings_.GetDouble(kCfgScanStop);
  r.scanSteps = settings_.GetInt(kCfgScanStep);
  r.recOnSig = settings_.GetInt(kCfgScanRecordOnSignal);
  r.stopOnSig = settings_.GetInt(kCfgScanStopOnSignal);
  r.recTime = settings_.GetInt(kCfgScanRecordTime);
  r.whileTime = settings_.GetInt(kCfgScanDwellMs);
  r.audioOrSquelch = settings_.GetInt(kCfgScanEventSource);
  // kHz 0: the station the receiver is tuned to now, found back from the dial.
  if (kHz > 0.0) {
    r.rxFrq = kHz;
  } else {
    r.rxFrq = settings_.GetDouble(kCfgFrequency);
    const double offset = r.rxFrq - FrqDialFrequency(r);
    r.rxFrq += offset;
  }
  r.txFrq = r.rxFrq;
  if (r.startFrq == 0.0) r.startFrq = r.rxFrq;
  if (r.stopFrq == 0.0) r.stopFrq = r.startFrq + kScanStopSpanKHz;
  return r;
}

int CStationCore::ApplyRecord(const CFrqRecord& r) {
  record_ = r;
  // 2. Receiver values.
  const int mode = r.modulation >= 0 && r.modulation < kModeCount ? 1 << r.modulation : kModeUSB;
  if (r.assumeRadio) {
    settings_.SetInt(kCfgAttenuator, r.att);
    settings_.SetInt(kCfgAgc, r.agc);
    settings_.SetInt(kCfgNoiseBlanker, r.nb);
    settings_.SetInt(kCfgSquelch, r.squelch);
    settings_.SetInt(kCfgVolume, r.volume);
  }
  // 3. Audio values.
  if (r.assumeAudio) {
    settings_.SetInt(kCfgWaveOutVolume, r.waveOutVol);
    settings_.SetInt(kCfgLineInVolume, r.lineInVol);
    settings_.SetInt(kCfgLineOutVolume, r.lineOutVol);
    settings_.SetInt(kCfgSquelchThreshold, r.audioSquelch);
    settings_.SetInt(kCfgWaveOn, r.waveOn);
    settings_.SetInt(kCfgLineOn, r.lineOn);
    settings_.SetInt(kCfgDecoderFilter, r.decFilter);
    settings_.SetInt(kCfgEqualizerOn, r.equFilter);
    settings_.SetString(kCfgEqualizerName, kCfgEqualizerNameSize, r.equName);
  }
  // 4. Dial frequency, 5. the decoder and its parameters.
  const double dial = FrqDialFrequency(r);
  int selected = 1;
  switch (FrqDecoderKindOf(r.decoder)) {
    case kFrqFax:
      settings_.SetInt(kCfgFaxIoc, r.faxIoc);
      settings_.SetInt(kCfgFaxLpm, r.faxLpm);
      settings_.SetInt(kCfgFaxCenter, r.faxCenter);
      settings_.SetInt(kCfgFaxShift, r.faxShift);
      settings_.SetInt(kCfgFaxWidth, r.faxFilterWidth);
      settings_.SetInt(kCfgFaxFilterMode, r.faxFilterMode);
      settings_.SetInt(kCfgFaxHMirror, r.faxHMirror);
      settings_.SetInt(kCfgFaxVMirror, r.faxVMirror);
      settings_.SetInt(kCfgFaxAm, r.faxAm);
      settings_.SetInt(kCfgFaxAmFilter, r.faxFilterOn);
      settings_.SetInt(kCfgFaxBurst1, r.faxBurst1 ? r.faxBurst1 : kFaxDefaultBurst1);
      settings_.SetInt(kCfgFaxBurst2, r.faxBurst2 ? r.faxBurst2 : kFaxDefaultBurst2);
      settings_.SetInt(kCfgFaxSyncWidth, r.faxSyncWidth);
      settings_.SetInt(kCfgFaxSyncPolarity, r.faxInvertSync);
      selected = SelectDecoder(kDecoderFax);
      break;
    case kFrqText:
      if (StationDecoderCode(r) == kDecoderCw) {
        settings_.SetInt(kCfgCwCenter, r.cwCenter);
        settings_.SetInt(kCfgCwMark, r.cwMark);
        settings_.SetInt(kCfgCwBandwidth, r.cwWidth);
      } else {
        settings_.SetInt(kCfgRttyBaud, r.rttyBaud);
        settings_.SetInt(kCfgRttyTone1, r.rttyMark);
        settings_.SetInt(kCfgRttyTone2, r.rttySpace);
        settings_.SetDouble(kCfgRttyStopBits, r.rttyStopBits);
        settings_.SetInt(kCfgRttyInverted, r.rttyPolarity);
        settings_.SetInt(kCfgRttyCenter, (r.rttyMark + r.rttySpace) / 2);
      }
      selected = SelectDecoder(StationDecoderCode(r));
      break;
    case kFrqSstv:
      settings_.SetInt(kCfgSstvMode, SstvModeOfIndex(r.sstvMode));
      settings_.SetInt(kCfgSstvFilterLow, r.sstvFilterLo);
      settings_.SetInt(kCfgSstvFilterHigh, r.sstvFilterHi);
      settings_.SetInt(kCfgSstvFilterOrder, r.sstvFilterOrder);
      settings_.SetInt(kCfgSstvManualFilter, r.sstvManualFilter);
      selected = SelectDecoder(kDecoderSstv);
      break;
    default: {
      const double start = r.startFrq == 0.0 ? r.rxFrq : r.startFrq;
      settings_.SetDouble(kCfgScanStart, start);
      settings_.SetDouble(kCfgScanStop, r.stopFrq == 0.0 ? start + r.scanSteps * kScanSpanSteps : r.stopFrq);
      settings_.SetInt(kCfgScanStep, r.scanSteps);
      settings_.SetInt(kCfgScanDwellMs, r.whileTime < kMinDwellMs ? kMinDwellMs : r.whileTime);
      settings_.SetInt(kCfgScanRecordTime, r.recTime < 0 ? 0 : r.recTime);
      settings_.SetInt(kCfgScanRecordOnSignal, r.recOnSig);
      settings_.SetInt(kCfgScanStopOnSignal, r.stopOnSig);
      settings_.SetInt(kCfgScanEventSource, r.audioOrSquelch);
      selected = SelectDecoder(kDecoderAudio);
      break;
    }
  }
  // 6. Tuning, in this order.
  SetFrequency(dial);
  SetMode(mode);
  SetIfWidth(IfWidthKHz(r.ifIndex));
  SetStep(r.steps);
  SetAgc(settings_.GetInt(kCfgAgc));
  SetAttenuator(settings_.GetInt(kCfgAttenuator));
  SetNoiseBlanker(settings_.GetInt(kCfgNoiseBlanker));
  SetVolume(settings_.GetInt(kCapVolume & radio_.CapabilityMask ? kCfgVolume : kCfgSoftVolume));
  SetSquelch(settings_.GetInt(kCapSquelch & radio_.CapabilityMask ? kCfgSquelch : kCfgSquelchThreshold));
  return selected;
}

void CStationCore::UseStandardParameters(int code) {
  if (code == kDecoderNavtex) {
    settings_.SetInt(kCfgRttyTone1, kNavtexLowTone);
    settings_.SetInt(kCfgRttyTone2, kNavtexHighTone);
    settings_.SetInt(kCfgRttyInverted, 1);
  }
  if (code == kDecoderNavtex || code == kDecoderSitor) settings_.SetInt(kCfgRttyBaud, kSitorBaud);
}

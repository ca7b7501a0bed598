#include "app/core/settings_record.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

#include "app/core/safe_file.h"
#include "spl/dsp/audio_squelch.h"

namespace {

constexpr int kIntBytes = 4;
constexpr int kDoubleBytes = 8;

struct IntDefault {
  int offset;
  int32_t value;
};
struct DoubleDefault {
  int offset;
  double value;
};
struct StringDefault {
  int offset;
  int size;
  const char* value;
};

// The compiled-in record; fields not listed are 0.
const IntDefault kIntDefaults[] = {
    {kCfgSstvFilterLow, 1000}, {kCfgSstvFilterHigh, 2500}, {kCfgSstvFilterOrder, 4},
    {kCfgSstvMode, 0},
    {kCfgFaxCenter, 1900}, {kCfgFaxShift, 800}, {kCfgFaxWidth, 1200}, {kCfgFaxIoc, 576},
    {kCfgFaxLpm, 120}, {kCfgFaxSyncWidth, 5}, {kCfgFaxSyncPolarity, 0}, {kCfgFaxAmFilter, 1},
    {kCfgFaxAm, 0}, {kCfgFaxBurst1, 1024}, {kCfgFaxBurst2, 39},
    {kCfgRttyBaud, 50}, {kCfgRttyTone1, 1275}, {kCfgRttyTone2, 1700}, {kCfgRttyBandwidth, 50},
    {kCfgRttyWindow, 4},
    {kCfgCwBandwidth, 50}, {kCfgCwCenter, 1275},
    {kCfgScope1Source, 0}, {kCfgScope2Source, 3},
    {kCfgTimeSpectrumOn, 1}, {kCfgAnalyserOn, 1}, {kCfgAnalyserOutput, 0},
    {kCfgRttyCenter, 1487},
    {kCfgReceiverType, 12}, {kCfgCivRadio, 90}, {kCfgCivController, 224}, {kCfgIfWidth, 3},
    {kCfgStep, 100}, {kCfgMode, 2}, {kCfgAttenuator, 0}, {kCfgAgc, 0}, {kCfgNoiseBlanker, 0},
    {kCfgVolume, 64}, {kCfgSquelch, 0},
    {kCfgFileListening, 0}, {kCfgListenRepeat, 0}, {kCfgFilteredListen, 0},
    {kCfgEqualizerPosition, -1}, {kCfgPlaybackVolume, 100}, {kCfgRecordVolume, 100},
    {kCfgAudioPage, 0}, {kCfgScanning, 0}, {kCfgScanStopOnSignal, 0},
    {kCfgSquelchThreshold, kDefaultSquelchLevel}, {kCfgScanEventSource, 0},
    {kCfgScanDwellBlocks, 0}, {kCfgScanRecordCount, 0},
    {kCfgSampleRate, 11025}, {kCfgBlockSize, 1024}, {kCfgFilterLength, 64},
    {kCfgTextRequestLeft, 0}, {kCfgTextRequestTop, 0}, {kCfgTextRequestRight, 0},
    {kCfgTextRequestBottom, 0}, {kCfgReceivePage, 3}, {kCfgDecoder, 0},
    // Our own fields. Monitoring is off at first: with it on, the audio squelch gates the
    // decoders, and a picture whose spectrum looks like noise would lose lines.
    {kCfgRttyInverted, 0}, {kCfgMonitor, 0}, {kCfgCwMark, 1275}, {kCfgFaxFilterMode, 0},
    {kCfgFaxHMirror, 0}, {kCfgFaxVMirror, 0}, {kCfgSstvManualFilter, 0}, {kCfgAutosave, 1},
    {kCfgSoftVolume, 64},
    {kCfgScanStep, 1000}, {kCfgScanRecordOnSignal, 0}, {kCfgScanRecordTime, 0},
    {kCfgScanDwellMs, 100}, {kCfgWaveOn, 1}, {kCfgLineOn, 1}, {kCfgDecoderFilter, 0},
    {kCfgEqualizerOn, 0}, {kCfgWaveOutVolume, 135}, {kCfgLineInVolume, 45},
    {kCfgLineOutVolume, 135}, {kCfgReceiveColour, 0}, {kCfgFaxNoAutosave, 0},
    {kCfgSstvNoAutosave, 0},
};
const DoubleDefault kDoubleDefaults[] = {
    {kCfgRttyStopBits, 1.5}, {kCfgFrequency, 4581.513},
    {kCfgFaxKorr, 0.0}, {kCfgScanStart, 0.0}, {kCfgScanStop, 0.0},
};
// Stored files and the window title rely on this exact receiver name.
const StringDefault kStringDefaults[] = {
    {kCfgReceiverName, kCfgReceiverNameSize, "ICOM PCR 1000"},
    {kCfgEqualizerName, kCfgEqualizerNameSize, "DEFAULT"},
};

const StationFolder kStationFolders[] = {
    {kCfgFaxFolder, "fax"},    {kCfgSstvFolder, "sstv"},  {kCfgTextFolder, "text"},
    {kCfgAudioFolder, "audio"}, {kCfgScanFolder, "scann"}, {kCfgDataFolder, "data"},
};

constexpr int kPath = kSettingsPathSize;
const SettingsField kFields[] = {
    {"rtty.inverted", kCfgRttyInverted, kFieldInt, kIntBytes},
    {"monitor", kCfgMonitor, kFieldInt, kIntBytes},
    {"cw.mark", kCfgCwMark, kFieldInt, kIntBytes},
    {"fax.filter_mode", kCfgFaxFilterMode, kFieldInt, kIntBytes},
    {"fax.hmirror", kCfgFaxHMirror, kFieldInt, kIntBytes},
    {"fax.vmirror", kCfgFaxVMirror, kFieldInt, kIntBytes},
    {"sstv.manual_filter", kCfgSstvManualFilter, kFieldInt, kIntBytes},
    {"autosave", kCfgAutosave, kFieldInt, kIntBytes},
    {"soft_volume", kCfgSoftVolume, kFieldInt, kIntBytes},
    {"sstv.filter_low", kCfgSstvFilterLow, kFieldInt, kIntBytes},
    {"sstv.filter_high", kCfgSstvFilterHigh, kFieldInt, kIntBytes},
    {"sstv.filter_order", kCfgSstvFilterOrder, kFieldInt, kIntBytes},
    {"sstv.mode", kCfgSstvMode, kFieldInt, kIntBytes},
    {"sstv.folder", kCfgSstvFolder, kFieldString, kPath},
    {"fax.korr", kCfgFaxKorr, kFieldDouble, kDoubleBytes},
    {"scan.start", kCfgScanStart, kFieldDouble, kDoubleBytes},
    {"scan.stop", kCfgScanStop, kFieldDouble, kDoubleBytes},
    {"scan.step", kCfgScanStep, kFieldInt, kIntBytes},
    {"scan.record_on_signal", kCfgScanRecordOnSignal, kFieldInt, kIntBytes},
    {"scan.record_time", kCfgScanRecordTime, kFieldInt, kIntBytes},
    {"scan.dwell_ms", kCfgScanDwellMs, kFieldInt, kIntBytes},
    {"mixer.wave_on", kCfgWaveOn, kFieldInt, kIntBytes},
    {"mixer.line_on", kCfgLineOn, kFieldInt, kIntBytes},
    {"decoder.prefilter", kCfgDecoderFilter, kFieldInt, kIntBytes},
    {"equalizer.on", kCfgEqualizerOn, kFieldInt, kIntBytes},
    {"mixer.wave_out_volume", kCfgWaveOutVolume, kFieldInt, kIntBytes},
    {"mixer.line_in_volume", kCfgLineInVolume, kFieldInt, kIntBytes},
    {"mixer.line_out_volume", kCfgLineOutVolume, kFieldInt, kIntBytes},
    {"text.colour", kCfgReceiveColour, kFieldInt, kIntBytes},
    {"equalizer.name", kCfgEqualizerName, kFieldString, kCfgEqualizerNameSize},
    {"rtty.baud_exact", kCfgRttyExactBaud, kFieldDouble, kDoubleBytes},
    {"fax.no_autosave", kCfgFaxNoAutosave, kFieldInt, kIntBytes},
    {"sstv.no_autosave", kCfgSstvNoAutosave, kFieldInt, kIntBytes},
    {"fax.center", kCfgFaxCenter, kFieldInt, kIntBytes},
    {"fax.shift", kCfgFaxShift, kFieldInt, kIntBytes},
    {"fax.width", kCfgFaxWidth, kFieldInt, kIntBytes},
    {"fax.ioc", kCfgFaxIoc, kFieldInt, kIntBytes},
    {"fax.lpm", kCfgFaxLpm, kFieldInt, kIntBytes},
    {"fax.sync_width", kCfgFaxSyncWidth, kFieldInt, kIntBytes},
    {"fax.sync_polarity", kCfgFaxSyncPolarity, kFieldInt, kIntBytes},
    {"fax.am_filter", kCfgFaxAmFilter, kFieldInt, kIntBytes},
    {"fax.am", kCfgFaxAm, kFieldInt, kIntBytes},
    {"fax.burst1", kCfgFaxBurst1, kFieldInt, kIntBytes},
    {"fax.burst2", kCfgFaxBurst2, kFieldInt, kIntBytes},
    {"fax.folder", kCfgFaxFolder, kFieldString, kPath},
    {"rtty.baud", kCfgRttyBaud, kFieldInt, kIntBytes},
    {"rtty.tone1", kCfgRttyTone1, kFieldInt, kIntBytes},
    {"rtty.tone2", kCfgRttyTone2, kFieldInt, kIntBytes},
    {"rtty.bandwidth", kCfgRttyBandwidth, kFieldInt, kIntBytes},
    {"rtty.window", kCfgRttyWindow, kFieldInt, kIntBytes},
    {"rtty.stop_bits", kCfgRttyStopBits, kFieldDouble, kDoubleBytes},
    {"text.folder", kCfgTextFolder, kFieldString, kPath},
    {"cw.bandwidth", kCfgCwBandwidth, kFieldInt, kIntBytes},
    {"cw.center", kCfgCwCenter, kFieldInt, kIntBytes},
    {"scope1.source", kCfgScope1Source, kFieldInt, kIntBytes},
    {"scope2.source", kCfgScope2Source, kFieldInt, kIntBytes},
    {"spectrogram.on", kCfgTimeSpectrumOn, kFieldInt, kIntBytes},
    {"analyser.on", kCfgAnalyserOn, kFieldInt, kIntBytes},
    {"analyser.output", kCfgAnalyserOutput, kFieldInt, kIntBytes},
    {"rtty.center", kCfgRttyCenter, kFieldInt, kIntBytes},
    {"frequency", kCfgFrequency, kFieldDouble, kDoubleBytes},
    {"receiver.type", kCfgReceiverType, kFieldInt, kIntBytes},
    {"receiver.radio_address", kCfgCivRadio, kFieldInt, kIntBytes},
    {"receiver.controller_address", kCfgCivController, kFieldInt, kIntBytes},
    {"receiver.if_width", kCfgIfWidth, kFieldInt, kIntBytes},
    {"receiver.step", kCfgStep, kFieldInt, kIntBytes},
    {"receiver.mode", kCfgMode, kFieldInt, kIntBytes},
    {"receiver.attenuator", kCfgAttenuator, kFieldInt, kIntBytes},
    {"receiver.agc", kCfgAgc, kFieldInt, kIntBytes},
    {"receiver.noise_blanker", kCfgNoiseBlanker, kFieldInt, kIntBytes},
    {"receiver.volume", kCfgVolume, kFieldInt, kIntBytes},
    {"receiver.squelch", kCfgSquelch, kFieldInt, kIntBytes},
    {"receiver.name", kCfgReceiverName, kFieldString, kCfgReceiverNameSize},
    {"listen.file", kCfgFileListening, kFieldInt, kIntBytes},
    {"listen.repeat", kCfgListenRepeat, kFieldInt, kIntBytes},
    {"listen.filtered", kCfgFilteredListen, kFieldInt, kIntBytes},
    {"equalizer.position", kCfgEqualizerPosition, kFieldInt, kIntBytes},
    {"audio.playback_volume", kCfgPlaybackVolume, kFieldInt, kIntBytes},
    {"audio.record_volume", kCfgRecordVolume, kFieldInt, kIntBytes},
    {"audio.page", kCfgAudioPage, kFieldInt, kIntBytes},
    {"scan.scanning", kCfgScanning, kFieldInt, kIntBytes},
    {"scan.stop_on_signal", kCfgScanStopOnSignal, kFieldInt, kIntBytes},
    {"squelch.threshold", kCfgSquelchThreshold, kFieldInt, kIntBytes},
    {"scan.event_source", kCfgScanEventSource, kFieldInt, kIntBytes},
    {"scan.dwell_blocks", kCfgScanDwellBlocks, kFieldInt, kIntBytes},
    {"scan.record_count", kCfgScanRecordCount, kFieldInt, kIntBytes},
    {"audio.rate", kCfgSampleRate, kFieldInt, kIntBytes},
    {"audio.block", kCfgBlockSize, kFieldInt, kIntBytes},
    {"decoder.filter_length", kCfgFilterLength, kFieldInt, kIntBytes},
    {"mixer.selectors", kCfgMixerSelectors, kFieldBytes, kCfgAudioFolder - kCfgMixerSelectors},
    {"audio.folder", kCfgAudioFolder, kFieldString, kPath},
    {"scan.folder", kCfgScanFolder, kFieldString, kPath},
    {"mixer.state", kCfgMixerState, kFieldBytes, kCfgMixerCard - kCfgMixerState},
    {"mixer.card", kCfgMixerCard, kFieldBytes, kCfgMixerControls - kCfgMixerCard},
    {"mixer.controls", kCfgMixerControls, kFieldBytes, kCfgTextRequestLeft - kCfgMixerControls},
    {"textreq.left", kCfgTextRequestLeft, kFieldInt, kIntBytes},
    {"textreq.top", kCfgTextRequestTop, kFieldInt, kIntBytes},
    {"textreq.right", kCfgTextRequestRight, kFieldInt, kIntBytes},
    {"textreq.bottom", kCfgTextRequestBottom, kFieldInt, kIntBytes},
    {"receive_page", kCfgReceivePage, kFieldInt, kIntBytes},
    {"decoder", kCfgDecoder, kFieldInt, kIntBytes},
    {"data.folder", kCfgDataFolder, kFieldString, kPath},
};

int SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
  return 0;
}

// Bytes below the space and DEL would break a line of text: shown as \xHH.
bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

const char kHex[] = "0123456789abcdef";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decimal, or hexadecimal after "0x"; the whole text, within 32 bits (hexadecimal up to
// 0xffffffff, for colour words).
int ParseInt(const std::string& text, int32_t* out) {
  const char* p = text.data();
  const char* end = p + text.size();
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  int base = 10;
  if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  }
  if (p == end || *p == '-' || *p == '+') return 0;
  long long v = 0;
  auto [rest, ec] = std::from_chars(p, end, v, base);
  if (ec != std::errc() || rest != end) return 0;
  if (negative) v = -v;
  if (base == 16 && !negative && v <= 0xffffffffLL) v = int32_t(uint32_t(v));
  if (v < INT32_MIN || v > INT32_MAX) return 0;
  *out = int32_t(v);
  return 1;
}

}  // namespace

CSettingsRecord::CSettingsRecord() { SetDefaults(); }

void CSettingsRecord::SetDefaults() {
  memset(bytes_, 0, sizeof bytes_);
  for (const IntDefault& d : kIntDefaults) SetInt(d.offset, d.value);
  for (const DoubleDefault& d : kDoubleDefaults) SetDouble(d.offset, d.value);
  for (const StringDefault& d : kStringDefaults) SetString(d.offset, d.size, d.value);
}

int32_t CSettingsRecord::GetInt(int offset) const {
  if (!Inside(offset, kIntBytes)) return 0;
  uint32_t v = 0;
  for (int i = 0; i < kIntBytes; ++i) v |= uint32_t(bytes_[offset + i]) << (8 * i);
  return int32_t(v);
}

void CSettingsRecord::SetInt(int offset, int32_t v) {
  if (!Inside(offset, kIntBytes)) return;
  for (int i = 0; i < kIntBytes; ++i) bytes_[offset + i] = uint8_t(uint32_t(v) >> (8 * i));
}

double CSettingsRecord::GetDouble(int offset) const {
  if (!Inside(offset, kDoubleBytes)) return 0.0;
  uint64_t bits = 0;
  for (int i = 0; i < kDoubleBytes; ++i) bits |= uint64_t(bytes_[offset + i]) << (8 * i);
  double v;
  memcpy(&v, &bits, sizeof v);
  return v;
}

void CSettingsRecord::SetDouble(int offset, double v) {
  if (!Inside(offset, kDoubleBytes)) return;
  uint64_t bits;
  memcpy(&bits, &v, sizeof bits);
  for (int i = 0; i < kDoubleBytes; ++i) bytes_[offset + i] = uint8_t(bits >> (8 * i));
}

std::string CSettingsRecord::GetString(int offset, int size) const {
  if (size <= 0 || !Inside(offset, size)) return std::string();
  const uint8_t* p = bytes_ + offset;
  const void* zero = memchr(p, 0, size_t(size - 1));
  const size_t n = zero ? size_t(static_cast<const uint8_t*>(zero) - p) : size_t(size - 1);
  return std::string(reinterpret_cast<const char*>(p), n);
}

void CSettingsRecord::SetString(int offset, int size, const std::string& s) {
  if (size <= 0 || !Inside(offset, size)) return;
  const size_t n = std::min(s.size(), size_t(size - 1));
  memset(bytes_ + offset, 0, size_t(size));
  memcpy(bytes_ + offset, s.data(), n);
}

std::string CSettingsRecord::GetPath(int offset) const { return GetString(offset, kSettingsPathSize); }

void CSettingsRecord::SetPath(int offset, const std::string& p) {
  SetString(offset, kSettingsPathSize, p);
}

int CSettingsRecord::Assign(const uint8_t* data, size_t size) {
  if (!data || size != sizeof bytes_) return 0;
  memcpy(bytes_, data, sizeof bytes_);
  return 1;
}

int CSettingsRecord::Load(const std::string& path, std::string* message) {
  SetDefaults();
  std::vector<uint8_t> data;
  if (!ReadWholeFile(path, data)) return 0;
  if (Assign(data.data(), data.size())) return 1;
  const std::string kept = path + ".bad";
  std::string text = path + ": " + std::to_string(data.size()) + " bytes instead of " +
                     std::to_string(kSettingsRecordSize) + "; ";
  if (rename(path.c_str(), kept.c_str()) == 0)
    text += "kept as " + kept + ", defaults used";
  else
    text += "could not keep it as " + kept + " (" + strerror(errno) + "), defaults used";
  if (message) *message = text;
  return -1;
}

int CSettingsRecord::Save(const std::string& path, std::string* error) const {
  return WriteFileReplacing(path, bytes_, sizeof bytes_, error);
}

void CSettingsRecord::FillFolders(const std::string& base) {
  for (const StationFolder& f : kStationFolders) {
    if (!GetPath(f.offset).empty()) continue;
    const std::string folder = base + "/" + f.subdir;
    if (folder.size() < size_t(kSettingsPathSize)) SetPath(f.offset, folder);
  }
}

const StationFolder* StationFolders(int* count) {
  *count = int(sizeof kStationFolders / sizeof kStationFolders[0]);
  return kStationFolders;
}

const SettingsField* SettingsFields(int* count) {
  *count = int(sizeof kFields / sizeof kFields[0]);
  return kFields;
}

const SettingsField* FindSettingsField(const std::string& nameOrOffset) {
  int offset = -1;
  if (!nameOrOffset.empty() && nameOrOffset.find_first_not_of("0123456789") == std::string::npos) {
    auto [rest, ec] = std::from_chars(nameOrOffset.data(), nameOrOffset.data() + nameOrOffset.size(),
                                      offset);
    if (ec != std::errc()) return nullptr;
  }
  for (const SettingsField& f : kFields) {
    if (offset >= 0 ? f.offset == offset : strcasecmp(f.name, nameOrOffset.c_str()) == 0) return &f;
  }
  return nullptr;
}

std::string FormatSettingsField(const CSettingsRecord& r, const SettingsField& f) {
  switch (f.kind) {
    case kFieldInt:
      return std::to_string(r.GetInt(f.offset));
    case kFieldDouble: {
      // to_chars gives the shortest text that reads back exactly, whatever the locale.
      char buf[64];
      auto [end, ec] = std::to_chars(buf, buf + sizeof buf, r.GetDouble(f.offset));
      return ec == std::errc() ? std::string(buf, end) : std::string();
    }
    case kFieldString: {
      std::string out;
      for (unsigned char c : r.GetString(f.offset, f.size)) {
        if (IsControl(c)) {
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += char(c);
        }
      }
      return out;
    }
    case kFieldBytes: {
      std::string out;
      for (int i = 0; i < f.size && f.offset + i < kSettingsRecordSize; ++i) {
        const uint8_t b = r.Bytes()[f.offset + i];
        out += kHex[b >> 4];
        out += kHex[b & 15];
      }
      return out;
    }
  }
  return std::string();
}

int ParseSettingsField(CSettingsRecord& r, const SettingsField& f, const std::string& text,
                       std::string* error) {
  switch (f.kind) {
    case kFieldInt: {
      int32_t v;
      if (!ParseInt(text, &v)) return SetError(error, "not a 32-bit whole number: " + text);
      r.SetInt(f.offset, v);
      return 1;
    }
    case kFieldDouble: {
      double v;
      const char* begin = text.data();
      if (!text.empty() && text[0] == '+') ++begin;
      auto [end, ec] = std::from_chars(begin, text.data() + text.size(), v);
      if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return SetError(error, "not a number: " + text);
      r.SetDouble(f.offset, v);
      return 1;
    }
    case kFieldString: {
      if (text.size() > size_t(f.size - 1))
        return SetError(error, "longer than " + std::to_string(f.size - 1) + " bytes");
      for (unsigned char c : text)
        if (IsControl(c)) return SetError(error, "control characters are not allowed");
      r.SetString(f.offset, f.size, text);
      return 1;
    }
    case kFieldBytes: {
      if (text.size() % 2 != 0 || text.size() > size_t(2 * f.size))
        return SetError(error, "not up to " + std::to_string(f.size) + " bytes in hexadecimal");
      std::vector<uint8_t> bytes(size_t(f.size), 0);
      for (size_t i = 0; i < text.size(); i += 2) {
        const int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return SetError(error, "not hexadecimal: " + text);
        bytes[i / 2] = uint8_t(hi * 16 + lo);
      }
      memcpy(r.Bytes() + f.offset, bytes.data(), bytes.size());
      return 1;
    }
  }
  return SetError(error, "unknown field kind");
}

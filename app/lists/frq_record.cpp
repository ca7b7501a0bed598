#include "app/lists/frq_record.h"

#include <bit>
#include <cstring>
#include <type_traits>

#include "app/core/safe_file.h"
#include "app/core/station_codes.h"
#include "app/lists/frq_tables.h"
#include "spl/decoders/sstv_decoder.h"
#include "spl/radio/receiver_table.h"

namespace {

constexpr double kHzPerKHz = 1000.0;
constexpr int kUsbIndex = std::countr_zero(unsigned(kModeUSB));
constexpr int kLsbIndex = std::countr_zero(unsigned(kModeLSB));

// The record's text decoder codes lie below this (the FAX code is the first that is not one).
constexpr int kTextCodeLimit = kFrqSstvBase - kFrqTextBase;

// SSTV index -> decoder mode number, in the order of the list's texts ("Martin 1",
// "Wraase SC2", "Scottie 1", "Robot 72").
constexpr int kSstvModeOfIndex[] = {kSstvMartin1, kSstvSc2180, kSstvScottie1, kSstvRobot72};
constexpr int kSstvIndexCount = int(std::size(kSstvModeOfIndex));

constexpr int kIfWidthsKHz[] = {3, 6, 15, 50, 230};
constexpr int kIfIndexCount = int(std::size(kIfWidthsKHz));

constexpr CFrqRecord kTemplate{
    .rxFrq = 0,
    .name = "",
    .decoder = 0,
    .modulation = kUsbIndex,
    .callSign = "",
    .country = 0,
    .stationType = 0,
    .steps = 100,
    .ifIndex = 0,
    .txFrq = 0,
    .att = 0,
    .agc = 0,
    .nb = 0,
    .volume = 64,
    .squelch = 0,
    .startFrq = 0,
    .stopFrq = 0,
    .scanSteps = 1000,
    .waveOn = 0,
    .lineOn = 0,
    .decFilter = 0,
    .equFilter = 1,
    .equName = "DEFAULT",
    .waveOutVol = 135,
    .lineInVol = 45,
    .lineOutVol = 135,
    .audioSquelch = 0,
    .recOnSig = 0,
    .stopOnSig = 0,
    .recTime = 0,
    .whileTime = 100,
    .audioOrSquelch = 0,
    .assumeRadio = 0,
    .assumeAudio = 0,
    .flags = 0,
    .cwCenter = 1275,
    .cwMark = 1275,
    .cwWidth = 40,
    .faxIoc = 576,
    .faxLpm = 120,
    .faxCenter = 1900,
    .faxShift = 800,
    .faxFilterMode = 0,
    .faxFilterWidth = 1200,
    .faxHMirror = 0,
    .faxVMirror = 0,
    .faxAm = 0,
    .faxFilterOn = 1,
    .faxBurst1 = 1040,
    .faxBurst2 = 250,
    .faxSyncWidth = 5,
    .faxInvertSync = 0,
    .rttyMode = 0,
    .rttyBaud = 50,
    .rttyMark = 1275,
    .rttySpace = 1700,
    .rttyStopBits = 1.5,
    .rttyPolarity = 0,
    .sstvMode = 0,
    .sstvFilterLo = 1000,
    .sstvFilterHi = 2500,
    .sstvFilterOrder = 8,
    .sstvManualFilter = 0,
    .commentary = "",
    .modulationType = kFrqClassUndefined,
    .satId = 0,
    .extension = {},
};

// Calls f on every field in the order of the byte form: the one list of the layout, used by
// both directions and by the size check below.
template <class Record, class F>
constexpr void ForEachField(Record& r, F&& f) {
  f(r.rxFrq); f(r.name); f(r.decoder); f(r.modulation); f(r.callSign); f(r.country);
  f(r.stationType); f(r.steps); f(r.ifIndex); f(r.txFrq); f(r.att); f(r.agc); f(r.nb);
  f(r.volume); f(r.squelch); f(r.startFrq); f(r.stopFrq); f(r.scanSteps); f(r.waveOn);
  f(r.lineOn); f(r.decFilter); f(r.equFilter); f(r.equName); f(r.waveOutVol); f(r.lineInVol);
  f(r.lineOutVol); f(r.audioSquelch); f(r.recOnSig); f(r.stopOnSig); f(r.recTime);
  f(r.whileTime); f(r.audioOrSquelch); f(r.assumeRadio); f(r.assumeAudio); f(r.flags);
  f(r.cwCenter); f(r.cwMark); f(r.cwWidth); f(r.faxIoc); f(r.faxLpm); f(r.faxCenter);
  f(r.faxShift); f(r.faxFilterMode); f(r.faxFilterWidth); f(r.faxHMirror); f(r.faxVMirror);
  f(r.faxAm); f(r.faxFilterOn); f(r.faxBurst1); f(r.faxBurst2); f(r.faxSyncWidth);
  f(r.faxInvertSync); f(r.rttyMode); f(r.rttyBaud); f(r.rttyMark); f(r.rttySpace);
  f(r.rttyStopBits); f(r.rttyPolarity); f(r.sstvMode); f(r.sstvFilterLo); f(r.sstvFilterHi);
  f(r.sstvFilterOrder); f(r.sstvManualFilter); f(r.commentary); f(r.modulationType);
  f(r.satId);
  for (auto& e : r.extension) f(e);
}

// Byte offset of the field select picks (the total size when it picks none): the layout
// checks below, at compile time.
template <class Select>
constexpr size_t ByteOffsetOf(Select select) {
  CFrqRecord r{};
  const void* member = select(r);
  size_t at = 0;
  bool found = false;
  ForEachField(r, [&](auto& field) {
    if (member && static_cast<const void*>(&field) == member) found = true;
    if (!found) at += sizeof field;
  });
  return at;
}
static_assert(ByteOffsetOf([](CFrqRecord&) -> const void* { return nullptr; }) ==
              kFrqRecordSize);
static_assert(ByteOffsetOf([](CFrqRecord& r) -> const void* { return &r.startFrq; }) ==
              kFrqStartFrqOffset);
static_assert(ByteOffsetOf([](CFrqRecord& r) -> const void* { return r.commentary; }) ==
              kFrqCommentaryOffset);

void PutLittle(uint8_t* p, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = uint8_t(v >> (8 * i));
}

uint64_t GetLittle(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= uint64_t(p[i]) << (8 * i);
  return v;
}

}  // namespace

CFrqRecord FrqTemplate() { return kTemplate; }

void FrqRecordToBytes(const CFrqRecord& r, uint8_t out[kFrqRecordSize]) {
  uint8_t* p = out;
  ForEachField(r, [&p](const auto& field) {
    using T = std::remove_cvref_t<decltype(field)>;
    if constexpr (std::is_same_v<T, double>) {
      PutLittle(p, std::bit_cast<uint64_t>(field), sizeof field);
    } else if constexpr (std::is_same_v<T, int32_t>) {
      PutLittle(p, uint32_t(field), sizeof field);
    } else {
      std::memcpy(p, field, sizeof field);
    }
    p += sizeof field;
  });
}

int FrqRecordFromBytes(const uint8_t* bytes, size_t size, CFrqRecord& out) {
  if (!bytes || size != size_t(kFrqRecordSize)) return 0;
  CFrqRecord r{};
  const uint8_t* p = bytes;
  ForEachField(r, [&p](auto& field) {
    using T = std::remove_cvref_t<decltype(field)>;
    if constexpr (std::is_same_v<T, double>) {
      field = std::bit_cast<double>(GetLittle(p, sizeof field));
    } else if constexpr (std::is_same_v<T, int32_t>) {
      field = int32_t(uint32_t(GetLittle(p, sizeof field)));
    } else {
      std::memcpy(field, p, sizeof field);
      field[sizeof field - 1] = '\0';
    }
    p += sizeof field;
  });
  out = r;
  return 1;
}

void SetFrqText(char* field, size_t size, const char* text) {
  if (!field || size == 0) return;
  std::memset(field, 0, size);
  if (!text) return;
  std::strncpy(field, text, size - 1);
}

int ReadFrqRecordFile(const std::string& path, std::vector<CFrqRecord>& out, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, error)) return 0;
  if (bytes.size() % kFrqRecordSize != 0) {
    if (error)
      *error = path + ": " + std::to_string(bytes.size()) + " bytes, not a list of " +
               std::to_string(kFrqRecordSize) + "-byte records";
    return 0;
  }
  std::vector<CFrqRecord> records(bytes.size() / kFrqRecordSize);
  for (size_t i = 0; i < records.size(); ++i)
    FrqRecordFromBytes(bytes.data() + i * kFrqRecordSize, kFrqRecordSize, records[i]);
  out.swap(records);
  return 1;
}

int WriteFrqRecordFile(const std::string& path, const std::vector<CFrqRecord>& records,
                       std::string* error) {
  std::vector<uint8_t> bytes(records.size() * kFrqRecordSize);
  for (size_t i = 0; i < records.size(); ++i)
    FrqRecordToBytes(records[i], bytes.data() + i * kFrqRecordSize);
  return WriteFileReplacing(path, bytes.data(), bytes.size(), error);
}

FrqDecoderKind FrqDecoderKindOf(int decoder) {
  if (decoder >= kFrqSstvBase) return kFrqSstv;
  if (decoder >= kFrqTextBase) return kFrqText;
  if (decoder >= kFrqFaxBase) return kFrqFax;
  return kFrqAudio;
}

int StationDecoderCode(const CFrqRecord& r) {
  switch (FrqDecoderKindOf(r.decoder)) {
    case kFrqFax: return kDecoderFax;
    case kFrqText: return r.decoder - kFrqTextBase;  // CW 14336 gives kDecoderCw itself
    case kFrqSstv: return kDecoderSstv;
    case kFrqAudio: break;
  }
  return kDecoderAudio;
}

int FrqDecoderValue(int stationCode, int faxIoc, int sstvIndex) {
  if (stationCode == kDecoderFax) return kFrqFaxBase + faxIoc;
  if (stationCode == kDecoderSstv) return kFrqSstvBase + sstvIndex;
  if (stationCode >= 0 && stationCode < kTextCodeLimit) return kFrqTextBase + stationCode;
  return 0;
}

int FrqEmissionClassFor(int stationCode) {
  if (stationCode == kDecoderFax) return kFrqClassFax;
  if (stationCode == kDecoderCw) return kFrqClassCw;
  if (stationCode == kDecoderBpsk31 || stationCode == kDecoderQpsk31) return kFrqClassUndefined;
  if (stationCode >= 0 && stationCode < kTextCodeLimit) return kFrqClassRtty;
  return kFrqClassUndefined;  // audio, SSTV
}

int SstvModeOfIndex(int index) {
  return index >= 0 && index < kSstvIndexCount ? kSstvModeOfIndex[index] : -1;
}

int SstvIndexOfMode(int mode) {
  for (int i = 0; i < kSstvIndexCount; ++i)
    if (kSstvModeOfIndex[i] == mode) return i;
  return -1;
}

int IfWidthKHz(int index) {
  return index > 0 && index < kIfIndexCount ? kIfWidthsKHz[index] : kIfWidthsKHz[0];
}

int IfIndexOfWidth(int kHz) {
  for (int i = 0; i < kIfIndexCount; ++i)
    if (kIfWidthsKHz[i] == kHz) return i;
  return 0;
}

double FrqDialFrequency(const CFrqRecord& r) {
  double centreHz = 0;
  switch (FrqDecoderKindOf(r.decoder)) {
    case kFrqFax: centreHz = r.faxCenter; break;
    case kFrqText:
      centreHz = StationDecoderCode(r) == kDecoderCw ? double(r.cwCenter)
                                                     : (double(r.rttyMark) + r.rttySpace) / 2;
      break;
    case kFrqSstv:
    case kFrqAudio: break;
  }
  const double centre = centreHz / kHzPerKHz;
  if (r.modulation == kUsbIndex) return r.rxFrq - centre;
  if (r.modulation == kLsbIndex) return r.rxFrq + centre;
  return r.rxFrq;
}

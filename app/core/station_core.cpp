// The block hub: which window gets the captured blocks, the stages every block runs
// through, and the set-up and tear-down of the decoder groups.
#include "app/core/station_core.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/core/sim_station.h"
#include "spl/audio/op_amp.h"
#include "spl/audio/sound_device.h"
#include "spl/decoders/rtty_config.h"

namespace {

constexpr int kReceiverOwnSMeterA = 12, kReceiverOwnSMeterB = 22;
constexpr int kFaxIoc288 = 288;  // announced by the 675 Hz start tone
constexpr int kFaxBurstPercent = 100;  // the sync burst peaks at white

// Copies src into dst (count samples, measured); dst must hold them.
void CopyBlock(const AudioBlock* src, AudioBlock* dst) {
  const int n = src->count < dst->count ? src->count : dst->count;
  memcpy(dst->data, src->data, sizeof(float) * size_t(n));
  for (int i = n; i < dst->count; ++i) dst->data[i] = 0.0f;
  dst->tick = src->tick;
  MeasureAudioBlock(dst);
}

}  // namespace

void ScaleAudioBlock(AudioBlock* b, int percent) {
  if (percent == kUnchangedVolume) return MeasureAudioBlock(b);
  COpAmp op;
  op.Mul(b, float(percent) / kUnchangedVolume, 1);
}

HWND CStationCore::PageWindow(int group) const {
  // FAX and SSTV share the picture page.
  if (group == kGroupSstv) group = kGroupFax;
  return group >= 0 && group < kGroupCount ? page_[group] : nullptr;
}

void CStationCore::Message(const std::string& text) { ui_->ShowMessage(text); }

void CStationCore::Draw(int kind, const AudioBlock* b, int wParam) { ui_->Display(kind, b, wParam); }

void CStationCore::ShowState(int code) {
  const char* name = SystemStateName(code);
  if (!name) return;
  state_ = code;
  ui_->StatusPane(kPaneState, name);
}

bool CStationCore::ReportsOwnSMeter() const {
  const int type = settings_.GetInt(kCfgReceiverType);
  return type == kReceiverOwnSMeterA || type == kReceiverOwnSMeterB;
}

// ---- decoder selection -------------------------------------------------------------------

int CStationCore::SelectDecoder(int code) {
  const DecoderChoice* choice = FindDecoderChoice(code);
  if (!choice) {
    Message("unknown decoder code " + std::to_string(code));
    return 0;
  }
  // Leaving CW, the word it is still reading is printed (and the pending one cleared).
  if (active_[kGroupText] && Decoder() == kDecoderCw && code != kDecoderCw) cw_.Flush();
  settings_.SetInt(kCfgDecoder, code);
  int ok = 0;
  switch (choice->group) {
    case kGroupText: ok = SetUpText(code); break;
    case kGroupFax: ok = SetUpFax(); break;
    case kGroupSstv: ok = SetUpSstv(); break;
    default: ok = SetUpAudio(); break;
  }
  ui_->StatusPane(kPaneDecoder, choice->name);
  return ok;
}

int CStationCore::SetUpText(int code) {
  const int rate = settings_.GetInt(kCfgSampleRate), block = settings_.GetInt(kCfgBlockSize);
  if (!active_[kGroupText]) {
    StopDecoders();
    const HWND w = page_[kGroupText];
    if (!rtty_.Init(rate, block, settings_.GetInt(kCfgFilterLength)))
      return Message("CRttyDecoder::Init error"), 0;
    if (!cw_.Init(rate, block, kCwTaps, 0)) return Message("CCwDecoder::Init error"), 0;
    if (!psk31_.Init(kPsk31Carrier, rate, block, kPsk31Taps))
      return Message("CPSK31Decoder::Init error"), 0;
    text_capture_.SetTextFolder(settings_.GetPath(kCfgTextFolder));
    if (!cw_.Connect(w, kCwBandPassChannel) || !cw_.Connect(w, kCwEnvelopeChannel))
      return Message("CCwDecoder::Connect error"), 0;
    if (!rtty_.Connect(w, kRttyMarkChannel) || !rtty_.Connect(w, kRttySpaceChannel) ||
        !rtty_.Connect(w, kRttyDemodChannel))
      return Message("CRttyDecoder::Connect error"), 0;
    if (!psk31_.Connect(w, kPsk31BandPassChannel) || !psk31_.Connect(w, kPsk31DemodulatedChannel))
      return Message("CPSK31Decoder::Connect error"), 0;
    if (!Connect(w, 0)) return Message("Connect error"), 0;
    active_[kGroupText] = 1;
  }
  // Within the group only the set-up changes; BPSK or QPSK follows every choice.
  psk31_.SetBPSKModeActive(code == kDecoderBpsk31 ? 1 : 0);
  const DecoderChoice* choice = FindDecoderChoice(code);
  if (choice && choice->rttyMode >= 0 && !ApplyRttySettings(code)) return 0;
  if (code == kDecoderCw &&
      !cw_.SetFilter(settings_.GetInt(kCfgCwCenter), settings_.GetInt(kCfgCwBandwidth)))
    return Message("CCwDecoder::Init error"), 0;
  ShowState(text_capture_.Capturing() ? kStateWaitNnnnCode : kStateWaitZczcCode);
  return 1;
}

double CStationCore::RttyBaud() const {
  // The file's baud field holds whole numbers; a fractional rate (45.45 Bd) sits in a field of
  // ours and counts while the whole number still matches it.
  const int whole = settings_.GetInt(kCfgRttyBaud);
  const double exact = settings_.GetDouble(kCfgRttyExactBaud);
  return exact > 0.0 && std::lround(exact) == whole ? exact : double(whole);
}

void CStationCore::SetRttyBaud(double baud) {
  settings_.SetInt(kCfgRttyBaud, int(std::lround(baud)));
  settings_.SetDouble(kCfgRttyExactBaud, baud);
}

int CStationCore::ApplyRttySettings(int code) {
  const int rate = settings_.GetInt(kCfgSampleRate), block = settings_.GetInt(kCfgBlockSize);
  const int tone1 = settings_.GetInt(kCfgRttyTone1), tone2 = settings_.GetInt(kCfgRttyTone2);
  const double baud = RttyBaud();
  if (const char* why = RttySettingsError(rate, block, tone1, tone2, baud)) {
    Message(std::string("CRttyDecoder::Init error: ") + why);
    return 0;
  }
  if (!ConfigureRttyDecoder(rtty_, rate, block, settings_.GetInt(kCfgFilterLength), tone1, tone2,
                            FindDecoderChoice(code)->rttyMode, baud,
                            settings_.GetInt(kCfgRttyInverted)))
    return Message("CRttyDecoder::Init error"), 0;
  rtty_.SetStopBits(float(settings_.GetDouble(kCfgRttyStopBits)));
  // The tones are found and followed near the set ones; a NAVTEX coast station may sit
  // anywhere in the passband of a receiver tuned to 518 kHz.
  rtty_.SetAutoTune(1);
  rtty_.SetTuneRange(code == kDecoderNavtex ? 0 : kRttyDefaultTuneRangeHz);
  settings_.SetInt(kCfgRttyCenter, (tone1 + tone2) / 2);
  if (code == kDecoderSynop) synop_.ResetDecoder();
  return 1;
}

int CStationCore::SetUpFax() {
  if (!active_[kGroupFax]) {
    StopDecoders();
    const HWND w = page_[kGroupFax];
    // The FAX decoder runs at twice the rate on twice the block: every sample is doubled. Its
    // filter keeps the time span of the others (the same length would halve it, too short for
    // the phasing pulses to be found).
    if (!SetUpPictureInput() ||
        !fax_.Init(2 * kPictureRate, 2 * PictureBlock(), 2 * settings_.GetInt(kCfgFilterLength), 0))
      return Message("CFaxDecoder::Init error"), 0;
    if (!Connect(w, 0)) return Message("Connect error"), 0;
    if (!fax_.Connect(w, kFaxLineChannel) || !fax_.Connect(w, kFaxInputChannel) ||
        !fax_.Connect(w, kFaxOutputChannel))
      return Message("CFaxDecoder::Connect error"), 0;
    fax_capture_.Init(settings_.GetPath(kCfgFaxFolder));
    active_[kGroupFax] = 1;
  }
  ApplyFaxSettings();
  ShowState(kFaxWaitStart);
  return 1;
}

void CStationCore::ApplyFaxSettings() {
  fax_ioc_before_ = fax_ioc_pending_ = 0;
  if (!fax_.SetFaxDecoder(settings_.GetInt(kCfgFaxCenter), settings_.GetInt(kCfgFaxShift),
                          settings_.GetInt(kCfgFaxWidth)) ||
      !fax_.SetFaxMode(settings_.GetInt(kCfgFaxIoc), settings_.GetInt(kCfgFaxLpm)))
    Message("CFaxDecoder::Init error");
  const double korr = settings_.GetDouble(kCfgFaxKorr);
  if (korr > 0.0 && korr < 1.0) fax_.SetKorr(korr);
  fax_.SetFaxParam(settings_.GetInt(kCfgFaxSyncWidth), settings_.GetInt(kCfgFaxSyncPolarity));
  fax_.SetDirection(settings_.GetInt(kCfgFaxVMirror));
  fax_.SetFmQuadrature(1);
  fax_.SetAmQuadrature(1);
  fax_capture_.SetAutosave(!settings_.GetInt(kCfgFaxNoAutosave));
  fax_capture_.SetAutoSlant(profile_.GetInt(kFaxProfileSection, kAutoSlantKey, 1));
  fax_capture_.SetAutoDenoise(profile_.GetInt(kFaxProfileSection, kDenoiseKey, 1));
  if (settings_.GetInt(kCfgFaxAm))
    fax_.DefineBurst(settings_.GetInt(kCfgFaxBurst1), settings_.GetInt(kCfgFaxBurst2), kFaxBurstPercent);
}

int CStationCore::PictureBlock() const {
  return settings_.GetInt(kCfgSampleRate) == kPictureRate ? settings_.GetInt(kCfgBlockSize)
                                                          : kPictureBlock;
}

int CStationCore::SetUpPictureInput() {
  return picture_input_.Init(settings_.GetInt(kCfgSampleRate), kPictureRate, PictureBlock());
}

int CStationCore::SetUpSstv() {
  if (!active_[kGroupSstv]) {
    StopDecoders();
    const HWND w = page_[kGroupFax];
    if (!SetUpPictureInput() || !sstv_.Init(kPictureRate, PictureBlock()))
      return Message("CSstvDecoder::Init error"), 0;
    if (!sstv_.Connect(w, kSstvInputChannel) || !sstv_.Connect(w, kSstvPositionChannel) ||
        !sstv_.Connect(w, kSstvOutputChannel))
      return Message("CSstvDecoder::Connect error"), 0;
    if (!Connect(w, 0)) return Message("Connect error"), 0;
    active_[kGroupSstv] = 1;
  }
  ApplySstvSettings();
  ShowState(kStateWaitSstv);
  return 1;
}

void CStationCore::ApplySstvSettings() {
  sstv_state_ = 0;
  if (!sstv_.SetFilter(settings_.GetInt(kCfgSstvFilterLow), settings_.GetInt(kCfgSstvFilterHigh),
                       settings_.GetInt(kCfgFilterLength), 0))
    Message("CSstvDecoder::Init error");
  // The stored mode is where the decoder starts; the VIS code before each picture picks its
  // mode and starts it (starting by hand would begin a picture before any signal).
  sstv_.SetMode(settings_.GetInt(kCfgSstvMode), 0.0);
  sstv_.SetAVIS(1);
  sstv_.SetToneVis(1);
  sstv_.SetAutoSlant(profile_.GetInt(kSstvProfileSection, kAutoSlantKey, 1));
}

int CStationCore::SetUpAudio() {
  if (!active_[kGroupAudio]) {
    StopDecoders();
    if (!Connect(page_[kGroupAudio], 0)) return Message("Connect error"), 0;
    active_[kGroupAudio] = 1;
  }
  ShowState(kStateAudioActive);
  return 1;
}

void CStationCore::StopDecoders() {
  scan_.StopScan();
  if (active_[kGroupText]) {
    cw_.Flush();  // the last character of a transmission that just ended
    active_[kGroupText] = 0;
    const HWND w = page_[kGroupText];
    DisConnect(w, 0);
    rtty_.DisConnect(w, kRttyMarkChannel);
    rtty_.DisConnect(w, kRttySpaceChannel);
    rtty_.DisConnect(w, kRttyDemodChannel);
    cw_.DisConnect(w, kCwBandPassChannel);
    cw_.DisConnect(w, kCwEnvelopeChannel);
    psk31_.DisConnect(w, kPsk31BandPassChannel);
    psk31_.DisConnect(w, kPsk31DemodulatedChannel);
  }
  if (active_[kGroupFax]) {
    active_[kGroupFax] = 0;
    const HWND w = page_[kGroupFax];
    DisConnect(w, 0);
    fax_.DisConnect(w, kFaxOutputChannel);
    fax_.DisConnect(w, kFaxInputChannel);
    fax_.DisConnect(w, kFaxLineChannel);
  }
  if (active_[kGroupSstv]) {
    active_[kGroupSstv] = 0;
    const HWND w = page_[kGroupFax];
    DisConnect(w, 0);
    sstv_.DisConnect(w, kSstvOutputChannel);
    sstv_.DisConnect(w, kSstvInputChannel);
    sstv_.DisConnect(w, kSstvPositionChannel);
  }
  if (active_[kGroupAudio]) {
    active_[kGroupAudio] = 0;
    DisConnect(page_[kGroupAudio], 0);
  }
  if (pending_mark_) {
    FreeAudioBlock(pending_mark_);
    pending_mark_ = nullptr;
  }
}

// ---- the block hub -----------------------------------------------------------------------

void CStationCore::OnPageMessage(int page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_AUDIOBLOCK) return;
  AudioBlock* b = reinterpret_cast<AudioBlock*>(lParam);
  if (!b) return;
  const int kind = int(wParam);
  if (sim_ && kind == 0) sim_->Consumed(b->count);
  if (!audio_on_) return FreeAudioBlock(b);
  if (kind == 0) {
    ProcessBlock(b);
  } else if (page == kGroupText && kind >= kRttyMarkChannel && kind <= kPsk31DemodulatedChannel) {
    return DecoderSignal(kind, b);  // takes the block
  } else if (page == kGroupFax && kind >= kFaxInputChannel && kind <= kSstvOutputChannel) {
    Draw(kDisplayPictureSignal, b, kind);
  }
  FreeAudioBlock(b);
}

void CStationCore::Equalize(AudioBlock* b) {
  if (equalizer_ready_ && b != silence_) equalizer_.Equalize(b);
}

int CStationCore::SquelchLevel(const AudioBlock* b) {
  return CAudioSquelch::Level(squelch_.GetSpecDiff(b));
}

int CStationCore::ProcessBlock(AudioBlock* b) {
  const int position = settings_.GetInt(kCfgEqualizerPosition);
  const bool monitor = settings_.GetInt(kCfgMonitor) != 0;
  const bool file_listening = settings_.GetInt(kCfgFileListening) != 0;
  const bool decoding = decode_pos_ >= 0;
  // 1. Only fresh blocks are drawn; the decoding player catches up meanwhile.
  bool display = false;
  if (DWORD(Tick() - b->tick) < kStaleBlockMs) {
    if (decoding && !decode_paused_) {
      const DWORD start = Tick();
      for (int i = 0; i < kFileDecodeBlocks && DWORD(Tick() - start) < kFileDecodeMs; ++i)
        if (!FileDecodeStep(false)) break;
    } else {
      display = true;
    }
  }
  // 2. Decoder input and output.
  AudioBlock* d = b;
  AudioBlock* o = monitor ? b : silence_;
  // 3. The listening player through the whole chain.
  if (file_listening && !decoding) {
    if (FileListenStep(b, display)) d = o = b;
    else d = o = silence_;
  }
  // 4.
  if (display) Draw(kDisplayScopeInput, d);
  // 5.
  if (position == 1 && (!decoding || decode_paused_)) Equalize(d);
  // 6. Audio squelch.
  const int level = SquelchLevel(d);
  audio_level_ = level;
  if (!ReportsOwnSMeter()) OnSMeter(level / 2);
  const int open = level >= settings_.GetInt(kCfgSquelchThreshold) ? 1 : 0;
  if (!open && monitor) d = o = silence_;
  AudioSquelchLamps(open);
  // 7. Scanner step.
  if (scan_.Scanning()) scan_.ProcessBlock(d, level);
  // 8. Displays.
  if (display) {
    Draw(kDisplayLevel, d);
    Draw(kDisplayFft, d);
    if (!settings_.GetInt(kCfgAnalyserOutput)) Draw(kDisplayAnalyser, d);
    if (Decoder() == kDecoderAudio) {
      Draw(kDisplayAudioPage, d);
      if (settings_.GetInt(kCfgTimeSpectrumOn)) Draw(kDisplayTimeSpectrum, d);
    }
  }
  // 9. Recorder.
  if (recorder_.Recording() && !record_paused_) {
    AudioBlock* temp = nullptr;
    if (NewAudioBlock(&temp, settings_.GetInt(kCfgBlockSize))) {
      CopyBlock(d, temp);
      ScaleAudioBlock(temp, settings_.GetInt(kCfgRecordVolume));
      const long long before = recorder_.WrittenBytes();
      if (!recorder_.Record(temp)) {
        Message("recording stopped: " + recorder_.LastError());
        StopRecording();
      } else {
        recorded_bytes_ += recorder_.WrittenBytes() - before;
        if (display) ui_->RecorderLevel(recorded_bytes_, temp->peak * kPeakToPercent);
      }
      FreeAudioBlock(temp);
    }
  }
  // 10. (A stale block draws nothing at all.)
  if (display) Draw(kDisplayScopeDecoder, d);
  // 11. The decoder, unless the decoding player feeds it.
  if (!decoding) RunDecoder(d, display, o);
  // 12.
  if (display) Draw(kDisplayScopePage, d);
  // 13.
  if (position == 0 && o != silence_) Equalize(o);
  // 14. Playback (in decoder modes with filtered listening the decoder's signals are played).
  const bool filtered = settings_.GetInt(kCfgFilteredListen) != 0;
  if (!(Decoder() != kDecoderAudio && monitor && filtered && !decoding)) {
    PlayAudioBlock(o);
    if (o != silence_) MeasureAudioBlock(o);
    if (display) {
      Draw(kDisplayOutputLevel, o);
      Draw(kDisplayScopeOutput, o);
    }
  }
  // 15.
  if (Decoder() == kDecoderAudio && settings_.GetInt(kCfgAnalyserOutput) && display)
    Draw(kDisplayAnalyser, o);
  return display ? 1 : 0;
}

void CStationCore::RunDecoder(AudioBlock* d, bool display, AudioBlock*& out) {
  const int code = Decoder();
  const DecoderChoice* choice = FindDecoderChoice(code);
  if (!choice) return;
  switch (choice->group) {
    case kGroupText:
      if (!active_[kGroupText]) return;
      if (choice->rttyMode >= 0)
        rtty_.Decode(d);
      else if (code == kDecoderCw)
        cw_.Decode(d);
      else
        psk31_.Decode(d);
      // The waterfall shows the whole passband for every text decoder: where to tune CW and
      // PSK31 is found there too.
      if (display && settings_.GetInt(kCfgTimeSpectrumOn)) Draw(kDisplayTimeSpectrum, d);
      if (display) ui_->DecoderQuality(TextDecoderQuality(), TextDecoderTuning());
      return;
    case kGroupFax:
      if (active_[kGroupFax]) picture_input_.Push(d, [this](AudioBlock* b) { FaxStep(b); });
      return;
    case kGroupSstv:
      if (active_[kGroupSstv]) picture_input_.Push(d, [this](AudioBlock* b) { sstv_.Decode(b); });
      return;
    default:
      if (scan_playing_ && &out != &unused_out_) {
        // A held signal from the scan recording, in place of the listening player.
        if (scan_recorder_.Play(spare_, kUnchangedVolume) > 0) {
          out = spare_;
        } else {
          scan_playing_ = false;
          out = silence_;
        }
        return;
      }
      if (!settings_.GetInt(kCfgFileListening) && listen_pos_ >= 0 && &out != &unused_out_)
        out = FileListenStep(spare_, display) ? spare_ : silence_;
      return;
  }
}

int CStationCore::TextDecoderQuality() const {
  const DecoderChoice* choice = FindDecoderChoice(Decoder());
  if (!choice || choice->group != kGroupText) return 0;
  if (choice->rttyMode >= 0) return rtty_.GetQuality();
  return Decoder() == kDecoderCw ? cw_.GetQuality() : psk31_.GetQuality();
}

std::string CStationCore::TextDecoderTuning() const {
  const DecoderChoice* choice = FindDecoderChoice(Decoder());
  if (!choice || choice->group != kGroupText) return "";
  char text[48];
  if (choice->rttyMode >= 0) {
    snprintf(text, sizeof text, "%d / %d Hz", rtty_.GetTunedMark(), rtty_.GetTunedSpace());
  } else if (Decoder() == kDecoderCw) {
    // PARIS: a word is 50 dots long.
    const int dot = std::max(1, cw_.GetDotEstimate());
    snprintf(text, sizeof text, "%.0f Hz, %.0f WPM", cw_.GetTrackedTone(),
             60.0 * settings_.GetInt(kCfgSampleRate) / (50.0 * dot));
  } else {
    snprintf(text, sizeof text, "%.1f Hz", psk31_.GetCarrierFrequency());
  }
  return text;
}

void CStationCore::FaxStep(const AudioBlock* d) {
  const int n = d->count * 2 <= fax_block_->count ? d->count : fax_block_->count / 2;
  for (int i = 0; i < n; ++i) fax_block_->data[2 * i] = fax_block_->data[2 * i + 1] = d->data[i];
  fax_block_->tick = d->tick;
  MeasureAudioBlock(fax_block_);
  if (!settings_.GetInt(kCfgFaxAm)) fax_.DecodeFM(fax_block_);
  else if (settings_.GetInt(kCfgFaxAmFilter)) fax_.DecodeAMFilter(fax_block_);
  else fax_.DecodeAM(fax_block_);
  // A module change asked for by a start tone takes effect between blocks.
  if (fax_ioc_pending_) {
    // The change restarts the receive state; the start tone that asked for it was heard.
    if (fax_.SetFaxMode(fax_ioc_pending_, settings_.GetInt(kCfgFaxLpm))) fax_.ExpectPhasing();
    fax_ioc_pending_ = 0;
  }
}

void CStationCore::DecoderSignal(int kind, AudioBlock* b) {
  if (decode_pos_ >= 0) return FreeAudioBlock(b);
  const bool play = settings_.GetInt(kCfgMonitor) && settings_.GetInt(kCfgFilteredListen);
  switch (kind) {
    case kRttyMarkChannel:
    case kRttySpaceChannel: {
      // The mark and space outputs come as a pair; the first waits for its partner.
      if (!pending_mark_ || pending_kind_ == kind) {
        if (pending_mark_) FreeAudioBlock(pending_mark_);
        pending_mark_ = b;
        pending_kind_ = kind;
        return;
      }
      AudioBlock* mark = kind == kRttyMarkChannel ? b : pending_mark_;
      AudioBlock* space = kind == kRttyMarkChannel ? pending_mark_ : b;
      pending_mark_ = nullptr;
      Draw(kDisplayXY, mark, kRttyMarkChannel);
      COpAmp op;
      op.Add(mark, space, 1);
      if (settings_.GetInt(kCfgAnalyserOutput)) Draw(kDisplayAnalyser, space);
      if (play) PlayAudioBlock(space);
      FreeAudioBlock(mark);
      FreeAudioBlock(space);
      return;
    }
    case kRttyDemodChannel:
    case kCwEnvelopeChannel:
    case kPsk31DemodulatedChannel:
      Draw(kDisplayDecoderSignal, b, kind);
      break;
    case kCwBandPassChannel:
    case kPsk31BandPassChannel:
      if (play) PlayAudioBlock(b);
      Draw(kDisplayTimeSpectrum, b, kind);
      break;
    default:
      break;
  }
  FreeAudioBlock(b);
}

int CStationCore::SetRecordingFormat(const WAVEFORMATEX* wfx) {
  // The running recording keeps the format its file header was written with.
  if (recorder_.Recording()) return 0;
  return format_.SetFormat(wfx);
}

void CStationCore::AudioSquelchLamps(int open) {
  audio_squelch_open_ = open;
  if (!(radio_.CapabilityMask & kCapSquelch)) {
    squelch_open_ = open;
    ui_->Squelch(open);
  }
  ui_->AudioSquelch(open);
}

// ---- decoder output ----------------------------------------------------------------------

void CStationCore::OnChar(int ch) {
  ui_->ReceivedChar(ch);
  text_capture_.Char(ch);
  if (Decoder() == kDecoderSynop) synop_.Decode(ch);
}

void CStationCore::OnPendingText(const char* text) { ui_->PendingText(text); }

void CStationCore::OnSynopReport(SYN_DATA& report) {
  char text[CSynopDecoder::kTextSize];
  if (!synop_.Translate(report, text, sizeof text)) return;
  text_capture_.AppendTranslation(text);
  ui_->ReceivedText(std::string("\r\r") + text, kSynopColour);
}

void CStationCore::OnFaxLine(HBITMAP line, int burst) {
  const uint8_t* p = fax_.AdrH(line);
  fax_capture_.Line(p, fax_.Width(line));
  ui_->FaxLine(p, fax_.Width(line), burst);
}

void CStationCore::OnFaxState(int code) {
  ShowState(code);
  const std::string before = fax_capture_.LastSaved();
  fax_capture_.State(code);
  if (fax_capture_.LastSaved() != before) {
    ui_->ProductSaved(kProductFax, fax_capture_.LastSaved());
    if (fax_capture_.LastPpm() != 0.0) SlantMessage("FAX", fax_capture_.LastPpm());
  }
  // A 675 Hz start tone announces IOC 288 until the next 300 Hz one.
  const int ioc = settings_.GetInt(kCfgFaxIoc);
  if (code == kFaxStart675 && !fax_ioc_before_ && ioc != kFaxIoc288) {
    fax_ioc_before_ = ioc;
    fax_ioc_pending_ = kFaxIoc288;
  } else if (code == kFaxStart300 && fax_ioc_before_) {
    fax_ioc_pending_ = fax_ioc_before_;
    fax_ioc_before_ = 0;
  }
}

void CStationCore::OnSstvLine(int line) { ui_->SstvLine(line); }

void CStationCore::OnSstvState(unsigned long state) {
  const bool was = sstv_state_ & kSstvReceiving, is = state & kSstvReceiving;
  sstv_state_ = state;
  if (is && !was) ShowState(kStateReceiveSstv);
  if (!is && was) {
    if (!settings_.GetInt(kCfgSstvNoAutosave)) SaveSstvNow();
    if (std::fabs(sstv_.GetClockPpm()) >= 0.5) SlantMessage("SSTV", sstv_.GetClockPpm());
    ShowState(kStateWaitSstv);
  }
}

void CStationCore::SlantMessage(const char* mode, double ppm) {
  char text[96];
  snprintf(text, sizeof text, "%s: line period %+.0f ppm from the nominal, slant corrected", mode,
           ppm);
  Message(text);
}

int CStationCore::SaveSstvNow() {
  std::string path, why;
  if (!SaveSstvPicture(settings_.GetPath(kCfgSstvFolder), sstv_.GetPicture(), Now(), path, why))
    return Message("SSTV picture not saved: " + why), 0;
  ui_->ProductSaved(kProductSstv, path);
  return 1;
}

HBITMAP CStationCore::SstvPicture() { return sstv_.GetPicture(); }

void CStationCore::FaxSetSyncPos(int delta) {
  if (active_[kGroupFax]) fax_.SetSyncPos(delta);
}

void CStationCore::SetFaxMirror(int on) {
  settings_.SetInt(kCfgFaxVMirror, on ? 1 : 0);
  fax_.SetDirection(on ? 1 : 0);
}

void CStationCore::SetPictureAutosave(StationProduct kind, int on) {
  if (kind == kProductFax) {
    settings_.SetInt(kCfgFaxNoAutosave, on ? 0 : 1);
    fax_capture_.SetAutosave(on);
  } else if (kind == kProductSstv) {
    settings_.SetInt(kCfgSstvNoAutosave, on ? 0 : 1);
  }
}

void CStationCore::OnSMeter(int value) {
  smeter_ = value;
  ui_->SMeter(value);
}

void CStationCore::OnSquelch(int open) {
  squelch_open_ = open;
  ui_->Squelch(open);
}

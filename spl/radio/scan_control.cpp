#include "spl/radio/scan_control.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kSMeterSquelchCentre = 129;  // receiver squelch setting that adds nothing
constexpr int kSMeterSquelchScale = 2;
constexpr int kCellMax = 255;              // a cell holds one byte
constexpr int kBlockCountMax = kCellMax;
constexpr int kMsPerSecond = 1000;
constexpr double kKHzPerHz = 0.001;
constexpr double kDefaultSteps = 50.0;  // a range without a stop spans 50 steps
constexpr int kFullVolume = 100;
}  // namespace

int CScanControl::Init(CScanner* scanner, CRadio* radio, int sampleRate, int samplesPerBlock) {
  StopScan();
  scanner_ = scanner;
  radio_ = radio;
  if (!scanner || !scanner->Init(sampleRate, samplesPerBlock)) {
    scanner_ = nullptr;
    return 0;
  }
  rate_ = sampleRate;
  samples_per_block_ = samplesPerBlock;
  return 1;
}

void CScanControl::SetChannelModes(const std::vector<int>& modes, const std::vector<int>& widths) {
  modes_ = modes;
  widths_ = widths;
}

int CScanControl::StartScan(double startKHz, double stopKHz, double stepHz, int dwellMs,
                            int recordMs) {
  error_.clear();
  if (!scanner_) return error_ = "the scanner has no capture format (Init)", 0;
  if (!std::isfinite(startKHz) || !std::isfinite(stopKHz) || !std::isfinite(stepHz))
    return error_ = "a frequency is not a number", 0;
  if (startKHz == 0.0 && radio_) startKHz = radio_->LastFrq();
  if (stepHz == 0.0) stepHz = settings_.tuningStepHz;
  if (!scanner_->Channels().empty()) stepHz = stepHz > 0 ? stepHz : 1.0;
  if (stepHz <= 0.0) return error_ = "the step must be above 0 Hz", 0;
  if (stopKHz == 0.0) stopKHz = startKHz + stepHz * kKHzPerHz * kDefaultSteps;
  if (stopKHz < startKHz) std::swap(startKHz, stopKHz);
  if (dwellMs < kScanDwellMinMs) dwellMs = kScanDwellDefaultMs;
  if (recordMs < 0) recordMs = 0;

  StopScan();
  if (!scanner_->Scan(float(startKHz), float(stopKHz), float(stepHz * kKHzPerHz))) {
    error_ = "the range cannot be scanned (step too small for it, or more than " +
             std::to_string(kScanMaxColumns) + " steps)";
    return 0;
  }
  // Dwell and record time in blocks, rounded: rate x ms / block, then (+ 500) / 1000.
  long long per = (long long)rate_ * dwellMs / samples_per_block_;
  dwell_blocks_ = int(std::max(1LL, (per + kMsPerSecond / 2) / kMsPerSecond));
  if (recordMs == 0) {
    record_count_ = 0;
  } else {
    long long blocks = ((long long)rate_ * recordMs / samples_per_block_ + kMsPerSecond / 2) /
                       kMsPerSecond;
    // In dwell periods; a record time shorter than one dwell still holds one.
    record_count_ = int(std::max(1LL, std::min<long long>(blocks / dwell_blocks_, 0x7FFFFFFF)));
  }
  dwell_counter_ = dwell_blocks_;
  record_counter_ = record_count_;
  audio_sum_ = smeter_sum_ = 0;
  block_count_ = 0;
  hold_ = 0;
  events_.clear();
  scanning_ = true;
  next_ = scanner_->Current();
  Tune(next_, scanner_->NextColumn());
  return 1;
}

void CScanControl::Release() {
  if (!events_.empty() && recorder_ && events_.back().segment >= 0) recorder_->EndSegment();
}

void CScanControl::StopScan() {
  if (scanning_ && hold_ > 0) Release();
  scanning_ = false;
  audio_sum_ = smeter_sum_ = 0;
  block_count_ = 0;
  hold_ = 0;
  dwell_counter_ = dwell_blocks_;
  record_counter_ = record_count_;
}

void CScanControl::Tune(float kHz, int column) {
  if (radio_) {
    radio_->Radio_SetFrq(kHz);
    if (!scanner_->Channels().empty() && column >= 0) {
      if (size_t(column) < modes_.size() && modes_[size_t(column)])
        radio_->Radio_SetMode(modes_[size_t(column)]);
      if (size_t(column) < widths_.size() && widths_[size_t(column)])
        radio_->Radio_SetZFWidth(widths_[size_t(column)]);
    }
  }
  OnTune(kHz);
}

int CScanControl::ProcessBlock(const AudioBlock* block, int audioLevel) {
  if (!scanning_ || !scanner_) return 0;
  const bool was_holding = hold_ > 0;
  if (was_holding && recorder_ && block && events_.back().segment >= 0) {
    if (recorder_->Record(block, kFullVolume)) ++events_.back().blocks;
  }
  audio_sum_ += std::clamp(audioLevel, 0, 255);
  smeter_sum_ += radio_ ? radio_->Radio_GetSMeter() : 0;
  ++block_count_;
  if (--dwell_counter_ > 0) return 1;
  dwell_counter_ = dwell_blocks_;

  int audio = std::max(0, int(audio_sum_ / dwell_blocks_) - settings_.squelchThreshold);
  int smeter = std::max(0, int(smeter_sum_ / dwell_blocks_) +
                               (kSMeterSquelchCentre - settings_.receiverSquelch) *
                                   kSMeterSquelchScale);
  int event = settings_.eventFromReceiver ? smeter : audio;
  int blocks = std::min(kBlockCountMax, block_count_ - 1);
  audio_sum_ = smeter_sum_ = 0;

  if (!was_holding) {
    block_count_ = 0;
    int column = scanner_->NextColumn(), line = scanner_->NextLine();
    if (column >= scanner_->GetXSize()) column = 0, line = scanner_->GetYSize();
    float measured = scanner_->Current();
    int finished;
    // The store keeps a byte a cell: a strong signal is kept at the top of the scale rather
    // than wrapped round to a weak one.
    next_ = scanner_->SetValue(std::min(smeter, kCellMax), std::min(audio, kCellMax), blocks, finished);
    next_column_ = scanner_->NextColumn();
    OnValue(column, line, measured, smeter, audio, blocks);
    if (finished >= 0) OnLineFinished(finished);
    if (settings_.stopOnSignal && event != 0) {
      hold_ = kScanHoldDwells;
      record_counter_ = record_count_;
      ScanEvent ev{column, line, measured, event, -1, -1, 0};
      if (recorder_) {
        ev.segment = recorder_->StartSegment(column, line);
        if (ev.segment >= 0) {
          ev.start = recorder_->Segment(ev.segment).start;
          if (block && recorder_->Record(block, kFullVolume)) ++ev.blocks;
        }
      }
      events_.push_back(ev);
      OnHold(events_.back());
    }
  } else if (event != 0 && record_count_ > 0) {
    // One dwell period of the record time has passed with the signal present.
    if (--record_counter_ < 1) {
      hold_ = 0;
      record_counter_ = record_count_;
    }
  } else if (event == 0) {
    --hold_;
  }

  if (hold_ <= 0) {
    if (was_holding) {
      Release();
      OnRelease(events_.back());
    }
    hold_ = 0;
    Tune(next_, next_column_);
  }
  return 1;
}

// CRttyDecoder: turns audio blocks carrying a frequency-shift-keyed teleprinter signal into
// characters: asynchronous Baudot, synchronous Baudot (kept bit clock) and SITOR-B (forward
// error correction, every character sent twice). Two receivers: the plain one, a two-filter
// discriminator feeding a framing that hunts for the first start-bit sample; and the matched
// one (CFskReceiver), which copies signals several dB weaker, follows the tones
// (CFskTuner) and keeps quiet on noise. The filter outputs and the plain demodulator signal are
// posted to the windows connected to them, whichever receiver decodes.
#pragma once
#include <cstdint>

#include "spl/audio/audio_block.h"
#include "spl/audio/sound_device.h"
#include "spl/decoders/fsk_receiver.h"
#include "spl/decoders/fsk_tuner.h"
#include "spl/dsp/filter.h"

// Framing modes.
constexpr int kRttyAsync = 0;
constexpr int kRttySync = 1;
constexpr int kRttySitorB = 2;

// Display channels (the wParam of the posted blocks).
constexpr int kRttyMarkChannel = 2;
constexpr int kRttySpaceChannel = 3;
constexpr int kRttyDemodChannel = 4;

// Samples per bit below this leave too little to integrate over.
constexpr int kRttyMinSamplesPerBit = 8;

// Receivers (SetReceiver).
constexpr int kRttyReceiverPlain = 0;    // filter discriminator, first-sample hunting
constexpr int kRttyReceiverMatched = 1;  // bit-matched filters, frame checks, soft SITOR-B

// The matched receiver's quality (0...100) below which nothing is printed, by default: noise
// alone stays under it, a signal at -6 dB in 3 kHz well above it.
constexpr int kRttyDefaultQuality = 30;
// How far from the set tones the tuning looks by default (Hz, about the pair's centre).
constexpr int kRttyDefaultTuneRangeHz = 250;

class CRttyDecoder {
 public:
  CRttyDecoder();
  CRttyDecoder(const CRttyDecoder&) = delete;
  CRttyDecoder& operator=(const CRttyDecoder&) = delete;
  virtual ~CRttyDecoder();

  // Stores the three values, allocates the buffers and designs the three filters. 0 on an
  // allocation failure, a refused design, or settings that cannot work: rate, block size or
  // taps not positive, a tone filter reaching 0 Hz or the Nyquist frequency, a baud rate that
  // is not positive or leaves fewer than kRttyMinSamplesPerBit samples per bit, or a character
  // longer than the analysis buffer keeps.
  int Init(int sampleRate, int blockSize, int taps);
  // Stores the filter settings (space first) and runs Init again with the stored values.
  int SetFilter(int space, int mark, int bandwidth, int lowpass, unsigned long windowFlags);
  void SetMode(int mode) { mode_ = mode, rx_dirty_ = true; }
  // Bits per second, fractional (45.45, 50, 56.88, 74.2, 75, 100 ...).
  void SetBaud(double baud) { baud_ = baud, rx_dirty_ = true; }
  void SetInvert(int invert) { invert_ = invert, rx_dirty_ = true; }
  // kRttyReceiverPlain (what a new decoder uses) or kRttyReceiverMatched.
  void SetReceiver(int receiver) { receiver_ = receiver, rx_dirty_ = true; }
  // Matched receiver only. on: find the tone pair of the set shift and follow it; range: how
  // far (Hz) its centre may lie from the set one, 0 = anywhere in the 200...3800 Hz passband.
  void SetAutoTune(int on) { auto_tune_ = on, rx_dirty_ = true; }
  void SetTuneRange(int hz) { tune_range_ = hz, rx_dirty_ = true; }
  // Matched receiver only: 0...100, 0 prints everything.
  void SetQualityThreshold(int q) { quality_threshold_ = q; }
  void SetBuZe(int letters) { shift_ = letters; }
  void SetStopBits(float stopBits) { stop_bits_ = stopBits; }

  // Channel 2 mark filter, 3 space filter, 4 demodulator. 0 for another channel or a window
  // already in the list (Connect), or one not in it (DisConnect).
  int Connect(HWND wnd, int channel);
  int DisConnect(HWND wnd, int channel);

  // Processes one block (any count; longer blocks are taken in pieces of the block size).
  void Decode(const AudioBlock* in);

  // Each decoded character (line feed arrives as 13, carriage return not at all).
  virtual void Char(int ch);
  // The new Baudot shift state after a shift character changed it (1 letters, 0 figures).
  virtual void BuZeChanged(int letters);

  int GetSampleRate() const { return rate_; }
  int GetBlockSize() const { return block_; }
  int GetTaps() const { return taps_; }
  int GetMode() const { return mode_; }
  double GetBaud() const { return baud_; }
  int GetReceiver() const { return receiver_; }
  int GetAutoTune() const { return auto_tune_; }
  int GetTuneRange() const { return tune_range_; }
  int GetQualityThreshold() const { return quality_threshold_; }
  // How clearly a signal is received, 0 (noise) ... 100; always 0 with the plain receiver.
  int GetQuality() const;
  // The tones the matched receiver listens to now (Hz, in GetMark/GetSpace order: lower,
  // higher); the set tones with the plain receiver or before the first block.
  int GetTunedMark() const;
  int GetTunedSpace() const;
  int GetInvert() const { return invert_; }
  int GetBuZe() const { return shift_; }
  int GetMark() const { return mark_; }
  int GetSpace() const { return space_; }
  int GetBandwidth() const { return bandwidth_; }
  int GetLowPass() const { return lowpass_; }
  unsigned long GetWindowFlags() const { return window_; }
  int GetLock() const { return lock_; }
  int GetBufferCount() const { return count_; }

 private:
  struct SitorEntry {
    uint8_t code, ch, dx, letters;
  };
  static constexpr int kBitsPerFrame = 7;
  static constexpr int kSitorHistory = 6;

  void Release();
  int SettingsWork() const;
  int FrameFits() const;
  void DecodePiece(const AudioBlock* src, int n);
  void Frame();
  void Consume(int p);
  int SamplesPerBit() const { return int(rate_ / baud_); }
  int SetUpMatched();
  void DecodeMatched(const AudioBlock* src, int n);
  void SitorCode(int code);
  void Squelched();
  int Bit(int q, int spb) const;
  int Sample(int p, int spb) const;
  int Hunt(int p) const;
  int TimingCorrection(int p, int v, int spb) const;
  int FrameAsync();
  int FrameSync();
  int FrameSitor();
  int DecodeBaudot(int v);
  int DecodeSitor(int v);

  int rate_ = 11025, block_ = 1024, taps_ = 64;
  int count_ = 0;
  int lock_ = 0;
  int mode_ = kRttyAsync;
  double baud_ = 50.0;
  int shift_ = 1;
  int invert_ = 1;
  int mark_ = 1275, space_ = 1700;
  int bandwidth_ = 50;
  int lowpass_ = 500;
  unsigned long window_ = kFilterWindowHann;
  float* buffer_ = nullptr;
  float stop_bits_ = 1.5f;
  AudioBlock* mark_block_ = nullptr;
  AudioBlock* space_block_ = nullptr;
  AudioBlock* diff_block_ = nullptr;
  AudioBlock* demod_block_ = nullptr;
  AudioBlock* in_block_ = nullptr;  // one piece of an input block longer than the block size
  SitorEntry history_[kSitorHistory] = {};
  CWindowList windows_[3];
  CFilter mark_filter_, space_filter_, lowpass_filter_;
  int receiver_ = kRttyReceiverPlain;
  int auto_tune_ = 0, tune_range_ = kRttyDefaultTuneRangeHz;
  int quality_threshold_ = kRttyDefaultQuality;
  bool rx_dirty_ = true, rx_ready_ = false;
  CFskReceiver rx_;
  CFskTuner tuner_;
};

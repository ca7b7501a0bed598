// CCwDecoder: reads on-off keyed Morse telegraphy from audio blocks. It band-passes the tone,
// follows its envelope against an adaptive threshold, times key-down and key-up periods, keeps
// running dot and dash estimates and hands each decoded character to the virtual Char.
#pragma once
#include <cstdint>

#include "spl/audio/audio_block.h"
#include "spl/audio/sound_device.h"
#include "spl/decoders/decoder_windows.h"
#include "spl/dsp/filter.h"

// Signal kinds posted to the connected windows.
constexpr int kCwBandPassChannel = 5;  // tone band-pass output
constexpr int kCwEnvelopeChannel = 6;  // envelope

class CCwDecoder {
 public:
  CCwDecoder() = default;
  CCwDecoder(const CCwDecoder&) = delete;
  CCwDecoder& operator=(const CCwDecoder&) = delete;
  // Each decoded character, a space after each word, a procedural signal's text char by char.
  virtual void Char(int ch) {}
  virtual ~CCwDecoder();

  // sampleRate: 1000 ... 384000 Hz; blockSize >= 1 (samples per Decode step); taps: filter
  // order, 2 ... 4096; windowFlags: kFilterWindow... bits. The tone band must lie inside
  // 0 ... rate / 2. Resets the timing estimates. 1, or 0 (object unchanged) for bad values,
  // 0 after a failed allocation.
  int Init(int sampleRate, int blockSize, int taps, int windowFlags);
  // tone (Hz) and band-pass width (Hz, >= 2); re-runs Init with the stored arguments.
  int SetFilter(int tone, int bandwidth);
  // Expected keying speed: 0 (no hint: the estimates start at 500 and 1500 samples at 11025 Hz)
  // or 5 ... 60 words per minute; takes effect at the next Init. 1 or 0.
  int SetSpeedHint(int wpm);
  // kCwBandPassChannel or kCwEnvelopeChannel; 0 for another channel or a duplicate / absence.
  int Connect(HWND wnd, int channel);
  int DisConnect(HWND wnd, int channel);
  // Processes one block of any length (in steps of at most the block size).
  void Decode(const AudioBlock* in);

  int GetTone() const { return tone_; }
  int GetBandwidth() const { return bandwidth_; }
  int GetDotEstimate() const { return dot_; }
  int GetDashEstimate() const { return dash_; }
  float GetThreshold() const { return threshold_; }
  int GetKeyState() const { return key_state_; }

 private:
  void Release();
  void DecodeStep(const AudioBlock* in);
  void RunKeying(const AudioBlock* envelope);
  void EndMark();
  void LookUp();

  int rate_ = 11025;
  int block_ = 1024;
  int taps_ = 128;
  int window_ = 0;
  int key_state_ = 0;  // 0 key down (tone), 1 key up (gap)
  int hysteresis_ = 0;
  int mark_ = 0;
  int gap_ = 0;
  int tone_ = 1200;
  int bandwidth_ = 30;
  int dash_ = 1500;
  int dot_ = 500;
  float threshold_ = 0.0f;
  float half_mean_ = 0.0f;
  uint64_t register_ = 0;
  AudioBlock* band_ = nullptr;
  AudioBlock* envelope_ = nullptr;
  AudioBlock* staging_ = nullptr;  // one step of an input longer than the block size
  CDecoderWindows windows_{kCwBandPassChannel, kCwEnvelopeChannel};
  CFilter band_pass_;
  CFilter low_pass_;
  // Derived from the rate at Init: the samples of the sample counts fixed at 11025 Hz.
  int hysteresis_limit_ = 100;
  int length_limit_ = 0;
  int speed_hint_ = 0;
};

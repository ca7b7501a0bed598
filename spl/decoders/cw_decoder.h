// CCwDecoder: reads on-off keyed Morse telegraphy from audio blocks. It band-passes the tone,
// mixes it to zero frequency and averages it over about a dot (the narrowest detector the
// keying speed allows), sets its key-down / key-up decision between separately tracked signal
// peak and noise floor, measures key-down and key-up lengths, learns the sender's unit and
// spacing from them (no speed needs to be given), decides each word's elements and letter gaps
// once more over its whole length along the tone's phase (cw_segment.h) and hands each decoded
// character to the virtual Char (a word at a time). A quality squelch keeps characters made of
// noise from being printed.
#pragma once
#include <complex>
#include <cstdint>
#include <string>
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/audio/sound_device.h"
#include "spl/decoders/cw_timing.h"
#include "spl/decoders/decoder_windows.h"
#include "spl/dsp/filter.h"

// Signal kinds posted to the connected windows.
constexpr int kCwBandPassChannel = 5;  // tone band-pass output
constexpr int kCwEnvelopeChannel = 6;  // envelope

// Quality threshold in force after construction: noise alone prints (almost) nothing, signals
// a few decibels above the copy limit pass.
constexpr int kCwDefaultQuality = 36;

class CCwDecoder {
 public:
  CCwDecoder() = default;
  CCwDecoder(const CCwDecoder&) = delete;
  CCwDecoder& operator=(const CCwDecoder&) = delete;
  // Each decoded character, a space after each word, a procedural signal's text char by char.
  virtual void Char(int ch) {}
  // The word being received as the threshold reads it so far (the characters that pass the
  // squelch), each time it grows, and "" once the word is decided and handed to Char: a slow
  // sender's word takes seconds before it is printed.
  virtual void Pending(const char* text) {}
  virtual ~CCwDecoder();

  // sampleRate: 1000 ... 384000 Hz; blockSize >= 1 (samples per Decode step); taps: band-pass
  // order, 2 ... 4096; windowFlags: kFilterWindow... bits. The tone band must lie inside
  // 0 ... rate / 2. Resets the timing estimates. 1, or 0 (object unchanged) for bad values,
  // 0 after a failed allocation.
  int Init(int sampleRate, int blockSize, int taps, int windowFlags);
  // tone (Hz) and band-pass width (Hz, >= 2); re-runs Init with the stored arguments.
  int SetFilter(int tone, int bandwidth);
  // Expected keying speed: 0 (none: the decoder finds it, 5 ... 60 words per minute) or 5 ... 60
  // words per minute as the starting point; takes effect at the next Init. 1 or 0.
  int SetSpeedHint(int wpm);
  // kCwBandPassChannel or kCwEnvelopeChannel; 0 for another channel or a duplicate / absence.
  int Connect(HWND wnd, int channel);
  int DisConnect(HWND wnd, int channel);
  // Processes one block of any length (in steps of at most the block size).
  void Decode(const AudioBlock* in);
  // End of input or of listening: drains the filters and prints what is still pending (the last
  // character and its word space). Decoding may go on afterwards as after a long silence.
  void Flush();

  // 0 ... 100: how far the key-down level of recent marks stands above the noise floor
  // (about 3 per decibel above 0 dB).
  int GetQuality() const;
  // Characters whose marks stand less than q (0 ... 100, 0 = off) above the noise floor are
  // not printed. 1, or 0 for a value out of range.
  int SetQualityThreshold(int q);
  int GetQualityThreshold() const { return quality_threshold_; }

  int GetTone() const { return tone_; }
  // The tone followed now (Hz): the set one, moved while marks were heard, within the band-pass.
  double GetTrackedTone() const;
  int GetBandwidth() const { return bandwidth_; }
  // The learnt dot and dash lengths in samples.
  int GetDotEstimate() const;
  int GetDashEstimate() const;
  float GetThreshold() const { return threshold_; }
  int GetKeyState() const { return key_state_; }

 private:
  // A measured key-down (mark) or key-up (gap) period in ticks; marks carry their level.
  struct Event {
    bool mark;
    int ticks;
    float quality_db;
    int64_t first, last;  // a mark's ticks among all ticks seen
  };

  void Release();
  void DecodeStep(const AudioBlock* in, bool post);
  void Tick(double i, double q);
  void SetBoxcar();
  void FollowTone(double e);
  void RetuneAfterMark();
  void RebuildSums();
  // ticks: the period's length; back: ticks since it ended.
  void EndPeriod(int ticks, int back);
  void Pass(const Event& e);
  // The word word_first_ ... word_last_ (ticks) decided again over its whole length. regs: the
  // characters found (kSpaceRegister between words); tone_db: the key-down level along the
  // tone above the floor.
  bool SegmentWord(std::vector<uint64_t>* regs, double* tone_db);
  void Handle(const Event& e);
  void ReleaseHeld();
  // Learns the timing from events[start...] alone.
  void LearnTiming(const std::vector<Event>& events, size_t start);
  // The periods of ticks [from, to) as the detector set as now sees them, the last one cut at
  // `to`. false when those ticks are no longer kept or the levels say nothing.
  bool Redetect(int64_t from, int64_t to, std::vector<Event>* out);
  void CheckOpenGap();
  // A key-up period of `ticks` ended or lasted so long: a letter gap closes the character, a
  // word gap decides and prints the word.
  void EndGap(double ticks);
  void CloseCharacter();
  void EmitWord();
  bool Passes(double level_db) const;
  void Print(uint64_t reg);
  void EmitSpace();
  void ShowPending();
  double QualityDb(double level) const;

  int rate_ = 11025;
  int block_ = 1024;
  int taps_ = 128;
  int window_ = 0;
  int tone_ = 1200;
  int bandwidth_ = 30;
  int speed_hint_ = 0;
  int quality_threshold_ = kCwDefaultQuality;

  // Front end: band-pass, mixer, integrate-and-dump to ticks of about a millisecond, then a
  // running complex sum over the boxcar length (ticks).
  AudioBlock* band_ = nullptr;
  AudioBlock* envelope_ = nullptr;
  AudioBlock* staging_ = nullptr;  // one step of an input longer than the block size
  CDecoderWindows windows_{kCwBandPassChannel, kCwEnvelopeChannel};
  CFilter band_pass_;
  double phase_ = 0.0, phase_step_ = 0.0;
  double prev_i_ = 0.0, prev_q_ = 0.0;  // the boxcar's phasor one tick ago
  double turn_sum_ = 0.0;               // its turns during the current mark
  int turn_ticks_ = 0;
  double acc_i_ = 0.0, acc_q_ = 0.0;
  int tick_samples_ = 11;
  int tick_fill_ = 0;
  double tick_rate_ = 1000.0;
  std::vector<double> ring_i_, ring_q_;
  int ring_pos_ = 0;
  int boxcar_ = 40;
  double sum_i_ = 0.0, sum_q_ = 0.0;
  float envelope_value_ = 0.0f;
  // Every tick's value for a while, to look at each word again over its whole length.
  std::vector<std::complex<float>> raw_;
  int raw_pos_ = 0;
  int64_t tick_count_ = 0;
  int64_t word_first_ = 0, word_last_ = 0;  // the word so far
  double word_min_db_ = 0.0;  // its weakest mark
  std::vector<std::complex<float>> span_;  // one word, oldest first
  std::vector<float> levels_;
  std::vector<float> local_;  // each bin's key-down level
  std::vector<char> down_;
  std::vector<int> runs_;
  std::vector<uint64_t> regs_;  // the characters found in one

  // Decision: levels follow fading, the threshold sits between them with hysteresis, a change
  // of state needs a few ticks on the other side and is dated back to where it began.
  double peak_ = 0.0, floor_ = 0.0;
  std::vector<float> ring_e_;  // recent envelope, for the floor
  int ring_e_pos_ = 0;
  int floor_age_ = 0;  // ticks since the floor last learnt from clean key-up
  int warm_up_ = 0;  // ticks seen since Init while setting the levels, -1 when done
  float threshold_ = 0.0f;
  int key_state_ = 1;  // 0 key down (tone), 1 key up (gap)
  int run_ = 0;        // ticks of the current period
  int pending_ = 0;    // ticks on the other side of the threshold
  double pending_sum_ = 0.0;
  double mark_sum_ = 0.0;  // envelope summed over the current mark
  double mark_level_db_ = 0.0;  // recent marks above the floor, smoothed

  // Timing and characters.
  CCwTiming timing_;
  std::vector<Event> held_;  // kept until the speed is known
  std::vector<Event> redone_;
  bool holding_ = true;
  bool resumed_ = false;  // holding because the marks of a transmission sank
  bool last_mark_strong_ = false;
  uint64_t register_ = 0;
  int elements_ = 0;
  double char_db_sum_ = 0.0;
  // The word so far: the characters the threshold found in it, kept for when the word cannot
  // be decided again over its whole length.
  struct SpanChar {
    uint64_t reg;
    double db;
    int64_t last;  // its last mark's last tick
  };
  std::vector<SpanChar> span_chars_;
  int span_elements_ = 0;
  double span_db_sum_ = 0.0;
  bool word_open_ = false;  // a character was printed since the last space
  std::string shown_;       // what Pending was told last
};

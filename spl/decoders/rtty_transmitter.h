// CRttyTransmitter: turns text into frequency-shift-keyed teleprinter audio, the mirror of
// CRttyDecoder: asynchronous Baudot, synchronous Baudot (the line never idles) and SITOR-B
// (every character sent in a DX and, five positions later, an RX position, with phasing).
// Characters are queued one at a time and rendered block by block at the sound card's pace.
#pragma once
#include <deque>

#include "spl/audio/audio_block.h"
#include "spl/dsp/tone_gen.h"

class CRttyTransmitter {
 public:
  CRttyTransmitter() = default;
  CRttyTransmitter(const CRttyTransmitter&) = delete;
  CRttyTransmitter& operator=(const CRttyTransmitter&) = delete;
  virtual ~CRttyTransmitter() = default;

  // Clears both queues, sets the tone generator up at the mark frequency and queues the
  // preamble of the mode. 0 when the tone generator cannot be set up or the settings cannot
  // work (rate or block size not positive, a tone at or above the Nyquist frequency or not
  // positive, fewer than 8 samples per bit); the transmitter then renders nothing.
  int Init(int sampleRate, int blockSize);
  // Each stores its value and runs Init again (queues cleared, preamble queued again).
  int SetMode(int mode);
  int SetBaud(float baud);
  int SetFreq(int mark, int space);
  int SetStopBits(float stopBits);

  // Queues one character; 0 when it cannot be sent (outside 0...127, not in the send table)
  // or the mode is negative. Control 1 sends LTRS, 2 FIGS; SITOR-B also 3 alpha, 4 RQ, 5 beta.
  int Transmit(int ch);
  // Fills the whole block; returns the block counter before it is raised (0 before Init).
  unsigned long CreateAudio(AudioBlock* out);
  // Elements waiting in the DX queue.
  int GetBitCount() const { return int(dx_.size()); }

  int GetMode() const { return mode_; }
  float GetBaud() const { return baud_; }
  int GetMark() const { return mark_; }
  int GetSpace() const { return space_; }

 private:
  void QueueBaudot(int code);
  void QueueSitor(std::deque<unsigned char>& queue, int code);
  int NextElement();

  int rate_ = 0, block_ = 0;
  int mark_ = 1275, space_ = 1445;
  int shift_ = 1;  // 1 letters, 0 figures, -1 not yet sent on the line
  unsigned long counter_ = 1;
  CToneGen tone_;
  std::deque<unsigned char> dx_, rx_;  // keying elements, 0 mark, 1 space
  float baud_ = 45.45f, stop_bits_ = 1.5f;
  float element_ = 0.0f, period_ = 0.0f, clock_ = 0.0f;
  int mode_ = 0;
  int sitor_pos_ = 0;
  bool ready_ = false;
};

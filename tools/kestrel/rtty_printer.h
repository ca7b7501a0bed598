// The RTTY decoder as the tool runs it: characters go to standard output as they come (13 as a
// line break) and to any further consumers (a SYNOP printer, say); and the decoding of a wave
// file in sound-card blocks with the station's decoder set-up.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "spl/decoders/rtty_decoder.h"
#include "spl/dsp/audio_squelch.h"

class CRttyPrinter : public CRttyDecoder {
 public:
  using Consumer = std::function<void(int)>;
  explicit CRttyPrinter(bool to_stdout = true) : to_stdout_(to_stdout) {}
  // Each decoded character also goes to consumer, after standard output.
  void AddConsumer(Consumer consumer) { consumers_.push_back(std::move(consumer)); }
  void Char(int ch) override;
  long long Chars() const { return chars_; }

 private:
  bool to_stdout_;
  std::vector<Consumer> consumers_;
  long long chars_ = 0;
};

struct RttyDecodeSettings {
  int mode = kRttyAsync;
  double baud = 50.0;
  int mark = 1275;  // tone of binary 1
  int space = 1700;
  bool invert = false;  // exchange the roles of the two tones
  int receiver = kRttyReceiverMatched;
  bool auto_tune = true;
  int tune_range = kRttyDefaultTuneRangeHz;  // Hz about the set centre, 0 the whole passband
  int quality = kRttyDefaultQuality;
  int squelch = kDefaultSquelchLevel;  // the station's audio squelch level, 0 = off
};

// Decodes the file into the printer (configured here for the file's rate). 0 with why set.
int DecodeRttyFile(const std::string& path, const RttyDecodeSettings& s, CRttyPrinter& printer,
                   std::string& why);

// Prints SYNOP reports as they are decoded from a character stream: the plain-language text of
// each report (blank lines between them) and the start and end of forecast and warning
// bulletins. Fed by "kestrel decode synop" and by the RTTY decoder's characters.
#pragma once
#include <cstdio>
#include <ctime>
#include <string>

#include "spl/decoders/synop_decoder.h"

class CSynopPrinter : public CSynopDecoder {
 public:
  // Opens the store at path (the tool's default store when empty); 0 with Error() naming the
  // file and the reason.
  int Init(const std::string& path, FILE* out, time_t clock = 0);
  const std::string& Error() const { return error_; }
  // One character as a text decoder delivers it (13 = line break).
  void Char(int ch) { Decode(ch == 13 ? '\r' : ch); }
  // One byte of a bulletin file, raw WMO framing (SOH, ETX) included.
  void Raw(int ch) { DecodeWMO(ch); }
  // Ends the stream: a report left open is closed as a line end would.
  void Finish() { Decode('\r'); }
  int Reports() const { return reports_; }
  int Untranslated() const { return untranslated_; }

  // The store beside the kestrel executable, where the build puts it.
  static std::string DefaultStore();

 protected:
  void Warning(int kind) override;
  void Message(SYN_DATA& report) override;

 private:
  FILE* out_ = stdout;
  std::string error_;
  int reports_ = 0, untranslated_ = 0;
};

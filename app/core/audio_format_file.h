// CAudioFormatFile: the recorder's wave format (KSTLAUDIOFORM.CFG), kept as a buffer as large
// as the largest format record of the installed codecs, so that any codec's format fits and
// the file has the same size whatever format it holds.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "spl/platform/wave_format.h"

class CAudioFormatFile {
 public:
  // The buffer (largest codec format size) holding 16-bit mono PCM at sampleRate
  // (kCodecMinRate ... kCodecMaxRate Hz). 1, or 0 with the object unchanged.
  int Init(int sampleRate);
  // Reads as many bytes as the buffer holds. 1 when the file's format is in force; 0 when it
  // is missing, unreadable or holds no usable record (a rate of 0, an extra size that does
  // not fit the buffer or the file): the PCM default of Init is then in force.
  int Load(const std::string& path);
  // Writes the whole buffer, replacing the file in one step; 1, or 0 with *error set.
  int Save(const std::string& path, std::string* error) const;

  // Null before Init.
  const WAVEFORMATEX* Format() const;
  int Size() const { return int(buffer_.size()); }
  // Copies wfx with its extra bytes; the rest of the buffer becomes 0. 1, or 0 (nothing
  // changed) when wfx is null or larger than Size().
  int SetFormat(const WAVEFORMATEX* wfx);

 private:
  void SetDefault();

  std::vector<uint8_t> buffer_;
  int rate_ = 0;
};

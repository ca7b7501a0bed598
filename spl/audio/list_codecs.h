// CListCodecs: every distinct format the installed codecs offer, with its format tag name and
// its description, index for index; for showing the choice of recording formats.
#pragma once
#include <string>
#include <vector>

#include "spl/platform/wave_format.h"

class CListCodecs {
 public:
  CListCodecs();
  CListCodecs(const CListCodecs&) = delete;
  CListCodecs& operator=(const CListCodecs&) = delete;

  int MaxFormatSize() const { return max_format_size_; }
  int Count() const { return int(formats_.size()); }
  // Records of MaxFormatSize() bytes; i in 0 ... Count() - 1.
  const WAVEFORMATEX* Format(int i) const;
  const std::string& TagName(int i) const { return names_[size_t(i)]; }
  const std::string& Description(int i) const { return descriptions_[size_t(i)]; }

 private:
  int max_format_size_;
  std::vector<std::vector<uint8_t>> formats_;
  std::vector<std::string> names_;
  std::vector<std::string> descriptions_;
};

#include "app/views/product_names.h"

#include <cstdio>

namespace {

// Product names the file lists shorten; each is followed by "yyyy-mm-dd_hh-mm".
constexpr const char* kDatedPrefixes[] = {"FAX_", "SSTV_", "SCANN_", "INFO_",
                                          "RTTY_", "WARN_", "AUDIO_"};
// The date part: 'd' a digit, any other character itself.
constexpr char kDatePattern[] = "dddd-dd-dd_dd-dd";

}  // namespace

std::string ProductFileName(const std::string& folder, const char* prefix, time_t when,
                            const char* ext) {
  struct tm t {};
  if (!localtime_r(&when, &t)) return "";
  char name[64];
  snprintf(name, sizeof name, "%s%04d-%02d-%02d_%02d-%02d%s", prefix, t.tm_year + 1900,
           t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, ext);
  return folder + "/" + name;
}

std::string CompactFileName(const std::string& name) {
  for (const char* prefix : kDatedPrefixes) {
    const std::string p(prefix);
    if (name.compare(0, p.size(), p) != 0) continue;
    const size_t dateLength = sizeof kDatePattern - 1;
    if (name.size() < p.size() + dateLength) return name;
    const std::string date = name.substr(p.size(), dateLength);
    for (size_t i = 0; i < dateLength; ++i) {
      const bool digit = date[i] >= '0' && date[i] <= '9';
      if (kDatePattern[i] == 'd' ? !digit : date[i] != kDatePattern[i]) return name;
    }
    // Only an extension or a _N suffix may follow, so a longer number is not misread.
    const std::string rest = name.substr(p.size() + dateLength);
    if (!rest.empty() && rest[0] != '.' && rest[0] != '_') return name;
    return date.substr(2, 2) + date.substr(5, 2) + date.substr(8, 2) + " " + date.substr(11, 2) +
           ":" + date.substr(14, 2) + rest;
  }
  return name;
}

// The station's equalizer: the working curve of the data folder and the panel state of the
// profile, read when capture starts and kept when the station stops.
#include <sys/stat.h>

#include "app/core/station_core.h"

namespace {
constexpr const char* kCurveFileName = "default.equ";
constexpr const char* kStateSection = "Equalizer_State";
constexpr int kDefaultPower = 1;
}  // namespace

std::string CStationCore::EqualizerCurvePath() const {
  return settings_.GetPath(kCfgDataFolder) + "/" + kCurveFileName;
}

void CStationCore::LoadEqualizer(int rate, int block) {
  equalizer_ready_ = false;
  // It convolves in blocks of a power of two; with other block sizes the panel stays off.
  if (block < 2 || (block & (block - 1)) != 0) return;
  equalizer_ready_ = equalizer_.Init(rate, block) != 0;
  if (!equalizer_ready_) return Message("CEqualizerModul allocation error");
  struct stat st;
  std::string why;
  // No working curve yet: the flat one.
  if (stat(EqualizerCurvePath().c_str(), &st) == 0 && !equalizer_.LoadCurve(EqualizerCurvePath(), &why))
    Message(why);
  equalizer_.SetBypass(profile_.GetInt(kStateSection, "Power", kDefaultPower));
  const int filter = profile_.GetInt(kStateSection, "Filter", 0);
  if (filter > 0) equalizer_.SetFilter(filter);
  const int start = profile_.GetInt(kStateSection, "Start", 0), width = profile_.GetInt(kStateSection, "Width", 0);
  if (width > 0) equalizer_.Zoom(start, width);
}

void CStationCore::SaveEqualizer() {
  if (!equalizer_ready_) return;
  if (!equalizer_.SaveCurve(EqualizerCurvePath())) Message(EqualizerCurvePath() + ": the equalizer curve cannot be written");
  int start = 0, width = 0;
  equalizer_.GetZoom(start, width);
  profile_.SetInt(kStateSection, "Power", equalizer_.GetBypass());
  profile_.SetInt(kStateSection, "Filter", equalizer_.GetFilter());
  profile_.SetInt(kStateSection, "Start", start);
  profile_.SetInt(kStateSection, "Width", width);
}

#include "tools/kestrel/demo_noise.h"

#include <cmath>

#include "spl/audio/audio_block.h"
#include "spl/dsp/tone_gen.h"
#include "tools/kestrel/wav_io.h"

namespace {
constexpr double kNoiseBandwidthHz = 3000.0;
}  // namespace

bool WriteWithDemoNoise(std::vector<float>& s, size_t measured, int rate, double snrDb,
                        const std::string& path, std::string& why) {
  double power = 0;
  for (size_t i = 0; i < measured && i < s.size(); ++i) power += double(s[i]) * s[i];
  power /= double(measured ? measured : 1);
  // Uniform noise over [-a, a] has power a^2 / 3, spread over 0 ... rate / 2.
  const double in_band = power / std::pow(10.0, snrDb / 10.0);
  const double a = std::sqrt(3.0 * in_band * (rate / 2.0) / kNoiseBandwidthHz);
  CToneGen noise;
  AudioBlock* n = nullptr;
  if (!noise.Init(rate, int(s.size())) || !NewAudioBlock(&n, int(s.size())))
    return why = "out of memory", false;
  noise.SetAmpl(float(a));
  noise.Noise(n, 0, n->count);
  for (size_t i = 0; i < s.size(); ++i) s[i] += n->data[i];
  FreeAudioBlock(n);
  CWavWriter w;
  if (!w.Create(path, rate) || !w.Write(s.data(), int(s.size())) || !w.Close())
    return why = w.Error(), false;
  return true;
}

// Helpers of the signal-level tests: white Gaussian noise at a stated signal-to-noise ratio
// (measured in a 3 kHz bandwidth, as receivers are compared), mono wave files, temporary
// folders and running the kestrel tool.
#pragma once
#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/kestrel/wav_io.h"

namespace sigtest {

constexpr double kNoiseBandwidthHz = 3000.0;

// Gaussian numbers from a fixed seed: the same sequence on every machine (Box-Muller over a
// 64-bit linear congruential generator, no library distribution involved).
class CGaussNoise {
 public:
  explicit CGaussNoise(uint64_t seed) : state_(seed * 2862933555777941757ULL + 3037000493ULL) {}
  double Next() {
    if (have_spare_) {
      have_spare_ = false;
      return spare_;
    }
    const double u1 = (double(NextBits()) + 1.0) / 9007199254740993.0;  // (0, 1]
    const double u2 = double(NextBits()) / 9007199254740992.0;
    const double r = std::sqrt(-2.0 * std::log(u1));
    spare_ = r * std::sin(2.0 * M_PI * u2);
    have_spare_ = true;
    return r * std::cos(2.0 * M_PI * u2);
  }

 private:
  uint64_t NextBits() {  // 53 random bits
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return state_ >> 11;
  }
  uint64_t state_;
  double spare_ = 0.0;
  bool have_spare_ = false;
};

inline double MeanSquare(const std::vector<float>& s) {
  double sum = 0.0;
  for (float v : s) sum += double(v) * v;
  return s.empty() ? 0.0 : sum / double(s.size());
}

// Adds white noise whose power in a 3 kHz bandwidth is the signal's mean square (over the whole
// vector, or signal_power when it is given) divided by 10^(snr/10).
inline void AddNoise(std::vector<float>& s, int rate, double snr_db, uint64_t seed,
                     double signal_power = -1.0) {
  const double power = signal_power >= 0.0 ? signal_power : MeanSquare(s);
  const double in_band = power / std::pow(10.0, snr_db / 10.0);
  const double sigma = std::sqrt(in_band * (rate / 2.0) / kNoiseBandwidthHz);
  CGaussNoise g(seed);
  for (float& v : s) v = float(v + sigma * g.Next());
}

// A fresh folder under the temporary folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kestrel-test-XXXXXX").string();
    path_ = mkdtemp(tmpl.data()) ? tmpl : std::string();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline bool WriteMonoWav(const std::string& path, int rate, const std::vector<float>& s) {
  CWavWriter w;
  return w.Create(path, rate) && w.Write(s.data(), int(s.size())) && w.Close();
}

// Every sample of a 16-bit file's first channel; empty when it cannot be read.
inline std::vector<float> ReadMonoWav(const std::string& path, int* rate = nullptr) {
  CWavBlockReader r;
  std::vector<float> s;
  if (!r.Open(path, 4096)) return s;
  if (rate) *rate = r.Rate();
  while (AudioBlock* b = r.Next()) s.insert(s.end(), b->data, b->data + b->count);
  return s;
}

struct ToolResult {
  int status = -1;
  std::string out;  // standard output, and standard error when merged
};

// Runs a shell command and collects its standard output.
inline ToolResult RunCommand(const std::string& cmd) {
  ToolResult r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  const int rc = pclose(p);
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return r;
}

// Runs "kestrel ARGS"; with merge_stderr the error text joins out.
inline ToolResult RunTool(const std::string& args, bool merge_stderr = true) {
  return RunCommand(std::string(KESTREL_TOOL) + " " + args + (merge_stderr ? " 2>&1" : ""));
}

}  // namespace sigtest

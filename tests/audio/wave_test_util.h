// Helpers of the wave file and codec tests: temporary files, test tones, signal measures,
// in-memory codec ends and running sox.
#pragma once
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "spl/audio/compress_audio.h"
#include "spl/audio/decompress_audio.h"

namespace wavetest {

// A fresh file name in the temporary folder, removed when the object goes.
class TempFile {
 public:
  explicit TempFile(const std::string& name)
      : path_((std::filesystem::temp_directory_path() /
               ("kestrel_wav_" + std::to_string(getpid()) + "_" + name)).string()) {
    std::filesystem::remove(path_);
  }
  ~TempFile() { std::filesystem::remove(path_); }
  const std::string& path() const { return path_; }
  const char* c_str() const { return path_.c_str(); }

 private:
  std::string path_;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
inline uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

inline std::vector<int16_t> Sine(int n, double freq, int rate, double amplitude, double phase = 0.0) {
  std::vector<int16_t> s(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    s[size_t(i)] = int16_t(std::lround(amplitude * std::sin(2 * M_PI * freq * i / rate + phase)));
  return s;
}

// Signal to noise of test against ref over their common length, in dB.
inline double SnrDb(const std::vector<int16_t>& ref, const std::vector<int16_t>& test, size_t skip = 0) {
  double signal = 0, noise = 0;
  for (size_t i = skip; i < std::min(ref.size(), test.size()); ++i) {
    signal += double(ref[i]) * ref[i];
    noise += (double(ref[i]) - test[i]) * (double(ref[i]) - test[i]);
  }
  return 10 * std::log10(signal / std::max(noise, 1e-9));
}

// Frequency from the rising zero crossings, and the RMS level.
inline double ZeroCrossingHz(const std::vector<int16_t>& s, int rate) {
  int crossings = 0, first = -1, last = -1;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) {
      if (first < 0) first = int(i);
      last = int(i);
      ++crossings;
    }
  }
  return crossings < 2 ? 0.0 : double(crossings - 1) * rate / (last - first);
}

inline double Rms(const std::vector<int16_t>& s) {
  double sum = 0;
  for (int16_t v : s) sum += double(v) * v;
  return s.empty() ? 0.0 : std::sqrt(sum / double(s.size()));
}

inline AudioBlock* BlockOf(const std::vector<int16_t>& s, size_t from, int n) {
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, n);
  for (int i = 0; i < n; ++i) b->data[i] = from + size_t(i) < s.size() ? float(s[from + size_t(i)]) : 0.0f;
  return b;
}

// A compressor that keeps its output.
class MemoryCompressor : public CCompressAudio {
 public:
  void WriteData(void* bytes, int n) override {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    out.insert(out.end(), p, p + n);
    ++pieces;
  }
  std::vector<uint8_t> out;
  int pieces = 0;
};

// A decompressor that reads from memory, at most `chunk` bytes per ReadData call.
class MemoryDecompressor : public CDecompressAudio {
 public:
  int ReadData(void* buffer, int n) override {
    const int take = int(std::min<size_t>(size_t(std::min(n, chunk)), in.size() - pos));
    std::copy(in.begin() + long(pos), in.begin() + long(pos) + take, static_cast<uint8_t*>(buffer));
    pos += size_t(take);
    return take;
  }
  std::vector<uint8_t> in;
  size_t pos = 0;
  int chunk = 1 << 30;
};

// Feeds signal through a compressor in blocks of `block` samples and flushes.
inline std::vector<uint8_t> CompressAll(CCompressAudio& c, MemoryCompressor& sink,
                                        const std::vector<int16_t>& s, int block) {
  for (size_t at = 0; at < s.size(); at += size_t(block)) {
    const int n = int(std::min<size_t>(size_t(block), s.size() - at));
    AudioBlock* b = BlockOf(s, at, n);
    c.Compress(b);
    FreeAudioBlock(b);
  }
  c.Flush();
  return sink.out;
}

// Decodes everything a decompressor gives, block by block.
inline std::vector<int16_t> DecompressAll(CDecompressAudio& d, int block) {
  std::vector<int16_t> out;
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, block);
  for (int n; (n = d.Decompress(b)) > 0;)
    for (int i = 0; i < n; ++i) out.push_back(int16_t(std::lround(b->data[i])));
  FreeAudioBlock(b);
  return out;
}

inline bool HaveSox() { return system("sox --version >/dev/null 2>&1") == 0; }

// Runs a shell command and returns its standard output; status gets the exit status.
inline std::string Run(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
  const int rc = pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

inline std::vector<int16_t> ReadRaw16(const std::string& path) {
  const std::vector<uint8_t> b = ReadBytes(path);
  std::vector<int16_t> s(b.size() / 2);
  for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t(U16(b, 2 * i));
  return s;
}

}  // namespace wavetest

// libFuzzer target of the wave file reader: each input is a file that CWaveFile opens and
// reads and the player decodes, and a raw codec stream each decoder turns back into PCM.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "spl/audio/decompress_audio.h"
#include "spl/audio/wave_file.h"
#include "spl/audio/wave_player.h"
#include "spl/platform/codec.h"

namespace {

constexpr int kBlock = 777;        // an odd block size, to cross codec block boundaries
constexpr int kMaxBlocks = 4096;   // bounds the work on one input
// Raw streams are decoded from PCM at 8000, 19025, 30050 or 41075 Hz.
constexpr int kRawRates = 4;
constexpr int kRawRateBase = 8000;
constexpr int kRawRateStep = 11025;

// A decompressor that reads the raw input in pieces of uneven size.
class RawSource : public CDecompressAudio {
 public:
  RawSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int ReadData(void* buffer, int n) override {
    const size_t piece = std::min<size_t>(size_t(n), std::min<size_t>(size_ - pos_, 1 + pos_ % 301));
    memcpy(buffer, data_ + pos_, piece);
    pos_ += piece;
    return int(piece);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

void DrainInto(CDecompressAudio& d, AudioBlock* block) {
  for (int i = 0; i < kMaxBlocks && d.Decompress(block) > 0; ++i) {
  }
}

// Every codec format of every driver, mono and stereo, from PCM at one of four rates.
const std::vector<CodecFormat>& RawFormats(uint8_t rate_choice) {
  static std::vector<CodecFormat> by_rate[kRawRates];
  std::vector<CodecFormat>& formats = by_rate[rate_choice % kRawRates];
  if (formats.empty()) {
    for (int i = 0; i < CodecDriverCount(); ++i) {
      for (int channels = 1; channels <= kCodecMaxChannels; ++channels) {
        WAVEFORMATEX pcm;
        CodecMakePcm16(kRawRateBase + kRawRateStep * (rate_choice % kRawRates), channels, &pcm);
        for (const CodecFormat& f : CodecEnumFormats(CodecDriverAt(i)->tag, &pcm)) formats.push_back(f);
      }
    }
  }
  return formats;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("fuzz_wave", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) != ssize_t(size)) {
    close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  AudioBlock* block = nullptr;
  NewAudioBlock(&block, kBlock);

  CWaveFile file;
  std::vector<uint8_t> format(size_t(file.MaxFormatSize()), 0);
  const int data_size = file.Open(path.c_str(), reinterpret_cast<WAVEFORMATEX*>(format.data()));
  if (data_size > 0) {
    std::vector<uint8_t> bytes(4096);
    const int start = file.SeekCur(0);
    while (file.Read(bytes.data(), int(bytes.size())) > 0) {
    }
    file.SeekSet(start + data_size / 2);
    file.Read(bytes.data(), 3);
    file.Close();
  }

  CWavePlayer player;
  if (player.Open(path.c_str(), kBlock)) {
    DrainInto(player, block);
    player.SeekData(player.DataSize() / 2 / player.FileFormat()->nBlockAlign * player.FileFormat()->nBlockAlign);
    player.Decompress(block);
    player.Close();
  }

  // The same bytes as a raw stream of one codec format, chosen by the input: every format
  // of every codec, mono and stereo, per input made one input cost most of the run time.
  if (size > 1) {
    const std::vector<CodecFormat>& formats = RawFormats(data[0]);
    if (!formats.empty()) {
      RawSource source(data, size);
      if (source.Init(formats[data[1] % formats.size()].wfx(), kBlock)) DrainInto(source, block);
    }
  }
  FreeAudioBlock(block);
  close(fd);
  return 0;
}

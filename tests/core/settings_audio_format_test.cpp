// The recorder's format file: the PCM default, round trips of codec formats with their extra
// bytes, and records that must fall back to the default.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/core/audio_format_file.h"
#include "app/core/safe_file.h"
#include "spl/platform/codec.h"
#include "tests/common/signal_test_util.h"

namespace {

void ExpectPcmDefault(const CAudioFormatFile& f, uint32_t rate) {
  const WAVEFORMATEX* w = f.Format();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(w->nChannels, 1);
  EXPECT_EQ(w->nSamplesPerSec, rate);
  EXPECT_EQ(w->nAvgBytesPerSec, 2 * rate);
  EXPECT_EQ(w->nBlockAlign, 2);
  EXPECT_EQ(w->wBitsPerSample, 16);
  EXPECT_EQ(w->cbSize, 0);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(w);
  for (int i = kWaveFormatBaseBytes; i < f.Size(); ++i) EXPECT_EQ(bytes[i], 0) << i;
}

TEST(AudioFormatFile, DefaultIsMonoPcmAtTheSettingsRate) {
  CAudioFormatFile f;
  EXPECT_EQ(f.Format(), nullptr);
  EXPECT_EQ(f.Init(0), 0);
  EXPECT_EQ(f.Size(), 0);
  ASSERT_EQ(f.Init(11025), 1);
  EXPECT_EQ(f.Size(), CodecMaxFormatSize());
  EXPECT_GT(f.Size(), kWaveFormatBaseBytes);  // IMA ADPCM carries extra bytes
  ExpectPcmDefault(f, 11025);
  // The file is the whole buffer: 18 bytes of PCM record, then zeros.
  sigtest::TempDir dir;
  const std::string path = dir.File("KSTLAUDIOFORM.CFG");
  ASSERT_EQ(f.Save(path, nullptr), 1);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadWholeFile(path, bytes));
  ASSERT_EQ(bytes.size(), size_t(f.Size()));
  const uint8_t head[18] = {1, 0, 1, 0, 0x11, 0x2b, 0, 0, 0x22, 0x56, 0, 0, 2, 0, 16, 0, 0, 0};
  EXPECT_EQ(memcmp(bytes.data(), head, sizeof head), 0);
}

TEST(AudioFormatFile, CodecFormatsSurviveSaveAndLoad) {
  sigtest::TempDir dir;
  const std::string path = dir.File("KSTLAUDIOFORM.CFG");
  WAVEFORMATEX pcm;
  CodecMakePcm16(8000, 1, &pcm);
  const std::vector<CodecFormat> formats = CodecEnumFormats(0, &pcm);
  ASSERT_FALSE(formats.empty());
  for (const CodecFormat& format : formats) {
    CAudioFormatFile f;
    ASSERT_EQ(f.Init(11025), 1);
    ASSERT_EQ(f.SetFormat(format.wfx()), 1);
    ASSERT_EQ(f.Save(path, nullptr), 1);
    CAudioFormatFile g;
    ASSERT_EQ(g.Init(22050), 1);
    ASSERT_EQ(g.Load(path), 1) << format.driver->name;
    EXPECT_EQ(memcmp(g.Format(), format.bytes.data(), format.bytes.size()), 0) << format.driver->name;
  }
}

TEST(AudioFormatFile, UnusableRecordsFallBackToPcm) {
  sigtest::TempDir dir;
  const std::string path = dir.File("KSTLAUDIOFORM.CFG");
  CAudioFormatFile f;
  ASSERT_EQ(f.Init(8000), 1);
  EXPECT_EQ(f.Load(dir.File("missing")), 0);
  ExpectPcmDefault(f, 8000);

  WAVEFORMATEX alaw{WAVE_FORMAT_ALAW, 1, 8000, 8000, 1, 8, 0};
  auto write = [&](WAVEFORMATEX w, size_t size) {
    std::vector<uint8_t> bytes(size, 0);
    memcpy(bytes.data(), &w, std::min(size, sizeof w));
    ASSERT_TRUE(WriteFileReplacing(path, bytes.data(), bytes.size()));
  };
  WAVEFORMATEX no_rate = alaw;
  no_rate.nSamplesPerSec = 0;
  WAVEFORMATEX too_much_extra = alaw;
  too_much_extra.cbSize = uint16_t(f.Size());
  WAVEFORMATEX extra_beyond_file = alaw;
  extra_beyond_file.cbSize = 2;
  const struct {
    WAVEFORMATEX w;
    size_t size;
  } bad[] = {
      {no_rate, size_t(f.Size())},
      {too_much_extra, size_t(f.Size())},
      {extra_beyond_file, sizeof(WAVEFORMATEX)},  // says 2 extra bytes, the file has none
      {alaw, sizeof(WAVEFORMATEX) - 1},           // shorter than the record
  };
  for (const auto& b : bad) {
    ASSERT_EQ(f.SetFormat(&alaw), 1);
    write(b.w, b.size);
    EXPECT_EQ(f.Load(path), 0) << b.size;
    ExpectPcmDefault(f, 8000);
  }
  // A file written with more codecs installed may be longer: its record is taken.
  write(alaw, size_t(f.Size()) + 40);
  EXPECT_EQ(f.Load(path), 1);
  EXPECT_EQ(f.Format()->wFormatTag, WAVE_FORMAT_ALAW);
  // A record larger than the buffer is refused and nothing changes.
  EXPECT_EQ(f.SetFormat(&too_much_extra), 0);
  EXPECT_EQ(f.Format()->wFormatTag, WAVE_FORMAT_ALAW);
  EXPECT_EQ(f.SetFormat(nullptr), 0);
}

}  // namespace

#include "app/core/audio_format_file.h"

#include <algorithm>
#include <cstring>

#include "app/core/safe_file.h"
#include "spl/platform/codec.h"

namespace {
constexpr int kDefaultChannels = 1;
}  // namespace

int CAudioFormatFile::Init(int sampleRate) {
  if (sampleRate < kCodecMinRate || sampleRate > kCodecMaxRate) return 0;
  buffer_.assign(size_t(CodecMaxFormatSize()), 0);
  rate_ = sampleRate;
  SetDefault();
  return 1;
}

void CAudioFormatFile::SetDefault() {
  std::fill(buffer_.begin(), buffer_.end(), 0);
  WAVEFORMATEX pcm;
  CodecMakePcm16(rate_, kDefaultChannels, &pcm);
  memcpy(buffer_.data(), &pcm, sizeof pcm);
}

int CAudioFormatFile::Load(const std::string& path) {
  if (buffer_.empty()) return 0;
  std::vector<uint8_t> data;
  if (!ReadWholeFile(path, data)) {
    SetDefault();
    return 0;
  }
  WAVEFORMATEX head;
  if (data.size() < sizeof head) {
    SetDefault();
    return 0;
  }
  memcpy(&head, data.data(), sizeof head);
  const size_t whole = size_t(WaveFormatSize(&head));
  if (head.nSamplesPerSec == 0 || whole > buffer_.size() || whole > data.size()) {
    SetDefault();
    return 0;
  }
  // Bytes after the record's own size are padding; the file may be shorter or longer than
  // the buffer when it was written with another set of codecs.
  std::fill(buffer_.begin(), buffer_.end(), 0);
  memcpy(buffer_.data(), data.data(), std::min(data.size(), buffer_.size()));
  return 1;
}

int CAudioFormatFile::Save(const std::string& path, std::string* error) const {
  if (buffer_.empty()) {
    if (error) *error = path + ": no format to write";
    return 0;
  }
  return WriteFileReplacing(path, buffer_.data(), buffer_.size(), error);
}

const WAVEFORMATEX* CAudioFormatFile::Format() const {
  return buffer_.empty() ? nullptr : reinterpret_cast<const WAVEFORMATEX*>(buffer_.data());
}

int CAudioFormatFile::SetFormat(const WAVEFORMATEX* wfx) {
  if (!wfx || buffer_.empty()) return 0;
  const size_t whole = size_t(WaveFormatSize(wfx));
  if (whole > buffer_.size()) return 0;
  std::fill(buffer_.begin(), buffer_.end(), 0);
  memcpy(buffer_.data(), wfx, whole);
  return 1;
}

#include "spl/audio/list_codecs.h"

#include "spl/platform/codec.h"

namespace {
// Formats count as the same when these fields agree.
bool SameFormat(const WAVEFORMATEX* a, const WAVEFORMATEX* b) {
  return a->wFormatTag == b->wFormatTag && a->nChannels == b->nChannels &&
         a->nSamplesPerSec == b->nSamplesPerSec && a->nAvgBytesPerSec == b->nAvgBytesPerSec &&
         a->nBlockAlign == b->nBlockAlign;
}
}  // namespace

CListCodecs::CListCodecs() : max_format_size_(CodecMaxFormatSize()) {
  for (const CodecFormat& f : CodecEnumFormats(0, nullptr)) {
    bool seen = false;
    for (const auto& kept : formats_)
      seen = seen || SameFormat(reinterpret_cast<const WAVEFORMATEX*>(kept.data()), f.wfx());
    if (seen) continue;
    std::vector<uint8_t> record(size_t(max_format_size_), 0);
    std::copy(f.bytes.begin(), f.bytes.end(), record.begin());
    formats_.push_back(std::move(record));
    names_.push_back(f.driver->name);
    descriptions_.push_back(CodecFormatDescription(f.wfx()));
  }
}

const WAVEFORMATEX* CListCodecs::Format(int i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return reinterpret_cast<const WAVEFORMATEX*>(formats_[size_t(i)].data());
}

#include "app/views/fax_store.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint8_t kWhite = 0;
}

int CFaxStore::Init(int width, int mirrored) {
  store_.clear();
  preview_.clear();
  width_ = 0;
  if (width < 1) return 0;
  width_ = width;
  mirrored_ = mirrored ? 1 : 0;
  store_.assign(size_t(width) * kFaxStoreRows, kWhite);
  preview_.assign(size_t(kFaxPreviewWidth) * kFaxPreviewRows, kWhite);
  row_ = mirrored_ ? kFaxStoreRows - 1 : 0;
  preview_row_ = mirrored_ ? kFaxPreviewRows - 1 : 0;
  accumulator_ = 0.0;
  step_ = double(width) / kFaxPreviewWidth;
  lines_ = last_lines_ = 0;
  countdown_ = sync_ready_ = 0;
  return 1;
}

int CFaxStore::TakeSyncPos(int& delta) {
  if (!sync_ready_) return 0;
  sync_ready_ = 0;
  delta = sync_delta_;
  return 1;
}

int CFaxStore::AddLine(const uint8_t* gray, int width, int sync) {
  if (width_ < 1 || !gray) return 0;
  uint8_t* dst = &store_[size_t(row_) * size_t(width_)];
  const int n = std::min(width, width_);
  std::memcpy(dst, gray, size_t(std::max(n, 0)));
  std::fill(dst + std::max(n, 0), dst + width_, kWhite);
  row_ += mirrored_ ? -1 : 1;

  accumulator_ += 1.0;
  lines_ = std::min(lines_ + 1, kFaxPreviewMaxLines);
  int made = 0;
  if (accumulator_ >= step_) {
    if (countdown_ > 0 && --countdown_ == 0) {
      sync_delta_ = width_ - sync;
      sync_ready_ = 1;
    }
    MakePreviewRow(lines_);
    accumulator_ -= step_;
    lines_ = 0;
    made = 1;
  }
  // The store keeps its newest rows: the oldest scroll out once the last part is reached.
  if (mirrored_ ? row_ < kFaxStoreScroll : row_ >= kFaxStoreRows - kFaxStoreScroll)
    ScrollStore();
  return made;
}

void CFaxStore::MakePreviewRow(int lines) {
  uint8_t* out = &preview_[size_t(preview_row_) * kFaxPreviewWidth];
  // The newest lines lie just behind the current row, in the direction of writing.
  const int step = mirrored_ ? 1 : -1;
  for (int x = 0; x < kFaxPreviewWidth; ++x) {
    const int begin = int(long(x) * width_ / kFaxPreviewWidth);
    const int end = std::max(begin + 1, int(long(x + 1) * width_ / kFaxPreviewWidth));
    long sum = 0, count = 0;
    for (int k = 1; k <= lines; ++k) {
      const uint8_t* src = &store_[size_t(row_ + k * step) * size_t(width_)];
      for (int c = begin; c < end && c < width_; ++c, ++count) sum += src[c];
    }
    out[x] = uint8_t(count ? sum / count : kWhite);
  }
  last_lines_ = lines;
  preview_row_ += mirrored_ ? -1 : 1;
  if (mirrored_ ? preview_row_ < 0 : preview_row_ >= kFaxPreviewRows) ScrollPreview();
}

void CFaxStore::ScrollStore() {
  const size_t keep = size_t(kFaxStoreRows - kFaxStoreScroll) * size_t(width_);
  const size_t gone = size_t(kFaxStoreScroll) * size_t(width_);
  if (mirrored_) {
    std::memmove(store_.data() + gone, store_.data(), keep);
    std::fill(store_.begin(), store_.begin() + long(gone), kWhite);
    row_ += kFaxStoreScroll;
  } else {
    std::memmove(store_.data(), store_.data() + gone, keep);
    std::fill(store_.begin() + long(keep), store_.end(), kWhite);
    row_ -= kFaxStoreScroll;
  }
}

void CFaxStore::ScrollPreview() {
  const size_t keep = size_t(kFaxPreviewRows - kFaxPreviewScroll) * kFaxPreviewWidth;
  const size_t gone = size_t(kFaxPreviewScroll) * kFaxPreviewWidth;
  if (mirrored_) {
    std::memmove(preview_.data() + gone, preview_.data(), keep);
    std::fill(preview_.begin(), preview_.begin() + long(gone), kWhite);
    preview_row_ += kFaxPreviewScroll;
  } else {
    std::memmove(preview_.data(), preview_.data() + gone, keep);
    std::fill(preview_.begin() + long(keep), preview_.end(), kWhite);
    preview_row_ -= kFaxPreviewScroll;
  }
}

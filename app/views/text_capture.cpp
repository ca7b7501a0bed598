#include "app/views/text_capture.h"

#include <algorithm>
#include <cstdio>

#include "app/core/safe_file.h"
#include "app/views/product_names.h"

namespace {

constexpr char kZczc[] = "ZCZC";
constexpr char kNnnn[] = "NNNN";
constexpr size_t kFrameChars = 4;
constexpr char kMessagePrefix[] = "RTTY_";
constexpr char kMessageExtension[] = ".RTF";
constexpr int kCarriageReturn = 13;
constexpr int kLineFeed = 10;
constexpr int kBackspace = 8;
constexpr int kTab = 9;
constexpr int kFirstPrintable = 32;
constexpr int kMaxByte = 255;


}  // namespace

int CTextCapture::Init(const std::string& textFolder, CTextCaptureSink* sink) {
  if (textFolder.empty()) return 0;
  std::function<time_t()> clock = std::move(clock_);  // a clock is set-up, not state
  *this = CTextCapture();
  clock_ = std::move(clock);
  folder_ = textFolder;
  sink_ = sink;
  return 1;
}

time_t CTextCapture::Now() const { return clock_ ? clock_() : time(nullptr); }

void CTextCapture::State(int code) {
  if (sink_) sink_->CaptureState(code);
}

void CTextCapture::Char(int ch) {
  if (ch < 0 || ch > kMaxByte) return;
  const int previous = last_char_;
  last_char_ = ch;
  if (capturing_) {
    if (ch == kBackspace)
      RemoveLast();
    else if (ch == kCarriageReturn || (ch == kLineFeed && previous != kCarriageReturn))
      Keep('\n', colour_);
    else if (ch == kTab || ch >= kFirstPrintable)
      Keep(uint8_t(ch), colour_);
  }
  detector_ += char(ch);
  if (detector_.size() > kFrameChars) detector_.erase(0, detector_.size() - kFrameChars);
  if (detector_ == kZczc) {
    // This "ZCZC" begins the next message, not the end of the open one.
    End(kFrameChars, false);
    Open(kZczc);
  } else if (detector_ == kNnnn) {
    End(0, true);
  }
}

void CTextCapture::AppendTranslation(const std::string& text) {
  if (!capturing_) return;
  Keep('\n', colour_);
  Keep('\n', colour_);
  int previous = -1;
  for (char c : text) {
    const int ch = uint8_t(c);
    if (ch == kCarriageReturn || (ch == kLineFeed && previous != kCarriageReturn))
      Keep('\n', kSynopColour);
    else if (ch == kTab || ch >= kFirstPrintable)
      Keep(uint8_t(ch), kSynopColour);
    previous = ch;
  }
}

void CTextCapture::StartCapture() {
  End(0, false);
  Open("");
}

int CTextCapture::EndCapture() { return End(0, true); }

void CTextCapture::Open(const std::string& opening) {
  capturing_ = 1;
  start_ = Now();
  runs_.clear();
  chars_ = 0;
  for (char c : opening) Keep(uint8_t(c), colour_);
  State(kStateWaitNnnn);
  if (sink_) sink_->SaveLamp(1);
}

// dropTail: characters at the end that belong to the next message. reopen: whether a running
// timer entry may open the next message at once.
int CTextCapture::End(size_t dropTail, bool reopen) {
  if (!capturing_) return 0;
  for (size_t i = 0; i < dropTail && chars_ > 0; ++i) RemoveLast();
  capturing_ = 0;
  if (sink_) sink_->SaveLamp(0);
  const int saved = autosave_ && chars_ >= size_t(kMinMessageChars) ? Save() : 0;
  runs_.clear();
  chars_ = 0;
  if (reopen && timer_active_)
    Open("");
  else
    State(kStateWaitZczc);
  return saved;
}

void CTextCapture::Keep(uint8_t byte, uint32_t colour) {
  if (chars_ >= kMaxMessageChars) {
    // Saved in parts rather than held without bound; the part that follows starts now.
    End(0, false);
    Open("");
  }
  if (runs_.empty() || runs_.back().colour != colour) runs_.push_back({std::string(), colour});
  runs_.back().text += char(byte);
  ++chars_;
}

void CTextCapture::RemoveLast() {
  if (runs_.empty()) return;
  runs_.back().text.pop_back();
  if (runs_.back().text.empty()) runs_.pop_back();
  --chars_;
}

int CTextCapture::Save() {
  std::string error;
  const std::string path = ProductFileName(folder_, kMessagePrefix, start_, kMessageExtension);
  if (folder_.empty())
    error = "no text folder";
  else if (path.empty())
    error = "no local time for the message start";
  if (error.empty() && MakeFolders(folder_, &error)) {
    const std::string rtf = WriteRtf(runs_, font_);
    std::string actual;
    if (WriteNewFile(path, rtf.data(), rtf.size(), actual, &error)) {
      last_saved_ = actual;
      last_error_.clear();
      if (sink_) sink_->MessageSaved(actual);
      return 1;
    }
  }
  last_error_ = error;
  if (sink_) sink_->SaveFailed(error);
  return 0;
}


#include "app/views/text_capture.h"

#include <algorithm>
#include <cstdio>

#include "app/core/safe_file.h"

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

// Product names the file lists shorten; each is followed by "yyyy-mm-dd_hh-mm".
constexpr const char* kDatedPrefixes[] = {"FAX_", "SSTV_", "SCANN_", "INFO_",
                                          "RTTY_", "WARN_", "AUDIO_"};
// The date part: 'd' a digit, any other character itself.
constexpr char kDatePattern[] = "dddd-dd-dd_dd-dd";

// "RTTY_YYYY-MM-DD_HH-MM.RTF" of when in local time, or "" when the time has no local form.
std::string MessageFileName(time_t when) {
  struct tm local;
  if (!localtime_r(&when, &local)) return "";
  char name[64];
  std::snprintf(name, sizeof name, "%s%04d-%02d-%02d_%02d-%02d%s", kMessagePrefix,
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                local.tm_min, kMessageExtension);
  return name;
}

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
  const std::string name = MessageFileName(start_);
  if (folder_.empty())
    error = "no text folder";
  else if (name.empty())
    error = "no local time for the message start";
  if (error.empty() && MakeFolders(folder_, &error)) {
    const std::string rtf = WriteRtf(runs_, font_);
    std::string actual;
    if (WriteNewFile(folder_ + "/" + name, rtf.data(), rtf.size(), actual, &error)) {
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

std::string CompactFileName(const std::string& name) {
  for (const char* prefix : kDatedPrefixes) {
    const std::string p(prefix);
    if (name.compare(0, p.size(), p) != 0) continue;
    const size_t dateLength = sizeof kDatePattern - 1;
    if (name.size() < p.size() + dateLength) return name;
    const std::string date = name.substr(p.size(), dateLength);
    for (size_t i = 0; i < dateLength; ++i) {
      const bool digit = date[i] >= '0' && date[i] <= '9';
      if (kDatePattern[i] == 'd' ? !digit : date[i] != kDatePattern[i]) return name;
    }
    // Only an extension or a _N suffix may follow, so a longer number is not misread.
    const std::string rest = name.substr(p.size() + dateLength);
    if (!rest.empty() && rest[0] != '.' && rest[0] != '_') return name;
    return date.substr(2, 2) + date.substr(5, 2) + date.substr(8, 2) + " " + date.substr(11, 2) +
           ":" + date.substr(14, 2) + rest;
  }
  return name;
}

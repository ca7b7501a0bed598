// The message capture of the text receive view: watches the received characters for the frame
// "ZCZC" ... "NNNN" of NAVTEX and press broadcasts, keeps its own copy of each message from its
// "ZCZC" on (so trimming the view can never lose it), and saves every complete message as RTF in
// the text folder, named by the local time of its start ("RTTY_YYYY-MM-DD_HH-MM.RTF"; a name
// already taken gets _2, _3 ...). Shared by the desktop receive view and the headless station.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "app/views/product_names.h"
#include "spl/platform/rich_text.h"

// Status-bar state codes.
constexpr int kStateWaitNnnn = 996;  // inside a message
constexpr int kStateWaitZczc = 997;  // waiting for one
// A message shorter than this (characters from the first Z of "ZCZC" to its end) is not saved.
constexpr int kMinMessageChars = 33;
// SYNOP translations are written in dark green (0x00BBGGRR).
constexpr uint32_t kSynopColour = 0x008000;
// A message that never ends is saved in parts of this many characters.
constexpr size_t kMaxMessageChars = 1 << 20;

// What the capture tells its owner; every operation has an empty default.
class CTextCaptureSink {
 public:
  virtual ~CTextCaptureSink() = default;
  // kStateWaitNnnn or kStateWaitZczc.
  virtual void CaptureState(int code) {}
  // The receive page's SAVE lamp: on while a message is being captured.
  virtual void SaveLamp(int on) {}
  // A message was written to path (refresh the file lists).
  virtual void MessageSaved(const std::string& path) {}
  // A message could not be written ("PATH: reason"); the capture is closed all the same.
  virtual void SaveFailed(const std::string& why) {}
};

class CTextCapture {
 public:
  // textFolder: where messages go (created when missing); sink may be null. Resets everything:
  // no capture, frame detector empty, autosave on, black text in "Courier". 0 for an empty
  // folder (the object is then left as it was). A clock set with SetClock stays.
  int Init(const std::string& textFolder, CTextCaptureSink* sink);
  void SetTextFolder(const std::string& folder) { folder_ = folder; }
  // Whether an ended message is saved (the receive page's "autosave").
  void SetAutosave(int on) { autosave_ = on != 0; }
  // The colour of received text, 0x00BBGGRR.
  void SetColour(uint32_t colour) { colour_ = colour; }
  // The receive character format, used for saved messages.
  void SetFont(const RichFont& font) { font_ = font; }
  // The wall clock (tests); time(nullptr) by default.
  void SetClock(std::function<time_t()> now) { clock_ = std::move(now); }

  // One received character as a text decoder delivers it (0..255; others are ignored).
  // 13 is a line break, and so is a lone 10 (a 10 right after 13 is dropped); 8 removes the
  // last character of an open message; other control characters but tab are not kept. Every
  // character goes through the frame detector: "ZCZC" opens a message (ending an open one,
  // which then ends before this "ZCZC"), "NNNN" ends an open one.
  void Char(int ch);
  // A SYNOP report in plain language: two line breaks, then text in kSynopColour; kept in an
  // open message like received text, but never part of a frame.
  void AppendTranslation(const std::string& text);
  // Opens a message now, without "ZCZC" (the timer manager); an open one is ended first.
  void StartCapture();
  // Ends the open message, saving it when it is long enough and autosave is on; what the
  // timer manager and the shutdown call. 1 when a file was written.
  int EndCapture();
  // While the timer manager runs an entry, a new message opens as soon as one ends.
  void SetTimerActive(int on) { timer_active_ = on != 0; }

  int Capturing() const { return capturing_; }
  // When the open message began (UTC seconds); 0 when none is open.
  time_t CaptureStart() const { return capturing_ ? start_ : 0; }
  // The open message so far (empty when none is open).
  const std::vector<RichRun>& CaptureText() const { return runs_; }
  size_t CaptureChars() const { return chars_; }
  // The file of the last message saved, "" before the first.
  const std::string& LastSaved() const { return last_saved_; }
  // Why the last save failed, "" when it did not.
  const std::string& LastError() const { return last_error_; }

 private:
  void Open(const std::string& opening);
  int End(size_t dropTail, bool reopen);
  void Keep(uint8_t byte, uint32_t colour);
  void RemoveLast();
  int Save();
  time_t Now() const;
  void State(int code);

  std::string folder_;
  CTextCaptureSink* sink_ = nullptr;
  bool autosave_ = true;
  bool timer_active_ = false;
  uint32_t colour_ = 0;
  RichFont font_;
  std::function<time_t()> clock_;
  std::string detector_;  // the last four characters received, oldest first
  int last_char_ = -1;
  int capturing_ = 0;
  time_t start_ = 0;
  std::vector<RichRun> runs_;
  size_t chars_ = 0;
  std::string last_saved_, last_error_;
};

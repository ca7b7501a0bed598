// What the station core tells whoever shows it: the desktop windows, or the console of the
// headless station. Every call comes on the user-interface thread except SMeter and
// Squelch, which may come on the receiver's reader thread and must only store and repaint.
#pragma once
#include <cstdint>
#include <string>

struct AudioBlock;
struct ScanEvent;

// The displays that the stages of the block hub feed (drawn only for fresh blocks).
enum StationDisplay {
  kDisplayScopeInput,     // scopes set to the input
  kDisplayLevel,          // level meter (the block's peak)
  kDisplayFft,            // FFT page
  kDisplayAnalyser,       // spectrum analyser (input or output, as set)
  kDisplayAudioPage,      // audio page in audio mode
  kDisplayTimeSpectrum,   // time spectrum (waterfall)
  kDisplayScopeDecoder,   // scopes set to "after the decoder"
  kDisplayScopePage,      // the scope page
  kDisplayOutputLevel,    // output level meter
  kDisplayScopeOutput,    // scopes set to the output
  kDisplayXY,             // XY scope (mark against space)
  kDisplayDecoderSignal,  // decoder-signal display and scopes set to decoder signals
  kDisplayPictureSignal,  // picture decoders' signals (FAX, SSTV)
  kDisplayCount
};

// Kinds of product the station saves.
enum StationProduct { kProductText, kProductFax, kProductSstv, kProductRecording };

class CStationUi {
 public:
  virtual ~CStationUi() = default;
  // A message box: start-up failures, set-up errors ("CRttyDecoder::Init error" ...).
  virtual void ShowMessage(const std::string& text) {}
  // Status bar pane text (6 frequency, 7 mode, 8 decoder, 9 system state).
  virtual void StatusPane(int pane, const std::string& text) {}
  // A received character for the text receive view (decoder byte, Windows-1252), and
  // a text written into it in a colour (0x00BBGGRR): the SYNOP translations.
  virtual void ReceivedChar(int ch) {}
  virtual void ReceivedText(const std::string& text, uint32_t colour) {}
  // The word the CW decoder is still reading (decoder bytes), shown apart until it is decided
  // and comes as received characters; "" when there is none.
  virtual void PendingText(const std::string& text) {}
  virtual void SaveLamp(int on) {}
  // A display stage; kind from StationDisplay, wParam the signal kind where one applies.
  virtual void Display(int kind, const AudioBlock* block, int wParam) {}
  // The receiver's values changed: refresh the receiver page and panel.
  virtual void ReceiverChanged() {}
  virtual void SMeter(int value) {}
  virtual void Squelch(int open) {}        // receiver squelch lamps
  virtual void AudioSquelch(int open) {}   // the audio page's squelch lamp
  // How clearly the text decoder receives (0 noise ... 100) and where it is tuned (tones,
  // carrier or speed), after each drawn block.
  virtual void DecoderQuality(int quality, const std::string& tuning) {}
  // A new FAX line (width gray bytes, 0 white ... 255 black; sync the decoder's sync value
  // of the line), or line y of the SSTV picture (CStationCore::SstvPicture) was drawn.
  virtual void FaxLine(const uint8_t* gray, int width, int sync) {}
  virtual void SstvLine(int y) {}
  virtual void ProductSaved(StationProduct kind, const std::string& path) {}
  // The recorder's size in bytes and level in percent of full scale.
  virtual void RecorderLevel(long long bytes, double percent) {}
  // The decoding or listening player's position (bytes) of its length.
  virtual void PlayerPosition(int decoding, long long position, long long length) {}
  // The scanner: a measured step (its cell, frequency and levels), a finished sweep line, a
  // hold on a signal starting (on 1) or ending, and the frequency tuned next.
  virtual void ScanValue(int column, int line, float kHz, int smeter, int audio) {}
  virtual void ScanLineFinished(int line) {}
  virtual void ScanHold(const ScanEvent& event, int on) {}
  virtual void ScanTuned(float kHz) {}
};

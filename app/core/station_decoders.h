// The station's decoders and receiver: thin subclasses of the library's classes whose
// callbacks forward to the station core through CStationEvents. One object per decoder kind,
// so every decoder keeps its own Init and state.
#pragma once
#include "spl/decoders/cw_decoder.h"
#include "spl/decoders/fax_decoder.h"
#include "spl/decoders/psk31_decoder.h"
#include "spl/decoders/rtty_decoder.h"
#include "spl/decoders/sstv_decoder.h"
#include "spl/decoders/synop_decoder.h"
#include "spl/radio/radio.h"
#include "spl/radio/scan_control.h"

class CStationEvents {
 public:
  virtual ~CStationEvents() = default;
  virtual void OnChar(int ch) = 0;                     // any text decoder
  virtual void OnPendingText(const char* text) = 0;   // CW: the word not yet decided
  virtual void OnSynopReport(SYN_DATA& report) = 0;
  virtual void OnFaxLine(HBITMAP line, int burst) = 0;
  virtual void OnFaxState(int code) = 0;
  virtual void OnSstvLine(int line) = 0;
  virtual void OnSstvState(unsigned long state) = 0;
  virtual void OnSMeter(int value) = 0;                // reader thread possible
  virtual void OnSquelch(int open) = 0;                // reader thread possible
  virtual void OnScanValue(int column, int line, float kHz, int smeter, int audio) = 0;
  virtual void OnScanLineFinished(int line) = 0;
  virtual void OnScanHold(const ScanEvent& event, int on) = 0;
  virtual void OnScanTune(float kHz) = 0;
};

class CStationRtty : public CRttyDecoder {
 public:
  explicit CStationRtty(CStationEvents& e) : events_(e) {}
  void Char(int ch) override { events_.OnChar(ch); }

 private:
  CStationEvents& events_;
};

class CStationCw : public CCwDecoder {
 public:
  explicit CStationCw(CStationEvents& e) : events_(e) {}
  void Char(int ch) override { events_.OnChar(ch); }
  void Pending(const char* text) override { events_.OnPendingText(text); }

 private:
  CStationEvents& events_;
};

class CStationPsk31 : public CPSK31Decoder {
 public:
  explicit CStationPsk31(CStationEvents& e) : events_(e) {}
  void Char(int ch) override { events_.OnChar(ch); }

 private:
  CStationEvents& events_;
};

class CStationFax : public CFaxDecoder {
 public:
  explicit CStationFax(CStationEvents& e) : events_(e) {}
  void FaxLine(HBITMAP line, int burst) override { events_.OnFaxLine(line, burst); }
  void FaxState(int code) override { events_.OnFaxState(code); }

 private:
  CStationEvents& events_;
};

class CStationSstv : public CSstvDecoder {
 public:
  explicit CStationSstv(CStationEvents& e) : events_(e) {}
  void ShowSSTV(int line) override { events_.OnSstvLine(line); }
  void StateChange(unsigned long state) override { events_.OnSstvState(state); }

 private:
  CStationEvents& events_;
};

class CStationSynop : public CSynopDecoder {
 public:
  explicit CStationSynop(CStationEvents& e) : events_(e) {}
  void Message(SYN_DATA& report) override { events_.OnSynopReport(report); }

 private:
  CStationEvents& events_;
};

class CStationRadio : public CRadio {
 public:
  explicit CStationRadio(CStationEvents& e) : events_(e) {}
  ~CStationRadio() override { Exit(); }  // the reader thread ends before this part goes
  void SMeterChange(int value) override { events_.OnSMeter(value); }
  void SquelchChange(int open) override { events_.OnSquelch(open); }

 private:
  CStationEvents& events_;
};

class CStationScan : public CScanControl {
 public:
  explicit CStationScan(CStationEvents& e) : events_(e) {}
  void OnValue(int column, int line, float kHz, int smeter, int audio, int) override {
    events_.OnScanValue(column, line, kHz, smeter, audio);
  }
  void OnLineFinished(int line) override { events_.OnScanLineFinished(line); }
  void OnHold(const ScanEvent& event) override { events_.OnScanHold(event, 1); }
  void OnRelease(const ScanEvent& event) override { events_.OnScanHold(event, 0); }
  void OnTune(float kHz) override { events_.OnScanTune(kHz); }

 private:
  CStationEvents& events_;
};

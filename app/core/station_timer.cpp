// The station core's timer schedule: the entries it applies and what it closes at their end.
#include "app/core/station_core.h"

int CStationCore::SelectRecord(const CFrqRecord& record) {
  // An applied timer entry owns the receiver until its window ends.
  if (timer_.Running() && timer_.EntryApplied()) {
    Message("ERROR: the timer schedule is in progress");
    return 0;
  }
  return ApplyRecord(record);
}

int CStationCore::StartTimer(const std::string& path) {
  timer_.Init(path, this, [this] { return Now(); });
  if (!timer_.Start()) {
    Message("Timer: " + timer_.Error());
    return 0;
  }
  return 1;
}

void CStationCore::StopTimer() { timer_.Stop(); }

TimerCheck CStationCore::CheckTimer() {
  if (!started_) return TimerCheck();
  return timer_.Check();
}

int CStationCore::ApplyTimerRecord(const CFrqRecord& record) {
  const int ok = ApplyRecord(record);
  // The whole window's text is kept: a message opens at once, and a new one as soon as one
  // ends, so that text outside a ZCZC ... NNNN frame is saved too.
  if (FrqDecoderKindOf(record.decoder) == kFrqText) {
    text_capture_.SetTimerActive(1);
    text_capture_.StartCapture();
  }
  return ok;
}

void CStationCore::CloseTimerProducts() {
  text_capture_.SetTimerActive(0);
  text_capture_.EndCapture();
  if (fax_capture_.End(0)) ui_->ProductSaved(kProductFax, fax_capture_.LastSaved());
  if (sstv_state_ & kSstvReceiving) OnSstvState(0);
  StopRecording();
}

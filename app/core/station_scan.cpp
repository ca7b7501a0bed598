// The station's scanner: range and channel scans over the captured audio, the scan recording
// of the holds, the scan report files and the playback of a held signal.
#include <sys/stat.h>

#include <algorithm>

#include "app/core/station_core.h"
#include "app/lists/frq_list_file.h"

int CStationCore::BeginScan(double startKHz, double stopKHz, double stepHz) {
  if (!started_ || !audio_on_) return Message("the scanner needs the sound input: start the station first"), 0;
  if (Decoder() != kDecoderAudio && !SelectDecoder(kDecoderAudio)) return 0;
  scan_.StopScan();
  CloseScanRecording();
  ScanSettings s;
  s.squelchThreshold = settings_.GetInt(kCfgSquelchThreshold);
  s.receiverSquelch = settings_.GetInt(kCfgSquelch);
  s.eventFromReceiver = settings_.GetInt(kCfgScanEventSource) ? 1 : 0;
  s.stopOnSignal = settings_.GetInt(kCfgScanStopOnSignal) ? 1 : 0;
  if (settings_.GetInt(kCfgStep) > 0) s.tuningStepHz = settings_.GetInt(kCfgStep);
  scan_.SetSettings(s);
  if (settings_.GetInt(kCfgScanRecordOnSignal)) {
    if (scan_recorder_.Init(settings_.GetPath(kCfgDataFolder), settings_.GetInt(kCfgSampleRate),
                            settings_.GetInt(kCfgBlockSize))) {
      scan_recording_ = true;
    } else {
      Message("ScannRecord :: Open error: " + scan_recorder_.LastError());
      settings_.SetInt(kCfgScanRecordOnSignal, 0);
    }
  }
  scan_.SetRecorder(scan_recording_ ? &scan_recorder_ : nullptr);
  if (!scan_.StartScan(startKHz, stopKHz, stepHz, settings_.GetInt(kCfgScanDwellMs),
                       std::max(0, settings_.GetInt(kCfgScanRecordTime)))) {
    Message("scan: " + scan_.Error());
    CloseScanRecording();
    return 0;
  }
  settings_.SetInt(kCfgScanning, 1);
  settings_.SetInt(kCfgScanDwellBlocks, scan_.DwellBlocks() - 1);
  settings_.SetInt(kCfgScanRecordCount, scan_.RecordCount());
  return 1;
}

int CStationCore::StartRangeScan() {
  scanner_.SetChannels({});
  return BeginScan(settings_.GetDouble(kCfgScanStart), settings_.GetDouble(kCfgScanStop),
                   settings_.GetInt(kCfgScanStep));
}

int CStationCore::StartChannelScan(const std::string& listPath) {
  std::vector<CFrqRecord> entries;
  std::string why;
  if (!ReadFrqListFile(listPath, 0, entries, &why)) return Message(why), 0;
  ChannelTable table = BuildChannelTable(entries);
  if (table.kHz.empty()) return Message(listPath + ": no checked channel"), 0;
  const auto [low, high] = std::minmax_element(table.kHz.begin(), table.kHz.end());
  const double start = *low, stop = *high;
  scanner_.SetChannels(table.kHz);
  scan_.SetChannelModes(table.modes, table.widths);
  if (BeginScan(start, stop, 0.0)) return 1;
  scanner_.SetChannels({});
  return 0;
}

void CStationCore::StopScan() {
  scan_.StopScan();
  settings_.SetInt(kCfgScanning, 0);
}

void CStationCore::CloseScanRecording() {
  scan_playing_ = false;
  if (!scan_recording_) return;
  scan_recording_ = false;
  scan_.SetRecorder(nullptr);
  if (!scan_recorder_.Close()) Message("ScannRecord :: write error: " + scan_recorder_.LastError());
}

int CStationCore::SaveScanReport(const std::string& path) {
  if (scanner_.GetYSize() < 1) return Message("no scan to save"), 0;
  // Written beside the target and renamed, so a failed write keeps an older report whole.
  const std::string temp = path + ".tmp";
  if (!scanner_.SaveData(temp.c_str()) || rename(temp.c_str(), path.c_str()) != 0) {
    remove(temp.c_str());
    return Message(path + ": the scan report cannot be written"), 0;
  }
  return 1;
}

int CStationCore::LoadScanReport(const std::string& path) {
  if (scan_.Scanning()) return Message("stop the scan before loading a report"), 0;
  CloseScanRecording();
  struct stat st;
  if (!scanner_.LoadData(path.c_str()) || stat(path.c_str(), &st) != 0) {
    return Message(path + ": not a scanner report (unreadable or cut short)"), 0;
  }
  // A report is exactly as long as its header says; a channel list, which shares the
  // extension, is not.
  if (scanner_.ReportBytes() != (long long)st.st_size) {
    scanner_.Init(settings_.GetInt(kCfgSampleRate), settings_.GetInt(kCfgBlockSize));
    return Message(path + ": not a scanner report (a channel list?)"), 0;
  }
  return 1;
}

int CStationCore::PlayScanEvent(int index) {
  const std::vector<ScanEvent>& events = scan_.Events();
  if (index < 0 || size_t(index) >= events.size() || events[size_t(index)].segment < 0) return 0;
  if (!scan_recorder_.StartPlayback(events[size_t(index)].column, events[size_t(index)].line)) return 0;
  scan_playing_ = true;
  return 1;
}

void CStationCore::OnScanValue(int column, int line, float kHz, int smeter, int audio) {
  ui_->ScanValue(column, line, kHz, smeter, audio);
}

void CStationCore::OnScanLineFinished(int line) { ui_->ScanLineFinished(line); }

void CStationCore::OnScanHold(const ScanEvent& event, int on) { ui_->ScanHold(event, on); }

void CStationCore::OnScanTune(float kHz) { ui_->ScanTuned(kHz); }

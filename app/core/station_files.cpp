// The recorder and the two file players of the station core.
#include <cstdio>

#include "app/core/safe_file.h"
#include "app/core/station_core.h"
#include "app/views/picture_capture.h"

int CStationCore::StartRecording() {
  if (recorder_.Recording()) return 1;
  const std::string folder = settings_.GetPath(kCfgAudioFolder);
  std::string why;
  if (!MakeFolders(folder, &why)) return Message("Record error: " + why), 0;
  // The recording goes to a temporary file and gets its name when it ends, so that it never
  // replaces an earlier one.
  recording_name_ = ProductFileName(folder, "AUDIO_", Now(), ".WAV");
  recording_temp_ = MakeTempFileBeside(recording_name_, &why);
  if (recording_temp_.empty()) return Message("Record error: " + why), 0;
  if (!recorder_.Start(recording_temp_.c_str(), format_.Format(), settings_.GetInt(kCfgSampleRate),
                       settings_.GetInt(kCfgBlockSize), 1)) {
    remove(recording_temp_.c_str());
    Message(recorder_.LastError());
    return 0;
  }
  recorded_bytes_ = 0;
  record_paused_ = false;
  return 1;
}

int CStationCore::StopRecording() {
  if (!recorder_.Recording()) return 0;
  const int ok = recorder_.Stop();
  if (!ok) Message("Record error: " + recorder_.LastError());
  std::string path, why;
  // Whatever reached the disk is kept, complete or not.
  if (!PublishNewFile(recording_temp_, recording_name_, path, &why)) {
    Message("Record error: " + why);
    return 0;
  }
  ui_->ProductSaved(kProductRecording, path);
  return ok;
}

int CStationCore::StartFileDecode(const std::string& path) {
  StopFileDecode();
  if (!decode_player_.Open(path.c_str(), settings_.GetInt(kCfgBlockSize))) {
    Message(decode_player_.LastError());
    return 0;
  }
  decode_pos_ = 0;
  decode_paused_ = false;
  return 1;
}

void CStationCore::StopFileDecode() {
  if (decode_pos_ < 0) return;
  decode_player_.Close();
  decode_pos_ = -1;
}

int CStationCore::StartFileListen(const std::string& path, int repeat) {
  StopFileListen();
  if (!listen_player_.Open(path.c_str(), settings_.GetInt(kCfgBlockSize))) {
    Message(listen_player_.LastError());
    return 0;
  }
  settings_.SetInt(kCfgListenRepeat, repeat);
  listen_pos_ = 0;
  listen_paused_ = false;
  return 1;
}

void CStationCore::StopFileListen() {
  if (listen_pos_ < 0) return;
  listen_player_.Close();
  listen_pos_ = -1;
}

int CStationCore::FileDecodeStep(bool display) {
  if (decode_pos_ < 0) return 0;
  AudioBlock* b = file_block_[0];
  const int n = decode_player_.Decompress(b);
  if (n <= 0) {
    StopFileDecode();
    if (Decoder() == kDecoderCw) cw_.Flush();  // a transmission ending with the file
    ui_->PlayerPosition(1, -1, decode_player_.DataSize());
    return 0;
  }
  ScaleAudioBlock(b, settings_.GetInt(kCfgPlaybackVolume));
  decode_pos_ += n * 2;
  ui_->PlayerPosition(1, decode_pos_, decode_player_.DataSize());
  if (settings_.GetInt(kCfgEqualizerPosition) == 1) Equalize(b);
  AudioBlock* d = SquelchLevel(b) < settings_.GetInt(kCfgSquelchThreshold) ? silence_ : b;
  RunDecoder(d, false, unused_out_);  // without the audio mode's listening player
  return 1;
}

int CStationCore::FileListenStep(AudioBlock* into, bool display) {
  if (listen_pos_ < 0 || listen_paused_) return 0;
  const int n = listen_player_.Decompress(into);
  if (n <= 0) {
    if (settings_.GetInt(kCfgListenRepeat) && listen_player_.SeekData(0) && listen_pos_ > 0) {
      listen_pos_ = 0;
      return FileListenStep(into, display);
    }
    StopFileListen();
    return 0;
  }
  ScaleAudioBlock(into, settings_.GetInt(kCfgPlaybackVolume));
  if (into != last_) {
    for (int i = 0; i < into->count && i < last_->count; ++i) last_->data[i] = into->data[i];
    MeasureAudioBlock(last_);
  }
  listen_pos_ += n * 2;
  if (display) {
    ui_->PlayerPosition(0, listen_pos_, listen_player_.DataSize());
  }
  return 1;
}

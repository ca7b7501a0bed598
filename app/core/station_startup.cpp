// Start-up and shutdown of the station core, its settings files and the receiver switch.
#include <unistd.h>

#include <cstring>

#include "app/core/safe_file.h"
#include "app/core/sim_station.h"
#include "app/core/station_core.h"
#include "app/core/station_paths.h"
#include "app/lists/frq_csv.h"
#include "spl/audio/sound_device.h"
#include "spl/decoders/rtty_config.h"
#include "spl/platform/memory_mixer_device.h"

namespace {

constexpr int kMinRate = 6000, kMaxRate = 48000;
constexpr int kMinBlock = 256, kMaxBlock = 8192;
constexpr DWORD kReceiverOffWaitMs = 1000;
constexpr int kReceiverOnRepeats = 3;
constexpr int kToneGenHz = 1275;
constexpr float kToneGenAmplitude = 32767.0f;
constexpr int kDataFolderKeep = 4;  // bytes before the data folder that a reset keeps
constexpr const char* kFallbackPlayback = "null";

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// The SYNOP store beside the running program or one folder above it (the build puts synop.db
// at its top, beside the tool; the station program sits in app/ below).
std::string StoreBesideProgram() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return CSynopDecoder::kDefaultStore;
  buf[n] = '\0';
  const std::string here = FolderOf(buf) + "/" + CSynopDecoder::kDefaultStore;
  const std::string above = FolderOf(FolderOf(buf)) + "/" + CSynopDecoder::kDefaultStore;
  return access(here.c_str(), R_OK) != 0 && access(above.c_str(), R_OK) == 0 ? above : here;
}

}  // namespace

// The text capture reports to the status bar, the SAVE lamp and the receive views.
class CStationCore::CCaptureEvents : public CTextCaptureSink {
 public:
  explicit CCaptureEvents(CStationCore& core) : core_(core) {}
  void CaptureState(int code) override { core_.ShowState(code); }
  void SaveLamp(int on) override { core_.ui_->SaveLamp(on); }
  void MessageSaved(const std::string& path) override { core_.ui_->ProductSaved(kProductText, path); }
  void SaveFailed(const std::string& why) override { core_.Message("message not saved: " + why); }

 private:
  CStationCore& core_;
};

CStationCore::CStationCore() : ui_(&null_ui_) {}

CStationCore::~CStationCore() { Shutdown(); }

void CStationCore::SetClock(std::function<time_t()> now) {
  clock_ = now;
  text_capture_.SetClock(now);
  fax_capture_.SetClock(now);
}

void CStationCore::CreateWorkBlocks() {
  FreeWorkBlocks();
  const int block = settings_.GetInt(kCfgBlockSize);
  AudioBlock** blocks[] = {&silence_, &last_, &file_block_[0], &file_block_[1], &spare_};
  for (AudioBlock** b : blocks) {
    NewAudioBlock(b, block);
    for (int i = 0; i < block; ++i) (*b)->data[i] = 0.0f;
    MeasureAudioBlock(*b);
  }
  NewAudioBlock(&fax_block_, 2 * PictureBlock());
}

void CStationCore::FreeWorkBlocks() {
  AudioBlock** blocks[] = {&silence_, &last_, &file_block_[0], &file_block_[1], &spare_, &fax_block_,
                           &pending_mark_};
  for (AudioBlock** b : blocks) {
    if (*b) FreeAudioBlock(*b);
    *b = nullptr;
  }
}

int CStationCore::Init(const std::string& baseFolder, CStationUi* ui, CPageWindowHost* pages) {
  Shutdown();
  ui_ = ui ? ui : &null_ui_;
  pages_ = pages;
  base_ = baseFolder;
  for (int& a : active_) a = 0;
  decode_pos_ = listen_pos_ = -1;
  LoadSettings(true);
  std::string why;
  if (!MakeStationFolders(settings_, &why)) return Message(why), 0;
  // The first start fills the frequency list from the starter list shipped with the station.
  if (!EnsureFrqDatabase(settings_.GetPath(kCfgDataFolder), DefaultFrqStarterPath(), &why)) Message(why);
  DeleteLockFiles(base_);
  capture_events_ = std::make_unique<CCaptureEvents>(*this);
  text_capture_.Init(settings_.GetPath(kCfgTextFolder), capture_events_.get());
  text_capture_.SetAutosave(settings_.GetInt(kCfgAutosave));
  text_capture_.SetColour(uint32_t(settings_.GetInt(kCfgReceiveColour)));
  if (clock_) SetClock(clock_);
  fax_capture_.Init(settings_.GetPath(kCfgFaxFolder));
  record_ = RecordFromSettings(0.0);
  record_given_ = false;
  return 1;
}

void CStationCore::LoadSettings(bool readFiles) {
  settings_.SetDefaults();
  format_.Init(settings_.GetInt(kCfgSampleRate));
  if (readFiles) {
    std::string message;
    const int loaded = settings_.Load(BasePath(base_, kSettingsFileName), &message);
    if (loaded < 0) Message(message);
    settings_loaded_ = loaded == 1;
    format_.Init(settings_.GetInt(kCfgSampleRate));
    format_.Load(BasePath(base_, kAudioFormatFileName));
  }
  settings_.FillFolders(base_);
}

int CStationCore::SaveSettings() {
  std::string why;
  if (!settings_.Save(BasePath(base_, kSettingsFileName), &why) ||
      !format_.Save(BasePath(base_, kAudioFormatFileName), &why)) {
    Message("settings not saved: " + why);
    return 0;
  }
  return 1;
}

void CStationCore::SaveProfile() {
  profile_.SetInt("TXTREQ", "left", settings_.GetInt(kCfgTextRequestLeft));
  profile_.SetInt("TXTREQ", "top", settings_.GetInt(kCfgTextRequestTop));
  profile_.SetInt("TXTREQ", "right", settings_.GetInt(kCfgTextRequestRight));
  profile_.SetInt("TXTREQ", "bottom", settings_.GetInt(kCfgTextRequestBottom));
  profile_.SetString("RADIO", "recname", settings_.GetString(kCfgReceiverName, kCfgReceiverNameSize));
  profile_.SetInt("RADIO", "receiver", settings_.GetInt(kCfgReceiverType));
  profile_.SetInt("RADIO", "icom_radio", settings_.GetInt(kCfgCivRadio));
  profile_.SetInt("RADIO", "icom_controller", settings_.GetInt(kCfgCivController));
  std::string why;
  if (!profile_.Save(BasePath(base_, kProfileFileName), &why)) Message("profile not saved: " + why);
}

int CStationCore::OpenReceiverPort() {
  std::string port = options_.port;
  int sim_type = 0;
  if (ParseSimPort(port, sim_type)) port = sim_->DevicePath();
  radio_.SetCivAddresses(settings_.GetInt(kCfgCivRadio), settings_.GetInt(kCfgCivController));
  radio_.SetReceiver(settings_.GetInt(kCfgReceiverType));
  if (radio_.Init(port, 1)) return 1;
  Message("The receiver cannot be reached over the port " + options_.port +
          (radio_.PortDevice().empty() ? "" : " (" + radio_.PortDevice() + ": " +
                                                  strerror(radio_.PortError()) + ")"));
  return 0;
}

int CStationCore::Start(const StationOptions& options) {
  options_ = options;
  // The profile: text-request rectangle, playback pre-roll and the receiver.
  profile_.Load(BasePath(base_, kProfileFileName));
  settings_.SetInt(kCfgTextRequestLeft, profile_.GetInt("TXTREQ", "left", 0));
  settings_.SetInt(kCfgTextRequestTop, profile_.GetInt("TXTREQ", "top", 0));
  settings_.SetInt(kCfgTextRequestRight, profile_.GetInt("TXTREQ", "right", 0));
  settings_.SetInt(kCfgTextRequestBottom, profile_.GetInt("TXTREQ", "bottom", 0));
  preroll_ = profile_.GetInt("RADIO", "audiobuf", kDefaultPreRoll);
  settings_.SetString(kCfgReceiverName, kCfgReceiverNameSize,
                      profile_.GetString("RADIO", "recname",
                                         settings_.GetString(kCfgReceiverName, kCfgReceiverNameSize)));
  settings_.SetInt(kCfgReceiverType,
                   profile_.GetInt("RADIO", "receiver", settings_.GetInt(kCfgReceiverType)));
  settings_.SetInt(kCfgCivRadio, profile_.GetInt("RADIO", "icom_radio", settings_.GetInt(kCfgCivRadio)));
  settings_.SetInt(kCfgCivController,
                   profile_.GetInt("RADIO", "icom_controller", settings_.GetInt(kCfgCivController)));

  // The audio format the decoders can run.
  const int rate = settings_.GetInt(kCfgSampleRate), block = settings_.GetInt(kCfgBlockSize);
  if (rate < kMinRate || rate > kMaxRate || !IsPowerOfTwo(block) || block < kMinBlock ||
      block > kMaxBlock) {
    Message("InitAudio error: " + std::to_string(block) + " samples per block at " +
            std::to_string(rate) + " Hz cannot be decoded (rates " + std::to_string(kMinRate) +
            " ... " + std::to_string(kMaxRate) + " Hz, blocks a power of two from " +
            std::to_string(kMinBlock) + " to " + std::to_string(kMaxBlock) + ")");
    return 0;
  }
  CreateWorkBlocks();

  // The receiver: a real port, or the simulated receiver on a pseudo-terminal.
  int sim_type = 0;
  std::string why;
  if (ParseSimPort(options.port, sim_type)) {
    if (sim_type) settings_.SetInt(kCfgReceiverType, sim_type);
    sim_ = std::make_unique<CSimulatedBand>();
    if (!sim_->Init(settings_.GetInt(kCfgReceiverType), settings_.GetInt(kCfgCivRadio),
                    settings_.GetInt(kCfgCivController), options.simStations, &why))
      return Message(why), 0;
  }
  if (IsSimAudio(options.audioIn) && (!sim_ || !sim_->StartAudio(&why)))
    return Message(sim_ ? why : "the simulated band needs the simulated receiver (--port sim)"), 0;
  // On a first start the simulated band's station at the default tuning plays the part of the
  // frequency list's current row: its decoder is selected.
  if (sim_ && !settings_loaded_ && !record_given_)
    FindSimStationRecord(options.simStations, record_.rxFrq, record_);
  if (!OpenReceiverPort()) return 0;

  if (!InitAudio(&radio_, 1, rate, block, kCaptureBuffers,
                 options.audioIn.empty() ? nullptr : options.audioIn.c_str())) {
    Message(std::string("InitAudio error: ") + AudioErrorText());
    InitAudio(&radio_, 0, rate, block, kCaptureBuffers);
    return 0;
  }
  audio_open_ = 1;
  const bool fallback = options.audioOut.empty();
  if (!InitAudioOut(&radio_, preroll_, fallback ? nullptr : options.audioOut.c_str()) &&
      !(fallback && InitAudioOut(&radio_, preroll_, kFallbackPlayback))) {
    Message(std::string("InitAudioOut error: ") + AudioErrorText());
    CloseAudio();
    return 0;
  }
  radio_.Radio_OnOff(1);
  radio_.SerialMode(kSerialRtsOnDtrOn);

  squelch_.Init(rate, block < kSquelchMeasure ? block : kSquelchMeasure);
  LoadEqualizer(rate, block);
  tone_gen_.Init(rate, block);
  tone_gen_.SetAmpl(kToneGenAmplitude);
  tone_gen_.SetFreq(kToneGenHz);
  const std::string store = options.synopStore.empty() ? StoreBesideProgram() : options.synopStore;
  if (!scanner_.Init(rate, block) || !scan_.Init(&scanner_, &radio_, rate, block)) {
    Message("CScanner::Init error");
    ReceiverOff();
    return 0;
  }
  if (!synop_.Init(0, store.c_str())) {
    Message("CSynopDecoder::Init error: " + synop_.StoreError());
    ReceiverOff();
    return 0;
  }
  radio_.Radio_SetVolume(0);
  started_ = 1;

  const int groups[] = {kGroupText, kGroupFax, kGroupAudio};
  for (int g : groups)
    page_[g] = pages_->CreatePageWindow(
        [this, g](UINT m, WPARAM w, LPARAM l) { OnPageMessage(g, m, w, l); });
  return SwitchReceiver(settings_.GetInt(kCfgReceiverType));
}

int CStationCore::SwitchReceiver(int type) {
  audio_on_ = 0;
  if (connected_) {
    radio_.Radio_OnOff(0);
    connected_ = 0;
    Sleep(kReceiverOffWaitMs);
  }
  settings_.SetInt(kCfgReceiverType, type);
  if (!OpenReceiverPort()) return 0;
  for (int i = 0; i < kReceiverOnRepeats; ++i) radio_.Radio_OnOff(1);
  radio_.Radio_SetVolume(0);
  connected_ = 1;
  audio_on_ = 1;
  ApplyRecord(record_);
  radio_.SerialMode(kSerialRtsOnDtrOn);
  ui_->ReceiverChanged();
  return 1;
}

void CStationCore::ResetAll() {
  uint8_t keep[kDataFolderKeep];
  memcpy(keep, settings_.Bytes() + kCfgDataFolder - kDataFolderKeep, kDataFolderKeep);
  settings_.SetDefaults();
  memcpy(settings_.Bytes() + kCfgDataFolder - kDataFolderKeep, keep, kDataFolderKeep);
  settings_.FillFolders(base_);
  record_ = RecordFromSettings(0.0);
  if (connected_) ApplyRecord(record_);
  ui_->ReceiverChanged();
}

void CStationCore::CloseAudio() {
  if (!audio_open_) return;
  InitAudioOut(nullptr, 0);
  InitAudio(&radio_, 0, 0, 0, 0);
  audio_open_ = 0;
}

void CStationCore::ReceiverOff() {
  if (connected_) radio_.Radio_OnOff(0);
  CloseAudio();
  connected_ = 0;
}

void CStationCore::Shutdown() {
  if (started_ && audio_on_) {
    StopScan();
    StopRecording();
    StopFileDecode();
    StopFileListen();
  }
  // Nothing received is lost: a message, a picture or a recording under way is saved.
  text_capture_.EndCapture();
  CloseScanRecording();
  if (fax_capture_.End(0)) ui_->ProductSaved(kProductFax, fax_capture_.LastSaved());
  if (sstv_state_ & kSstvReceiving) OnSstvState(0);
  if (started_) {
    SaveEqualizer();
    SaveSettings();
    SaveProfile();
  }
  audio_on_ = 0;
  if (!base_.empty()) DeleteLockFiles(base_);
  StopDecoders();
  ReceiverOff();
  radio_.Exit();
  for (HWND& p : page_) {
    if (p && pages_) pages_->DestroyPageWindow(p);
    p = nullptr;
  }
  sim_.reset();
  FreeWorkBlocks();
  started_ = 0;
}

std::string CStationCore::MixerDevice() const {
  const std::string& in = options_.audioIn;
  if (in.empty() || in == "null" || IsSimAudio(in) || in.rfind("wav", 0) == 0) return kMemoryMixerName;
  return in;
}

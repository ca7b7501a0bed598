// CAudioPage: the audio page of the station window. Above, what the core's display stages
// feed: the waterfall (frequency across, newest line on top), the spectrum analyser, two
// scopes and the input and output level meters with the audio squelch lamp. Below, the
// recorder, the decoding and the listening player, the listening switches, the equalizer and
// the sound card's controls. Every setting
// it shows is read from and written to the core's settings record, and every recorder or
// player action is the core's own operation.
#pragma once
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/core/station_core.h"
#include "spl/dsp/scope.h"
#include "spl/dsp/spectrogram.h"
#include "spl/dsp/spectrum_analyser.h"

class CEqualizerPanel;
class CMixerRolesPage;
class CLamp;
class CLevelMeter;
class CPaintWidget;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;

class CAudioPage : public QWidget {
 public:
  explicit CAudioPage(CStationCore& core, QWidget* parent = nullptr);
  ~CAudioPage() override;
  CAudioPage(const CAudioPage&) = delete;
  CAudioPage& operator=(const CAudioPage&) = delete;

  // A display stage of the core (kind from StationDisplay, on the user-interface thread);
  // only the displays that are on screen are drawn.
  void Display(int kind, const AudioBlock* block, int wParam);
  // The recorded size in bytes and the recorded block's level in percent of full scale.
  void RecorderLevel(long long bytes, double percent);
  // A player's position of its length in bytes (decoding 1: the decoding player); a negative
  // position: the player stopped at the end of its file.
  void PlayerPosition(int decoding, long long position, long long length);
  void AudioSquelch(int open);
  // Shows the core's settings and the recorder's and players' states again.
  void Refresh();
  CEqualizerPanel* EqualizerPanel() const { return m_equalizer; }
  CMixerRolesPage* MixerRolesPage() const { return m_mixerRoles; }

 private:
  class CTurnedTarget;
  struct Player {
    QLineEdit* path = nullptr;
    QPushButton *open = nullptr, *play = nullptr, *pause = nullptr, *stop = nullptr;
    QProgressBar* progress = nullptr;
    QLabel* time = nullptr;
  };
  enum { kListening = 0, kDecoding = 1 };  // index of m_player, as PlayerPosition's flag

  QWidget* MakeDisplays();
  QWidget* MakeRecorder();
  QWidget* MakePlayer(int which);
  QWidget* MakeListening();
  void FillCodecs();
  void SetUpEngines();
  void DrawWaterfall(const AudioBlock* block);
  void DrawScopes(int source, const AudioBlock* block);
  void ChooseCodec(int index);
  void OpenFile(int which);
  void Play(int which);
  void Pause(int which, bool on);
  void Stop(int which);
  void ShowPosition(int which, long long position, long long length);
  void UpdateRecorder();
  void UpdatePlayers();
  void SetCheck(QCheckBox* box, int offset);
  int Setting(int offset) const;

  CStationCore& m_core;
  CEqualizerPanel* m_equalizer = nullptr;
  CMixerRolesPage* m_mixerRoles = nullptr;
  int m_rate = 0, m_block = 0;  // what the engines were set up for

  CPaintWidget* m_waterfall = nullptr;
  CPaintWidget* m_analyser = nullptr;
  CPaintWidget* m_scopeView[2] = {};
  QComboBox* m_scopeSource[2] = {};
  CLevelMeter* m_inLevel = nullptr;
  CLevelMeter* m_outLevel = nullptr;
  CLamp* m_squelchLamp = nullptr;

  QPushButton *m_record = nullptr, *m_recordPause = nullptr, *m_recordStop = nullptr;
  QComboBox* m_codec = nullptr;
  QLabel* m_recordedSize = nullptr;
  CLevelMeter* m_recordLevel = nullptr;
  std::vector<std::vector<uint8_t>> m_formats;  // the codec combo's format records

  Player m_player[2];
  QCheckBox* m_repeat = nullptr;
  QCheckBox* m_throughDecoders = nullptr;
  QCheckBox* m_monitor = nullptr;
  QCheckBox* m_filtered = nullptr;
  QCheckBox* m_analyserOn = nullptr;
  QCheckBox* m_analyserOutput = nullptr;
  QCheckBox* m_waterfallOn = nullptr;
  QSlider* m_threshold = nullptr;
  QLabel* m_thresholdValue = nullptr;

  // The targets outlive the engines that draw into them: declared first, destroyed last.
  std::unique_ptr<CTurnedTarget> m_turned;
  CTimeSpec m_spec;
  CSpectrana m_ana;
  CScope m_scope[2];
  // The block the audio-page stage just drew on the waterfall: the time-spectrum stage that
  // follows with the same block must not add a second line for it.
  const AudioBlock* m_waterfallBlock = nullptr;
};

// CMixerRolesPage: the audio page's own controls for the sound card. Each of the ten roles
// (line-in volume, mute and input selector, wave volume and mute, speaker volume, mute, bass,
// treble and line) works on the card control the user chose for it ("Select"); the choices
// are kept in the core's settings with the card they were made for, and saved to and loaded
// from mixer configuration files (".kmc"). The card's state when the page opened is put back
// when it closes, so what was changed here lasts only while the station runs.
#pragma once
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/core/mixer_config.h"
#include "spl/audio/mixer.h"

class CStationCore;
class QLabel;
class QPushButton;

class CMixerRolesPage : public QWidget {
 public:
  // Asked when a file made on another card is loaded: both identifications; true goes on.
  using Ask = std::function<bool(const QString& question)>;

  explicit CMixerRolesPage(CStationCore& core, QWidget* parent = nullptr);
  ~CMixerRolesPage() override;

  // Opens the core's mixer card and shows the roles of the settings. 1, or 0 (no mixer: the
  // page says so and offers nothing).
  int Open();
  // A role's control by its line and control identifiers (the selection dialog's choice):
  // kept in the settings. 1, or 0 when the card has no such control.
  int Assign(int role, uint32_t lineId, uint32_t controlId);
  // The role's value in percent of its scale (selector: the item; mute: 0 or 1); -1 when it
  // has no control on this card.
  int RoleValue(int role);
  int SetRoleValue(int role, int value);
  // The control a role works on, as the page shows it.
  QString RoleText(int role) const;
  // Mixer configuration files. 1, or 0 (told why; nothing changed).
  int SaveTo(const std::string& path);
  int LoadFrom(const std::string& path);
  void SetAsk(Ask ask) { m_ask = std::move(ask); }
  const QString& LastMessage() const { return m_message; }
  CMixer& Mixer() { return m_mixer; }

 private:
  struct Row {
    QLabel* control = nullptr;
    QWidget* value = nullptr;  // slider, check box or selector, made for the assigned control
    QPushButton* select = nullptr;
  };
  void Build();
  void ShowRole(int role);
  void Select(int role);
  void Tell(const QString& text);
  MixerConfig Config() const;
  void Keep(const MixerConfig& config);

  CStationCore& m_core;
  CMixer m_mixer;
  CMixerState m_opened;  // the card's state when the page opened
  std::vector<Row> m_rows;
  QLabel* m_card = nullptr;
  Ask m_ask;
  QString m_message;
};

// The audio page's sound card roles: line-in volume, mute and input selector, wave volume and
// mute, speaker volume, mute, bass, treble and line, each assigned by the user to one control
// of the card. The assignments live in the settings record with the identification of the
// card they were made for and the input selector's item values, and travel between machines
// as mixer configuration files (".kmc", sectioned text). "mixer.tmp" lists the card's lines
// and controls for the selection dialog.
#pragma once
#include <cstdint>
#include <string>

#include "app/core/settings_record.h"
#include "spl/audio/mixer.h"

// The roles in the order of the file (the settings record keeps LINE_MUX before LINE_MUTE).
enum MixerRole {
  kRoleLineVolume,
  kRoleLineMute,
  kRoleLineMux,
  kRoleWaveVolume,
  kRoleWaveMute,
  kRoleSpeakerVolume,
  kRoleSpeakerMute,
  kRoleSpeakerBass,
  kRoleSpeakerTreble,
  kRoleSpeakerLine,
  kMixerRoleCount
};
const char* MixerRoleName(int role);  // "LINE_VOLUME" ...

// One role's control: where it sits on the card and how its scale runs.
struct MixerAssignment {
  uint32_t dstType = 0;      // destination line component type
  uint32_t srcType = 0;      // source line component type (0: the destination's own control)
  uint32_t controlType = 0;
  uint32_t mixerId = 0;
  uint32_t lineId = 0;
  uint32_t controlId = 0;
  uint32_t items = 0;        // of a multiple-item control
  uint32_t flags = 0;
  uint32_t reverse = 0;      // the control's scale runs the other way
  uint32_t minimum = 0;
  uint32_t maximum = 0;
  bool operator==(const MixerAssignment&) const = default;
};

constexpr int kMixerSelectorCount = 16;
constexpr const char* kMixerConfigExtension = ".kmc";
constexpr const char* kMixerWorkFileName = "mixer.tmp";

struct MixerConfig {
  MixerCaps card;
  MixerAssignment roles[kMixerRoleCount];      // file order
  uint32_t selectors[kMixerSelectorCount] = {};  // the input selector's item values
};

// The configuration kept in the settings record, and back.
void GetMixerConfig(const CSettingsRecord& settings, MixerConfig& config);
void PutMixerConfig(const MixerConfig& config, CSettingsRecord& settings);

// The configuration file's text, and the file written safely (1, or 0 with error set).
std::string MixerConfigText(const MixerConfig& config);
int WriteMixerConfigFile(const std::string& path, const MixerConfig& config, std::string* error);
// The card a file was made for. 1, or 0 (unreadable, no "[MIXERCAPS]") with error set.
int ReadMixerConfigCard(const std::string& path, MixerCaps& card, std::string* error);
// The roles and the selector values of a file over config: a missing section, key or a value
// that is not eight-digit hexadecimal with its "h" leaves that field as it was; lines may end
// in CR LF. The card identification is not taken (see ReadMixerConfigCard). 1, or 0
// (unreadable) with error set and config unchanged.
int ReadMixerConfigFile(const std::string& path, MixerConfig& config, std::string* error);
// Whether a file's card is this card: every field equal.
bool SameMixerCard(const MixerCaps& a, const MixerCaps& b);
// Both identifications, one line each, for the question asked on another card.
std::string MixerCardText(const MixerCaps& card);
// The file name proposed for a card: its product name, blanks as "_", and ".kmc".
std::string MixerConfigFileName(const std::string& productName);

// The assignment of a control of the mixer (source null: the destination's own control).
MixerAssignment MixerAssignmentOf(const CMixer::Destination& destination, const CMixer::Source* source,
                                  const MixerControl& control);
// The control an assignment names on this mixer: 1 with line and control set, else 0.
int FindAssignedControl(const CMixer& mixer, const MixerAssignment& role, MixerLine& line, MixerControl& control);
// "Destination: Source: Control" of an assignment on this mixer, or "(not on this card)" /
// "(none)".
std::string AssignedControlText(const CMixer& mixer, const MixerAssignment& role);
// The work file's text: every destination and source line with its controls, "/END" last.
std::string MixerWorkFileText(const CMixer& mixer);

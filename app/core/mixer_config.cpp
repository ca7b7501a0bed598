#include "app/core/mixer_config.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/core/safe_file.h"

namespace {

constexpr const char* kRoleNames[kMixerRoleCount] = {
    "LINE_VOLUME",    "LINE_MUTE",       "LINE_MUX",      "WAVE_VOLUME",    "WAVE_MUTE",
    "SPEAKER_VOLUME", "SPEAKER_MUTE",    "SPEAKER_BASS",  "SPEAKER_TREBLE", "SPEAKER_LINE"};
constexpr const char* kCardSection = "MIXERCAPS";
constexpr const char* kSelectorSection = "MUXVAL";
constexpr int kAssignmentBytes = 44;

// The eleven fields of an assignment in the order of the file and of the record.
struct AssignmentField {
  const char* key;
  uint32_t MixerAssignment::*field;
};
constexpr AssignmentField kFields[] = {
    {"DST_ComponentType", &MixerAssignment::dstType}, {"SRC_ComponentType", &MixerAssignment::srcType},
    {"ControlType", &MixerAssignment::controlType},   {"capsID", &MixerAssignment::mixerId},
    {"lineID", &MixerAssignment::lineId},             {"ctrlID", &MixerAssignment::controlId},
    {"MultipleItems", &MixerAssignment::items},       {"flag", &MixerAssignment::flags},
    {"revers", &MixerAssignment::reverse},            {"min", &MixerAssignment::minimum},
    {"max", &MixerAssignment::maximum}};
static_assert(sizeof kFields / sizeof kFields[0] * 4 == kAssignmentBytes);

// The record keeps LINE_MUX in the second place and LINE_MUTE in the third.
int RecordSlot(int role) {
  if (role == kRoleLineMute) return kRoleLineMux;
  if (role == kRoleLineMux) return kRoleLineMute;
  return role;
}

uint32_t Get32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08Xh", v);
  return text;
}

// "%08Xh": one to eight hexadecimal digits and the "h". 0 leaves value alone.
int ParseHex(const std::string& text, uint32_t& value) {
  if (text.size() < 2 || text.size() > 9 || text.back() != 'h') return 0;
  uint32_t v = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    const char c = text[i];
    int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return 0;
    v = v << 4 | uint32_t(digit);
  }
  value = v;
  return 1;
}

int ReadLines(const std::string& path, std::vector<std::string>& lines, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = path + ": " + std::strerror(errno);
    return 0;
  }
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return 1;
}

// Calls take(key, value) for each "key=value" line of section [name]; 0 when it is missing.
template <typename Take>
int ReadSection(const std::vector<std::string>& lines, const std::string& name, Take take) {
  const std::string head = "[" + name + "]";
  size_t i = 0;
  while (i < lines.size() && lines[i] != head) ++i;
  if (i == lines.size()) return 0;
  for (++i; i < lines.size() && (lines[i].empty() || lines[i][0] != '['); ++i) {
    const size_t eq = lines[i].find('=');
    if (eq != std::string::npos) take(lines[i].substr(0, eq), lines[i].substr(eq + 1));
  }
  return 1;
}

const char* ControlTypeName(DWORD type) {
  switch (type) {
    case MIXERCONTROL_CONTROLTYPE_MUTE: return "MUTE";
    case MIXERCONTROL_CONTROLTYPE_VOLUME: return "VOLUME";
    case MIXERCONTROL_CONTROLTYPE_BASS: return "BASS";
    case MIXERCONTROL_CONTROLTYPE_TREBLE: return "TREBLE";
    default: return "OTHER";
  }
}

const char* LineTypeName(DWORD component) {
  switch (component) {
    case MIXERLINE_COMPONENTTYPE_DST_SPEAKERS: return "SPEAKERS";
    case MIXERLINE_COMPONENTTYPE_DST_WAVEIN: return "WAVEIN";
    default: return component >= 0x1000 ? "SOURCE" : "DESTINATION";
  }
}

}  // namespace

const char* MixerRoleName(int role) { return role >= 0 && role < kMixerRoleCount ? kRoleNames[role] : ""; }

void GetMixerConfig(const CSettingsRecord& settings, MixerConfig& config) {
  const uint8_t* b = settings.Bytes();
  const uint8_t* card = b + kCfgMixerCard;
  config.card.mid = uint16_t(card[0] | card[1] << 8);
  config.card.pid = uint16_t(card[2] | card[3] << 8);
  config.card.driverVersion = Get32(card + 4);
  config.card.name = std::string(reinterpret_cast<const char*>(card + 8), strnlen(reinterpret_cast<const char*>(card + 8), kMixerCapsNameSize - 1));
  config.card.support = Get32(card + 8 + kMixerCapsNameSize);
  config.card.destinations = Get32(card + 12 + kMixerCapsNameSize);
  for (int role = 0; role < kMixerRoleCount; ++role) {
    const uint8_t* p = b + kCfgMixerControls + RecordSlot(role) * kAssignmentBytes;
    for (const AssignmentField& f : kFields) config.roles[role].*f.field = Get32(p), p += 4;
  }
  for (int i = 0; i < kMixerSelectorCount; ++i) config.selectors[i] = Get32(b + kCfgMixerSelectors + 4 * i);
}

void PutMixerConfig(const MixerConfig& config, CSettingsRecord& settings) {
  uint8_t* b = settings.Bytes();
  uint8_t* card = b + kCfgMixerCard;
  card[0] = uint8_t(config.card.mid), card[1] = uint8_t(config.card.mid >> 8);
  card[2] = uint8_t(config.card.pid), card[3] = uint8_t(config.card.pid >> 8);
  Put32(card + 4, config.card.driverVersion);
  std::memset(card + 8, 0, kMixerCapsNameSize);
  std::memcpy(card + 8, config.card.name.data(), std::min(config.card.name.size(), kMixerCapsNameSize - 1));
  Put32(card + 8 + kMixerCapsNameSize, config.card.support);
  Put32(card + 12 + kMixerCapsNameSize, config.card.destinations);
  for (int role = 0; role < kMixerRoleCount; ++role) {
    uint8_t* p = b + kCfgMixerControls + RecordSlot(role) * kAssignmentBytes;
    for (const AssignmentField& f : kFields) Put32(p, config.roles[role].*f.field), p += 4;
  }
  for (int i = 0; i < kMixerSelectorCount; ++i) Put32(b + kCfgMixerSelectors + 4 * i, config.selectors[i]);
}

std::string MixerConfigText(const MixerConfig& config) {
  std::ostringstream out;
  const MixerCaps& c = config.card;
  out << "[" << kCardSection << "]\n"
      << "wMid=" << Hex(c.mid) << "\n"
      << "wPid=" << Hex(c.pid) << "\n"
      << "vDriverVersion=" << Hex(c.driverVersion) << "\n"
      << "szPname=" << c.name.substr(0, kMixerCapsNameSize - 1) << "\n"
      << "fdwSupport=" << Hex(c.support) << "\n"
      << "cDestinations=" << Hex(c.destinations) << "\n\n";
  for (int role = 0; role < kMixerRoleCount; ++role) {
    out << "[" << kRoleNames[role] << "]\n";
    for (const AssignmentField& f : kFields) out << f.key << "=" << Hex(config.roles[role].*f.field) << "\n";
    out << "\n";
  }
  out << "[" << kSelectorSection << "]\n";
  for (int i = 0; i < kMixerSelectorCount; ++i) out << "value_" << i << "=" << Hex(config.selectors[i]) << "\n";
  out << "\n";
  return out.str();
}

int WriteMixerConfigFile(const std::string& path, const MixerConfig& config, std::string* error) {
  const std::string text = MixerConfigText(config);
  std::string why;
  if (WriteFileReplacing(path, text.data(), text.size(), &why)) return 1;
  if (error) *error = why;
  return 0;
}

int ReadMixerConfigCard(const std::string& path, MixerCaps& card, std::string* error) {
  std::vector<std::string> lines;
  if (!ReadLines(path, lines, error)) return 0;
  MixerCaps read;
  uint32_t v = 0;
  const int found = ReadSection(lines, kCardSection, [&](const std::string& key, const std::string& value) {
    if (key == "szPname") read.name = value.substr(0, kMixerCapsNameSize - 1);
    else if (!ParseHex(value, v)) return;
    else if (key == "wMid") read.mid = uint16_t(v);
    else if (key == "wPid") read.pid = uint16_t(v);
    else if (key == "vDriverVersion") read.driverVersion = v;
    else if (key == "fdwSupport") read.support = v;
    else if (key == "cDestinations") read.destinations = v;
  });
  if (!found) {
    if (error) *error = path + ": not a mixer configuration (no [" + kCardSection + "])";
    return 0;
  }
  card = read;
  return 1;
}

int ReadMixerConfigFile(const std::string& path, MixerConfig& config, std::string* error) {
  std::vector<std::string> lines;
  if (!ReadLines(path, lines, error)) return 0;
  for (int role = 0; role < kMixerRoleCount; ++role) {
    ReadSection(lines, kRoleNames[role], [&](const std::string& key, const std::string& value) {
      for (const AssignmentField& f : kFields)
        if (key == f.key) ParseHex(value, config.roles[role].*f.field);
    });
  }
  ReadSection(lines, kSelectorSection, [&](const std::string& key, const std::string& value) {
    for (int i = 0; i < kMixerSelectorCount; ++i)
      if (key == "value_" + std::to_string(i)) ParseHex(value, config.selectors[i]);
  });
  return 1;
}

bool SameMixerCard(const MixerCaps& a, const MixerCaps& b) {
  return a.destinations == b.destinations && a.support == b.support && a.driverVersion == b.driverVersion &&
         a.pid == b.pid && a.mid == b.mid && a.name == b.name;
}

std::string MixerCardText(const MixerCaps& c) {
  return "\"" + c.name + "\" wMid=" + Hex(c.mid) + " wPid=" + Hex(c.pid) + " vDriverVersion=" +
         Hex(c.driverVersion) + " fdwSupport=" + Hex(c.support) + " cDestinations=" + Hex(c.destinations);
}

std::string MixerConfigFileName(const std::string& productName) {
  std::string name = productName;
  for (char& c : name)
    if (c == ' ') c = '_';
  return name + kMixerConfigExtension;
}

MixerAssignment MixerAssignmentOf(const CMixer::Destination& destination, const CMixer::Source* source,
                                  const MixerControl& control) {
  MixerAssignment a;
  a.dstType = destination.line.componentType;
  a.srcType = source ? source->line.componentType : 0;
  a.controlType = control.type;
  a.lineId = source ? source->line.id : destination.line.id;
  a.controlId = control.id;
  a.items = uint32_t(control.items);
  a.flags = control.flags;
  a.minimum = uint32_t(control.minimum);
  a.maximum = uint32_t(control.maximum);
  return a;
}

int FindAssignedControl(const CMixer& mixer, const MixerAssignment& role, MixerLine& line, MixerControl& control) {
  if (role.controlType == 0 && role.lineId == 0 && role.controlId == 0) return 0;
  return mixer.FindControl(role.lineId, role.controlId, line, control) && control.type == role.controlType;
}

std::string AssignedControlText(const CMixer& mixer, const MixerAssignment& role) {
  if (role.controlType == 0 && role.lineId == 0 && role.controlId == 0) return "(none)";
  for (const CMixer::Destination& d : mixer.Destinations()) {
    for (const MixerControl& c : d.controls)
      if (d.line.id == role.lineId && c.id == role.controlId && c.type == role.controlType)
        return d.line.name + ": " + c.name;
    for (const CMixer::Source& s : d.sources)
      for (const MixerControl& c : s.controls)
        if (s.line.id == role.lineId && c.id == role.controlId && c.type == role.controlType)
          return d.line.name + ": " + s.line.name + ": " + c.name;
  }
  return "(not on this card)";
}

std::string MixerWorkFileText(const CMixer& mixer) {
  std::string out;
  char text[512];
  auto controls = [&](const MixerLine& line, const std::vector<MixerControl>& list) {
    for (const MixerControl& c : list) {
      std::snprintf(text, sizeof text, "%s (%s)@D%u#%u\n", c.name.c_str(), ControlTypeName(c.type), unsigned(line.id),
                    unsigned(c.id));
      out += text;
    }
  };
  for (size_t d = 0; d < mixer.Destinations().size(); ++d) {
    const CMixer::Destination& dest = mixer.Destinations()[d];
    std::snprintf(text, sizeof text, "{%s (%s)@%c%d\n", dest.line.name.c_str(), LineTypeName(dest.line.componentType),
                  'D', int(d));
    out += text;
    controls(dest.line, dest.controls);
    for (size_t s = 0; s < dest.sources.size(); ++s) {
      const CMixer::Source& src = dest.sources[s];
      std::snprintf(text, sizeof text, "{%s (%s)@%c%d\n", src.line.name.c_str(), LineTypeName(src.line.componentType),
                    'S', int(s));
      out += text;
      controls(src.line, src.controls);
    }
  }
  out += "/END\n";
  return out;
}

// kestrel mixer: the sound card mixer of a capture device: show its state map, save it to a
// file, put a saved state back.
#include <cstdio>
#include <fstream>
#include <string>

#include "app/core/mixer_config.h"
#include "app/core/safe_file.h"
#include "app/core/settings_record.h"
#include "app/core/station_paths.h"
#include "spl/audio/mixer.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"

namespace {

const char* kHelp =
    "usage: kestrel mixer show | save FILE | restore FILE [--device NAME]\n"
    "       kestrel mixer kmc save|load|show FILE.kmc [--device NAME] [--base DIR] [--force]\n"
    "  The mixer of the card behind the capture device (default: ALSA \"default\"), as the\n"
    "  station keeps it: one line per volume, bass, treble and mute control,\n"
    "  \"destination:source:control:\" TAB value. save writes those lines to FILE, restore sets\n"
    "  every control named in FILE (other lines are ignored).\n"
    "  kmc: the station's sound card roles (LINE_VOLUME ... SPEAKER_LINE), as its settings in the\n"
    "  base folder keep them, as a mixer configuration file. save writes them with this card's\n"
    "  identification; load takes a file made on this card (another card: only with --force) into\n"
    "  the settings; show names the control of this card each role of the file uses. The device\n"
    "  \"sim\" is a model card held in memory.\n";

constexpr const char* kKmc = "mixer kmc";

// The station's settings of the base folder (defaults when it has none). "" after saying why.
std::string LoadSettings(const std::string& givenBase, CSettingsRecord& settings) {
  std::string why;
  const std::string base = ChooseBaseFolder(givenBase, &why);
  if (base.empty()) return Fail(kKmc, why), "";
  const std::string path = BasePath(base, kSettingsFileName);
  std::vector<uint8_t> bytes;
  if (ReadWholeFile(path, bytes) && !settings.Assign(bytes.data(), bytes.size()))
    return Fail(kKmc, path + " is no settings file (left as it is)"), "";
  return path;
}

void PrintRoles(const CMixer& mixer, const MixerConfig& config) {
  for (int role = 0; role < kMixerRoleCount; ++role)
    printf("%-15s %s\n", MixerRoleName(role), AssignedControlText(mixer, config.roles[role]).c_str());
}

int RunKmc(const std::string& verb, const std::string& file, CMixer& mixer, CArgs& args) {
  CSettingsRecord settings;
  const std::string settingsPath = LoadSettings(args.Get("--base"), settings);
  if (settingsPath.empty()) return kExitUsage;
  MixerConfig config;
  GetMixerConfig(settings, config);
  std::string why;
  if (verb == "save") {
    config.card = mixer.Caps();
    if (!WriteMixerConfigFile(file, config, &why)) return Fail(kKmc, why);
    printf("%s: the roles for %s\n", file.c_str(), MixerCardText(config.card).c_str());
    return kExitOk;
  }
  MixerCaps card;
  if (!ReadMixerConfigCard(file, card, &why)) return Fail(kKmc, why);
  if (verb == "show") {
    MixerConfig shown;
    if (!ReadMixerConfigFile(file, shown, &why)) return Fail(kKmc, why);
    printf("made for   %s\nthis card  %s\n", MixerCardText(card).c_str(), MixerCardText(mixer.Caps()).c_str());
    PrintRoles(mixer, shown);
    return kExitOk;
  }
  if (!SameMixerCard(card, mixer.Caps()) && !args.Has("--force"))
    return Fail(kKmc, file + " was made for another card: " + MixerCardText(card) + "; this card is " +
                          MixerCardText(mixer.Caps()) + " (--force loads it anyway)");
  if (!ReadMixerConfigFile(file, config, &why)) return Fail(kKmc, why);
  config.card = mixer.Caps();
  PutMixerConfig(config, settings);
  if (!settings.Save(settingsPath, &why)) return Fail(kKmc, why);
  PrintRoles(mixer, config);
  return kExitOk;
}

void Print(FILE* out, const CMixerState& state) {
  for (const auto& [key, value] : state) fprintf(out, "%s\t%s\n", key.c_str(), value.c_str());
}

}  // namespace

int RunMixer(int argc, char** argv) {
  CArgs args({"--device", "--base"}, {"--force"});
  if (!args.Parse(argc, argv)) return Fail("mixer", args.Error());
  if (args.WantsHelp()) {
    fputs(kHelp, stdout);
    return kExitOk;
  }
  const auto& pos = args.Positional();
  const std::string verb = pos.empty() ? "" : pos[0];
  if (verb == "kmc") {
    if (pos.size() != 3 || (pos[1] != "save" && pos[1] != "load" && pos[1] != "show")) {
      fputs(kHelp, stderr);
      return kExitUsage;
    }
    CMixer mixer;
    const std::string device = args.Get("--device", "default");
    if (!mixer.Init(device, 0)) return Fail(device, mixer.Error().empty() ? "no mixer" : mixer.Error());
    return RunKmc(pos[1], pos[2], mixer, args);
  }
  if (args.Has("--base") || args.Has("--force")) return Fail("mixer", "--base and --force belong to kmc");
  const bool needs_file = verb == "save" || verb == "restore";
  if (!(verb == "show" || needs_file) || pos.size() != (needs_file ? 2u : 1u)) {
    fputs(kHelp, stderr);
    return kExitUsage;
  }
  CMixerState saved;
  if (verb == "restore") {
    std::ifstream in(pos[1]);
    if (!in) return Fail(pos[1], "cannot open");
    for (std::string line; std::getline(in, line);) {
      const size_t tab = line.find('\t');
      if (tab != std::string::npos) saved[line.substr(0, tab)] = line.substr(tab + 1);
    }
  }
  const std::string device = args.Get("--device", "default");
  CMixer mixer;
  if (!mixer.Init(device, 0)) return Fail(device, mixer.Error());
  if (verb == "show") {
    printf("# %s\n", mixer.ProductName().c_str());
    Print(stdout, mixer.GetMixerState());
  } else if (verb == "save") {
    FILE* out = fopen(pos[1].c_str(), "w");
    if (!out) return Fail(pos[1], "cannot create");
    Print(out, mixer.GetMixerState());
    if (fclose(out) != 0) return Fail(pos[1], "write failed");
  } else {
    mixer.SetMixerState(saved);
  }
  return kExitOk;
}

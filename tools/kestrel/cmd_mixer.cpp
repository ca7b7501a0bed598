// kestrel mixer: the sound card mixer of a capture device: show its state map, save it to a
// file, put a saved state back.
#include <cstdio>
#include <fstream>
#include <string>

#include "spl/audio/mixer.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"

namespace {

const char* kHelp =
    "usage: kestrel mixer show | save FILE | restore FILE [--device NAME]\n"
    "  The mixer of the card behind the capture device (default: ALSA \"default\"), as the\n"
    "  station keeps it: one line per volume, bass, treble and mute control,\n"
    "  \"destination:source:control:\" TAB value. save writes those lines to FILE, restore sets\n"
    "  every control named in FILE (other lines are ignored).\n";

void Print(FILE* out, const CMixerState& state) {
  for (const auto& [key, value] : state) fprintf(out, "%s\t%s\n", key.c_str(), value.c_str());
}

}  // namespace

int RunMixer(int argc, char** argv) {
  CArgs args({"--device"}, {});
  if (!args.Parse(argc, argv)) return Fail("mixer", args.Error());
  if (args.WantsHelp()) {
    fputs(kHelp, stdout);
    return kExitOk;
  }
  const auto& pos = args.Positional();
  const std::string verb = pos.empty() ? "" : pos[0];
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

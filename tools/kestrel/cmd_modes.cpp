// kestrel decode / kestrel transmit: pick the mode's row and hand it the rest of the line.
#include <cstdio>
#include <cstring>

#include "tools/kestrel/command.h"
#include "tools/kestrel/modes.h"

namespace {

int Dispatch(const char* verb, const ModeCommand* modes, int count, int argc, char** argv) {
  const bool help = argc >= 2 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h"));
  if (argc < 2 || help) {
    FILE* out = help ? stdout : stderr;
    fprintf(out, "usage: kestrel %s MODE [OPTIONS] ...   (kestrel %s MODE --help for each)\n\n",
            verb, verb);
    for (int i = 0; i < count; ++i) fprintf(out, "  %-10s %s\n", modes[i].name, modes[i].summary);
    return help ? kExitOk : kExitUsage;
  }
  for (int i = 0; i < count; ++i)
    if (!strcmp(argv[1], modes[i].name)) return modes[i].run(argc - 1, argv + 1);
  return Fail(std::string(verb) + " " + argv[1], "no such mode");
}

}  // namespace

int RunDecode(int argc, char** argv) {
  return Dispatch("decode", kDecodeModes, kDecodeModeCount, argc, argv);
}

int RunTransmit(int argc, char** argv) {
  return Dispatch("transmit", kTransmitModes, kTransmitModeCount, argc, argv);
}

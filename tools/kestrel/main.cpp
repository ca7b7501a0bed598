// kestrel: the signal library without a display: wave files, sound devices, decoders,
// transmitters, receiver control and satellite prediction from the command line.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "spl/primitives/nsperror.h"
#include "tools/kestrel/command.h"

int Fail(const std::string& subject, const std::string& reason) {
  fprintf(stderr, "kestrel: %s: %s\n", subject.c_str(), reason.c_str());
  return kExitUsage;
}

// A misused primitive is a fault of the tool's own input checks: say so and stop.
static void ReportPrimitiveFault(const char* message, int fatal) {
  fprintf(stderr, "kestrel: %s\n", message);
  if (fatal) exit(kExitUsage);
}

static void Usage(FILE* out) {
  fprintf(out, "usage: kestrel COMMAND [OPTIONS] ...   (kestrel COMMAND --help for each)\n\n");
  for (int i = 0; i < kToolCommandCount; ++i)
    fprintf(out, "  %-10s %s\n", kToolCommands[i].name, kToolCommands[i].summary);
}

int main(int argc, char** argv) {
  SetPrimitiveErrorReporter(ReportPrimitiveFault);
  if (argc < 2) {
    Usage(stderr);
    return kExitUsage;
  }
  if (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h") || !strcmp(argv[1], "help")) {
    Usage(stdout);
    return kExitOk;
  }
  for (int i = 0; i < kToolCommandCount; ++i) {
    if (!strcmp(argv[1], kToolCommands[i].name)) return kToolCommands[i].run(argc - 1, argv + 1);
  }
  Usage(stderr);
  return Fail(argv[1], "no such command");
}

#include "tools/kestrel/command.h"

int RunDemo(int argc, char** argv);

const ToolCommand kToolCommands[] = {
    {"demo", "run the audio loop end to end on a built-in signal", RunDemo},
};
const int kToolCommandCount = sizeof(kToolCommands) / sizeof(kToolCommands[0]);

#include "tools/kestrel/command.h"

int RunDemo(int argc, char** argv);
int RunRig(int argc, char** argv);
int RunWav(int argc, char** argv);

const ToolCommand kToolCommands[] = {
    {"demo", "run the audio loop end to end on a built-in signal", RunDemo},
    {"rig", "receiver types, tune a receiver, watch its S-meter, simulate one", RunRig},
    {"wav", "wave file format, length and peak level", RunWav},
};
const int kToolCommandCount = sizeof(kToolCommands) / sizeof(kToolCommands[0]);

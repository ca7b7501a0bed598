#include "tools/kestrel/command.h"

int RunDecode(int argc, char** argv);
int RunDemo(int argc, char** argv);
int RunEqualize(int argc, char** argv);
int RunLocator(int argc, char** argv);
int RunMixer(int argc, char** argv);
int RunPicture(int argc, char** argv);
int RunPlay(int argc, char** argv);
int RunRecord(int argc, char** argv);
int RunRecords(int argc, char** argv);
int RunRig(int argc, char** argv);
int RunSynop(int argc, char** argv);
int RunSquelch(int argc, char** argv);
int RunSpectrogram(int argc, char** argv);
int RunStation(int argc, char** argv);
int RunSpectrum(int argc, char** argv);
int RunFilterCurve(int argc, char** argv);
int RunFrqlist(int argc, char** argv);
int RunSat(int argc, char** argv);
int RunScan(int argc, char** argv);
int RunSettings(int argc, char** argv);
int RunTimer(int argc, char** argv);
int RunTransmit(int argc, char** argv);
int RunWav(int argc, char** argv);

const ToolCommand kToolCommands[] = {
    {"decode", "decode a wave file (or text) and print what it carries", RunDecode},
    {"demo", "run the audio loop end to end on a built-in signal", RunDemo},
    {"equalize", "run the equalizer over a wave file (a curve file or gain ranges)", RunEqualize},
    {"frqlist", "the station's frequency list (FrqData.mdb): list, show, import and export CSV, apply", RunFrqlist},
    {"locator", "Maidenhead locator to latitude and longitude and back", RunLocator},
    {"mixer", "show, save and restore the sound card mixer of a capture device", RunMixer},
    {"picture", "look into BMP and JPEG files, convert and edit them (rotate, slant, sync, module ...)", RunPicture},
    {"play", "play a wave file on a sound device", RunPlay},
    {"record", "record a sound device (or a file) into a wave file, any codec", RunRecord},
    {"records", "timer, channel and satellite list files (.tim .scl .sbl): show, add, toggle, delete", RunRecords},
    {"rig", "receiver types, tune a receiver, watch its S-meter, simulate one", RunRig},
    {"sat", "satellite positions and passes from two-line element sets", RunSat},
    {"scan", "scan a frequency range with a receiver, hold on signals, save the report", RunScan},
    {"settings", "show and change the station's settings file (KSTLCONFIG.CFG) field by field", RunSettings},
    {"spectrogram", "a waterfall picture (BMP) of a whole wave file", RunSpectrogram},
    {"spectrum", "the spectrum analyser's picture (BMP) of the loudest block of a wave file", RunSpectrum},
    {"filter-curve", "the filter curve view (BMP) of a band-pass design", RunFilterCurve},
    {"squelch", "the audio squelch measure and level of every block of a wave file", RunSquelch},
    {"station", "run the station without a display: receiver, audio, decoders, saved messages", RunStation},
    {"synop", "SYNOP station store: look up a station, import a station list", RunSynop},
    {"timer", "run a timer list (.tim) on the station under a clock driven by the audio", RunTimer},
    {"transmit", "turn text or a picture into the audio of a mode, as a wave file", RunTransmit},
    {"wav", "wave file format, length and peak level", RunWav},
};
const int kToolCommandCount = sizeof(kToolCommands) / sizeof(kToolCommands[0]);

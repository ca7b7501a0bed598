#include "tools/kestrel/modes.h"

// Rows are added as the decoders and transmitters arrive; declare each runner here.
int RunDecodeCw(int, char**), RunDecodeBpsk31(int, char**), RunDecodeQpsk31(int, char**);
int RunDecodeRtty(int, char**), RunDecodeSitor(int, char**), RunDecodeNavtex(int, char**);
int RunDecodeSynop(int, char**), RunDecodeSstv(int, char**);
int RunTransmitRtty(int, char**), RunTransmitSitor(int, char**), RunTransmitNavtex(int, char**);
int RunTransmitCw(int, char**), RunTransmitBpsk31(int, char**), RunTransmitQpsk31(int, char**);
int RunTransmitSstv(int, char**);
int RunDecodeFax(int, char**), RunTransmitFax(int, char**);
const ModeCommand kDecodeModes[] = {
    {"cw", "Morse: [--tone HZ] [--wpm N] FILE.wav", RunDecodeCw},
    {"rtty", "Baudot: [--mark HZ] [--space HZ] [--baud N] [--sync] [--invert] FILE.wav", RunDecodeRtty},
    {"sitor", "SITOR-B, 100 Bd: [--mark HZ] [--space HZ] FILE.wav", RunDecodeSitor},
    {"navtex", "NAVTEX (SITOR-B 100 Bd, 1615/1785 Hz, inverted): FILE.wav", RunDecodeNavtex},
    {"synop", "SYNOP/SHIP bulletins: [--db STORE.db] FILE.txt|-", RunDecodeSynop},
    {"bpsk31", "PSK31, binary: [--tone HZ] FILE.wav", RunDecodeBpsk31},
    {"qpsk31", "PSK31, quadrature: [--tone HZ] [--reverse] FILE.wav", RunDecodeQpsk31},
    {"sstv", "SSTV pictures as JPEG: [--mode martin1|scottie1|sc2-180|robot72|auto] [--ycc 601|709] --out DIR FILE.wav", RunDecodeSstv},
    {"fax", "weather fax pictures as BMP: [--ioc 576|288] [--lpm N] [--am|--am-envelope] --out DIR FILE.wav", RunDecodeFax},
    {nullptr, nullptr, nullptr},
};
const int kDecodeModeCount = sizeof(kDecodeModes) / sizeof(kDecodeModes[0]) - 1;

const ModeCommand kTransmitModes[] = {
    {"cw", "Morse: [--tone HZ] [--wpm N] --text TEXT -o OUT.wav", RunTransmitCw},
    {"rtty", "Baudot: [--mark HZ] [--space HZ] [--baud N] --text TEXT -o OUT.wav", RunTransmitRtty},
    {"sitor", "SITOR-B, 100 Bd: [--mark HZ] [--space HZ] --text TEXT -o OUT.wav", RunTransmitSitor},
    {"navtex", "NAVTEX (SITOR-B 100 Bd, 1615/1785 Hz, inverted): --text TEXT -o OUT.wav", RunTransmitNavtex},
    {"bpsk31", "PSK31, binary: [--tone HZ] --text TEXT -o OUT.wav", RunTransmitBpsk31},
    {"qpsk31", "PSK31, quadrature: [--tone HZ] [--reverse] --text TEXT -o OUT.wav", RunTransmitQpsk31},
    {"sstv", "SSTV picture: --mode martin1|scottie1|sc2-180|robot72 --picture IN|--chart -o OUT.wav", RunTransmitSstv},
    {"fax", "weather fax: [--ioc 576|288] [--lpm N] [--am] [--start-tone S] [--phasing S] [--stop-tone S] --picture IN -o OUT.wav", RunTransmitFax},
    {nullptr, nullptr, nullptr},
};
const int kTransmitModeCount = sizeof(kTransmitModes) / sizeof(kTransmitModes[0]) - 1;

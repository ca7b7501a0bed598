// Where each field of the station's settings record (KSTLCONFIG.CFG, 3477 bytes, packed,
// little-endian) lives. The first group has places fixed by the file format that peers
// and older files rely on; the second group uses bytes the format leaves to us, chosen in
// gaps that no fixed field touches. Every reader and writer of the record names its field
// here, never a number.
#pragma once

constexpr int kSettingsRecordSize = 3477;
constexpr int kSettingsPathSize = 256;  // folder paths: zero-terminated strings

// Fixed places.
constexpr int kCfgSstvFilterLow = 36;      // int, Hz
constexpr int kCfgSstvFilterHigh = 40;     // int, Hz
constexpr int kCfgSstvFilterOrder = 44;    // int
constexpr int kCfgSstvMode = 64;           // int, SSTV mode number (0, 2, 5, 8)
constexpr int kCfgSstvFolder = 72;         // path
constexpr int kCfgFaxCenter = 712;         // int, Hz
constexpr int kCfgFaxShift = 716;          // int, Hz
constexpr int kCfgFaxWidth = 720;          // int, Hz
constexpr int kCfgFaxIoc = 724;            // int
constexpr int kCfgFaxLpm = 732;            // int, lines per minute
constexpr int kCfgFaxSyncWidth = 740;      // int, phasing pulse width, percent
constexpr int kCfgFaxSyncPolarity = 744;   // int
constexpr int kCfgFaxAmFilter = 752;       // int, AM with filter (1) or without (0)
constexpr int kCfgFaxAm = 764;             // int, 0 FM, otherwise AM
constexpr int kCfgFaxBurst1 = 776;         // int
constexpr int kCfgFaxBurst2 = 780;         // int
constexpr int kCfgFaxFolder = 784;         // path
constexpr int kCfgRttyBaud = 1044;         // int
constexpr int kCfgRttyTone1 = 1052;        // int, Hz
constexpr int kCfgRttyTone2 = 1056;        // int, Hz
constexpr int kCfgRttyBandwidth = 1060;    // int, Hz
constexpr int kCfgRttyWindow = 1068;       // int, filter window flags
constexpr int kCfgRttyStopBits = 1072;     // double
constexpr int kCfgTextFolder = 1084;       // path
constexpr int kCfgCwBandwidth = 1340;      // int, Hz
constexpr int kCfgCwCenter = 1344;         // int, Hz
constexpr int kCfgScope1Source = 1408;     // int, 0 input, 1 output, 2 after decoder, 3 signals
constexpr int kCfgScope2Source = 1432;     // int
constexpr int kCfgTimeSpectrumOn = 1504;   // int
constexpr int kCfgAnalyserOn = 1524;       // int
constexpr int kCfgAnalyserOutput = 1528;   // int, fed from the output
constexpr int kCfgRttyCenter = 1560;       // int, Hz
constexpr int kCfgFrequency = 1564;        // double, kHz
constexpr int kCfgReceiverType = 1572;     // int, 1 ... 23
constexpr int kCfgCivRadio = 1576;         // int
constexpr int kCfgCivController = 1580;    // int
constexpr int kCfgIfWidth = 1584;          // int, kHz
constexpr int kCfgStep = 1588;             // int, tuning step
constexpr int kCfgMode = 1592;             // int, mode bit
constexpr int kCfgAttenuator = 1596;       // int
constexpr int kCfgAgc = 1600;              // int
constexpr int kCfgNoiseBlanker = 1604;     // int
constexpr int kCfgVolume = 1608;           // int, 0 ... 255
constexpr int kCfgSquelch = 1612;          // int, 0 ... 255
constexpr int kCfgReceiverName = 1624;     // string of 64 bytes
constexpr int kCfgReceiverNameSize = 64;
constexpr int kCfgFileListening = 1728;    // int
constexpr int kCfgListenRepeat = 1732;     // int
constexpr int kCfgFilteredListen = 1736;   // int
constexpr int kCfgEqualizerPosition = 1740;  // int, 1 before, 0 behind, -1 off
constexpr int kCfgPlaybackVolume = 1756;   // int, percent
constexpr int kCfgRecordVolume = 1760;     // int, percent
constexpr int kCfgAudioPage = 1764;        // int, last active page of the audio sheet
constexpr int kCfgScanning = 1768;         // int
constexpr int kCfgScanStopOnSignal = 1776; // int
constexpr int kCfgSquelchThreshold = 1780; // int, 0 ... 255
constexpr int kCfgScanEventSource = 1788;  // int, 0 audio squelch, else receiver squelch
constexpr int kCfgScanDwellBlocks = 1848;  // int, dwell blocks - 1
constexpr int kCfgScanRecordCount = 1852;  // int
constexpr int kCfgSampleRate = 1961;       // int, Hz
constexpr int kCfgBlockSize = 1965;        // int, samples
constexpr int kCfgFilterLength = 1969;     // int
constexpr int kCfgMixerSelectors = 1973;   // 64 bytes
constexpr int kCfgAudioFolder = 2037;      // path
constexpr int kCfgScanFolder = 2293;       // path
constexpr int kCfgMixerState = 2549;       // 8 bytes
constexpr int kCfgMixerCard = 2557;        // 48 bytes
constexpr int kCfgMixerControls = 2605;    // 440 bytes
constexpr int kCfgTextRequestLeft = 3057;  // int
constexpr int kCfgTextRequestTop = 3061;   // int
constexpr int kCfgTextRequestRight = 3065; // int
constexpr int kCfgTextRequestBottom = 3069;  // int
constexpr int kCfgReceivePage = 3077;      // int, 2 FAX, 3 text, 4 SSTV
constexpr int kCfgDecoder = 3081;          // int, decoder code
constexpr int kCfgDataFolder = 3221;       // path

// Our own places, in bytes the format leaves free (0 ... 35 and 328 ... 711).
constexpr int kCfgRttyInverted = 0;        // int, the higher tone is binary 1
constexpr int kCfgMonitor = 4;             // int, play the processed audio
constexpr int kCfgCwMark = 8;              // int, Hz
constexpr int kCfgFaxFilterMode = 12;      // int
constexpr int kCfgFaxHMirror = 16;         // int
constexpr int kCfgFaxVMirror = 20;         // int
constexpr int kCfgSstvManualFilter = 24;   // int
constexpr int kCfgAutosave = 28;           // int, save ZCZC ... NNNN messages
constexpr int kCfgSoftVolume = 32;         // int, 0 ... 255, when the receiver has no volume
constexpr int kCfgFaxKorr = 328;           // double, FAX pixel-step correction (0 = none)
constexpr int kCfgScanStart = 336;         // double, kHz
constexpr int kCfgScanStop = 344;          // double, kHz
constexpr int kCfgScanStep = 352;          // int, Hz
constexpr int kCfgScanRecordOnSignal = 356;  // int
constexpr int kCfgScanRecordTime = 360;    // int
constexpr int kCfgScanDwellMs = 364;       // int
constexpr int kCfgWaveOn = 368;            // int
constexpr int kCfgLineOn = 372;            // int
constexpr int kCfgDecoderFilter = 376;     // int, decoder pre-filter
constexpr int kCfgEqualizerOn = 380;       // int
constexpr int kCfgWaveOutVolume = 384;     // int
constexpr int kCfgLineInVolume = 388;      // int
constexpr int kCfgLineOutVolume = 392;     // int
constexpr int kCfgReceiveColour = 396;     // int, 0x00BBGGRR of received text
constexpr int kCfgEqualizerName = 400;     // string of 16 bytes (curve name without ".EQU")
constexpr int kCfgEqualizerNameSize = 16;
constexpr int kCfgRttyExactBaud = 416;     // double, the RTTY baud rate when not whole (0 = none)
// Automatic saving of pictures is on while these hold 0, as in files written before them.
constexpr int kCfgFaxNoAutosave = 424;     // int, 1: running FAX lines begin no saved picture
constexpr int kCfgSstvNoAutosave = 428;    // int, 1: an SSTV picture is not saved at its end

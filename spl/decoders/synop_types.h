// The decoded weather report (SYN_DATA) and the station record (SYN_STATION) that the SYNOP
// decoder hands to its owner, with the presence flags of the report's parts.
#pragma once
#include <cstdint>
#include <ctime>

// Presence flags of SYN_DATA::flags.
constexpr uint32_t kSynStation = 0x1;           // station group IIiii read
constexpr uint32_t kSynNil = 0x2;               // "NIL" report
constexpr uint32_t kSynVisibility = 0x4;
constexpr uint32_t kSynWindDirection = 0x8;     // 0 ... 360 degrees
constexpr uint32_t kSynWindSpeed = 0x10;
constexpr uint32_t kSynTemperature = 0x20;
constexpr uint32_t kSynDewPoint = 0x40;
constexpr uint32_t kSynHumidity = 0x80;
constexpr uint32_t kSynStationPressure = 0x100;
constexpr uint32_t kSynSeaPressure = 0x200;
constexpr uint32_t kSynGeopotential = 0x400;
constexpr uint32_t kSynTendency = 0x800;
constexpr uint32_t kSynPrecipitation = 0x1000;
constexpr uint32_t kSynWeather = 0x2000;        // ww W1 W2
constexpr uint32_t kSynPresentWeather = 0x4000; // ww only ("7ww//")
constexpr uint32_t kSynClouds = 0x8000;         // Nh CL CM CH
constexpr uint32_t kSynShipCourse = 0x10000;
constexpr uint32_t kSynSeaTemperature = 0x20000;
constexpr uint32_t kSynWindWaves = 0x40000;
constexpr uint32_t kSynWaves = 0x80000;
constexpr uint32_t kSynSwellDirections = 0x100000;
constexpr uint32_t kSynSwell1 = 0x200000;
constexpr uint32_t kSynSwell2 = 0x400000;
constexpr uint32_t kSynIce = 0x800000;
constexpr uint32_t kSynMaxTemperature = 0x1000000;
constexpr uint32_t kSynMinTemperature = 0x2000000;
constexpr uint32_t kSynGround = 0x4000000;      // state of the ground, ground temperature
constexpr uint32_t kSynSnow = 0x8000000;        // state of the ground with snow, snow depth
constexpr uint32_t kSynCloudLayer = 0x10000000;
constexpr uint32_t kSynSection4 = 0x20000000;
constexpr uint32_t kSynShip = 0x40000000;       // ship's call sign read (with kSynStation)

// Kind of section a report was found in.
constexpr int kSynSectionNone = 0;
constexpr int kSynSectionLand = 1;  // "AAXX"
constexpr int kSynSectionShip = 2;  // "BBXX"

constexpr int kSynMaxCloudLayers = 4;

// One report. Code figures that were sent as "/" are -1; values are in the units named.
struct SYN_DATA {
  uint32_t flags;
  uint32_t index;          // WMO index number IIiii
  time_t bulletinTime;     // UTC, from the heading's YYGGgg
  time_t observationTime;  // UTC, from YYGGiw
  int latitude, longitude; // minutes of arc, north and west negative
  int altitude;            // m
  int bulletinNumber;      // the number after "ZCZC", -1 when none
  char t1t2[3], a1a2[3];   // abbreviated heading letters
  int ii;
  char centre[5];          // originating centre CCCC
  char correction[4];      // BBB, e.g. "COR"
  char callSign[8];        // ship's call sign
  int section;             // kSynSection...
  int iw, iR, ix, h, VV, N;
  int dd;                  // degrees
  int ff;                  // in the unit iw gives (m/s for 0 and 1, knots for 3 and 4)
  double temperature, dewPoint;  // degrees C
  int humidity;            // %
  double stationPressure, seaPressure;  // hPa
  int standardLevel;       // hPa (1000, 850, 700, 500)
  int geopotential;        // the code figures hhh (gpm, thousands left out)
  int tendency;            // characteristic a
  double tendencyAmount;   // hPa
  int RRR, tR;             // precipitation code figures and period code
  int ww, W1, W2;
  int Nh, CL, CM, CH;
  int Ds, vs;              // ship's direction and speed codes
  double seaTemperature;
  int windWavePeriod;      // s
  double windWaveHeight;   // m
  int wavePeriod;
  double waveHeight;
  int swellDirection1, swellDirection2;  // degrees
  int swell1Period, swell2Period;
  double swell1Height, swell2Height;
  int iceSource, iceThickness, iceRate;  // Is, EsEs (cm), Rs
  double maxTemperature, minTemperature, groundTemperature;
  int groundState, snowState, snowDepth;  // E, E', sss (cm)
  int cloudLayers;
  struct {
    int Ns, C, hshs;
  } layer[kSynMaxCloudLayers];
  int cloud4N, cloud4C, cloud4H, cloud4Ct;  // section 4: N' C' H'H' Ct
};

// A station of the store; text fields end with a zero.
struct SYN_STATION {
  uint32_t index;
  int16_t latitude;   // minutes, north negative
  int16_t longitude;  // minutes, west negative
  int16_t altitude;   // m
  char icao[5];
  char country[51];
  char region[81];
  char name[51];
};

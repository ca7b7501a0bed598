// CSynopDecoder::Translate: a report as plain-language text, built line by line from the
// label texts of the store.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "spl/decoders/synop_decoder.h"

namespace {

constexpr int kLabelSize = 256;

// Whether a format text from the store takes exactly the given arguments in that order
// ('d' int, 'f' double, 's' string, 'c' char): a label is data, never trusted as code.
int FormatFits(const char* fmt, const char* types) {
  const char* t = types;
  for (const char* p = fmt; *p; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p && strchr("-+ 0#", *p)) ++p;
    for (int n = 0; isdigit(static_cast<unsigned char>(*p)); ++p)
      if (++n > 2) return 0;
    if (*p == '.') {
      ++p;
      for (int n = 0; isdigit(static_cast<unsigned char>(*p)); ++p)
        if (++n > 2) return 0;
    }
    const char c = *p;
    char kind = 0;
    if (c == 'd' || c == 'i' || c == 'u' || c == 'x' || c == 'X' || c == 'o') kind = 'd';
    else if (c == 'f' || c == 'e' || c == 'g') kind = 'f';
    else if (c == 's') kind = 's';
    else if (c == 'c') kind = 'c';
    if (!kind || *t != kind) return 0;
    ++t;
  }
  return *t == 0;
}

// The text being built: whole lines only, never past the buffer.
class CLines {
 public:
  CLines(char* buf, int size) : buf_(buf), size_(size) { buf_[0] = 0; }
  void Add(const std::string& line) {
    // A line that does not fit (with its line feed and the final zero) is dropped.
    if (len_ + static_cast<int>(line.size()) + 2 > size_) return;
    memcpy(buf_ + len_, line.data(), line.size());
    len_ += static_cast<int>(line.size());
    buf_[len_++] = '\n';
    buf_[len_] = 0;
  }
  int Length() const { return len_; }

 private:
  char* buf_;
  int size_, len_ = 0;
};

std::string Printf(const char* fmt, ...) {
  char out[kLabelSize * 2];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(out, sizeof out, fmt, ap);
  va_end(ap);
  return out;
}

char CodeChar(int v) { return v < 0 || v > 9 ? '/' : static_cast<char>('0' + v); }

// Cloud base height code hshs in metres (code table 1677), -1 for the classes 90 ... 99.
int CloudHeight(int hs) {
  if (hs < 0) return -1;
  if (hs <= 50) return hs * 30;
  if (hs >= 56 && hs <= 80) return (hs - 50) * 300;
  if (hs >= 81 && hs <= 89) return (hs - 80) * 1500 + 9000;
  return -1;
}

// Precipitation amount RRR (code table 3590) in mm; -1 for a trace.
double Precipitation(int rrr) {
  if (rrr == 990) return -1;
  if (rrr > 990) return (rrr - 990) / 10.0;
  return rrr;
}

// Geopotential height in gpm of a standard level from its code figures hhh.
int Geopotential(int level, int hhh) {
  switch (level) {
    case 1000: return hhh >= 500 ? 500 - hhh : hhh;
    case 925: return hhh;
    case 850: return 1000 + hhh;
    case 700: return (hhh < 500 ? 3000 : 2000) + hhh;
    case 500: return hhh * 10;
  }
  return hhh;
}

// Relative humidity from temperature and dew point (Magnus formula over water).
int Humidity(double t, double td) {
  auto es = [](double x) { return 6.112 * exp(17.62 * x / (243.12 + x)); };
  return static_cast<int>(lround(100.0 * es(td) / es(t)));
}

// The WMO region of a land station from its block number (as the station list assigns it).
int RegionNumber(uint32_t index) {
  struct Blocks {
    int first, last, region;
  };
  static constexpr Blocks kBlocks[] = {{1, 19, 6},  {20, 25, 2},  {26, 27, 6}, {28, 32, 2},
                                       {33, 34, 6}, {35, 36, 2},  {37, 37, 6}, {38, 59, 2},
                                       {60, 69, 1}, {70, 79, 4},  {80, 88, 3}, {89, 89, 7},
                                       {90, 98, 5}};
  const int block = static_cast<int>(index / 1000);
  for (const Blocks& b : kBlocks)
    if (block >= b.first && block <= b.last) return b.region;
  return 0;
}

}  // namespace

int CSynopDecoder::Translate(const SYN_DATA& r, char* out, int size) {
  if (!out || size <= 0) return 0;
  out[0] = 0;
  const int ship = (r.flags & kSynShip) != 0;
  SYN_STATION st;
  memset(&st, 0, sizeof st);
  if (!ship && !store_.GetStation(r.index, st)) return 0;

  int missing = 0;
  char label[kLabelSize];
  auto L = [&](const std::string& key) -> std::string {
    if (!store_.GetSynText(key.c_str(), label, sizeof label)) {
      missing = 1;
      return std::string();
    }
    return label;
  };
  // A format label checked against its arguments; a mismatch counts as a missing label.
  auto F = [&](const char* key, const char* types) -> std::string {
    std::string fmt = L(key);
    if (!missing && !FormatFits(fmt.c_str(), types)) missing = 1;
    return fmt;
  };
  CLines lines(text_, kTextSize);
  const int lat = ship ? r.latitude : st.latitude, lon = ship ? r.longitude : st.longitude;

  if (!(r.flags & kSynNil) && r.section != kSynSectionNone) {
    tm b;
    gmtime_r(&r.bulletinTime, &b);
    const std::string fmt = F("LT03", "dddddd");
    if (missing) return 0;
    lines.Add(Printf(fmt.c_str(), r.bulletinNumber, b.tm_mday, b.tm_mon + 1, b.tm_year + 1900,
                     b.tm_hour, b.tm_min));
    lines.Add(F("LT04", ""));
  }
  if (ship) {
    const std::string fmt = F("LT11", "s");
    if (missing) return 0;
    lines.Add(Printf(fmt.c_str(), r.callSign));
  } else {
    const std::string f5 = F("LT05", "ds"), f6 = F("LT06", "ss");
    if (missing) return 0;
    lines.Add(Printf(f5.c_str(), static_cast<int>(st.index), st.name));
    lines.Add(Printf(f6.c_str(), st.country, st.region));
  }
  lines.Add(L("SREG") + " " + (ship ? L("SRUF") : L(Printf("SR%02d", RegionNumber(st.index)))));
  {
    tm o;
    gmtime_r(&r.observationTime, &o);
    const int alat = std::abs(lat), alon = std::abs(lon);
    lines.Add(Printf("%02d.%02d %c  %02d.%02d %c", alat / 60, alat % 60, lat < 0 ? 'N' : 'S',
                     alon / 60, alon % 60, lon < 0 ? 'W' : 'E') +
              Printf("  %02d.%02d.%d  %02d:%02d", o.tm_mday, o.tm_mon + 1, o.tm_year + 1900,
                     o.tm_hour, o.tm_min));
  }
  lines.Add("");
  if (r.flags & kSynShipCourse)
    lines.Add(L("KURX") + " " + L(Printf("KUR%c", CodeChar(r.Ds))) + ", " +
              L(Printf("SPE%c", CodeChar(r.vs))));
  if (r.flags & kSynStationPressure)
    lines.Add(L("PSTA") + Printf(" (%d m)", ship ? 0 : st.altitude) +
              Printf(" %.1f hPa", r.stationPressure));
  if (r.flags & kSynSeaPressure) lines.Add(L("PSEA") + Printf(" %.1f hPa", r.seaPressure));
  if (r.flags & kSynGeopotential) {
    const std::string fmt = F("LT07", "d");
    if (!missing)
      lines.Add(Printf(fmt.c_str(), r.standardLevel) + " " + L("PDFO") +
                Printf(" %d gpm", Geopotential(r.standardLevel, r.geopotential)));
  }
  if (r.flags & kSynTendency)
    lines.Add(L("LDAA") + " " + L(Printf("LDA%d", r.tendency > 8 ? 8 : r.tendency)) +
              Printf(" %.1f hPa", r.tendencyAmount));
  const std::string temp = F("LT08", "f"), hum = F("LT09", "d");
  if (missing) return 0;
  if (r.flags & kSynTemperature) lines.Add(L("LTMP") + " " + Printf(temp.c_str(), r.temperature));
  if (r.flags & kSynDewPoint) lines.Add(L("TTMP") + " " + Printf(temp.c_str(), r.dewPoint));
  if ((r.flags & kSynTemperature) && (r.flags & kSynDewPoint))
    lines.Add(L("MTMP") + " " + Printf(hum.c_str(), Humidity(r.temperature, r.dewPoint)));
  if (r.flags & kSynHumidity) lines.Add(L("RELF") + " " + Printf(hum.c_str(), r.humidity));
  if (r.flags & kSynMinTemperature)
    lines.Add(L("TMIN") + " " + Printf(temp.c_str(), r.minTemperature));
  if (r.flags & kSynMaxTemperature)
    lines.Add(L("TMAX") + " " + Printf(temp.c_str(), r.maxTemperature));
  if ((r.flags & kSynGround) && r.groundTemperature > -99)
    lines.Add(L("TMIB") + " " + Printf(temp.c_str(), r.groundTemperature));
  if (r.flags & kSynWeather)
    lines.Add(L("TWHX") + " " + L(Printf("TW%c%c", 'W', CodeChar(r.W1))) + ", " +
              L(Printf("TW%c%c", 'W', CodeChar(r.W2))));
  {
    const char n = CodeChar(r.N);
    lines.Add(L("BEDX") + " " + (n >= '0' && n <= '8' ? Printf("%c/8 ", n) : std::string()) +
              L(Printf("BED%c", n)));
  }
  if (r.flags & kSynClouds) {
    lines.Add((r.Nh >= 0 && r.Nh <= 8 ? Printf("%d/8 ", r.Nh) : std::string()) +
              L(Printf("WCL%c", CodeChar(r.CL))));
    lines.Add(L(Printf("WCM%c", CodeChar(r.CM))));
    lines.Add(L(Printf("WCH%c", CodeChar(r.CH))));
  }
  if (r.flags & kSynCloudLayer)
    for (int i = 0; i < r.cloudLayers && i < kSynMaxCloudLayers; ++i) {
      const auto& l = r.layer[i];
      const int hm = CloudHeight(l.hshs);
      lines.Add(L(Printf("WOT%d", i + 1)) +
                (l.Ns >= 0 && l.Ns <= 8 ? Printf(" %d/8 ", l.Ns) : std::string(" ")) +
                L(Printf("TW%02d", l.C < 0 ? 10 : l.C)) +
                (hm >= 0 ? Printf(" %d m", hm) : std::string()));
    }
  if (r.flags & kSynSection4)
    lines.Add(L("WOUS") + Printf(": %d/8 ", r.cloud4N < 0 ? 0 : r.cloud4N) +
              L(Printf("TW%02d", r.cloud4C < 0 ? 10 : r.cloud4C)) +
              Printf(" %d m, ", r.cloud4H < 0 ? 0 : r.cloud4H * 100) +
              L(Printf("WBD%d", r.cloud4Ct < 0 ? 0 : r.cloud4Ct)));
  auto wave = [&](const char* pk, const char* hk, int period, double height) {
    lines.Add(L(pk) + (period >= 0 ? Printf(" %d sec", period) : std::string(" -")));
    if (height >= 0) lines.Add(L(hk) + Printf(" %.1f m", height));
  };
  if (r.flags & kSynSeaTemperature) lines.Add(L("TWAS") + " " + Printf(temp.c_str(), r.seaTemperature));
  if (r.flags & kSynWindWaves) wave("PWEL", "HWEL", r.windWavePeriod, r.windWaveHeight);
  if (r.flags & kSynWaves) wave("PWSE", "HWSE", r.wavePeriod, r.waveHeight);
  if (r.flags & kSynSwellDirections) {
    if (r.swellDirection1 >= 0) lines.Add(L("DDI1") + Printf(" %d", r.swellDirection1));
    if (r.swellDirection2 >= 0) lines.Add(L("DDI2") + Printf(" %d", r.swellDirection2));
  }
  if (r.flags & kSynSwell1) wave("PWD1", "HWD1", r.swell1Period, r.swell1Height);
  if (r.flags & kSynSwell2) wave("PWD2", "HWD2", r.swell2Period, r.swell2Height);
  if ((r.flags & kSynWindDirection) && (r.flags & kSynWindSpeed)) {
    if (r.ff == 0) {
      lines.Add(L("WMA0"));
    } else {
      const std::string fmt = F("LT10", "dds");
      const std::string unit = L(r.iw >= 3 ? "WUKT" : "WUMS");
      if (!missing) lines.Add(L("WMA1") + " " + Printf(fmt.c_str(), r.dd, r.ff, unit.c_str()));
    }
  }
  if (r.flags & kSynVisibility) lines.Add(L("HSXX") + " " + L(Printf("HS%02d", r.VV)));
  if (r.flags & kSynGround) lines.Add(L(Printf("BZO%c", CodeChar(r.groundState))));
  if (r.flags & kSynSnow) {
    lines.Add(L(Printf("BZM%c", CodeChar(r.snowState))));
    if (r.snowDepth >= 0 && r.snowDepth < 997) lines.Add(L("STIE") + Printf(" %d cm", r.snowDepth));
  }
  if (r.flags & kSynPrecipitation) {
    const double mm = Precipitation(r.RRR);
    lines.Add(L("NDSX") + " " + L(Printf("NDS%c", CodeChar(r.tR))) +
              (mm < 0 ? std::string(" < 0.1 mm") : Printf(" %.1f mm", mm)));
  }
  if (r.flags & kSynIce) {
    lines.Add(L(Printf("EAA%c", CodeChar(r.iceSource))));
    if (r.iceThickness >= 0) lines.Add(L("EADI") + Printf(" %d cm", r.iceThickness));
    lines.Add(L(Printf("EAC%c", CodeChar(r.iceRate))));
  }
  if ((r.flags & kSynPresentWeather) && r.ww >= 0)
    lines.Add(L("GGWA") + " " + L(Printf("GA%02d", r.ww)));
  if ((r.flags & kSynWeather) && r.ww >= 0) lines.Add(L("GGWW") + " " + L(Printf("GW%02d", r.ww)));
  if (r.a1a2[0]) {
    char area[kLabelSize];
    if (!store_.GetRegion(r.a1a2, area, sizeof area)) snprintf(area, sizeof area, "%s", r.a1a2);
    const std::string fmt = F("LT01", "ssdss");
    if (!missing) {
      lines.Add("");
      lines.Add(Printf(fmt.c_str(), r.t1t2, r.a1a2, r.ii < 0 ? 0 : r.ii, r.centre, area));
    }
  }
  lines.Add(L("LT02"));
  if (missing) return 0;
  const int len = lines.Length();
  if (len > size - 1) return 0;
  memcpy(out, text_, len + 1);
  return len;
}

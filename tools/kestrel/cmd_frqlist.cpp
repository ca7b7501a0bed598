// kestrel frqlist: the station's frequency list file (FrqData.mdb in its data folder) from the
// command line: make it, list and show rows, import and export CSV, delete a row, and print
// what applying a row does to the receiver and the decoders.
// kestrel records: the list files of frequency records (timer, channel and satellite lists),
// shown, filled from the frequency list, checked and thinned.
#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/core/safe_file.h"
#include "app/core/settings_fields.h"
#include "app/core/settings_record.h"
#include "app/core/station_codes.h"
#include "app/core/station_core.h"
#include "app/core/station_paths.h"
#include "app/lists/frq_columns.h"
#include "app/lists/frq_csv.h"
#include "app/lists/frq_database.h"
#include "app/lists/frq_list_file.h"
#include "app/lists/frq_tables.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"

namespace {

constexpr const char* kSubject = "frqlist";
// The station's rules for an audio / scanner record (kept beside its apply code, which does
// not export them): a zero scan stop is start + scan step x this (kHz per Hz of step), and
// the dwell is at least this long.
constexpr double kScanSpanSteps = 0.05;
constexpr int kMinDwellMs = 100;

const char* kUsage =
    "usage: kestrel frqlist [--base DIR] create\n"
    "       kestrel frqlist [--base DIR] list [--sort COLUMN]\n"
    "       kestrel frqlist [--base DIR] show ID\n"
    "       kestrel frqlist [--base DIR] import FILE.csv\n"
    "       kestrel frqlist [--base DIR] export FILE.csv\n"
    "       kestrel frqlist [--base DIR] delete ID\n"
    "       kestrel frqlist [--base DIR] apply ID\n"
    "The station's frequency list, FrqData.mdb in the station's data folder (as the settings\n"
    "file KSTLCONFIG.CFG names it, by default data/ in the base folder). The base folder: DIR,\n"
    "else the current folder when it holds KSTL.INI or KSTLCONFIG.CFG, else\n"
    "~/.local/share/kestrel.\n"
    "  create   make the file with its table and indexes (an existing one is kept)\n"
    "  list     one line per row: ID, frequency, name, decoder, mode, call sign, country;\n"
    "           --sort 0..7 or an index name: \"Frequency (KHz)\" (default), Name, Decoder,\n"
    "           Modulation, CallSign, Country, StationType, ModulationType\n"
    "  show     every column of a row\n"
    "  import   add every row of a CSV file (header: the 70 column names); a bad value names\n"
    "           its line and column and nothing is added\n"
    "  export   write every row to a CSV file in the order they were added\n"
    "  apply    print what selecting the row does: dial frequency, mode, IF, decoder settings\n"
    "Values an older file holds out of range are put right on reading and reported.\n";

void PrintNotes(const std::vector<std::string>& notes) {
  for (const std::string& n : notes) fprintf(stderr, "kestrel: %s: %s\n", kSubject, n.c_str());
}

std::string ModeText(int index) {
  const char* m = FrqModeName(index);
  std::string s = m ? m : "?";
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

std::string Or(const char* text) { return text ? text : "?"; }

int ParseId(const std::string& text, int64_t& id) {
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || !end || *end != '\0' || v <= 0) return 0;
  id = v;
  return 1;
}

void Show(int64_t id, const CFrqRecord& r) {
  printf("%-24s%" PRId64 "\n", "ID", id);
  const FrqColumn* cols = FrqColumns();
  for (int i = 0; i < kFrqColumnCount; ++i) {
    const FrqColumn& c = cols[i];
    std::string value = FormatFrqField(r, c);
    const int v = c.type == kColLong ? FrqGetInt(r, c) : 0;
    const std::string name = c.name;
    if (name == "Decoder") value += "  " + FrqDecoderText(v, -1, nullptr);
    if (name == "Modulation") value += "  " + ModeText(v);
    if (name == "Country") value += "  " + Or(FrqCountryText(v));
    if (name == "StationType") value += "  " + Or(FrqStationTypeText(v));
    if (name == "IF") value += "  " + Or(FrqIfText(v));
    if (name == "ModulationType") value += "  " + Or(FrqEmissionClassText(v));
    if (name == "Steps") value += "  " + FrqStepText(v);
    printf("%-24s%s\n", c.name, value.c_str());
  }
}

void List(const std::vector<FrqListRow>& rows) {
  printf("%6s  %12s  %-31s  %-30s  %-4s  %-15s  %s\n", "ID", "RX-Frq.(KHz)", "Name", "Decoder",
         "Mode", "CallSign", "Country");
  for (const FrqListRow& row : rows) {
    const CFrqRecord& r = row.record;
    const std::string country = Or(FrqCountryText(r.country));
    printf("%6" PRId64 "  %12.3f  %-31s  %-30s  %-4s  %-15s  %s\n", row.id, r.rxFrq, r.name,
           FrqDecoderText(r.decoder, -1, nullptr).c_str(), ModeText(r.modulation).c_str(), r.callSign,
           country.substr(0, country.find(' ')).c_str());
  }
}

// What selecting the record does, in the order the station does it.
void Apply(const CFrqRecord& r) {
  printf("station:   %.3f kHz  %s  %s\n", r.rxFrq, r.name, r.callSign);
  printf("receiver:  dial %.3f kHz, mode %s, IF %d kHz, step %s\n", FrqDialFrequency(r),
         ModeText(r.modulation).c_str(), IfWidthKHz(r.ifIndex), FrqStepText(r.steps).c_str());
  if (r.assumeRadio)
    printf("           attenuator %d, AGC %d, noise blanker %d, volume %d, squelch %d\n", r.att, r.agc,
           r.nb, r.volume, r.squelch);
  if (r.assumeAudio)
    printf("audio:     wave out %d, line in %d, line out %d, audio squelch %d, wave %d, line %d,\n"
           "           pre-filter %d, equalizer %d \"%s\"\n",
           r.waveOutVol, r.lineInVol, r.lineOutVol, r.audioSquelch, r.waveOn, r.lineOn, r.decFilter,
           r.equFilter, r.equName);
  const int code = StationDecoderCode(r);
  const DecoderChoice* choice = FindDecoderChoice(code);
  std::string choiceName = choice ? choice->name : "?";
  choiceName.erase(0, choiceName.find_first_not_of(' '));
  printf("decoder:   %s (code %d, %s)\n", FrqDecoderText(r.decoder, -1, nullptr).c_str(), code,
         choiceName.c_str());
  switch (FrqDecoderKindOf(r.decoder)) {
    case kFrqFax:
      printf("FAX:       IOC %d, %d lpm, centre %d Hz, shift %d Hz, %s, filter %s mode %d width %d Hz,\n"
             "           burst %d/%d, sync width %d%s%s%s\n",
             r.faxIoc, r.faxLpm, r.faxCenter, r.faxShift, r.faxAm ? "AM" : "FM",
             r.faxFilterOn ? "on" : "off", r.faxFilterMode, r.faxFilterWidth,
             r.faxBurst1 ? r.faxBurst1 : kFaxDefaultBurst1, r.faxBurst2 ? r.faxBurst2 : kFaxDefaultBurst2,
             r.faxSyncWidth, r.faxInvertSync ? ", inverted sync" : "", r.faxHMirror ? ", mirrored" : "",
             r.faxVMirror ? ", upside down" : "");
      break;
    case kFrqText:
      if (code == kDecoderCw)
        printf("CW:        centre %d Hz, mark %d Hz, width %d Hz\n", r.cwCenter, r.cwMark, r.cwWidth);
      else if (code == kDecoderBpsk31 || code == kDecoderQpsk31)
        printf("PSK31:     centre %d Hz\n", (r.rttyMark + r.rttySpace) / 2);
      else
        printf("text:      %d Bd, mark %d Hz, space %d Hz, centre %d Hz, %.1f stop bits%s\n", r.rttyBaud,
               r.rttyMark, r.rttySpace, (r.rttyMark + r.rttySpace) / 2, r.rttyStopBits,
               r.rttyPolarity ? ", inverted" : "");
      break;
    case kFrqSstv:
      printf("SSTV:      mode %d (index %d), filter %d..%d Hz order %d, manual %d\n", SstvModeOfIndex(r.sstvMode),
             r.sstvMode, r.sstvFilterLo, r.sstvFilterHi, r.sstvFilterOrder, r.sstvManualFilter);
      break;
    case kFrqAudio: {
      const double start = r.startFrq == 0.0 ? r.rxFrq : r.startFrq;
      const double stop = r.stopFrq == 0.0 ? start + r.scanSteps * kScanSpanSteps : r.stopFrq;
      printf("scanner:   %.3f..%.3f kHz, step %d Hz, dwell %d ms, record %d s%s%s\n", start, stop,
             r.scanSteps, r.whileTime < kMinDwellMs ? kMinDwellMs : r.whileTime, r.recTime < 0 ? 0 : r.recTime,
             r.recOnSig ? ", record on signal" : "", r.stopOnSig ? ", stop on signal" : "");
      break;
    }
  }
}

// Opens the station's frequency list: FrqData.mdb in the data folder the settings file of the
// base folder names (by default data/ below it). make != 0 creates folder and file when
// missing. 1, or 0 after saying why.
int OpenStationList(const std::string& givenBase, int make, CFrqListSet& list) {
  std::string why;
  const std::string base = ChooseBaseFolder(givenBase, &why);
  if (base.empty()) return Fail(kSubject, why), 0;
  CSettingsRecord settings;
  std::vector<uint8_t> bytes;
  // Read only: a settings file of another size is left as it is and the defaults used.
  if (ReadWholeFile(BasePath(base, kSettingsFileName), bytes) && !settings.Assign(bytes.data(), bytes.size()))
    fprintf(stderr, "kestrel: %s: %s is no settings file, the default data folder is used\n", kSubject,
            kSettingsFileName);
  settings.FillFolders(base);
  const std::string folder = settings.GetPath(kCfgDataFolder);
  if (folder.empty()) return Fail(kSubject, "the settings name no data folder"), 0;
  if (make && !MakeFolders(folder, &why)) return Fail(kSubject, why), 0;
  if (!list.Init(folder + "/" + kFrqDataFileName, make)) return Fail(kSubject, list.Error()), 0;
  return 1;
}


const char* kRecordsUsage =
    "usage: kestrel records show FILE\n"
    "       kestrel records [--base DIR] add FILE ID [--at N] [--start HH:MM --stop HH:MM]\n"
    "       kestrel records toggle FILE N\n"
    "       kestrel records delete FILE N\n"
    "The station's list files of 428-byte frequency records: timer lists (.tim), channel scan\n"
    "lists (.scl) and satellite basis lists (.sbl).\n"
    "  show    one line per entry: number, check mark, start and stop (timer lists), frequency,\n"
    "          name, decoder, mode, call sign\n"
    "  add     insert row ID of the frequency list as a checked entry before entry N (default:\n"
    "          at the end); a missing FILE becomes a new list. --start and --stop: the timer\n"
    "          window in UTC, hours 24..47 for the next day\n"
    "  toggle  flip the check mark of entry N (numbers from 1)\n"
    "  delete  remove entry N\n"
    "A file that is not a whole number of records, or whose entries hold values no record can\n"
    "hold, is refused and left as it is.\n";

// Reads a list file and checks every entry as the frequency list checks its rows. 1, or 0
// after saying why.
int ReadEntries(const std::string& path, std::vector<CFrqRecord>& out) {
  std::string why;
  if (!ReadFrqListFile(path, IsTimerListPath(path), out, &why)) return Fail("records", why), 0;
  return 1;
}

int WriteEntries(const std::string& path, const std::vector<CFrqRecord>& entries) {
  std::string why;
  if (!WriteFrqRecordFile(path, entries, &why)) return Fail("records", why);
  return kExitOk;
}

// "HH:MM" with hours 0..47 into minutes; -1 when it is not.
int ParseTime(const std::string& t) {
  int h = 0, m = 0;
  char tail = 0;
  if (std::sscanf(t.c_str(), "%2d:%2d%c", &h, &m, &tail) != 2 || t.size() != 5) return -1;
  if (h < 0 || h > 47 || m < 0 || m > 59) return -1;
  return h * 60 + m;
}

// Entry number N (from 1) of a list of count entries; 0 after saying why.
int EntryNumber(const std::string& text, size_t count, size_t& index) {
  int64_t n = 0;
  if (!ParseId(text, n) || uint64_t(n) > count)
    return Fail("records", "no entry \"" + text + "\" (the list has " + std::to_string(count) + ")"), 0;
  index = size_t(n - 1);
  return 1;
}

void ShowEntries(const std::string& path, const std::vector<CFrqRecord>& entries) {
  const bool timer = IsTimerListPath(path);
  printf("No.  On  %s%12s  %-31s  %-30s  %-4s  %s\n", timer ? "Start    End      " : "", "RX-Frq.(KHz)", "Name",
         "Decoder", "Mode", "CallSign");
  for (size_t i = 0; i < entries.size(); ++i) {
    const CFrqRecord r = FrqRecordCleanTexts(entries[i]);
    const std::string window = timer ? TimerMinuteText(r.extension[0]) + "  " + TimerMinuteText(r.extension[1]) + "  " : "";
    printf("%03zu  %s   %s%12.3f  %-31s  %-30s  %-4s  %s\n", i + 1, uint32_t(r.flags) & kListEntryChecked ? "x" : "-",
           window.c_str(), r.rxFrq, r.name, FrqDecoderText(r.decoder, -1, nullptr).c_str(),
           ModeText(r.modulation).c_str(), r.callSign);
  }
}

}  // namespace

int RunFrqlist(int argc, char** argv) {
  CArgs args({"--base", "--sort"}, {});
  if (!args.Parse(argc, argv)) return Fail(kSubject, args.Error());
  if (args.WantsHelp()) return fputs(kUsage, stdout), kExitOk;
  const std::vector<std::string>& pos = args.Positional();
  const std::string verb = pos.empty() ? "" : pos[0];
  const bool one = verb == "show" || verb == "import" || verb == "export" || verb == "delete" || verb == "apply";
  const bool none = verb == "create" || verb == "list";
  if ((!one && !none) || pos.size() != (one ? 2u : 1u)) {
    fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (args.Has("--sort") && verb != "list") return Fail(kSubject, "--sort belongs to list");
  int sort = 0;
  if (args.Has("--sort") && (sort = FindFrqSort(args.Get("--sort"))) < 0)
    return Fail(kSubject, "no sort order \"" + args.Get("--sort") + "\" (0..7 or an index name)");
  int64_t id = 0;
  if ((verb == "show" || verb == "delete" || verb == "apply") && !ParseId(pos[1], id))
    return Fail(kSubject, "\"" + pos[1] + "\" is not a row ID");

  CFrqListSet list;
  // Only create and import make a missing file; the others would show an empty list.
  const bool makes = verb == "create" || verb == "import";
  if (!OpenStationList(args.Get("--base"), makes, list)) return kExitUsage;
  const std::string& path = list.Path();
  std::string why;

  std::vector<std::string> notes;
  int status = kExitOk;
  if (verb == "create") {
    int64_t n = 0;
    if (!list.Count(n)) return Fail(kSubject, list.Error());
    fprintf(stderr, "frqlist: %s, %" PRId64 " rows\n", path.c_str(), n);
  } else if (verb == "list") {
    std::vector<FrqListRow> rows;
    if (!list.List(sort, rows, &notes)) return Fail(kSubject, list.Error());
    List(rows);
  } else if (verb == "show" || verb == "apply") {
    CFrqRecord r;
    if (!list.Get(id, r, &notes)) status = Fail(kSubject, list.Error());
    else if (verb == "show") Show(id, r);
    else Apply(r);
  } else if (verb == "delete") {
    if (!list.Delete(id)) status = Fail(kSubject, list.Error());
  } else if (verb == "import") {
    int added = 0;
    if (!ImportFrqCsv(list, pos[1], &added, &why, &notes)) status = Fail(kSubject, why);
    else fprintf(stderr, "frqlist: %d rows imported into %s\n", added, path.c_str());
  } else if (verb == "export") {
    if (!ExportFrqCsv(list, pos[1], &why, &notes)) status = Fail(kSubject, why);
  }
  PrintNotes(notes);
  return status;
}

int RunRecords(int argc, char** argv) {
  CArgs args({"--base", "--at", "--start", "--stop"}, {});
  if (!args.Parse(argc, argv)) return Fail("records", args.Error());
  if (args.WantsHelp()) return fputs(kRecordsUsage, stdout), kExitOk;
  const std::vector<std::string>& pos = args.Positional();
  const std::string verb = pos.empty() ? "" : pos[0];
  const size_t wanted = verb == "show" ? 2 : verb == "add" || verb == "toggle" || verb == "delete" ? 3 : 0;
  if (wanted == 0 || pos.size() != wanted) {
    fputs(kRecordsUsage, stderr);
    return kExitUsage;
  }
  if (verb != "add" && (args.Has("--at") || args.Has("--start") || args.Has("--stop") || args.Has("--base")))
    return Fail("records", "--base, --at, --start and --stop belong to add");
  const std::string file = pos[1];
  std::vector<CFrqRecord> entries;
  struct stat st;
  const bool missing = stat(file.c_str(), &st) != 0 && errno == ENOENT;
  // Only add makes a new list; showing a missing file says so.
  if (!(missing && verb == "add") && !ReadEntries(file, entries)) return kExitUsage;

  if (verb == "show") {
    ShowEntries(file, entries);
    return kExitOk;
  }
  if (verb == "toggle" || verb == "delete") {
    size_t at = 0;
    if (!EntryNumber(pos[2], entries.size(), at)) return kExitUsage;
    if (verb == "toggle")
      entries[at].flags = int32_t(uint32_t(entries[at].flags) ^ kListEntryChecked);
    else
      entries.erase(entries.begin() + long(at));
    return WriteEntries(file, entries);
  }
  // add
  int64_t id = 0;
  if (!ParseId(pos[2], id)) return Fail("records", "\"" + pos[2] + "\" is not a row ID");
  size_t at = entries.size();
  if (args.Has("--at") && !EntryNumber(args.Get("--at"), entries.size(), at)) return kExitUsage;
  int start = 0, stop = 0;
  if (args.Has("--start") != args.Has("--stop")) return Fail("records", "--start and --stop go together");
  if (args.Has("--start")) {
    start = ParseTime(args.Get("--start"));
    stop = ParseTime(args.Get("--stop"));
    if (start < 0 || stop < 0) return Fail("records", "times are HH:MM, hours 0..47");
    if (stop < start) return Fail("records", "the stop time lies before the start time");
  }
  CFrqListSet list;
  if (!OpenStationList(args.Get("--base"), 0, list)) return kExitUsage;
  CFrqRecord r;
  std::vector<std::string> notes;
  if (!list.Get(id, r, &notes)) return Fail("records", list.Error());
  PrintNotes(notes);
  r.flags = int32_t(kListEntryChecked);
  r.extension[0] = start;
  r.extension[1] = stop;
  entries.insert(entries.begin() + long(at), r);
  return WriteEntries(file, entries);
}

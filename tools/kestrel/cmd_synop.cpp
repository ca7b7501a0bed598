// kestrel decode synop (bulletin text or raw WMO files to plain-language reports) and
// kestrel synop station / import-stations / create-store (the station and text store).
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "spl/decoders/synop_import.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"
#include "tools/kestrel/synop_printer.h"

namespace {

// "--clock YYYY-MM-DDTHH:MM" (UTC): the time the reports are dated against.
int ParseClock(const std::string& text, time_t& out) {
  out = 0;
  if (text.empty()) return 1;
  tm t{};
  if (sscanf(text.c_str(), "%d-%d-%dT%d:%d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
             &t.tm_min) != 5)
    return 0;
  t.tm_year -= 1900;
  t.tm_mon -= 1;
  out = timegm(&t);
  return out > 0;
}

constexpr size_t kFramePeek = 64;

// True when the text opens (after blank space) with "ZCZC" or a raw file's SOH.
bool IsFramed(const std::string& head) {
  const size_t i = head.find_first_not_of(" \t\r\n");
  if (i == std::string::npos) return true;  // nothing to frame
  return head[i] == '\x01' || head.compare(i, 4, "ZCZC") == 0;
}

void FeedText(CSynopPrinter& printer, const char* text) {
  for (; *text; ++text) printer.Raw((unsigned char)*text);
}

}  // namespace

int RunDecodeSynop(int argc, char** argv) {
  CArgs args({"--db", "--clock"}, {});
  if (!args.Parse(argc, argv)) return Fail("decode synop", args.Error());
  if (args.WantsHelp() || args.Positional().size() != 1) {
    printf("usage: kestrel decode synop FILE.txt|- [--db STORE.db] [--clock YYYY-MM-DDTHH:MM]\n"
           "  bulletin text (also raw WMO files with SOH/ETX) to plain-language reports\n");
    return args.WantsHelp() ? kExitOk : kExitUsage;
  }
  time_t clock;
  if (!ParseClock(args.Get("--clock"), clock))
    return Fail("decode synop", "--clock wants YYYY-MM-DDTHH:MM");
  const std::string name = args.Positional()[0];
  FILE* in = name == "-" ? stdin : fopen(name.c_str(), "rb");
  if (!in) return Fail(name, strerror(errno));
  CSynopPrinter printer;
  if (!printer.Init(args.Get("--db"), stdout, clock)) {
    if (in != stdin) fclose(in);
    return Fail("synop store", printer.Error());
  }
  // Bulletins kept as files (e.g. from a GTS file store) start with their heading and lack
  // the teleprinter's "ZCZC" ... "NNNN" frame that the parser keys on; supply it for them.
  std::string head;
  int c;
  while (head.size() < kFramePeek && (c = getc(in)) != EOF) head.push_back(char(c));
  const bool framed = IsFramed(head);
  if (!framed) FeedText(printer, "ZCZC\r\n");
  for (char h : head) printer.Raw((unsigned char)h);
  while ((c = getc(in)) != EOF) printer.Raw(c);
  if (in != stdin) fclose(in);
  if (!framed) FeedText(printer, "\r\nNNNN\r\n");
  printer.Finish();
  fprintf(stderr, "%d reports, %d not translated, %u bulletins\n", printer.Reports(),
          printer.Untranslated(), printer.Bulletins());
  return kExitOk;
}

int RunSynop(int argc, char** argv) {
  CArgs args({"--db"}, {});
  if (!args.Parse(argc, argv)) return Fail("synop", args.Error());
  const auto& pos = args.Positional();
  if (args.WantsHelp() || pos.empty()) {
    printf("usage: kestrel synop station INDEX|ICAO [--db STORE.db]\n"
           "       kestrel synop import-stations FILE.csv [--db STORE.db]\n"
           "       kestrel synop create-store STORE.db STATIONS.csv LABELS.tsv REGIONS.tsv"
           " REGION_TEXTS.tsv\n");
    return args.WantsHelp() ? kExitOk : kExitUsage;
  }
  const std::string db = args.Has("--db") ? args.Get("--db") : CSynopPrinter::DefaultStore();
  std::string error;
  if (pos[0] == "station" && pos.size() == 2) {
    CSynopDecoder store;
    if (!store.Init(0, db.c_str())) return Fail("synop store", store.StoreError());
    SYN_STATION st;
    const std::string& key = pos[1];
    const bool numeric = key.find_first_not_of("0123456789") == std::string::npos;
    const int found = numeric && key.size() <= 5 ? store.GetStation(std::stoi(key), st)
                                                 : store.GetStation(key.c_str(), st);
    if (!found) return Fail("synop station " + key, "not in the station store");
    const int lat = st.latitude, lon = st.longitude;
    printf("index      %05u\nicao       %s\nname       %s\ncountry    %s\nregion     %s\n"
           "latitude   %d.%02d %c (%d minutes, north negative)\n"
           "longitude  %d.%02d %c (%d minutes, west negative)\naltitude   %d m\n",
           st.index, st.icao[0] ? st.icao : "-", st.name, st.country, st.region,
           std::abs(lat) / 60, std::abs(lat) % 60, lat < 0 ? 'N' : 'S', lat, std::abs(lon) / 60,
           std::abs(lon) % 60, lon < 0 ? 'W' : 'E', lon, st.altitude);
    return kExitOk;
  }
  if (pos[0] == "import-stations" && pos.size() == 2) {
    const int n = SynopImportStations(db.c_str(), pos[1].c_str(), error);
    if (n < 0) return Fail("synop import-stations", error);
    printf("%d stations imported into %s\n", n, db.c_str());
    return kExitOk;
  }
  if (pos[0] == "create-store" && pos.size() == 6) {
    if (!SynopCreateStore(pos[1].c_str(), pos[2].c_str(), pos[3].c_str(), pos[4].c_str(),
                          pos[5].c_str(), error))
      return Fail("synop create-store", error);
    return kExitOk;
  }
  return Fail("synop", "unknown subcommand or wrong arguments (kestrel synop --help)");
}

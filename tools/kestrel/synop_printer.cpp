#include "tools/kestrel/synop_printer.h"

#include <unistd.h>

#include <climits>

std::string CSynopPrinter::DefaultStore() {
  char exe[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return kDefaultStore;
  exe[n] = 0;
  std::string dir(exe);
  const size_t slash = dir.rfind('/');
  return (slash == std::string::npos ? std::string(".") : dir.substr(0, slash)) + "/" +
         kDefaultStore;
}

int CSynopPrinter::Init(const std::string& path, FILE* out, time_t clock) {
  out_ = out;
  reports_ = untranslated_ = 0;
  SetClock(clock);
  const std::string file = path.empty() ? DefaultStore() : path;
  if (!CSynopDecoder::Init(0, file.c_str())) {
    error_ = StoreError();
    return 0;
  }
  ResetDecoder();
  return 1;
}

void CSynopPrinter::Warning(int kind) {
  fprintf(out_, kind ? "*** forecast or warning bulletin starts ***\n\n"
                     : "*** forecast or warning bulletin ends ***\n\n");
}

void CSynopPrinter::Message(SYN_DATA& report) {
  char text[kTextSize];
  if (Translate(report, text, sizeof text) > 0) {
    fprintf(out_, "%s\n", text);
    ++reports_;
    return;
  }
  ++untranslated_;
  if (report.flags & kSynShip)
    fprintf(out_, "Ship %s: report not translated\n\n", report.callSign);
  else
    fprintf(out_, "Station %05u: not in the station store, report not translated\n\n",
            report.index);
}

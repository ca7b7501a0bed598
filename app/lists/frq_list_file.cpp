#include "app/lists/frq_list_file.h"

#include <cstdio>

#include "app/lists/frq_columns.h"
#include "spl/radio/receiver_table.h"

CFrqRecord FrqRecordCleanTexts(const CFrqRecord& in) {
  CFrqRecord r = in;
  const FrqColumn* cols = FrqColumns();
  for (int c = 0; c < kFrqColumnCount; ++c)
    if (cols[c].type == kColText) FrqSetText(r, cols[c], FrqGetText(in, cols[c]));
  return r;
}

bool IsTimerListPath(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return ext == "tim";
}

int ReadFrqListFile(const std::string& path, int timerWindows, std::vector<CFrqRecord>& out,
                    std::string* error) {
  std::vector<CFrqRecord> records;
  std::string why;
  if (!ReadFrqRecordFile(path, records, &why)) {
    if (error) *error = why;
    return 0;
  }
  for (size_t i = 0; i < records.size(); ++i) {
    CFrqRecord checked = FrqRecordCleanTexts(records[i]);
    const std::string entry = path + ": entry " + std::to_string(i + 1) + ": ";
    if (!CheckFrqRecord(checked, 0, nullptr, &why)) {
      if (error) *error = entry + why + " (not a list of this station?)";
      return 0;
    }
    const int start = records[i].extension[0], stop = records[i].extension[1];
    if (timerWindows && (start < 0 || stop < start || stop > kTimerLastMinute)) {
      if (error)
        *error = entry + "timer window " + std::to_string(start) + ".." + std::to_string(stop) +
                 " minutes is not within two days";
      return 0;
    }
  }
  out.swap(records);
  return 1;
}

ChannelTable BuildChannelTable(const std::vector<CFrqRecord>& entries) {
  ChannelTable table;
  for (const CFrqRecord& r : entries) {
    if (!(uint32_t(r.flags) & kListEntryChecked)) continue;
    table.kHz.push_back(float(FrqDialFrequency(r)));
    table.modes.push_back(r.modulation >= 0 && r.modulation < kModeCount ? 1 << r.modulation : 0);
    table.widths.push_back(IfWidthKHz(r.ifIndex));
  }
  return table;
}

std::string TimerMinuteText(int minutes) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%s%02d:%02d", minutes >= kTimerMinutesPerDay ? "+ " : "  ",
                (minutes % kTimerMinutesPerDay) / 60, minutes % 60);
  return buf;
}

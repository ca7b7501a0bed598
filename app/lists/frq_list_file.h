// The list files of frequency records (timer ".tim", channel ".scl" and satellite ".sbl"
// lists) as the station reads them before using one: the whole file checked, so that a file of
// another kind that happens to be a multiple of 428 bytes is refused rather than run.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/lists/frq_record.h"

constexpr uint32_t kListEntryChecked = 0x80000000u;  // "[Flags]" bit 31: the entry's check mark
constexpr uint32_t kTimerEntryEnabled = kListEntryChecked;
constexpr int kTimerMinutesPerDay = 1440;
// A timer window ends on the day after the list's day at the latest.
constexpr int kTimerLastMinute = 2 * kTimerMinutesPerDay - 1;

// Reads a list file: a whole number of records, every entry holding values a frequency record
// can hold (texts are checked as UTF-8 cleaned copies; the entries keep the bytes read).
// timerWindows != 0 also checks each timer window ("[Extension_1]" .. "[Extension_2]"
// minutes): not negative, stop not before start, within two days. 1, or 0 with "PATH: reason"
// or "PATH: entry N: reason" in error and out untouched.
int ReadFrqListFile(const std::string& path, int timerWindows, std::vector<CFrqRecord>& out,
                    std::string* error);
// Whether a path names a timer list (extension ".tim", any case).
bool IsTimerListPath(const std::string& path);
// The record with its texts made UTF-8 (older programs wrote other character sets).
CFrqRecord FrqRecordCleanTexts(const CFrqRecord& in);
// The channels of a channel scan, by column: the dial frequency (kHz) each is tuned to as
// applying its record would tune it, its mode bit and IF width (kHz).
struct ChannelTable {
  std::vector<float> kHz;
  std::vector<int> modes, widths;
};
// The checked entries of a channel list, in list order (unchecked ones are passed over).
ChannelTable BuildChannelTable(const std::vector<CFrqRecord>& entries);

// A window minute as the timer list shows it: "  HH:MM" on the list's day, "+ HH:MM" on the
// next.
std::string TimerMinuteText(int minutes);

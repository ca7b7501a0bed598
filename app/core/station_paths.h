// Where the station keeps its files: the base folder, the fixed files in it and the folders
// the settings record names for FAX and SSTV pictures, texts, recordings, scan reports and data.
#pragma once
#include <string>

#include "app/core/settings_record.h"

constexpr const char* kProfileFileName = "KSTL.INI";
constexpr const char* kWindowFileName = "THIS.WND";
constexpr const char* kSettingsFileName = "KSTLCONFIG.CFG";
constexpr const char* kAudioFormatFileName = "KSTLAUDIOFORM.CFG";
// Under $XDG_DATA_HOME (or ~/.local/share) when no other base folder is found.
constexpr const char* kDataHomeFolderName = "kestrel";
// Database lock files left behind, deleted at start-up and shutdown.
constexpr const char* kLockFileSuffix = ".ldb";

// The base folder: `given` when not empty; else the current folder when it holds KSTL.INI or
// KSTLCONFIG.CFG; else $XDG_DATA_HOME/kestrel ($XDG_DATA_HOME unset, empty or relative:
// $HOME/.local/share/kestrel). Created when missing. An absolute path without a trailing
// '/', short enough that every default folder fits into the record; "" with *error set.
std::string ChooseBaseFolder(const std::string& given, std::string* error);
// base + "/" + name.
std::string BasePath(const std::string& base, const char* name);
// Creates the six folders the record names (after FillFolders). 1, or 0 with *error set.
int MakeStationFolders(const CSettingsRecord& r, std::string* error);
// Deletes the "*.ldb" files (any case of the suffix) in base.
void DeleteLockFiles(const std::string& base);

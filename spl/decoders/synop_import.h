// Building the SYNOP station and text store: the tables from tab-separated text files and the
// station table from a public station list, the way the build and "kestrel synop
// import-stations" make it.
#pragma once
#include <string>

// Builds a store file: creates the tables (replacing a file of that name), then fills the
// texts from tab-separated files (labels: KEY<TAB>TEXT; regions: NUMBER<TAB>NAME; region texts:
// KEY<TAB>TEXT) and the stations from a station list (see SynopImportStations). Lines starting
// with '#' are comments. Returns 1, or 0 with error naming the file, the line and the reason.
int SynopCreateStore(const char* dbPath, const char* stationsCsv, const char* labelsTsv,
                     const char* regionsTsv, const char* regionTextsTsv, std::string& error);

// Replaces the stations and countries of an existing store file with a station list: a header
// line, then "wmo_index,icao,name,country,wmo_region,latitude,longitude,altitude" with the
// position in decimal degrees (north and east positive) and the altitude in metres. The list is
// taken whole or not at all. Returns the number of stations, or -1 with error set.
int SynopImportStations(const char* dbPath, const char* stationsCsv, std::string& error);

// The names of the station's products: what a message, picture or recording started at a
// time is called in its folder ("RTTY_YYYY-MM-DD_HH-MM.RTF", local time), and the compact
// date form the file lists show ("991217 11:01.BMP").
#pragma once
#include <ctime>
#include <string>

// folder + "/" + prefix + "YYYY-MM-DD_HH-MM" of when in local time + ext; "" when the time has
// no local form.
std::string ProductFileName(const std::string& folder, const char* prefix, time_t when,
                            const char* ext);
// A name starting with FAX_, SSTV_, SCANN_, INFO_, RTTY_, WARN_ or AUDIO_ followed by
// yyyy-mm-dd_hh-mm (and an extension or a _N suffix) as "yymmdd hh:mm" and what follows;
// other names unchanged.
std::string CompactFileName(const std::string& name);

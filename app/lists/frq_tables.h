// The texts the frequency list shows for the coded columns of a record: country, station
// type, emission class, IF bandwidth, receive mode, decoder and tuning step.
#pragma once
#include <functional>
#include <string>

constexpr int kFrqCountryCount = 256;
constexpr int kFrqStationTypeCount = 15;
constexpr int kFrqEmissionClassCount = 17;
constexpr int kFrqIfCount = 5;

// Emission classes a new record gets from the active decoder.
constexpr int kFrqClassCw = 0;           // "A1A CW, Wave"
constexpr int kFrqClassRtty = 3;         // "F1B RTTY, Frequecy Shift System"
constexpr int kFrqClassFax = 5;          // "F3C FAX (F1C + F3C + J3C)"
constexpr int kFrqClassUndefined = 16;   // "undefined or special"

// "SYM Name" (the country's symbol, a blank and its name) or the symbol alone; index 0..255,
// null outside.
const char* FrqCountryText(int index);
// "AT Amateur Radio Station" ...; index 0..14, null outside.
const char* FrqStationTypeText(int index);
// "A1A CW, Wave" ...; index 0..16, null outside.
const char* FrqEmissionClassText(int index);
// "3 KHz" ... "230 KHz"; index 0..4, null outside.
const char* FrqIfText(int index);
// The four characters of the receiver mode table at a mode index, blanks kept ("LSB ",
// "CW  "; the last is "WFM"); index 0..13, null outside.
const char* FrqModeName(int index);

// Text of the decoder column: the decoder's own text when the value lies strictly between
// 8192 and 16400 and has one, else "Audio / Scanner"; with satId 0 or more the satellite's
// name from satName follows directly ("???SAT:ERROR???" when satName knows none, i.e. gives
// null or is empty).
std::string FrqDecoderText(int decoder, int satId, const std::function<const char*(int)>& satName);

// The tuning step column: "%d Hz" below 1000, "%.1f KHz" from 1000, "%.1f MHz" from 1000000.
std::string FrqStepText(int hz);

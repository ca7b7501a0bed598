#include "app/lists/frq_tables.h"

#include <cstdio>
#include <iterator>

#include "spl/radio/receiver_table.h"

namespace {

// Symbol and name; the symbol alone where the name is not certain.
constexpr const char* kCountries[] = {
    "AAA World-wide", "AAB All countrys", "ABW Aruba", "ADL", "AFG Afghanistan", "AFS South Africa",
    "AGL Angola", "AIA Anguilla", "ALB Albania", "ALG Algeria", "ALS Alaska", "AMS", "AND Andorra",
    "ANT", "AOE Western Sahara", "ARG Argentina", "ARS Saudi Arabia", "ASC Ascension Island",
    "ATG Antigua and Barbuda", "ATL", "ATN Netherlands Antilles", "AUS Australia", "AUT Austria",
    "AZR Azores", "B Brazil", "BAH Bahamas", "BDI Burundi", "BEL Belgium", "BEN Benin",
    "BER Bermuda", "BFA Burkina Faso", "BGD Bangladesh", "BHR Bahrain", "BHU",
    "BIO British Indian Ocean Territory", "BLR Belarus", "BLZ Belize", "BOL Bolivia",
    "BOT Botswana", "BRB Barbados", "BRM Burma", "BRU Brunei", "BUL Bulgaria",
    "CAF Central African Republic", "CAN Canada", "CAR", "CBG Cambodia", "CHL Chile", "CHN China",
    "CHR Christmas Island", "CKH", "CKN", "CLM Colombia", "CLN Sri Lanka", "CME Cameroon",
    "CNR Canary Islands", "COG Congo", "COM Comoros", "CPV Cape Verde", "CRO", "CTI Cote d'Ivoire",
    "CTR Costa Rica", "CUB Cuba", "CVA Vatican City", "CYM Cayman Islands", "CYP Cyprus",
    "D Germany", "DGA Diego Garcia", "DJI Djibouti", "DMA Dominica", "DNK Denmark",
    "DOM Dominican Republic", "E Spain", "EGY Egypt", "EQA Ecuador", "ETH Ethiopia", "F France",
    "FJI Fiji", "FLK Falkland Islands", "FNL Finland", "FSM Micronesia", "G United Kingdom",
    "GAB Gabon", "GCA", "GCB", "GCC", "GDL Guadeloupe", "GHA Ghana", "GIE", "GMB Gambia",
    "GNB Guinea-Bissau", "GNE Equatorial Guinea", "GRC Greece", "GRD Grenada", "GRL Greenland",
    "GTM Guatemala", "GUI Guinea", "GUM Guam", "GUY Guyana", "HKG Hong Kong", "HND Honduras",
    "HNG Hungary", "HOL Netherlands", "HTI Haiti", "HWA Hawaii", "HWL", "I Italy", "ICO",
    "IND India", "INS Indonesia", "IOB", "IRL Ireland", "IRN Iran", "IRQ Iraq", "ISL Iceland",
    "ISR Israel", "J Japan", "JAR", "JMC Jamaica", "JON", "JOR Jordan", "KEN Kenya",
    "KER Kerguelen Islands", "KIR Kiribati", "KOR Korea (South)", "KRE Korea (North)", "KWT Kuwait",
    "LAO Laos", "LBN Lebanon", "LBR Liberia", "LBY Libya", "LCA Saint Lucia", "LIE Liechtenstein",
    "LSO Lesotho", "LUX Luxembourg", "MAC Macao", "MAU Mauritius", "MCO Monaco", "MDG Madagascar",
    "MDR Madeira", "MDW Midway Islands", "MEX Mexico", "MLA Malaysia", "MLD Maldives", "MLI Mali",
    "MLT Malta", "MNG Mongolia", "MOZ Mozambique", "MRA Northern Mariana Islands", "MRC Morocco",
    "MRL Marshall Islands", "MRN", "MRT Martinique", "MSR Montserrat", "MTN Mauritania",
    "MWI Malawi", "MYT Mayotte", "NCG Nicaragua", "NCL New Caledonia", "NFK Norfolk Island",
    "NGR Niger", "NIG Nigeria", "NIU Niue", "NMB Namibia", "NOR Norway", "NPL Nepal", "NRU Nauru",
    "NZL New Zealand", "OCE French Polynesia", "OMA Oman", "ONC", "ONJ", "PAK Pakistan",
    "PAQ Easter Island", "PHL Philippines", "PHX", "PLM", "PLW Palau", "PNG Papua New Guinea",
    "PNR Panama", "POL Poland", "POR Portugal", "PRG Paraguay", "PRU Peru", "PTC Pitcairn",
    "PTR Puerto Rico", "QAT Qatar", "REU Reunion", "ROD Rodrigues", "ROU Romania", "RRW Rwanda",
    "S Sweden", "SCN Saint Kitts and Nevis", "SDN Sudan", "SEN Senegal", "SEY Seychelles",
    "SHN Saint Helena", "SLM Solomon Islands", "SLV El Salvador", "SMA American Samoa", "SMO Samoa",
    "SMR San Marino", "SNG Singapore", "SOM Somalia", "SPM Saint Pierre and Miquelon",
    "SRL Sierra Leone", "STP Sao Tome and Principe", "SUI Switzerland", "SUR Suriname", "SWN",
    "SWZ Swaziland", "SYR Syria", "TCA Turks and Caicos Islands", "TCD Chad", "TCH Czechoslovakia",
    "TGO Togo", "THA Thailand", "TKL Tokelau", "TMP", "TON Tonga", "TRC Tristan da Cunha",
    "TRD Trinidad and Tobago", "TUN Tunisia", "TUR Turkey", "TUV Tuvalu", "TWN Taiwan",
    "TZA Tanzania", "UAE United Arab Emirates", "UGA Uganda", "UKR Ukraine", "URG Uruguay",
    "URS USSR", "USA United States", "VCT Saint Vincent and the Grenadines", "VEN Venezuela",
    "VIR Virgin Islands (USA)", "VRG Virgin Islands (British)", "VTN Vietnam", "VUT Vanuatu",
    "WAK Wake Island", "WAL Wallis and Futuna", "YEM Yemen", "YUG Yugoslavia", "ZAI Zaire",
    "ZMB Zambia", "ZWE Zimbabwe", "KAZ Kazakhstan", "RUS Russia", "SLA", "SLE", "EST Estonia",
    "LIT Lithuania", "GEO Georgia", "LET", "KRO", "MOL Moldova",
};
static_assert(std::size(kCountries) == kFrqCountryCount);

constexpr const char* kStationTypes[] = {
    "AT Amateur Radio Station",
    "AX Static Aero Radio Station",
    "FC Sea Station",
    "FD Mobil Station Aero (R)",
    "FG Mobil Station Aero (OR)",
    "FX Static Ground Station Aero",
    "LR Observer Station",
    "MA Aeroplane",
    "ML Mobil",
    "MS Ship",
    "MX Meteo Station",
    "OD Ozean Data Station",
    "PX News agency",
    "SS Norm Frequency and Time-Sinal Station",
    "XX Special Station",
};
static_assert(std::size(kStationTypes) == kFrqStationTypeCount);

constexpr const char* kEmissionClasses[] = {
    "A1A CW, Wave",
    "A2A CW, Tone",
    "F1A CW, Frequecy Shift System",
    "F1B RTTY, Frequecy Shift System",
    "F7B RTTY, Multi Frequency Shift keying",
    "F3C FAX (F1C + F3C + J3C)",
    "F1D Teleworking, digital selektiv Call DSC",
    "H2B Selektiv Call",
    "J3E SSB, no Wave",
    "R3E SSB, limited Wave",
    "H3E SSB, full Wave",
    "A3E AM, 2 Sideband + full Wave",
    "B8E Phone, 2 Sideband, no Wave",
    "J7B Multi Cannel RTTY in J3E",
    "B7B Same as J7B with 2 Sideband",
    "B9W J7B with Phone",
    "undefined or special",
};
static_assert(std::size(kEmissionClasses) == kFrqEmissionClassCount);

constexpr const char* kIfTexts[] = {"3 KHz", "6 KHz", "15 KHz", "50 KHz", "230 KHz"};
static_assert(std::size(kIfTexts) == kFrqIfCount);

// The receiver's mode table cut into zero-terminated names of four characters (the last,
// "WFM", ends the table and has three).
constexpr int kModeNameWidth = 4;
struct ModeNameTable {
  char names[kModeCount][kModeNameWidth + 1];
};
constexpr ModeNameTable MakeModeNames() {
  ModeNameTable t{};
  for (int i = 0; i < kModeCount; ++i)
    for (int c = 0; c < kModeNameWidth && i * kModeNameWidth + c < int(sizeof kModeNames); ++c)
      t.names[i][c] = kModeNames[i * kModeNameWidth + c];
  return t;
}
constexpr ModeNameTable kModeNameTable = MakeModeNames();
static_assert(sizeof kModeNames > (kModeCount - 1) * kModeNameWidth);

// Decoder column values with a text of their own (8192 + IOC, 12288 + text code,
// 16384 + SSTV index). The satellite FAX texts keep their "%s" as stored.
struct DecoderText {
  int value;
  const char* text;
};
constexpr DecoderText kDecoderTexts[] = {
    {8480, "W-FAX  IOC 288 "},
    {8768, "W-FAX IOC 576"},
    {8544, "NEWS-FAX IOC 352"},
    {8459, "HAM-FAX IOC 267 "},
    {8382, "SAT-FAX (%s)  IOC 190"},
    {8523, "SAT-FAX (%s)  IOC 331"},
    {8573, "SAT-FAX (%s)  IOC 381"},
    {8854, "SAT-FAX (%s)  IOC 662"},
    {12288, "RTTY BAUDOT"},
    {12289, "RTTY sync.BAUDOT"},
    {12290, "SITOR-B"},
    {12291, "ASCII-7 Bit"},
    {12292, "ASCII-8 Bit"},
    {12293, "FEC-A"},
    {12304, "SYNOP / RTTY BAUDOD"},
    {12306, "NAVTEX = SITOR B 100 Baud inv."},
    {12545, "B-PSK-31"},
    {12546, "Q-PSK-31"},
    {14336, "CW"},
    {16384, "SSTV Martin 1 (europe)"},
    {16385, "SSTV Wraase SC2"},
    {16386, "SSTV Scottie 1 (usa)"},
    {16387, "SSTV Robot 72"},
};
constexpr const char* kAudioScannerText = "Audio / Scanner";
constexpr const char* kSatelliteMissingText = "???SAT:ERROR???";
// Values strictly between these have decoder texts.
constexpr int kDecoderTextAbove = 8192;
constexpr int kDecoderTextBelow = 16400;

// The step text scales by multiplying, as the list always has: on a tie the two ways round
// apart (1150 Hz shows "1.2 KHz", divided it would be "1.1 KHz").
constexpr int kHzPerKHz = 1000;
constexpr int kHzPerMHz = 1000000;
constexpr double kKHzPerHz = 0.001;
constexpr double kMHzPerHz = 0.000001;

template <size_t N>
const char* At(const char* const (&table)[N], int index) {
  return index >= 0 && size_t(index) < N ? table[index] : nullptr;
}

}  // namespace

const char* FrqCountryText(int index) { return At(kCountries, index); }
const char* FrqStationTypeText(int index) { return At(kStationTypes, index); }
const char* FrqEmissionClassText(int index) { return At(kEmissionClasses, index); }
const char* FrqIfText(int index) { return At(kIfTexts, index); }

const char* FrqModeName(int index) {
  return index >= 0 && index < kModeCount ? kModeNameTable.names[index] : nullptr;
}

std::string FrqDecoderText(int decoder, int satId,
                           const std::function<const char*(int)>& satName) {
  std::string text = kAudioScannerText;
  if (decoder > kDecoderTextAbove && decoder < kDecoderTextBelow) {
    for (const DecoderText& d : kDecoderTexts)
      if (d.value == decoder) text = d.text;
  }
  if (satId >= 0) {
    const char* name = satName ? satName(satId) : nullptr;
    text += name ? name : kSatelliteMissingText;
  }
  return text;
}

std::string FrqStepText(int hz) {
  char buf[32];
  if (hz >= kHzPerMHz)
    std::snprintf(buf, sizeof buf, "%.1f MHz", hz * kMHzPerHz);
  else if (hz >= kHzPerKHz)
    std::snprintf(buf, sizeof buf, "%.1f KHz", hz * kKHzPerHz);
  else
    std::snprintf(buf, sizeof buf, "%d Hz", hz);
  return buf;
}

// Rich text as the station stores received messages: runs of Windows-1252 text, each in one
// colour, in one fixed-pitch font, written as RTF that word processors open; and a reader that
// takes such files back (also simple RTF from other writers) into runs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One stretch of text in one colour. text: Windows-1252 bytes, '\n' a line break, '\t' a tab.
// colour: 0x00BBGGRR.
struct RichRun {
  std::string text;
  uint32_t colour = 0;
};

// The one font of a document. halfPoints: size in half points (20 = 10 pt), 2..3276.
struct RichFont {
  std::string face = "Courier";
  int halfPoints = 20;
  bool bold = false;
};

// Groups nested deeper than this make ReadRtf give up (files of real writers stay far below).
constexpr int kRtfMaxDepth = 200;

// The RTF document of runs in font: a colour table of the colours used (in order of first
// use), '\n' as \par, '\t' as \tab, bytes above 127 and other control bytes as \'hh.
// A font size outside 2..3276 half points is clamped.
std::string WriteRtf(const std::vector<RichRun>& runs, const RichFont& font);

// Reads an RTF document into runs (merged, no empty run): text, \par and \line as '\n', \tab,
// \'hh, \uN (as its Windows-1252 byte when there is one, its fallback skipped; else the
// fallback kept), \cfN from the colour table, groups; destinations (\*, font and colour tables,
// style sheet, info, pictures, headers ...) give no text. 1, or 0 when rtf does not start with
// "{\rtf" (plain text) or is malformed (unbalanced braces, a bad \'hh, nesting beyond
// kRtfMaxDepth); runs then hold what was read before the fault.
int ReadRtf(const std::string& rtf, std::vector<RichRun>& runs);

// Joins adjacent runs of equal colour and drops empty runs.
void MergeRichRuns(std::vector<RichRun>& runs);
// The text of the runs, one after the other.
std::string RichPlainText(const std::vector<RichRun>& runs);

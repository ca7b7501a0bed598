// CREdit: the receive window of the text decoders, on a QTextEdit. Decoded characters are
// appended at the end of the text without disturbing what the user does in the window (the
// selection and the scroll position stay, unless the view was at the bottom: then it follows
// the new text); the text is kept below a size limit by dropping its oldest lines; the contents
// are loaded, saved and printed as plain Windows-1252 text or RTF.
//
// Main thread only. The widget stays its owner's: it must outlive the use of this object.
#pragma once
#include <QColor>
#include <QString>
#include <QTextCursor>
#include <functional>
#include <string>
#include <vector>

#include "spl/platform/rich_text.h"

class QPrinter;
class QTextDocument;
class QTextEdit;

// How often the size is checked: after this many appends.
constexpr int kREditCheckEvery = 101;
// The size check trims once the text is longer than the limit less this.
constexpr int kREditLimitMargin = 1000;
// Lines dropped from the start at each trim.
constexpr int kREditTrimLines = 10;
// The smallest limit Init takes.
constexpr int kREditMinLimit = 1000;

class CREdit {
 public:
  // edit: the window (read-only from now on, fixed-pitch font); limit: characters kept, at
  // least kREditMinLimit. 1, or 0 for a null edit or a smaller limit (nothing changed).
  int Init(QTextEdit* edit, int limit);

  // One decoder byte (Windows-1252): 13 begins a new paragraph, a 10 right after a 13 is
  // dropped, a lone 10 begins a new line, 8 removes the last character, other control
  // characters but tab are ignored.
  void AppendChar(int ch, QColor colour = Qt::black);
  // A whole text in one colour; CR LF, a lone CR and a lone LF each break the line, other
  // control characters but tab are ignored.
  void AppendString(const QString& text, QColor colour);
  void RemoveLastChar();
  // Empties the window (and forgets the last character).
  void Clear();

  // Called with the number of characters dropped from the start whenever the size limit
  // trims, so that whoever holds a position in the text can shift it.
  void SetTrimHandler(std::function<void(int removed)> handler) { m_onTrim = std::move(handler); }
  // Characters dropped from the start since Init.
  long long TrimmedChars() const { return m_trimmed; }

  // Replaces the contents with the file: RTF when its extension is ".rtf" (any case), else
  // plain Windows-1252 text. 1, or 0 when it cannot be read (or is no RTF); the contents then
  // stay as they were.
  int LoadText(const QString& path);
  // Writes the selection, or the whole text when nothing is selected: RTF by the extension
  // as above (colours kept), else plain Windows-1252 text with CR LF line ends; characters
  // that Windows-1252 lacks become '?'. The file is replaced in one step. 1 or 0.
  int SaveText(const QString& path) const;
  // Prints the selection, or the whole text, on printer (set up by the caller). 1 or 0.
  int PrintText(QPrinter* printer) const;

  // Characters in the window (every line break counts one).
  int Length() const;
  QTextEdit* Edit() const { return m_edit; }

 private:
  // Runs change (which may insert or remove text at the end) keeping the user's selection and
  // scroll position.
  void Preserving(const std::function<void()>& change);
  void InsertAtEnd(const QString& text, QColor colour);
  void CheckSize();
  void Trim();

  QTextEdit* m_edit = nullptr;
  int m_limit = 0;
  int m_appends = 0;
  int m_lastChar = -1;
  long long m_trimmed = 0;
  std::function<void(int)> m_onTrim;
};

// Windows-1252 bytes as text, and back ('?' for what it lacks; line and paragraph
// separators as '\n').
QString FromWindows1252(const std::string& bytes);
std::string ToWindows1252(const QString& text);
// 0x00BBGGRR <-> QColor.
QColor ColourFromRgb(uint32_t bbggrr);
uint32_t RgbFromColour(const QColor& colour);

// A text file as runs: RTF when the extension is ".rtf" (any case), else plain Windows-1252
// text (CR LF, lone CR and lone LF each a line break). 1, or 0 when it cannot be read or is
// malformed RTF.
int ReadRichFile(const QString& path, std::vector<RichRun>& runs);
// Writes runs to path (RTF in font, or plain text with CR LF, by the extension as above),
// replacing the file in one step. 1 or 0.
int WriteRichFile(const QString& path, const std::vector<RichRun>& runs, const RichFont& font);
// Inserts runs at the cursor, each in its colour, '\n' as a new paragraph.
void InsertRichRuns(QTextCursor& at, const std::vector<RichRun>& runs);
// The text between two positions of document as runs; text without a colour of its own gets
// plain.
std::vector<RichRun> RichRunsOf(const QTextDocument* document, int from, int to,
                                 QColor plain = Qt::black);

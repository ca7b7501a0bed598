#include "spl/widgets/rich_edit.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QPrinter>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <algorithm>

namespace {

constexpr int kCarriageReturn = 13;
constexpr int kLineFeed = 10;
constexpr int kBackspace = 8;
constexpr int kTab = 9;
constexpr int kFirstPrintable = 32;
constexpr int kMaxByte = 255;
constexpr char kUnmapped = '?';
constexpr char kReceiveFace[] = "Courier";
constexpr char kRtfSuffix[] = "rtf";
constexpr char kPlainLineEnd[] = "\r\n";

// Windows-1252 0x80 ... 0x9F; the five bytes it leaves free map to the C1 controls, as the
// system code page does.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
constexpr int kHighFirst = 0x80;
constexpr int kHighEnd = 0xA0;

QChar CharOf(uint8_t byte) {
  if (byte >= kHighFirst && byte < kHighEnd) return QChar(kHighControls[byte - kHighFirst]);
  return QChar(byte);
}

char ByteOf(QChar c) {
  const char16_t u = c.unicode();
  if (u == QChar::LineSeparator || u == QChar::ParagraphSeparator) return '\n';
  if (u < kHighFirst || (u >= kHighEnd && u <= kMaxByte)) return char(u);
  for (int i = 0; i < kHighEnd - kHighFirst; ++i)
    if (kHighControls[i] == u) return char(kHighFirst + i);
  return kUnmapped;
}

bool IsRtfName(const QString& path) {
  return QFileInfo(path).suffix().compare(QLatin1String(kRtfSuffix), Qt::CaseInsensitive) == 0;
}

// Text to insert with QTextCursor: line breaks as '\n' (CR LF counting once), other control
// characters but tab dropped.
QString Normalised(const QString& text) {
  QString out;
  out.reserve(text.size());
  QChar previous;
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u == kCarriageReturn || (u == kLineFeed && previous.unicode() != kCarriageReturn))
      out += QLatin1Char('\n');
    else if (u == kTab || u >= kFirstPrintable)
      out += c;
    previous = c;
  }
  return out;
}

// Plain Windows-1252 file text as runs of one colour.
std::vector<RichRun> PlainRuns(const std::string& bytes) {
  RichRun run;
  int previous = -1;
  for (char b : bytes) {
    const int ch = uint8_t(b);
    if (ch == kCarriageReturn || (ch == kLineFeed && previous != kCarriageReturn))
      run.text += '\n';
    else if (ch == kTab || ch >= kFirstPrintable)
      run.text += b;
    previous = ch;
  }
  std::vector<RichRun> runs;
  if (!run.text.empty()) runs.push_back(std::move(run));
  return runs;
}

QTextCharFormat FormatOf(QColor colour) {
  QTextCharFormat format;
  format.setForeground(colour);
  return format;
}

}  // namespace

QString FromWindows1252(const std::string& bytes) {
  QString text;
  text.reserve(qsizetype(bytes.size()));
  for (char b : bytes) text += CharOf(uint8_t(b));
  return text;
}

std::string ToWindows1252(const QString& text) {
  std::string bytes;
  bytes.reserve(size_t(text.size()));
  for (QChar c : text) bytes += ByteOf(c);
  return bytes;
}

QColor ColourFromRgb(uint32_t bbggrr) {
  return QColor(int(bbggrr & 0xFF), int((bbggrr >> 8) & 0xFF), int((bbggrr >> 16) & 0xFF));
}

uint32_t RgbFromColour(const QColor& colour) {
  return uint32_t(colour.red()) | uint32_t(colour.green()) << 8 | uint32_t(colour.blue()) << 16;
}

int ReadRichFile(const QString& path, std::vector<RichRun>& runs) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  const QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) return 0;
  const std::string bytes(data.constData(), size_t(data.size()));
  runs.clear();
  if (IsRtfName(path)) return ReadRtf(bytes, runs);
  runs = PlainRuns(bytes);
  return 1;
}

int WriteRichFile(const QString& path, const std::vector<RichRun>& runs, const RichFont& font) {
  std::string out;
  if (IsRtfName(path)) {
    out = WriteRtf(runs, font);
  } else {
    for (const RichRun& run : runs)
      for (char c : run.text) {
        if (c == '\n')
          out += kPlainLineEnd;
        else
          out += c;
      }
  }
  // QSaveFile writes beside the target and renames at commit: a failed write leaves the old
  // file whole.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return 0;
  if (file.write(out.data(), qint64(out.size())) != qint64(out.size())) {
    file.cancelWriting();
    file.commit();
    return 0;
  }
  return file.commit() ? 1 : 0;
}

void InsertRichRuns(QTextCursor& at, const std::vector<RichRun>& runs) {
  for (const RichRun& run : runs)
    at.insertText(FromWindows1252(run.text), FormatOf(ColourFromRgb(run.colour)));
}

std::vector<RichRun> RichRunsOf(const QTextDocument* document, int from, int to, QColor plain) {
  std::vector<RichRun> runs;
  if (!document || from >= to) return runs;
  auto add = [&runs](const QString& text, QColor colour) {
    const uint32_t rgb = RgbFromColour(colour);
    if (runs.empty() || runs.back().colour != rgb) runs.push_back({std::string(), rgb});
    runs.back().text += ToWindows1252(text);
  };
  for (QTextBlock block = document->findBlock(from); block.isValid() && block.position() < to;
       block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const int start = std::max(from, fragment.position());
      const int end = std::min(to, fragment.position() + fragment.length());
      if (start >= end) continue;
      const QTextCharFormat format = fragment.charFormat();
      const QColor colour =
          format.foreground().style() == Qt::NoBrush ? plain : format.foreground().color();
      add(fragment.text().mid(start - fragment.position(), end - start), colour);
    }
    // The block's end is one position of its own: the paragraph break.
    const int separator = block.position() + block.length() - 1;
    if (separator >= from && separator < to && block.next().isValid())
      add(QStringLiteral("\n"), runs.empty() ? plain : ColourFromRgb(runs.back().colour));
  }
  MergeRichRuns(runs);
  return runs;
}

int CREdit::Init(QTextEdit* edit, int limit) {
  if (!edit || limit < kREditMinLimit) return 0;
  m_edit = edit;
  m_limit = limit;
  m_appends = 0;
  m_lastChar = -1;
  m_trimmed = 0;
  m_edit->setReadOnly(true);
  // A receive log has nothing to undo, and an undo stack would grow with every character.
  m_edit->document()->setUndoRedoEnabled(false);
  QFont font(QString::fromLatin1(kReceiveFace));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  m_edit->setFont(font);
  m_edit->document()->setDefaultFont(font);
  return 1;
}

void CREdit::Preserving(const std::function<void()>& change) {
  QScrollBar* bar = m_edit->verticalScrollBar();
  const bool follow = bar->value() >= bar->maximum();
  const int value = bar->value();
  const QTextCursor before = m_edit->textCursor();
  const bool selected = before.hasSelection();
  const int anchor = before.anchor(), position = before.position();
  const long long trimmedBefore = m_trimmed;

  change();

  // Text dropped from the start moves the selection with its text; text added at the end
  // would stretch a selection that reaches the end, so it is set back.
  if (selected) {
    const int removed = int(m_trimmed - trimmedBefore);
    const int length = Length();
    const int wantAnchor = std::clamp(anchor - removed, 0, length);
    const int wantPosition = std::clamp(position - removed, 0, length);
    const QTextCursor now = m_edit->textCursor();
    if (now.anchor() != wantAnchor || now.position() != wantPosition) {
      QTextCursor restored(m_edit->document());
      restored.setPosition(wantAnchor);
      restored.setPosition(wantPosition, QTextCursor::KeepAnchor);
      m_edit->setTextCursor(restored);
    }
  }
  bar->setValue(follow ? bar->maximum() : value);
}

void CREdit::InsertAtEnd(const QString& text, QColor colour) {
  QTextCursor end(m_edit->document());
  end.movePosition(QTextCursor::End);
  end.insertText(text, FormatOf(colour));
}

void CREdit::AppendChar(int ch, QColor colour) {
  if (ch < 0 || ch > kMaxByte) return;
  const int previous = m_lastChar;
  m_lastChar = ch;
  if (ch == kLineFeed && previous == kCarriageReturn) return;
  if (ch == kBackspace) {
    RemoveLastChar();
    return;
  }
  if (!m_edit) return;
  QString text;
  if (ch == kCarriageReturn || ch == kLineFeed)
    text = QChar(ch == kCarriageReturn ? QChar::ParagraphSeparator : QChar::LineSeparator);
  else if (ch == kTab || ch >= kFirstPrintable)
    text = CharOf(uint8_t(ch));
  else
    return;
  Preserving([&] {
    InsertAtEnd(text, colour);
    CheckSize();
  });
}

void CREdit::AppendString(const QString& text, QColor colour) {
  if (!m_edit) return;
  const QString normalised = Normalised(text);
  if (normalised.isEmpty()) return;
  Preserving([&] {
    InsertAtEnd(normalised, colour);
    CheckSize();
  });
}

void CREdit::RemoveLastChar() {
  if (!m_edit || Length() == 0) return;
  Preserving([&] {
    QTextCursor last(m_edit->document());
    last.movePosition(QTextCursor::End);
    last.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
    last.removeSelectedText();
  });
}

void CREdit::Clear() {
  m_lastChar = -1;
  m_appends = 0;
  if (m_edit) m_edit->clear();
}

void CREdit::CheckSize() {
  if (++m_appends < kREditCheckEvery) return;
  m_appends = 0;
  if (Length() > m_limit - kREditLimitMargin) Trim();
}

void CREdit::Trim() {
  // Document positions and the plain text's indices agree: every break is one character.
  const QString text = m_edit->document()->toPlainText();
  int cut = 0, breaks = 0;
  for (int i = 0; i < text.size() && breaks < kREditTrimLines; ++i)
    if (text[i] == QLatin1Char('\n')) {
      ++breaks;
      cut = i + 1;
    }
  // A text of a few long lines still has to shrink.
  if (breaks < kREditTrimLines) cut = std::max(cut, m_limit / 8);
  cut = std::min(cut, int(text.size()));
  if (cut <= 0) return;
  QTextCursor start(m_edit->document());
  start.setPosition(cut, QTextCursor::KeepAnchor);
  start.removeSelectedText();
  m_trimmed += cut;
  if (m_onTrim) m_onTrim(cut);
}

int CREdit::LoadText(const QString& path) {
  if (!m_edit) return 0;
  std::vector<RichRun> runs;
  if (!ReadRichFile(path, runs)) return 0;
  m_edit->clear();
  m_lastChar = -1;
  m_appends = 0;
  QTextCursor at(m_edit->document());
  InsertRichRuns(at, runs);
  return 1;
}

int CREdit::SaveText(const QString& path) const {
  if (!m_edit) return 0;
  const QTextCursor user = m_edit->textCursor();
  const int from = user.hasSelection() ? user.selectionStart() : 0;
  const int to = user.hasSelection() ? user.selectionEnd() : Length();
  RichFont font;
  const QFont shown = m_edit->document()->defaultFont();
  if (!shown.family().isEmpty()) font.face = ToWindows1252(shown.family());
  if (shown.pointSizeF() > 0) font.halfPoints = int(shown.pointSizeF() * 2 + 0.5);
  return WriteRichFile(path, RichRunsOf(m_edit->document(), from, to), font);
}

int CREdit::PrintText(QPrinter* printer) const {
  if (!m_edit || !printer) return 0;
  if (printer->docName().isEmpty()) printer->setDocName(QCoreApplication::applicationName());
  const QTextCursor user = m_edit->textCursor();
  QTextDocument copy;
  copy.setDefaultFont(m_edit->document()->defaultFont());
  QTextCursor into(&copy);
  if (user.hasSelection()) {
    into.insertFragment(user.selection());
  } else {
    QTextCursor all(m_edit->document());
    all.select(QTextCursor::Document);
    into.insertFragment(all.selection());
  }
  copy.print(printer);
  return printer->printerState() == QPrinter::Error ? 0 : 1;
}

int CREdit::Length() const {
  return m_edit ? m_edit->document()->characterCount() - 1 : 0;
}

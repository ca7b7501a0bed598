// The text receive side of the station program: the receive window (CREdit) and the text
// receive page, offscreen.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QFile>
#include <QListWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <string>
#include <vector>

#include "app/views/qt/text_receive_view.h"
#include "app/views/text_capture.h"
#include "spl/platform/rich_text.h"
#include "spl/widgets/lamp.h"
#include "spl/widgets/rich_edit.h"
#include "tests/common/station_fixture.h"
#include "tests/ui/qt_app.h"

// Readable failures for Qt strings.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

constexpr int kLargeLimit = 100000;
const QColor kGreen(0, 128, 0);

void Feed(CREdit& edit, const std::string& bytes) {
  for (char c : bytes) edit.AppendChar(uint8_t(c));
}

std::string ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::string();
  const QByteArray data = file.readAll();
  return std::string(data.constData(), size_t(data.size()));
}

// A receive window of its own, shown so that it has a real scroll range.
struct Window {
  QTextEdit edit;
  CREdit receive;
  explicit Window(int limit = kLargeLimit) {
    TestApp();
    edit.resize(400, 200);
    edit.show();
    EXPECT_EQ(receive.Init(&edit, limit), 1);
  }
};

// A station core on a folder of its own, without receiver.
struct Station : stationtest::CTestStation {
  Station() { EXPECT_EQ(Init(), 1); }
  QString TextFolder() const { return QString::fromStdString(core.Settings().GetPath(kCfgTextFolder)); }
};

TEST(REdit, InitRefusesNullEditAndSmallLimit) {
  TestApp();
  QTextEdit edit;
  CREdit receive;
  EXPECT_EQ(receive.Init(nullptr, kLargeLimit), 0);
  EXPECT_EQ(receive.Init(&edit, kREditMinLimit - 1), 0);
  EXPECT_FALSE(edit.isReadOnly());
  // Without a window every operation is harmless.
  receive.AppendChar('A');
  receive.RemoveLastChar();
  EXPECT_EQ(receive.Length(), 0);
  EXPECT_EQ(receive.SaveText(QDir::temp().filePath("never.rtf")), 0);
  EXPECT_EQ(receive.Init(&edit, kREditMinLimit), 1);
  EXPECT_TRUE(edit.isReadOnly());
  EXPECT_TRUE(edit.font().fixedPitch());
}

TEST(REdit, LineBreaksAndBackspace) {
  Window w;
  Feed(w.receive, "A\r\nB");
  EXPECT_EQ(w.edit.toPlainText(), "A\nB");
  EXPECT_EQ(w.edit.document()->blockCount(), 2);
  Feed(w.receive, "\nC");  // a lone line feed still breaks
  EXPECT_EQ(w.edit.toPlainText(), "A\nB\nC");
  Feed(w.receive, "\r\r\n");  // two line breaks: only the LF right after a CR goes
  EXPECT_EQ(w.edit.toPlainText(), "A\nB\nC\n\n");
  Feed(w.receive, "\b\b");
  EXPECT_EQ(w.edit.toPlainText(), "A\nB\nC");
  Feed(w.receive, "\b");
  EXPECT_EQ(w.edit.toPlainText(), "A\nB\n");
  Feed(w.receive, std::string("x\x01\x1b\ty", 5));  // controls but tab are not shown
  EXPECT_EQ(w.edit.toPlainText(), "A\nB\nx\ty");
  EXPECT_EQ(w.receive.Length(), 7);
}

TEST(REdit, CarriageReturnIsRememberedPerWindow) {
  Window one, two;
  one.receive.AppendChar('\r');
  // The other window never saw that CR: its LF is a line break.
  two.receive.AppendChar('A');
  two.receive.AppendChar('\n');
  two.receive.AppendChar('B');
  EXPECT_EQ(two.edit.toPlainText(), "A\nB");
}

TEST(REdit, AppendingKeepsTheSelectionAndScrollPosition) {
  Window w;
  for (int i = 0; i < 200; ++i) Feed(w.receive, "LINE " + std::to_string(i) + " OF THE BULLETIN\r\n");
  QScrollBar* bar = w.edit.verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  QTextCursor selection(w.edit.document());
  selection.setPosition(300);
  selection.setPosition(340, QTextCursor::KeepAnchor);
  w.edit.setTextCursor(selection);
  const QString selected = w.edit.textCursor().selectedText();
  bar->setValue(bar->maximum() / 3);
  const int value = bar->value();

  for (int i = 0; i < 500; ++i) w.receive.AppendChar(i % 40 == 39 ? '\r' : 'A' + i % 26);

  EXPECT_EQ(w.edit.textCursor().anchor(), 300);
  EXPECT_EQ(w.edit.textCursor().position(), 340);
  EXPECT_EQ(w.edit.textCursor().selectedText(), selected);
  EXPECT_EQ(bar->value(), value);
}

TEST(REdit, ASelectionReachingTheEndDoesNotGrowAndAViewAtTheBottomFollows) {
  Window w;
  for (int i = 0; i < 100; ++i) Feed(w.receive, "SOME TEXT\r\n");
  Feed(w.receive, "SECOND LINE");
  QTextCursor selection(w.edit.document());
  selection.setPosition(w.edit.toPlainText().size() - 11);
  selection.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
  w.edit.setTextCursor(selection);
  QScrollBar* bar = w.edit.verticalScrollBar();
  bar->setValue(bar->maximum());
  const int before = bar->maximum();
  for (int i = 0; i < 50; ++i) Feed(w.receive, " AND MORE\r\n");
  EXPECT_EQ(w.edit.textCursor().selectedText(), "SECOND LINE");
  EXPECT_GT(bar->maximum(), before);
  EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(REdit, SizeLimitDropsOldLinesWhileTheCaptureKeepsTheMessage) {
  Station station;
  constexpr int kLimit = 2000;
  Window w(kLimit);
  long long reported = 0;
  int trims = 0;
  w.receive.SetTrimHandler([&](int removed) {
    reported += removed;
    ++trims;
  });

  std::string message = "ZCZC AB12\n";
  for (int i = 0; message.size() < 5000; ++i)
    message += "LINE " + std::to_string(i) + " QUICK BROWN FOX\n";
  message += "NNNN";
  std::string sent = "NOISE BEFORE\n" + message + "\nAFTER";
  std::string shown;  // what the window shows without its limit
  int longest = 0;
  for (size_t i = 0; i < sent.size(); ++i) {
    const char c = sent[i];
    if (c == '\n') {
      for (int ch : {13, 10}) {
        w.receive.AppendChar(ch);
        station.core.TextCapture().Char(ch);
      }
    } else {
      w.receive.AppendChar(uint8_t(c));
      station.core.TextCapture().Char(uint8_t(c));
    }
    shown += c;
    longest = std::max(longest, w.receive.Length());
  }

  EXPECT_LE(longest, kLimit - kREditLimitMargin + kREditCheckEvery);
  EXPECT_GT(trims, 0);
  EXPECT_EQ(reported, w.receive.TrimmedChars());
  // Only whole old lines went, from the start.
  ASSERT_EQ(w.receive.Length() + reported, (long long)shown.size());
  EXPECT_EQ(w.edit.toPlainText().toStdString(), shown.substr(size_t(reported)));
  EXPECT_EQ(shown[size_t(reported) - 1], '\n');

  const std::string saved = station.core.TextCapture().LastSaved();
  ASSERT_FALSE(saved.empty());
  std::vector<RichRun> runs;
  ASSERT_EQ(ReadRtf(ReadAll(QString::fromStdString(saved)), runs), 1);
  EXPECT_EQ(RichPlainText(runs), message);
}

TEST(REdit, TextWithoutLineBreaksShrinksToo) {
  constexpr int kLimit = 2000;
  Window w(kLimit);
  std::vector<int> removals;
  w.receive.SetTrimHandler([&](int removed) { removals.push_back(removed); });
  int longest = 0;
  std::string sent;
  for (int i = 0; i < 3000; ++i) {
    sent += char('A' + i % 26);
    w.receive.AppendChar(uint8_t(sent.back()));
    longest = std::max(longest, w.receive.Length());
  }
  EXPECT_LE(longest, kLimit - kREditLimitMargin + kREditCheckEvery);
  ASSERT_FALSE(removals.empty());
  for (int removed : removals) EXPECT_GE(removed, kLimit / 8);
  // The newest text is what stays.
  EXPECT_EQ(w.edit.toPlainText().toStdString(), sent.substr(size_t(w.receive.TrimmedChars())));
}

TEST(REdit, RtfSaveAndLoadKeepTextAndColours) {
  Window w;
  QTemporaryDir dir;
  Feed(w.receive, "WEATHER ");
  w.receive.AppendChar(0xE9);
  Feed(w.receive, "T\xE9\r\n");
  w.receive.AppendString("\r\rWIND NORTH 5 KNOTS", kGreen);
  EXPECT_EQ(w.edit.toPlainText(), QString::fromUtf8("WEATHER éTé\n\n\nWIND NORTH 5 KNOTS"));

  const QString path = dir.filePath("saved.RtF");
  ASSERT_EQ(w.receive.SaveText(path), 1);
  const std::string rtf = ReadAll(path);
  EXPECT_EQ(rtf.rfind("{\\rtf", 0), 0u);
  EXPECT_NE(rtf.find("\\'e9"), std::string::npos);
  std::vector<RichRun> runs;
  ASSERT_EQ(ReadRtf(rtf, runs), 1);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].colour, kSynopColour);

  Window loaded;
  ASSERT_EQ(loaded.receive.LoadText(path), 1);
  EXPECT_EQ(loaded.edit.toPlainText(), w.edit.toPlainText());
  QTextCursor inGreen(loaded.edit.document());
  inGreen.setPosition(loaded.edit.toPlainText().indexOf("NORTH") + 1);
  EXPECT_EQ(inGreen.charFormat().foreground().color(), kGreen);
  QTextCursor inBlack(loaded.edit.document());
  inBlack.setPosition(2);
  EXPECT_EQ(RgbFromColour(inBlack.charFormat().foreground().color()), 0u);
}

TEST(REdit, SavesTheSelectionOnlyAndPlainTextAsWindows1252) {
  Window w;
  QTemporaryDir dir;
  Feed(w.receive, "ONE T\xE9 TWO\r\nTHREE \x80");
  QTextCursor selection(w.edit.document());
  selection.setPosition(4);
  selection.setPosition(14, QTextCursor::KeepAnchor);
  w.edit.setTextCursor(selection);
  const QString plain = dir.filePath("selection.txt");
  ASSERT_EQ(w.receive.SaveText(plain), 1);
  EXPECT_EQ(ReadAll(plain), "T\xE9 TWO\r\nTHR");

  w.edit.setTextCursor(QTextCursor(w.edit.document()));
  ASSERT_EQ(w.receive.SaveText(plain), 1);
  EXPECT_EQ(ReadAll(plain), "ONE T\xE9 TWO\r\nTHREE \x80");
  Window loaded;
  ASSERT_EQ(loaded.receive.LoadText(plain), 1);
  EXPECT_EQ(loaded.edit.toPlainText(), QString::fromUtf8("ONE Té TWO\nTHREE €"));

  // What Windows-1252 lacks is written as '?'.
  loaded.receive.AppendString(QString::fromUtf8(" Ω"), Qt::black);
  ASSERT_EQ(loaded.receive.SaveText(plain), 1);
  EXPECT_EQ(ReadAll(plain), "ONE T\xE9 TWO\r\nTHREE \x80 ?");
}

TEST(REdit, LoadFailuresLeaveTheTextAlone) {
  Window w;
  QTemporaryDir dir;
  Feed(w.receive, "KEEP ME");
  EXPECT_EQ(w.receive.LoadText(dir.filePath("missing.txt")), 0);
  const QString bad = dir.filePath("bad.rtf");
  QFile file(bad);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("{\\rtf1 unbalanced {");
  file.close();
  EXPECT_EQ(w.receive.LoadText(bad), 0);
  EXPECT_EQ(w.edit.toPlainText(), "KEEP ME");
  EXPECT_EQ(w.receive.SaveText(dir.filePath("no/such/folder/x.rtf")), 0);
}

TEST(REdit, PrintsToPdf) {
  Window w;
  QTemporaryDir dir;
  for (int i = 0; i < 80; ++i) Feed(w.receive, "PRINTED LINE " + std::to_string(i) + "\r\n");
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  const QString path = dir.filePath("receive.pdf");
  printer.setOutputFileName(path);
  ASSERT_EQ(w.receive.PrintText(&printer), 1);
  const std::string pdf = ReadAll(path);
  ASSERT_GT(pdf.size(), 100u);
  EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
  EXPECT_EQ(w.receive.PrintText(nullptr), 0);
}

TEST(REdit, PandocReadsTheSavedRtf) {
  const QString pandoc = QStandardPaths::findExecutable("pandoc");
  if (pandoc.isEmpty()) GTEST_SKIP() << "pandoc is not installed";
  Window w;
  QTemporaryDir dir;
  Feed(w.receive, "ZCZC AB12\r\nGALE WARNING CAF\xC9 TEN\r\n");
  w.receive.AppendString("\r\rSTATION 10384 WIND 270 DEGREES", kGreen);
  Feed(w.receive, "\r\nNNNN");
  const QString path = dir.filePath("message.rtf");
  ASSERT_EQ(w.receive.SaveText(path), 1);
  QProcess run;
  run.start(pandoc, {"-f", "rtf", "-t", "plain", path});
  ASSERT_TRUE(run.waitForFinished(60000));
  ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
  const QStringList read =
      QString::fromUtf8(run.readAllStandardOutput()).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
  const QStringList written = w.edit.toPlainText().split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
  EXPECT_EQ(read, written);
}

TEST(TextReceiveView, RequesterListsSavedMessagesInCompactForm) {
  Station station;
  CTextReceiveView view(station.core);
  const QString folder = station.TextFolder();
  ASSERT_FALSE(folder.isEmpty());
  EXPECT_EQ(view.Requester()->count(), 0);
  const QString message = QDir(folder).filePath("RTTY_2026-01-02_03-04.RTF");
  for (const QString& name : {message, QDir(folder).filePath("notes.txt")}) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\\rtf1 x}");
  }
  view.MessageSaved(message.toStdString());
  ASSERT_EQ(view.Requester()->count(), 1);
  EXPECT_EQ(view.Requester()->item(0)->text(), "260102 03:04.RTF");
  EXPECT_EQ(view.Requester()->item(0)->data(Qt::UserRole).toString(),
            QFileInfo(message).absoluteFilePath());
}

TEST(TextReceiveView, ChangingTheFolderMovesSettingsCaptureAndList) {
  Station station;
  CTextReceiveView view(station.core);
  QTemporaryDir other;
  QFile file(QDir(other.path()).filePath("old.rtf"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  view.SetTextFolder(other.path());
  EXPECT_EQ(station.TextFolder(), other.path());
  ASSERT_EQ(view.Requester()->count(), 1);
  EXPECT_EQ(view.Requester()->item(0)->text(), "old.rtf");

  std::string text = "ZCZC AB12\r\nA MESSAGE LONG ENOUGH TO BE SAVED\r\nNNNN";
  for (char c : text) station.core.TextCapture().Char(uint8_t(c));
  ASSERT_FALSE(station.core.TextCapture().LastSaved().empty());
  EXPECT_EQ(QFileInfo(QString::fromStdString(station.core.TextCapture().LastSaved())).absolutePath(),
            QFileInfo(other.path()).absoluteFilePath());
}

TEST(TextReceiveView, AutosaveBoxSwitchesSettingAndCapture) {
  Station station;
  CTextReceiveView view(station.core);
  ASSERT_TRUE(view.Autosave()->isChecked());
  view.Autosave()->setChecked(false);
  EXPECT_EQ(station.core.Settings().GetInt(kCfgAutosave), 0);
  for (char c : std::string("ZCZC AB12 A MESSAGE LONG ENOUGH TO BE SAVED NNNN"))
    station.core.TextCapture().Char(uint8_t(c));
  EXPECT_TRUE(station.core.TextCapture().LastSaved().empty());
  EXPECT_TRUE(QDir(station.TextFolder()).entryList(QDir::Files).isEmpty());
  view.Autosave()->setChecked(true);
  EXPECT_EQ(station.core.Settings().GetInt(kCfgAutosave), 1);
}

TEST(TextReceiveView, ReceivedTextTakesTheSettingsColourAndSynopGreen) {
  Station station;
  station.core.Settings().SetInt(kCfgReceiveColour, 0x0000FF);  // red
  CTextReceiveView view(station.core);
  view.ReceivedChar('A');
  view.ReceivedChar(0xE9);
  view.ReceivedText("\r\rSYNOP", kSynopColour);
  view.PendingText("KES\xC9");  // a CW word not yet decided stays out of the text
  view.ReceivedChar('B');
  EXPECT_EQ(view.ReceiveEdit()->toPlainText(), QString::fromUtf8("Aé\n\nSYNOPB"));
  EXPECT_TRUE(view.PendingLabel()->text().startsWith(QString::fromUtf8("KESÉ")));
  view.PendingText("");
  EXPECT_TRUE(view.PendingLabel()->text().isEmpty());
  auto colourAt = [&](int position) {
    QTextCursor c(view.ReceiveEdit()->document());
    c.setPosition(position);
    return c.charFormat().foreground().color();
  };
  EXPECT_EQ(colourAt(1), QColor(255, 0, 0));
  EXPECT_EQ(colourAt(6), kGreen);
  EXPECT_EQ(colourAt(10), QColor(255, 0, 0));
}

TEST(TextReceiveView, SaveLampShowsAMessageAlreadyOpen) {
  Station station;
  for (char c : std::string("ZCZC")) station.core.TextCapture().Char(uint8_t(c));
  CTextReceiveView view(station.core);
  EXPECT_EQ(view.SaveLampWidget()->IsOn(), 1);
}

}  // namespace

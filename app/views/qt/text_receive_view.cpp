#include "app/views/qt/text_receive_view.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/core/station_core.h"
#include "app/views/text_capture.h"
#include "spl/widgets/lamp.h"

namespace {

constexpr char kWorkSheetFace[] = "Courier New";
constexpr char kRequesterHeading[] = "RTTY Text";
constexpr char kChangeFolderTitle[] = "Change the RttyText Directory";
constexpr char kRtfFilter[] = "RTF Textfiles (*.rtf)";
constexpr char kTextFilter[] = "RTF Textfiles (*.rtf);;Text files (*.txt);;All files (*)";
constexpr char kReceiveFileName[] = "RTTY_text.RTF";
const QColor kSaveLampColour(230, 40, 30);
constexpr int kQualityBarWidth = 120;

QPushButton* ToolButton(const QString& caption, const QString& tip, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setToolTip(tip);
  return button;
}

}  // namespace

CTextReceiveView::CTextReceiveView(CStationCore& core, QWidget* parent)
    : QWidget(parent), m_core(core) {
  // The received text has the whole room; the work sheet and the file list are a tab away.
  auto* tabs = new QTabWidget(this);
  tabs->addTab(MakeReceivePane(), tr("Received text"));
  tabs->addTab(MakeWorkSheetPane(), tr("Work sheet"));
  tabs->addTab(MakeRequesterPane(), QString::fromLatin1(kRequesterHeading));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tabs);
  SaveLamp(m_core.TextCapture().Capturing());
  RefreshRequester();
}

QWidget* CTextReceiveView::MakeReceivePane() {
  auto* pane = new QWidget(this);
  auto* row = new QHBoxLayout;
  m_autosave = new QCheckBox(tr("autosave"), pane);
  m_autosave->setToolTip(tr("atomatic Save on receive ZCZC - on/off"));
  m_autosave->setChecked(m_core.Settings().GetInt(kCfgAutosave) != 0);
  connect(m_autosave, &QCheckBox::toggled, this, [this](bool on) {
    m_core.Settings().SetInt(kCfgAutosave, on ? 1 : 0);
    m_core.TextCapture().SetAutosave(on ? 1 : 0);
  });
  m_saveLamp = new CLamp(tr("SAVE"), kSaveLampColour, pane);
  m_saveLamp->setObjectName(QStringLiteral("saveLamp"));
  m_saveLamp->setToolTip(tr("a message is being captured"));
  auto* load = ToolButton(tr("Load"), tr("load a text"), pane);
  auto* save = ToolButton(tr("Save"), tr("save the currend received text"), pane);
  auto* insert = ToolButton(tr("Insert"), tr("insert a new loded text"), pane);
  auto* clear = ToolButton(tr("Clear"), tr("delete the text and clear the area"), pane);
  connect(load, &QPushButton::clicked, this, [this] { LoadReceive(); });
  connect(save, &QPushButton::clicked, this, [this] { SaveReceive(); });
  connect(insert, &QPushButton::clicked, this, [this] { InsertIntoReceive(); });
  connect(clear, &QPushButton::clicked, this, [this] { m_receive.Clear(); });
  row->addWidget(m_autosave);
  row->addWidget(m_saveLamp);
  row->addWidget(load);
  row->addWidget(save);
  row->addWidget(insert);
  row->addWidget(clear);
  row->addStretch(1);
  auto* quality_label = new QLabel(tr("Quality"), pane);
  m_quality = new QProgressBar(pane);
  m_quality->setObjectName(QStringLiteral("quality"));
  m_quality->setRange(0, 100);
  m_quality->setFormat(QStringLiteral("%v"));
  m_quality->setMaximumWidth(kQualityBarWidth);
  m_quality->setToolTip(tr("how clearly the decoder receives: below its threshold nothing is "
                           "printed"));
  m_tuning = new QLabel(pane);
  m_tuning->setObjectName(QStringLiteral("tuning"));
  m_tuning->setToolTip(tr("where the decoder is tuned"));
  m_tuning->setMinimumWidth(m_tuning->fontMetrics().horizontalAdvance(QStringLiteral("8888 / 8888 Hz")));
  row->addWidget(quality_label);
  row->addWidget(m_quality);
  row->addWidget(m_tuning);

  m_receiveEdit = new QTextEdit(pane);
  m_receive.Init(m_receiveEdit, kTextLimit);
  // A slow sender's word takes seconds before it is decided: what has been heard of it so far
  // shows here, greyed, where the next text will appear.
  m_pending = new QLabel(pane);
  m_pending->setObjectName(QStringLiteral("pending"));
  m_pending->setToolTip(tr("the word being received, printed above once it is complete"));
  m_pending->setStyleSheet(QStringLiteral("color: gray; font-style: italic"));
  m_pending->setMinimumHeight(m_pending->fontMetrics().height());
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(row);
  layout->addWidget(m_receiveEdit, 1);
  layout->addWidget(m_pending);
  return pane;
}

QWidget* CTextReceiveView::MakeWorkSheetPane() {
  auto* pane = new QWidget(this);
  m_workSheet = new QTextEdit(pane);
  QFont font(QString::fromLatin1(kWorkSheetFace));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  m_workSheet->setFont(font);
  m_workSheet->document()->setDefaultFont(font);
  auto* tools = new QToolBar(pane);
  connect(tools->addAction(tr("Insert Text File")), &QAction::triggered, this,
          [this] { InsertIntoWorkSheet(); });
  connect(tools->addAction(tr("Save")), &QAction::triggered, this, [this] {
    if (m_workSheetPath.isEmpty())
      SaveWorkSheetAs();
    else
      SaveWorkSheet(m_workSheetPath);
  });
  connect(tools->addAction(tr("Save As...")), &QAction::triggered, this,
          [this] { SaveWorkSheetAs(); });
  connect(tools->addAction(tr("Clear")), &QAction::triggered, this, [this] {
    m_workSheet->clear();
    m_workSheetPath.clear();
  });
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tools);
  layout->addWidget(m_workSheet, 1);
  return pane;
}

QWidget* CTextReceiveView::MakeRequesterPane() {
  auto* pane = new QWidget(this);
  auto* heading = new QLabel(QString::fromLatin1(kRequesterHeading), pane);
  m_requester = new QListWidget(pane);
  connect(m_requester, &QListWidget::itemDoubleClicked, this, [](QListWidgetItem* item) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(item->data(Qt::UserRole).toString()));
  });
  auto* load = ToolButton(tr("Load"), tr("Load the selected entry"), pane);
  auto* remove = ToolButton(tr("Delete"), tr("Delete the selected entry"), pane);
  auto* rename = ToolButton(tr("Rename"), tr("Rename the selected entry"), pane);
  auto* refresh = ToolButton(tr("Refresh"), tr("Refresh the file list"), pane);
  auto* folder = ToolButton(tr("Folder..."), tr("Change the Image Directory"), pane);
  connect(load, &QPushButton::clicked, this, [this] { LoadSelected(); });
  connect(remove, &QPushButton::clicked, this, [this] { DeleteSelected(); });
  connect(rename, &QPushButton::clicked, this, [this] { RenameSelected(); });
  connect(refresh, &QPushButton::clicked, this, [this] { RefreshRequester(); });
  connect(folder, &QPushButton::clicked, this, [this] { ChangeFolder(); });
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {load, remove, rename, refresh, folder}) buttons->addWidget(b);
  buttons->addStretch(1);
  auto* list = new QVBoxLayout;
  list->addWidget(heading);
  list->addWidget(m_requester, 1);
  auto* layout = new QHBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(list, 1);
  layout->addLayout(buttons);
  return pane;
}

void CTextReceiveView::ReceivedChar(int ch) {
  m_receive.AppendChar(ch, ColourFromRgb(uint32_t(m_core.Settings().GetInt(kCfgReceiveColour))));
}

void CTextReceiveView::ReceivedText(const std::string& text, uint32_t colour) {
  m_receive.AppendString(FromWindows1252(text), ColourFromRgb(colour));
}

void CTextReceiveView::PendingText(const std::string& text) {
  m_pending->setText(text.empty() ? QString() : FromWindows1252(text) + QStringLiteral(" ..."));
}

void CTextReceiveView::SetQuality(int quality, const QString& tuning) {
  m_quality->setValue(quality);
  m_tuning->setText(tuning);
}

void CTextReceiveView::SaveLamp(int on) {
  m_saveLamp->SetOn(on);
}

void CTextReceiveView::MessageSaved(const std::string&) { RefreshRequester(); }

QString CTextReceiveView::TextFolder() const {
  return QString::fromStdString(m_core.Settings().GetPath(kCfgTextFolder));
}

void CTextReceiveView::SetTextFolder(const QString& folder) {
  const std::string path = folder.toStdString();
  m_core.Settings().SetPath(kCfgTextFolder, path);
  m_core.TextCapture().SetTextFolder(path);
  RefreshRequester();
}

void CTextReceiveView::RefreshRequester() {
  m_requester->clear();
  const QString folder = TextFolder();
  if (folder.isEmpty()) return;
  // Newest first: the names carry their date.
  const QFileInfoList files =
      QDir(folder).entryInfoList({QStringLiteral("*.rtf"), QStringLiteral("*.RTF")},
                                 QDir::Files, QDir::Name | QDir::Reversed);
  for (const QFileInfo& file : files) {
    auto* item = new QListWidgetItem(
        QString::fromStdString(CompactFileName(file.fileName().toStdString())), m_requester);
    item->setData(Qt::UserRole, file.absoluteFilePath());
    item->setToolTip(file.fileName());
  }
}

QString CTextReceiveView::SelectedFile() const {
  const QListWidgetItem* item = m_requester->currentItem();
  return item ? item->data(Qt::UserRole).toString() : QString();
}

void CTextReceiveView::LoadReceive() {
  const QString path = QFileDialog::getOpenFileName(this, tr("load a text"), TextFolder(),
                                                    QString::fromLatin1(kTextFilter));
  if (path.isEmpty()) return;
  if (!m_receive.LoadText(path))
    QMessageBox::warning(this, tr("load a text"), tr("%1 could not be read.").arg(path));
}

void CTextReceiveView::SaveReceive() {
  const QString path = QFileDialog::getSaveFileName(
      this, tr("save the currend received text"),
      QDir(TextFolder()).filePath(QString::fromLatin1(kReceiveFileName)),
      QString::fromLatin1(kTextFilter));
  if (path.isEmpty()) return;
  if (!m_receive.SaveText(path))
    QMessageBox::warning(this, tr("save the currend received text"),
                         tr("%1 could not be written.").arg(path));
  RefreshRequester();
}

void CTextReceiveView::InsertIntoReceive() {
  const QString path = QFileDialog::getOpenFileName(this, tr("insert a new loded text"),
                                                    TextFolder(), QString::fromLatin1(kTextFilter));
  if (path.isEmpty()) return;
  std::vector<RichRun> runs;
  if (!ReadRichFile(path, runs)) {
    QMessageBox::warning(this, tr("insert a new loded text"),
                         tr("%1 could not be read.").arg(path));
    return;
  }
  for (const RichRun& run : runs)
    m_receive.AppendString(FromWindows1252(run.text), ColourFromRgb(run.colour));
}

void CTextReceiveView::InsertIntoWorkSheet() {
  const QString path = QFileDialog::getOpenFileName(this, tr("Insert Text File"), TextFolder(),
                                                    QString::fromLatin1(kTextFilter));
  if (path.isEmpty()) return;
  std::vector<RichRun> runs;
  if (!ReadRichFile(path, runs)) {
    QMessageBox::warning(this, tr("Insert Text File"), tr("%1 could not be read.").arg(path));
    return;
  }
  QTextCursor at = m_workSheet->textCursor();
  InsertRichRuns(at, runs);
}

int CTextReceiveView::SaveWorkSheet(const QString& path) {
  RichFont font;
  font.face = kWorkSheetFace;
  const int saved = WriteRichFile(
      path, RichRunsOf(m_workSheet->document(), 0, m_workSheet->document()->characterCount() - 1),
      font);
  if (!saved) {
    QMessageBox::warning(this, tr("Save"), tr("%1 could not be written.").arg(path));
    return 0;
  }
  m_workSheetPath = path;
  RefreshRequester();
  return 1;
}

void CTextReceiveView::SaveWorkSheetAs() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Save As..."), TextFolder(),
                                                    QString::fromLatin1(kTextFilter));
  if (!path.isEmpty()) SaveWorkSheet(path);
}

void CTextReceiveView::LoadSelected() {
  const QString path = SelectedFile();
  if (path.isEmpty()) return;
  std::vector<RichRun> runs;
  if (!ReadRichFile(path, runs)) {
    QMessageBox::warning(this, tr("Load"), tr("%1 could not be read.").arg(path));
    return;
  }
  m_workSheet->clear();
  QTextCursor at(m_workSheet->document());
  InsertRichRuns(at, runs);
  m_workSheetPath = path;
}

void CTextReceiveView::DeleteSelected() {
  const QString path = SelectedFile();
  if (path.isEmpty()) return;
  if (QMessageBox::question(this, tr("Delete"),
                            tr("Delete %1?").arg(QFileInfo(path).fileName())) !=
      QMessageBox::Yes)
    return;
  if (!QFile::remove(path))
    QMessageBox::warning(this, tr("Delete"), tr("%1 could not be deleted.").arg(path));
  RefreshRequester();
}

void CTextReceiveView::RenameSelected() {
  const QString path = SelectedFile();
  if (path.isEmpty()) return;
  const QFileInfo file(path);
  bool ok = false;
  const QString name = QInputDialog::getText(this, tr("Rename"), tr("New name:"),
                                             QLineEdit::Normal, file.fileName(), &ok);
  if (!ok || name.isEmpty() || name == file.fileName()) return;
  // Renaming stays inside the text folder.
  if (name.contains(QLatin1Char('/'))) return;
  if (!QFile::rename(path, file.dir().filePath(name)))
    QMessageBox::warning(this, tr("Rename"), tr("%1 could not be renamed.").arg(path));
  RefreshRequester();
}

void CTextReceiveView::ChangeFolder() {
  const QString path = QFileDialog::getOpenFileName(this, QString::fromLatin1(kChangeFolderTitle),
                                                    TextFolder(), QString::fromLatin1(kRtfFilter));
  if (path.isEmpty()) return;
  SetTextFolder(QFileInfo(path).absolutePath());
}

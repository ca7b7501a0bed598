#include "app/ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QSplitter>
#include <QStatusBar>
#include <QStringList>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/lists/sat_basis.h"
#include "app/ui/audio_page.h"
#include "app/ui/decoder_pages.h"
#include "app/ui/freq_list_view.h"
#include "app/ui/list_page.h"
#include "app/ui/receiver_page.h"
#include "app/ui/receiver_panel.h"
#include "app/ui/sat_list_page.h"
#include "app/ui/scan_page.h"
#include "app/ui/timer_page.h"
#include "app/views/qt/colour_manipulator.h"
#include "app/views/qt/fax_receive_view.h"
#include "app/views/qt/sat_track_view.h"
#include "app/views/qt/sstv_receive_view.h"
#include "app/views/qt/text_receive_view.h"
#include "spl/widgets/dib_edit_view.h"
#include "spl/widgets/rich_edit.h"

namespace {

constexpr int kFirstPane = kPaneFrequency;
constexpr int kPlacementNumbers = 10;
constexpr int kMaximisedFlag = 2;
constexpr int kShowNormal = 1, kShowMaximised = 3;
constexpr int kMessagesKept = 50;
// The picture window's title and the profile section of its recent files ("Lumagraph_State").
constexpr const char* kPictureWindowTitle = "Lumagraph";
constexpr const char* kRightPageKey = "RightPage";  // the tab above the audio page last shown
constexpr const char* kResetQuestion = "Delete and Reset all parameters ?\n\nThen press OK";

// The decoder tool bar: one button per choice a listener makes most.
struct DecoderButton {
  const char* text;
  int code;
};
constexpr DecoderButton kDecoderButtons[] = {
    {"RTTY", kDecoderRtty},     {"SYNOP", kDecoderSynop}, {"NAVTEX", kDecoderNavtex},
    {"SITOR", kDecoderSitor},   {"CW", kDecoderCw},       {"BPSK31", kDecoderBpsk31},
    {"QPSK31", kDecoderQpsk31}, {"FAX", kDecoderFax},     {"SSTV", kDecoderSstv},
    {"AUDIO", kDecoderAudio}};

}  // namespace

CMainWindow::CMainWindow(CStationCore& core, QWidget* parent) : QMainWindow(parent), m_core(core) {
  setWindowTitle(kProgramTitle);
  const char* tips[] = {"receive frequency (kHz)", "receive mode", "decoder", "system state"};
  for (int i = 0; i < 4; ++i) {
    m_panes[i] = new QLabel(this);
    m_panes[i]->setToolTip(tips[i]);
    m_panes[i]->setMinimumWidth(i == 3 ? 150 : 90);
    m_panes[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addPermanentWidget(m_panes[i]);
  }
}

CMainWindow::~CMainWindow() = default;

void CMainWindow::CreatePages() {
  auto* left = new QWidget(this);
  auto* left_layout = new QVBoxLayout(left);
  left_layout->setContentsMargins(4, 4, 4, 4);
  m_receiver = new CReceiverPage(m_core, left);
  m_decoders = new CDecoderPages(m_core, left);
  left_layout->addWidget(m_receiver);
  left_layout->addWidget(m_decoders, 1);

  auto* right = new QSplitter(Qt::Vertical, this);
  // The received text stays the first tab; the lists share its place when asked for.
  m_tabs = new QTabWidget(right);
  m_tabs->setDocumentMode(true);
  m_tabs->tabBar()->setChangeCurrentOnDrag(true);  // a station dragged onto "Timer" opens it
  m_text = new CTextReceiveView(m_core, m_tabs);
  m_frqList = new CFreqListView(m_core);
  m_timer = new CTimerPage(m_core, m_tabs);
  m_channels = new CListPage(m_core, kChannelListKind, m_tabs);
  m_sats = new CSatListPage(m_core, m_tabs);
  m_scan = new CScanPage(m_core, m_tabs);
  m_tabs->addTab(m_text, "Receive");
  m_tabs->addTab(NewFreqListPage(m_frqList, m_tabs), "Frequency list");
  m_tabs->addTab(m_timer, "Timer");
  m_tabs->addTab(m_channels, "Channels");
  m_tabs->addTab(m_sats, "Satellites");
  m_tabs->addTab(m_scan, "Scanner");
  // The picture views come last: the profile keeps the open tab by its place.
  m_fax = new CFaxReceiveView(m_core, m_tabs);
  m_sstv = new CSstvReceiveView(m_core, m_tabs);
  m_tabs->addTab(m_fax, "FAX");
  m_tabs->addTab(m_sstv, "SSTV");
  m_fax->SetOpener([this](const QString& path) { OpenPicture(path); });
  m_sstv->SetOpener([this](const QString& path) { OpenPicture(path); });
  auto refresh = [this] {
    if (m_receiver) m_receiver->Refresh();
    if (m_decoders) m_decoders->Refresh();
  };
  auto notify = [this](const std::string& text) { ShowMessage(text); };
  m_frqList->SetApplied(refresh);
  m_frqList->SetNotify(notify);
  m_timer->SetApplied(refresh);
  m_timer->SetNotify(notify);
  m_channels->SetNotify(notify);
  m_sats->SetNotify(notify);
  // The generated timer list is shown at once, ready to be started.
  m_sats->SetGenerated([this] {
    m_timer->Load();
    m_tabs->setCurrentWidget(m_timer);
  });
  m_audio = new CAudioPage(m_core, right);
  right->addWidget(m_tabs);
  right->addWidget(m_audio);
  right->setStretchFactor(0, 3);
  right->setStretchFactor(1, 2);

  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(left);
  split->addWidget(right);
  split->setStretchFactor(1, 1);
  setCentralWidget(split);
  CreateMenus();
}

void CMainWindow::CreateMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  QAction* save = file->addAction("Save a Rtty Text File", [this] {
    const QString path = QFileDialog::getSaveFileName(
        this, "Save a Rtty Text File", QString::fromStdString(m_core.Settings().GetPath(kCfgTextFolder)),
        "RTF Textfiles (*.rtf);;Text files (*.txt)");
    if (!path.isEmpty() && !m_text->Receive().SaveText(path)) ShowMessage("cannot save " + path.toStdString());
  });
  save->setShortcut(QKeySequence::Save);
  file->addAction("Print...", [this] {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) m_text->PrintReceive(&printer);
  });
  file->addSeparator();
  file->addAction("Reset all parameters...", [this] { AskResetAll(); });
  file->addSeparator();
  file->addAction("E&xit", [this] { close(); })->setShortcut(QKeySequence::Quit);

  QMenu* decoders = menuBar()->addMenu("&Decoder");
  QToolBar* bar = addToolBar("Decoders");
  bar->setObjectName("KESTREL");
  for (const DecoderButton& b : kDecoderButtons) {
    QAction* a = decoders->addAction(b.text, [this, code = b.code] {
      m_core.SelectDecoder(code);
      if (m_decoders) m_decoders->Refresh();
    });
    bar->addAction(a);
  }
  QMenu* receiver = menuBar()->addMenu("&Receiver");
  receiver->addAction("Control panel", [this] { OpenReceiverPanel(); })->setShortcut(QKeySequence("Ctrl+R"));

  QMenu* lists = menuBar()->addMenu("&Lists");
  lists->addAction("Received text", [this] { m_tabs->setCurrentWidget(m_text); });
  lists->addAction("Frequency list", [this] { m_tabs->setCurrentWidget(m_frqList->parentWidget()); })
      ->setShortcut(QKeySequence("Ctrl+L"));
  lists->addAction("Timer list", [this] { m_tabs->setCurrentWidget(m_timer); })->setShortcut(QKeySequence("Ctrl+T"));
  lists->addAction("Channel scan list", [this] { m_tabs->setCurrentWidget(m_channels); });
  lists->addAction("Satellite basis list", [this] { m_tabs->setCurrentWidget(m_sats); });
  lists->addAction("Scanner", [this] { m_tabs->setCurrentWidget(m_scan); });
  lists->addSeparator();
  lists->addAction("Satellite tracking", [this] { OpenSatTrack(); })->setShortcut(QKeySequence("Ctrl+M"));
  lists->addSeparator();
  for (QAction* a : m_frqList->Actions()) lists->addAction(a);

  QMenu* help = menuBar()->addMenu("&Help");
  help->addAction("About", [this] {
    QMessageBox::about(this, kProgramTitle,
                       "Kestrel: a receiving station for radio listeners.\n"
                       "Receiver control, RTTY, SITOR-B, NAVTEX, SYNOP, CW, PSK31, weather fax and SSTV.");
  });
}

QLabel* CMainWindow::Pane(int pane) const {
  const int i = pane - kFirstPane;
  return i >= 0 && i < 4 ? m_panes[i] : nullptr;
}

QString CMainWindow::PaneText(int pane) const {
  QLabel* l = Pane(pane);
  return l ? l->text() : QString();
}

void CMainWindow::ShowMessage(const std::string& text) {
  m_messages.push_back(text);
  if (int(m_messages.size()) > kMessagesKept) m_messages.erase(m_messages.begin());
  statusBar()->showMessage(QString::fromStdString(text), 10000);
  if (m_quiet) return;
  // Not modal: the station keeps receiving while the message is read.
  auto* box = new QMessageBox(QMessageBox::Warning, kProgramTitle, QString::fromStdString(text),
                              QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void CMainWindow::StatusPane(int pane, const std::string& text) {
  if (QLabel* l = Pane(pane)) l->setText(QString::fromStdString(text));
  if (pane == kPaneDecoder) ShowReceiveView();  // the decoder changed
}

void CMainWindow::ReceivedChar(int ch) {
  if (m_text) m_text->ReceivedChar(ch);
}

void CMainWindow::ReceivedText(const std::string& text, uint32_t colour) {
  if (m_text) m_text->ReceivedText(text, colour);
}

void CMainWindow::PendingText(const std::string& text) {
  if (m_text) m_text->PendingText(text);
}

void CMainWindow::SaveLamp(int on) {
  if (m_text) m_text->SaveLamp(on);
}

void CMainWindow::Display(int kind, const AudioBlock* block, int wParam) {
  if (m_audio) m_audio->Display(kind, block, wParam);
}

void CMainWindow::ReceiverChanged() {
  if (m_receiver) m_receiver->Refresh();
  setWindowTitle(QString("%1 - %2").arg(kProgramTitle).arg(QString::fromStdString(
      m_core.Settings().GetString(kCfgReceiverName, kCfgReceiverNameSize))));
}

// The reader thread only stores the value and asks the UI thread to show it.
void CMainWindow::SMeter(int value) {
  if (m_smeter.exchange(value) == value) return;
  QMetaObject::invokeMethod(this, [this] {
    if (m_receiver) m_receiver->SetSMeter(m_smeter.load());
  }, Qt::QueuedConnection);
}

void CMainWindow::Squelch(int open) {
  if (m_squelch.exchange(open) == open) return;
  QMetaObject::invokeMethod(this, [this] {
    if (m_receiver) m_receiver->SetSquelchLamp(m_squelch.load());
  }, Qt::QueuedConnection);
}

void CMainWindow::AudioSquelch(int open) {
  if (m_audio) m_audio->AudioSquelch(open);
}

void CMainWindow::DecoderQuality(int quality, const std::string& tuning) {
  if (m_text) m_text->SetQuality(quality, QString::fromStdString(tuning));
}

void CMainWindow::FaxLine(const uint8_t* gray, int width, int sync) {
  if (m_fax) m_fax->FaxLine(gray, width, sync);
}

void CMainWindow::SstvLine(int y) {
  if (m_sstv) m_sstv->SstvLine(y);
}

void CMainWindow::ProductSaved(StationProduct kind, const std::string& path) {
  statusBar()->showMessage(QString("saved %1").arg(QString::fromStdString(path)), 10000);
  if (kind == kProductText && m_text) m_text->MessageSaved(path);
  if (kind == kProductFax && m_fax) m_fax->PictureSaved();
  if (kind == kProductSstv && m_sstv) m_sstv->PictureSaved();
}

void CMainWindow::ShowReceiveView() {
  if (!m_tabs) return;
  QWidget* current = m_tabs->currentWidget();
  if (current != m_text && current != m_fax && current != m_sstv) return;
  const int decoder = m_core.Decoder();
  m_tabs->setCurrentWidget(decoder == kDecoderFax    ? static_cast<QWidget*>(m_fax)
                           : decoder == kDecoderSstv ? static_cast<QWidget*>(m_sstv)
                           : decoder == kDecoderAudio ? current
                                                      : static_cast<QWidget*>(m_text));
}

CDibEditView* CMainWindow::OpenPicture(const QString& path) {
  if (!m_pictures) {
    m_pictures = new CDibEditView(this);
    m_pictures->setWindowFlag(Qt::Window);
    m_pictures->setAttribute(Qt::WA_DeleteOnClose);
    CProfileFile& profile = m_core.Profile();
    m_pictures->Init(
        kPictureWindowTitle,
        [&profile](const std::string& section, const std::string& key) {
          return profile.GetString(section, key, "");
        },
        [&profile](const std::string& section, const std::string& key, const std::string& value) {
          profile.SetString(section, key, value);
        });
    QMenu* colours = m_pictures->menuBar()->addMenu("&Colours");
    colours->addAction("Color &manipulator...", m_pictures, [this] {
      const QString file = QString::fromStdString(m_pictures->Engine().FileName());
      if (file.isEmpty()) return;
      CColourManipulator dialog(file, [this, file] { m_pictures->OpenFile(file); }, m_pictures);
      dialog.exec();
    });
  }
  m_pictures->OpenFile(path);
  m_pictures->show();
  m_pictures->raise();
  m_pictures->activateWindow();
  return m_pictures;
}

CDibEditView* CMainWindow::PictureWindow() const { return m_pictures; }

CSatTrackView* CMainWindow::OpenSatTrack() {
  if (!m_track) {
    m_track = new CSatTrackView(m_core.Profile(), this);
    m_track->setWindowFlag(Qt::Window);
    m_track->setAttribute(Qt::WA_DeleteOnClose);
    m_track->resize(1100, 620);
  }
  // The element sets and the observer as the satellite list page keeps them, read anew.
  CSatBasis basis;
  if (basis.Init(m_core.Settings().GetPath(kCfgDataFolder))) basis.LoadElements();
  m_track->SetElements(basis.Elements());
  if (basis.Elements().empty())
    statusBar()->showMessage(QString("no element sets in %1").arg(QString::fromStdString(basis.ElementPath())), 10000);
  const SatObserverSettings o = ReadSatObserver(m_core.Profile());
  int y = 0, x = 0;
  if (CheckObserverLocator(o.locator, y, x, nullptr)) m_track->SetObserver(y, x, o.height, o.minElevation);
  m_track->show();
  m_track->raise();
  return m_track;
}

void CMainWindow::RecorderLevel(long long bytes, double percent) {
  if (m_audio) m_audio->RecorderLevel(bytes, percent);
}

void CMainWindow::PlayerPosition(int decoding, long long position, long long length) {
  if (m_audio) m_audio->PlayerPosition(decoding, position, length);
}

void CMainWindow::ScanValue(int column, int line, float kHz, int smeter, int audio) {
  if (m_scan) m_scan->ScanValue(column, line, kHz, smeter, audio);
}

void CMainWindow::ScanLineFinished(int line) {
  if (m_scan) m_scan->ScanLineFinished(line);
}

void CMainWindow::ScanHold(const ScanEvent& event, int on) {
  if (m_scan) m_scan->ScanHold(event, on);
}

void CMainWindow::ScanTuned(float kHz) {
  if (m_scan) m_scan->ScanTuned(kHz);
}

void CMainWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (!(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
    m_normal = geometry();
}

void CMainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (!(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
    m_normal = geometry();
}

QString CMainWindow::PlacementText() const {
  const QRect r = m_normal.isValid() ? m_normal : geometry();
  const bool maximised = isMaximized();
  return QString("%1,%2,%3,%4,%5,%6,%7,%8,%9,%10")
      .arg(maximised ? kMaximisedFlag : 0)
      .arg(maximised ? kShowMaximised : kShowNormal)
      .arg(-1).arg(-1).arg(-1).arg(-1)
      .arg(r.left()).arg(r.top()).arg(r.right() + 1).arg(r.bottom() + 1);
}

void CMainWindow::RestorePlacement() {
  // The lists read their column widths, order and tab from the profile, read by the start.
  if (m_frqList && !m_listsOpen) {
    m_listsOpen = true;
    m_frqList->Init();
    m_timer->Init();
    m_channels->Init();
    m_sats->Init();
    const int page = m_core.Profile().GetInt("Settings", kRightPageKey, 0);
    m_tabs->setCurrentIndex(page >= 0 && page < m_tabs->count() ? page : 0);
    ShowReceiveView();  // a receive view on top shows the decoder's own
    connect(m_tabs, &QTabWidget::currentChanged, this,
            [this](int index) { m_core.Profile().SetInt("Settings", kRightPageKey, index); });
  }
  const QStringList parts =
      QString::fromStdString(m_core.Profile().GetString("Settings", "WindowPos", "")).split(',');
  bool ok = parts.size() == kPlacementNumbers;
  int n[kPlacementNumbers] = {};
  for (int i = 0; ok && i < kPlacementNumbers; ++i) n[i] = parts[i].trimmed().toInt(&ok);
  if (!ok || n[8] <= n[6] || n[9] <= n[7]) {
    // Without a window manager "maximised" changes nothing: start at the screen's size.
    if (const QScreen* s = screen()) setGeometry(s->availableGeometry());
    showMaximized();
    return;
  }
  m_normal = QRect(n[6], n[7], n[8] - n[6], n[9] - n[7]);
  setGeometry(m_normal);
  if ((n[0] & kMaximisedFlag) || n[1] == kShowMaximised) showMaximized();
  else show();
}

void CMainWindow::AskResetAll() {
  if (QMessageBox::question(this, kProgramTitle, kResetQuestion, QMessageBox::Ok | QMessageBox::Cancel) !=
      QMessageBox::Ok)
    return;
  m_core.ResetAll();
  if (m_decoders) m_decoders->Refresh();
  if (m_audio) m_audio->Refresh();
}

void CMainWindow::OpenReceiverPanel() {
  if (m_panel) {
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
    return;
  }
  auto* panel = new CPCR1000Modul(m_core, this);
  panel->setAttribute(Qt::WA_DeleteOnClose);
  if (!panel->Init(std::string())) {  // the station's own receiver
    QMessageBox::warning(this, panel->windowTitle(), panel->LastError());
    delete panel;
    return;
  }
  m_panel = panel;
}

CPCR1000Modul* CMainWindow::ReceiverPanel() const { return m_panel; }

void CMainWindow::closeEvent(QCloseEvent* event) {
  if (m_panel) m_panel->close();  // it keeps its state before the station stops
  if (!m_closed) {
    m_closed = true;
    m_core.Profile().SetString("Settings", "WindowPos", PlacementText().toStdString());
    if (m_onClose) m_onClose();
  }
  event->accept();
}

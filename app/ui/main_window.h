// CMainWindow: the station's main window. It shows the station core (CStationUi): the
// receiver page and the decoder pages on the left, the text receive view (the frequency
// list, the timer list, the channel scan list, the satellite basis list and the scanner on
// tabs beside it) above the audio page
// (waterfall, scopes, recorder, players) on the right, the decoder tool bar and menus, and
// the status bar panes (receive frequency, mode, decoder name, system state). It only wires
// widgets to the core; the core holds every setting.
#pragma once
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <atomic>
#include <string>
#include <vector>

#include "app/core/station_core.h"
#include "app/core/station_ui.h"

class CReceiverPage;
class CDecoderPages;
class CTextReceiveView;
class CFaxReceiveView;
class CSstvReceiveView;
class CAudioPage;
class CFreqListView;
class CTimerPage;
class CListPage;
class CSatListPage;
class CScanPage;
class CPCR1000Modul;
class CDibEditView;
class CSatTrackView;
class QTabWidget;

// The program title; the main window's title is the receiver's name beside it.
constexpr const char* kProgramTitle = "Kestrel 5.0";

class CMainWindow : public QMainWindow, public CStationUi {
 public:
  explicit CMainWindow(CStationCore& core, QWidget* parent = nullptr);
  ~CMainWindow() override;

  // Builds the pages (after core.Init, before core.Start: they read the settings).
  void CreatePages();
  // Opens the frequency and timer lists (first call), then applies "Settings"/"WindowPos"
  // from the profile (ten numbers), else shows maximised.
  void RestorePlacement();
  // The placement as the profile keeps it.
  QString PlacementText() const;
  // The rectangle of the window when it is neither maximised nor minimised.
  QRect NormalRect() const { return m_normal; }
  // Asks, then resets every setting to its default.
  void AskResetAll();
  // Shows the receiver control panel (made on the first call; it drives the station's
  // receiver).
  void OpenReceiverPanel();
  CPCR1000Modul* ReceiverPanel() const;
  // Shows a picture file in the picture window (made on the first call) and returns it.
  CDibEditView* OpenPicture(const QString& path);
  CDibEditView* PictureWindow() const;
  // Shows the satellite tracking window (made on the first call) with the element sets of the
  // data folder and the observer of the satellite list page.
  CSatTrackView* OpenSatTrack();

  // CStationUi.
  void ShowMessage(const std::string& text) override;
  void StatusPane(int pane, const std::string& text) override;
  void ReceivedChar(int ch) override;
  void ReceivedText(const std::string& text, uint32_t colour) override;
  void PendingText(const std::string& text) override;
  void SaveLamp(int on) override;
  void Display(int kind, const AudioBlock* block, int wParam) override;
  void ReceiverChanged() override;
  void SMeter(int value) override;
  void Squelch(int open) override;
  void AudioSquelch(int open) override;
  void DecoderQuality(int quality, const std::string& tuning) override;
  void FaxLine(const uint8_t* gray, int width, int sync) override;
  void SstvLine(int y) override;
  void ProductSaved(StationProduct kind, const std::string& path) override;
  void RecorderLevel(long long bytes, double percent) override;
  void PlayerPosition(int decoding, long long position, long long length) override;
  void ScanValue(int column, int line, float kHz, int smeter, int audio) override;
  void ScanLineFinished(int line) override;
  void ScanHold(const ScanEvent& event, int on) override;
  void ScanTuned(float kHz) override;

  CReceiverPage* ReceiverPage() const { return m_receiver; }
  CDecoderPages* DecoderPages() const { return m_decoders; }
  CTextReceiveView* TextView() const { return m_text; }
  CFaxReceiveView* FaxView() const { return m_fax; }
  CSstvReceiveView* SstvView() const { return m_sstv; }
  CAudioPage* AudioPage() const { return m_audio; }
  CFreqListView* FreqList() const { return m_frqList; }
  CTimerPage* TimerPage() const { return m_timer; }
  CListPage* ChannelListPage() const { return m_channels; }
  CSatListPage* SatListPage() const { return m_sats; }
  CScanPage* ScanPage() const { return m_scan; }
  // The tabs above the audio page: received text (first), frequency list, timer list,
  // channel scan list, satellite basis list, scanner, FAX and SSTV pictures.
  QTabWidget* RightTabs() const { return m_tabs; }
  QString PaneText(int pane) const;
  // Messages shown so far (the last few), for the tests and the log of the session.
  const std::vector<std::string>& Messages() const { return m_messages; }
  // Called when the window closes: placement into the profile, then the core shuts down.
  void SetCloseHandler(std::function<void()> handler) { m_onClose = std::move(handler); }
  // While starting, messages are kept (the start-up reports the failure itself).
  void SetQuietMessages(bool quiet) { m_quiet = quiet; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateMenus();
  // Shows the receive view of the decoder's group when a receive view is on top.
  void ShowReceiveView();
  QLabel* Pane(int pane) const;

  CStationCore& m_core;
  CReceiverPage* m_receiver = nullptr;
  CDecoderPages* m_decoders = nullptr;
  CTextReceiveView* m_text = nullptr;
  CFaxReceiveView* m_fax = nullptr;
  CSstvReceiveView* m_sstv = nullptr;
  CAudioPage* m_audio = nullptr;
  CFreqListView* m_frqList = nullptr;
  CTimerPage* m_timer = nullptr;
  CListPage* m_channels = nullptr;
  CSatListPage* m_sats = nullptr;
  CScanPage* m_scan = nullptr;
  QPointer<CPCR1000Modul> m_panel;
  QPointer<CDibEditView> m_pictures;
  QPointer<CSatTrackView> m_track;
  QTabWidget* m_tabs = nullptr;
  bool m_listsOpen = false;  // the lists are opened once, when the placement is restored
  QLabel* m_panes[4] = {};  // frequency, mode, decoder, state
  std::atomic<int> m_smeter{0}, m_squelch{0};
  std::vector<std::string> m_messages;
  std::function<void()> m_onClose;
  bool m_quiet = false;
  bool m_closed = false;
  QRect m_normal;  // kept here: not every platform reports it while maximised
};

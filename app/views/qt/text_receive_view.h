// CTextReceiveView: the text receive page of the main window. On top, the receive window that
// every decoded character and SYNOP translation goes to, with its tool row (autosave of
// "ZCZC" ... "NNNN" messages, the SAVE lamp lit while one is captured, load, save, insert and
// clear); below, the work sheet (an editable text for composing and loading) and the text load
// requester (the RTF files of the text folder). The message capture itself is the core's
// CTextCapture; this page only shows and commands.
#pragma once
#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>

#include "spl/widgets/rich_edit.h"

class CLamp;
class CStationCore;
class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPrinter;
class QTextEdit;

class CTextReceiveView : public QWidget {
 public:
  explicit CTextReceiveView(CStationCore& core, QWidget* parent = nullptr);
  CTextReceiveView(const CTextReceiveView&) = delete;
  CTextReceiveView& operator=(const CTextReceiveView&) = delete;

  // A decoder byte (Windows-1252) in the received-text colour of the settings.
  void ReceivedChar(int ch);
  // A text (Windows-1252) in a colour (0x00BBGGRR): the SYNOP translations.
  void ReceivedText(const std::string& text, uint32_t colour);
  // The word the CW decoder is still reading (Windows-1252), shown under the received text
  // until it is decided and printed; "" clears it.
  void PendingText(const std::string& text);
  void SaveLamp(int on);
  // The decoder's reception quality (0 ... 100) and where it is tuned.
  void SetQuality(int quality, const QString& tuning);
  // A message was saved: the requester lists it.
  void MessageSaved(const std::string& path);

  // Makes folder the text folder (settings and capture) and lists its files.
  void SetTextFolder(const QString& folder);
  // Lists the RTF files of the text folder again.
  void RefreshRequester();

  CREdit& Receive() { return m_receive; }
  QTextEdit* ReceiveEdit() const { return m_receiveEdit; }
  QTextEdit* WorkSheet() const { return m_workSheet; }
  QListWidget* Requester() const { return m_requester; }
  QCheckBox* Autosave() const { return m_autosave; }
  CLamp* SaveLampWidget() const { return m_saveLamp; }
  QProgressBar* QualityBar() const { return m_quality; }
  QLabel* TuningLabel() const { return m_tuning; }
  QLabel* PendingLabel() const { return m_pending; }
  int PrintReceive(QPrinter* printer) { return m_receive.PrintText(printer); }

 private:
  QWidget* MakeReceivePane();
  QWidget* MakeWorkSheetPane();
  QWidget* MakeRequesterPane();
  QString TextFolder() const;
  QString SelectedFile() const;
  // The receive page buttons.
  void LoadReceive();
  void SaveReceive();
  void InsertIntoReceive();
  // The work sheet's commands.
  void InsertIntoWorkSheet();
  int SaveWorkSheet(const QString& path);
  void SaveWorkSheetAs();
  // The requester's commands.
  void LoadSelected();
  void DeleteSelected();
  void RenameSelected();
  void ChangeFolder();

  CStationCore& m_core;
  CREdit m_receive;
  QTextEdit* m_receiveEdit = nullptr;
  QCheckBox* m_autosave = nullptr;
  CLamp* m_saveLamp = nullptr;
  QProgressBar* m_quality = nullptr;
  QLabel* m_tuning = nullptr;
  QLabel* m_pending = nullptr;
  QTextEdit* m_workSheet = nullptr;
  QString m_workSheetPath;
  QListWidget* m_requester = nullptr;
};

// CFaxReceiveView: the weather-FAX receive view. Lines from the decoder build up the live
// preview (480 x 256, a row for every W/480 lines) and the 1:1 store of the last 2560 lines;
// the view offers "Save this now", the automatic saving and vertical mirror switches, the
// automatic synchronisation, and the list of saved FAX pictures, which open in the picture
// window. The station core saves the pictures themselves (start tone to stop tone).
#pragma once
#include <QImage>
#include <QWidget>
#include <functional>

#include "app/views/fax_store.h"

class CStationCore;
class CPicturePane;
class CPictureFileList;
class QCheckBox;
class QLabel;
class QTabWidget;

class CFaxReceiveView : public QWidget {
 public:
  explicit CFaxReceiveView(CStationCore& core, QWidget* parent = nullptr);

  // A line from the decoder (see CStationUi::FaxLine).
  void FaxLine(const uint8_t* gray, int width, int sync);
  // A picture was saved: the list shows it.
  void PictureSaved();
  // Saves what the store holds now; 1, or 0 (the user was told why).
  int SaveNow();
  // Arms the automatic synchronisation (also when a wave file starts into the decoder).
  void ArmSync() { m_store.ArmSync(); }
  void SetOpener(std::function<void(const QString&)> open);
  // Lists the pictures of the fax folder again (after the folder changed).
  void Refresh();

  const CFaxStore& Store() const { return m_store; }
  CPictureFileList* Files() const { return m_files; }
  CPicturePane* Preview() const { return m_preview; }
  CPicturePane* Live() const { return m_live; }

 private:
  void Rebuild(int width);
  void SetMirror(bool on);

  CStationCore& m_core;
  CFaxStore m_store;
  CPicturePane* m_preview = nullptr;
  CPicturePane* m_live = nullptr;
  CPictureFileList* m_files = nullptr;
  QLabel* m_size = nullptr;
  QCheckBox* m_autosave = nullptr;
  QCheckBox* m_mirror = nullptr;
  bool m_fileDecoding = false;  // the lines came from a wave file at the last line
};

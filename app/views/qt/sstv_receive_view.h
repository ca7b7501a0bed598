// CSstvReceiveView: the SSTV receive view. The picture builds up line by line, shown at 3:1
// (or 1:1, 2:1); "Save this now" and the automatic saving at the end of a picture, and the
// list of saved SSTV pictures, which open in the picture window.
#pragma once
#include <QImage>
#include <QWidget>
#include <functional>

class CStationCore;
class CPicturePane;
class CPictureFileList;
class QCheckBox;
class QComboBox;

class CSstvReceiveView : public QWidget {
 public:
  explicit CSstvReceiveView(CStationCore& core, QWidget* parent = nullptr);

  // Line y of the core's SSTV picture was drawn.
  void SstvLine(int y);
  void PictureSaved();
  void SetOpener(std::function<void(const QString&)> open);
  void Refresh();

  CPicturePane* Picture() const { return m_picture; }
  CPictureFileList* Files() const { return m_files; }

 private:
  CStationCore& m_core;
  QImage m_image;  // a copy of the decoder's picture, top row first
  CPicturePane* m_picture = nullptr;
  CPictureFileList* m_files = nullptr;
  QComboBox* m_zoom = nullptr;
  QCheckBox* m_autosave = nullptr;
};

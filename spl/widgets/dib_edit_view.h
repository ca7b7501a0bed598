// CDibEditView: the picture window around the picture editor's engine (CDibEdit). It shows
// the picture zoomed and scrolled, offers every edit from its menus with the dialogs they
// need and a progress dialog for the long ones, and has the three mouse modes of received
// pictures: "Sync" (a click on the phasing edge makes it the left border), "Slant" (two
// clicks along an edge that should be vertical) and "Cut" (a frame dragged, moved and then
// cropped to). Right button or Escape leaves a mode.
#pragma once
#include <QImage>
#include <QMainWindow>
#include <QRect>
#include <functional>
#include <string>

#include "spl/image/dib_edit.h"

class QAction;
class QLabel;
class QMenu;
class QScrollArea;
class CDibEditCanvas;

class CDibEditView : public QMainWindow {
 public:
  enum MouseMode { kModeNone, kModeSync, kModeSlant, kModeCut };

  explicit CDibEditView(QWidget* parent = nullptr);
  ~CDibEditView() override;
  // Sets the engine up; title names the window and its profile section. read and write,
  // when given, keep the recent files ("<title>_State", File1 ... File4).
  int Init(const std::string& title, ProfileRead read = nullptr, ProfileWrite write = nullptr);
  // Loads a picture file; a failure is shown and leaves the window empty. 1 or 0.
  int OpenFile(const QString& path);
  // Saves through the engine, the format by extension; a failure is shown. 1 or 0.
  int SaveFile(const QString& path, int gray = 0, int reduce = 0);
  CDibEdit& Engine() { return m_edit; }

  // Runs an edit of the engine (with the wait cursor and the progress dialog) and shows the
  // result; the edit's own 1 or 0.
  int Run(const std::function<int(CDibEdit&)>& edit);

  // Mouse modes (also from the menus).
  void SetMouseMode(MouseMode mode);
  MouseMode Mode() const { return m_mode; }
  // The cut frame in picture coordinates (empty without one), and cropping to it.
  QRect CutFrame() const { return m_frame; }
  void SetCutFrame(const QRect& frame);
  int CropToFrame();
  void SetZoom(float zoom);

  // The canvas's mouse and key input, in window (canvas) coordinates.
  void CanvasPress(const QPoint& at, Qt::MouseButton button);
  void CanvasMove(const QPoint& at);
  void CanvasRelease(const QPoint& at, Qt::MouseButton button);
  void CanvasKey();
  // What the canvas draws over the picture: the sync line, the slant line or cross-hair,
  // the cut frame (canvas coordinates; empty when none).
  QLine Marker() const;
  QRect FrameOnCanvas() const;
  const QImage& Shown() const { return m_image; }
  CDibEditCanvas* Canvas() const { return m_canvas; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void ShowPicture();
  void UpdateActions();
  void FillRecent();
  QPoint ToPicture(const QPoint& canvas) const;
  QPoint ToCanvas(const QPoint& picture) const;
  void AskSaveAs();
  void AskLevel(const QString& title, int min, int max, const std::function<int(CDibEdit&, int)>& edit);
  void AskResize();
  void AskModul();
  void Print();
  void OpenRecent(int index);

  CDibEdit m_edit;
  std::string m_title;
  ProfileRead m_read;
  ProfileWrite m_write;
  QImage m_image;  // the engine's picture, top row first
  CDibEditCanvas* m_canvas = nullptr;
  QScrollArea* m_scroll = nullptr;
  QLabel* m_size = nullptr;
  QMenu* m_recent = nullptr;
  QAction* m_undo = nullptr;
  QAction* m_redo = nullptr;
  QAction* m_cut = nullptr;
  QAction* m_crop = nullptr;
  MouseMode m_mode = kModeNone;
  QPoint m_mouse;       // last mouse position on the canvas
  QPoint m_first;       // slant: the first point (canvas), valid while m_haveFirst
  bool m_haveFirst = false;
  QRect m_frame;        // cut frame, picture coordinates
  QPoint m_dragFrom;    // cut: where a drag began (picture coordinates)
  bool m_dragging = false, m_moving = false;
};

#include "spl/widgets/dib_edit_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kColourBits = 24;
constexpr float kZoomSteps[] = {0.25f, 0.5f, 1.0f, 2.0f, 3.0f, 4.0f};
constexpr int kLevelRange = 20;            // brightness and contrast steps each way
constexpr int kMaxSide = kMaxBitmapSide;   // resize limit
constexpr double kDefaultIoc = 576, kDefaultRpm = 120, kHalfIoc = 288;
constexpr double kMaxIoc = 2000, kMaxRpm = 1000;
// File dialog choices: what SaveWorkFile gets for each.
struct SaveChoice {
  const char* filter;
  const char* ext;
  int gray;
  int reduce;
};
constexpr SaveChoice kSaveChoices[] = {
    {"BMP picture, 24 bits (*.bmp)", ".bmp", 0, 0},
    {"BMP picture, 256 colours (*.bmp)", ".bmp", 0, 1},
    {"BMP picture, gray (*.bmp)", ".bmp", 1, 0},
    {"JPEG picture (*.jpg)", ".jpg", 0, 0},
    {"JPEG picture, gray (*.jpg)", ".jpg", 1, 0},
};

// The engine's picture as a top-down image (a copy: the engine replaces it on every edit).
QImage ImageOf(HBITMAP h) {
  if (!h || h->bits != kColourBits) return QImage();
  const int rows = std::abs(h->height);
  QImage image(h->width, rows, QImage::Format_BGR888);
  for (int y = 0; y < rows; ++y) {
    const int stored = h->height > 0 ? rows - 1 - y : y;
    std::memcpy(image.scanLine(y), h->pixels + size_t(stored) * size_t(h->bpl), size_t(h->width) * 3);
  }
  return image;
}

}  // namespace

// The zoomed picture with the marks of the mouse modes; input goes to the view.
class CDibEditCanvas : public QWidget {
 public:
  explicit CDibEditCanvas(CDibEditView* view) : QWidget(view), m_view(view) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().dark());
    const QImage& image = m_view->Shown();
    if (image.isNull()) return;
    p.setRenderHint(QPainter::SmoothPixmapTransform, m_view->Engine().GetNice() != 0);
    p.drawImage(QRect(QPoint(0, 0), size()), image);
    const QLine marker = m_view->Marker();
    const QRect frame = m_view->FrameOnCanvas();
    if (marker.isNull() && frame.isNull()) return;
    // Drawn in the inverse of what lies below, as a rubber band should be.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 1));
    if (!marker.isNull()) p.drawLine(marker);
    if (!frame.isNull()) p.drawRect(frame.adjusted(0, 0, -1, -1));
  }
  void mousePressEvent(QMouseEvent* e) override { m_view->CanvasPress(e->position().toPoint(), e->button()); }
  void mouseMoveEvent(QMouseEvent* e) override { m_view->CanvasMove(e->position().toPoint()); }
  void mouseReleaseEvent(QMouseEvent* e) override {
    m_view->CanvasRelease(e->position().toPoint(), e->button());
  }
  void keyReleaseEvent(QKeyEvent* e) override {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
      if (m_view->Mode() == CDibEditView::kModeCut) m_view->CropToFrame();
      return;
    }
    m_view->CanvasKey();
  }

 private:
  CDibEditView* m_view;
};

CDibEditView::CDibEditView(QWidget* parent) : QMainWindow(parent) {
  m_canvas = new CDibEditCanvas(this);
  m_scroll = new QScrollArea(this);
  m_scroll->setWidget(m_canvas);
  m_scroll->setAlignment(Qt::AlignCenter);
  setCentralWidget(m_scroll);
  m_size = new QLabel(this);
  statusBar()->addPermanentWidget(m_size);
  BuildMenus();
  resize(900, 700);
}

CDibEditView::~CDibEditView() = default;

int CDibEditView::Init(const std::string& title, ProfileRead read, ProfileWrite write) {
  if (!m_edit.Init(title)) return 0;
  m_title = title;
  m_read = std::move(read);
  m_write = std::move(write);
  if (m_read) m_edit.LoadState(m_read);
  m_edit.SetProgress(nullptr);
  setWindowTitle(QString::fromStdString(title));
  FillRecent();
  ShowPicture();
  return 1;
}

void CDibEditView::BuildMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->addAction(tr("&Open..."), QKeySequence::Open, this, [this] {
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open a picture"), QString(), tr("Pictures (*.bmp *.jpg *.jpeg);;All files (*)"));
    if (!path.isEmpty()) OpenFile(path);
  });
  file->addAction(tr("Save &as..."), QKeySequence::SaveAs, this, [this] { AskSaveAs(); });
  file->addAction(tr("&Print..."), QKeySequence::Print, this, [this] { Print(); });
  m_recent = file->addMenu(tr("Recent files"));
  file->addSeparator();
  file->addAction(tr("&Close"), QKeySequence::Close, this, [this] { close(); });

  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  m_undo = edit->addAction(tr("&Undo"), QKeySequence::Undo, this, [this] { Run([](CDibEdit& e) { return e.Undo(); }); });
  m_redo = edit->addAction(tr("&Redo"), QKeySequence::Redo, this, [this] { Run([](CDibEdit& e) { return e.Redo(); }); });
  edit->addSeparator();
  m_cut = edit->addAction(tr("Cu&t"), this, [this](bool on) { SetMouseMode(on ? kModeCut : kModeNone); });
  m_cut->setCheckable(true);
  m_cut->setToolTip(tr("Show a frame to crop the picture to"));
  m_crop = edit->addAction(tr("Crop to the frame"), this, [this] { CropToFrame(); });
  edit->addAction(tr("Re&size..."), this, [this] { AskResize(); });

  QMenu* picture = menuBar()->addMenu(tr("&Picture"));
  picture->addAction(tr("Rotate &left"), this, [this] { Run([](CDibEdit& e) { return e.R90(); }); });
  picture->addAction(tr("Rotate &right"), this, [this] { Run([](CDibEdit& e) { return e.R270(); }); });
  picture->addAction(tr("Rotate 180"), this, [this] { Run([](CDibEdit& e) { return e.R180(); }); });
  picture->addAction(tr("Mirror left-right"), this, [this] { Run([](CDibEdit& e) { return e.HMirror(); }); });
  picture->addAction(tr("Mirror top-bottom"), this, [this] { Run([](CDibEdit& e) { return e.VMirror(); }); });
  picture->addAction(tr("&Invert"), this, [this] { Run([](CDibEdit& e) { return e.Invert(); }); });
  picture->addSeparator();
  picture->addAction(tr("&Brightness..."), this, [this] {
    AskLevel(tr("Brightness"), -kLevelRange, kLevelRange, [](CDibEdit& e, int l) { return e.Bright(l); });
  });
  picture->addAction(tr("&Contrast..."), this, [this] {
    AskLevel(tr("Contrast"), -kLevelRange, kLevelRange, [](CDibEdit& e, int l) { return e.Contrast(l); });
  });
  picture->addAction(tr("S&often..."), this, [this] {
    AskLevel(tr("Soften"), 1, CDibEdit::kFilterLevels, [](CDibEdit& e, int l) { return e.KDown(l); });
  });
  picture->addAction(tr("S&harpen..."), this, [this] {
    AskLevel(tr("Sharpen"), 1, CDibEdit::kFilterLevels, [](CDibEdit& e, int l) { return e.KUp(l); });
  });
  picture->addAction(tr("&Thin strokes"), this, [this] { Run([](CDibEdit& e) { return e.Thin(); }); });

  QMenu* fax = menuBar()->addMenu(tr("F&AX"));
  fax->addAction(tr("&Sync"), this, [this] { SetMouseMode(kModeSync); })
      ->setToolTip(tr("Click the phasing edge: it becomes the left border"));
  fax->addAction(tr("S&lant"), this, [this] { SetMouseMode(kModeSlant); })
      ->setToolTip(tr("Click two points of an edge that should be vertical"));
  fax->addAction(tr("&Module conversion..."), this, [this] { AskModul(); });

  QMenu* view = menuBar()->addMenu(tr("&View"));
  for (float z : kZoomSteps)
    view->addAction(QStringLiteral("%1 %").arg(int(z * 100)), this, [this, z] { SetZoom(z); });
  QAction* nice = view->addAction(tr("Smooth drawing"), this, [this](bool on) {
    m_edit.Nice(on ? 1 : 0);
    m_canvas->update();
  });
  nice->setCheckable(true);
}

int CDibEditView::OpenFile(const QString& path) {
  SetMouseMode(kModeNone);
  const int ok = m_edit.LoadWorkFile(path.toStdString());
  if (!ok)
    QMessageBox::warning(this, windowTitle(),
                         tr("%1 could not be read: %2")
                             .arg(path, QString::fromLatin1(CDibSection::ErrorText(m_edit.Error()))));
  else if (m_write)
    m_edit.SaveState(m_write);
  setWindowTitle(ok ? QStringLiteral("%1 - %2").arg(QString::fromStdString(m_title), QFileInfo(path).fileName())
                    : QString::fromStdString(m_title));
  FillRecent();
  ShowPicture();
  return ok;
}

int CDibEditView::SaveFile(const QString& path, int gray, int reduce) {
  if (!m_edit.SaveWorkFile(path.toStdString(), gray, reduce)) {
    QMessageBox::warning(this, windowTitle(),
                         tr("%1 could not be written: %2")
                             .arg(path, QString::fromLatin1(CDibSection::ErrorText(m_edit.Error()))));
    return 0;
  }
  statusBar()->showMessage(tr("saved %1").arg(path), 5000);
  return 1;
}

int CDibEditView::Run(const std::function<int(CDibEdit&)>& edit) {
  if (!m_edit.Picture()) return 0;
  QProgressDialog progress(tr("Working..."), QString(), 0, 1, this);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);  // quick edits show no dialog
  m_edit.SetProgress([&progress](int done, int total) {
    progress.setMaximum(std::max(total, 1));
    progress.setValue(std::min(done, std::max(total, 1)));
  });
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const int ok = edit(m_edit);
  QApplication::restoreOverrideCursor();
  m_edit.SetProgress(nullptr);
  if (!ok) statusBar()->showMessage(tr("not possible on this picture"), 5000);
  ShowPicture();
  return ok;
}

void CDibEditView::ShowPicture() {
  m_image = ImageOf(m_edit.Picture());
  const float zoom = m_edit.GetZoom();
  const QSize shown = m_image.isNull() ? QSize(1, 1)
                                       : QSize(std::max(1, int(std::lround(m_image.width() * zoom))),
                                               std::max(1, int(std::lround(m_image.height() * zoom))));
  m_canvas->setFixedSize(shown);
  m_size->setText(m_image.isNull() ? tr("no picture")
                                   : QStringLiteral("%1 x %2  %3 %").arg(m_image.width()).arg(m_image.height())
                                         .arg(int(std::lround(zoom * 100))));
  if (m_mode == kModeCut) SetMouseMode(kModeCut);  // the frame starts again on the new picture
  UpdateActions();
  m_canvas->update();
}

void CDibEditView::UpdateActions() {
  m_undo->setEnabled(m_edit.CanUndo());
  m_redo->setEnabled(m_edit.CanRedo());
  m_crop->setEnabled(m_mode == kModeCut && !m_frame.isEmpty());
  m_cut->setChecked(m_mode == kModeCut);
}

void CDibEditView::FillRecent() {
  m_recent->clear();
  const auto& files = m_edit.RecentFiles();
  for (int i = int(files.size()) - 1; i >= 0; --i) {  // newest first
    const QString path = QString::fromStdString(files[size_t(i)]);
    m_recent->addAction(path, this, [this, i] { OpenRecent(i); });
  }
  m_recent->setEnabled(!files.empty());
}

void CDibEditView::OpenRecent(int index) {
  const auto& files = m_edit.RecentFiles();
  if (index >= 0 && index < int(files.size())) OpenFile(QString::fromStdString(files[size_t(index)]));
}

void CDibEditView::SetZoom(float zoom) {
  if (!m_edit.Zoom(zoom)) return;
  ShowPicture();
}

QPoint CDibEditView::ToPicture(const QPoint& canvas) const {
  const float zoom = m_edit.GetZoom();
  return QPoint(int(std::floor(canvas.x() / zoom)), int(std::floor(canvas.y() / zoom)));
}

QPoint CDibEditView::ToCanvas(const QPoint& picture) const {
  const float zoom = m_edit.GetZoom();
  return QPoint(int(std::lround(picture.x() * zoom)), int(std::lround(picture.y() * zoom)));
}

void CDibEditView::SetMouseMode(MouseMode mode) {
  m_mode = m_image.isNull() ? kModeNone : mode;
  m_haveFirst = m_dragging = m_moving = false;
  m_frame = QRect();
  if (m_mode == kModeCut) {
    // The visible part of the picture, a quarter of its size in from each side.
    const QRect visible = m_canvas->visibleRegion().boundingRect().isEmpty()
                              ? m_canvas->rect()
                              : m_canvas->visibleRegion().boundingRect();
    const QRect inPicture(ToPicture(visible.topLeft()), ToPicture(visible.bottomRight()));
    const QRect clipped = inPicture.intersected(m_image.rect());
    m_frame = clipped.adjusted(clipped.width() / 4, clipped.height() / 4, -clipped.width() / 4,
                               -clipped.height() / 4);
  }
  m_canvas->setCursor(m_mode == kModeNone ? Qt::ArrowCursor : Qt::CrossCursor);
  UpdateActions();
  m_canvas->update();
}

void CDibEditView::SetCutFrame(const QRect& frame) {
  if (m_mode != kModeCut) SetMouseMode(kModeCut);
  m_frame = frame.normalized().intersected(m_image.rect());
  UpdateActions();
  m_canvas->update();
}

int CDibEditView::CropToFrame() {
  if (m_mode != kModeCut || m_frame.isEmpty()) return 0;
  const QRect f = m_frame;
  SetMouseMode(kModeNone);
  return Run([f](CDibEdit& e) { return e.Crop(f.x(), f.y(), f.width(), f.height()); });
}

void CDibEditView::CanvasPress(const QPoint& at, Qt::MouseButton button) {
  m_mouse = at;
  if (m_mode != kModeCut || button != Qt::LeftButton) return;
  // Inside the frame a drag moves it; elsewhere it draws a new one.
  m_dragFrom = ToPicture(at);
  m_moving = m_frame.contains(m_dragFrom);
  m_dragging = !m_moving;
  if (m_dragging) m_frame = QRect(m_dragFrom, QSize(1, 1));
}

void CDibEditView::CanvasMove(const QPoint& at) {
  m_mouse = at;
  if (m_mode == kModeCut && (m_dragging || m_moving)) {
    const QPoint p = ToPicture(at);
    if (m_moving) {
      QRect moved = m_frame.translated(p - m_dragFrom);
      // Kept inside the picture.
      moved.moveLeft(std::clamp(moved.left(), 0, std::max(0, m_image.width() - moved.width())));
      moved.moveTop(std::clamp(moved.top(), 0, std::max(0, m_image.height() - moved.height())));
      m_frame = moved;
      m_dragFrom = p;
    } else {
      m_frame = QRect(m_dragFrom, p).normalized().intersected(m_image.rect());
    }
    UpdateActions();
  }
  if (m_mode != kModeNone) m_canvas->update();
}

void CDibEditView::CanvasRelease(const QPoint& at, Qt::MouseButton button) {
  m_mouse = at;
  if (button == Qt::RightButton) {
    SetMouseMode(kModeNone);
    return;
  }
  if (button != Qt::LeftButton) return;
  switch (m_mode) {
    case kModeSync: {
      const int x = ToPicture(at).x();
      SetMouseMode(kModeNone);
      Run([x](CDibEdit& e) { return e.DoSync(x); });
      break;
    }
    case kModeSlant:
      if (!m_haveFirst) {
        m_first = at;
        m_haveFirst = true;
      } else {
        const QPoint a = ToPicture(m_first), b = ToPicture(at);
        SetMouseMode(kModeNone);
        if (a.y() != b.y())  // a level line says nothing about the slant
          Run([a, b](CDibEdit& e) { return e.SlantBetween(a.x(), a.y(), b.x(), b.y()); });
      }
      break;
    case kModeCut:
      m_dragging = m_moving = false;
      UpdateActions();
      break;
    case kModeNone:
      break;
  }
  m_canvas->update();
}

void CDibEditView::CanvasKey() {
  if (m_mode != kModeNone) SetMouseMode(kModeNone);
}

QLine CDibEditView::Marker() const {
  const QRect r = m_canvas->rect();
  switch (m_mode) {
    case kModeSync:
      return QLine(m_mouse.x(), r.top(), m_mouse.x(), r.bottom());
    case kModeSlant:
      if (m_haveFirst) return QLine(m_first, m_mouse);
      return QLine(r.left(), m_mouse.y(), r.right(), m_mouse.y());  // the cross-hair's level
    default:
      return QLine();
  }
}

QRect CDibEditView::FrameOnCanvas() const {
  if (m_mode != kModeCut || m_frame.isEmpty()) return QRect();
  return QRect(ToCanvas(m_frame.topLeft()), ToCanvas(m_frame.bottomRight() + QPoint(1, 1)));
}

void CDibEditView::AskSaveAs() {
  if (!m_edit.Picture()) return;
  QStringList filters;
  for (const SaveChoice& c : kSaveChoices) filters << tr(c.filter);
  QString chosen;
  QString path = QFileDialog::getSaveFileName(this, tr("Save the picture as"),
                                              QString::fromStdString(m_edit.FileName()),
                                              filters.join(";;"), &chosen);
  if (path.isEmpty()) return;
  const int index = std::max(0, int(filters.indexOf(chosen)));
  const SaveChoice& c = kSaveChoices[index];
  if (QFileInfo(path).suffix().isEmpty()) path += QString::fromLatin1(c.ext);
  SaveFile(path, c.gray, c.reduce);
}

void CDibEditView::AskLevel(const QString& title, int min, int max,
                            const std::function<int(CDibEdit&, int)>& edit) {
  if (!m_edit.Picture()) return;
  bool ok = false;
  const int level = QInputDialog::getInt(this, title, tr("Level"), min > 0 ? min : 1, min, max, 1, &ok);
  if (!ok || level == 0) return;  // level 0 changes nothing
  Run([&edit, level](CDibEdit& e) { return edit(e, level); });
}

void CDibEditView::AskResize() {
  if (m_image.isNull()) return;
  QDialog dialog(this);
  dialog.setWindowTitle(tr("Resize"));
  auto* width = new QSpinBox(&dialog);
  auto* height = new QSpinBox(&dialog);
  width->setRange(1, kMaxSide);
  height->setRange(1, kMaxSide);
  width->setValue(m_image.width());
  height->setValue(m_image.height());
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* form = new QFormLayout(&dialog);
  form->addRow(tr("Width"), width);
  form->addRow(tr("Height"), height);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return;
  const int w = width->value(), h = height->value();
  Run([w, h](CDibEdit& e) { return e.Resize(w, h); });
}

void CDibEditView::AskModul() {
  if (m_image.isNull()) return;
  QDialog dialog(this);
  dialog.setWindowTitle(tr("Module conversion"));
  QDoubleSpinBox* fields[4];
  const double values[4] = {kDefaultIoc, kDefaultRpm, kHalfIoc, kDefaultRpm};
  const double maxima[4] = {kMaxIoc, kMaxRpm, kMaxIoc, kMaxRpm};
  const char* labels[4] = {"IOC received", "Lines/minute received", "IOC wanted", "Lines/minute wanted"};
  auto* form = new QFormLayout(&dialog);
  for (int i = 0; i < 4; ++i) {
    fields[i] = new QDoubleSpinBox(&dialog);
    fields[i]->setDecimals(0);
    fields[i]->setRange(1, maxima[i]);
    fields[i]->setValue(values[i]);
    form->addRow(tr(labels[i]), fields[i]);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return;
  const double a = fields[0]->value(), b = fields[1]->value(), c = fields[2]->value(),
               d = fields[3]->value();
  Run([=](CDibEdit& e) { return e.ModulConvert(a, b, c, d); });
}

void CDibEditView::Print() {
  if (m_image.isNull()) return;
  QPrinter printer;
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  QPainter p(&printer);
  const QRect page = p.viewport();
  QSize size = m_image.size();
  size.scale(page.size(), Qt::KeepAspectRatio);
  p.drawImage(QRect(page.topLeft(), size), m_image);
}

void CDibEditView::closeEvent(QCloseEvent* event) {
  if (m_write) m_edit.SaveState(m_write);
  QMainWindow::closeEvent(event);
}

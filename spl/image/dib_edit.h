// CDibEdit: the picture editor's engine. Holds one 24-bit picture with ten steps of undo and
// redo, and offers the corrections received FAX and SSTV pictures need (left-edge
// synchronisation, slant, conversion between FAX modules and drum speeds) beside ordinary
// editing (rotate, mirror, invert, crop, resize, brightness, contrast, soften, sharpen,
// stroke thinning). It also keeps the four most recent files and the view's zoom and quality
// as plain state: a window draws Picture() and forwards its commands here.
//
// Every edit returns 1 on success and 0 when there is no picture, an argument is refused or
// a buffer cannot be had; a refused or failed edit changes nothing. A successful edit puts the
// previous picture on the undo list (the oldest of eleven is dropped) and clears the redo list.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "spl/image/dib_section.h"

class Chsv;

// Progress of a long edit (filters, slant, module conversion, resize): rows done of total,
// called after each row.
using DibEditProgress = std::function<void(int done, int total)>;
// The application's profile: a value by section and key ("" when unset), and storing one.
using ProfileRead = std::function<std::string(const std::string& section, const std::string& key)>;
using ProfileWrite = std::function<void(const std::string& section, const std::string& key,
                                        const std::string& value)>;

class CDibEdit : public CDibSection {
 public:
  static constexpr int kUndoDepth = 10;    // steps kept on each of the undo and redo lists
  static constexpr int kRecentFiles = 4;   // entries of the recent-files list
  static constexpr int kSlantFactor = 2;   // super-sampling of the interactive slant
  static constexpr int kFilterLevels = 5;  // KUp and KDown take 1 ... kFilterLevels

  CDibEdit() = default;
  ~CDibEdit() override;
  CDibEdit(const CDibEdit&) = delete;
  CDibEdit& operator=(const CDibEdit&) = delete;

  // Sets the engine up for a window; title names its profile section ("<title>_State").
  // Frees an earlier picture and its lists; 0 for an empty title.
  int Init(const std::string& title);
  // Frees the picture and both lists (the recent files stay).
  void Close();
  void SetProgress(DibEditProgress progress) { m_progress = std::move(progress); }

  // The picture (owned by the engine; null when there is none) and its size.
  HBITMAP Picture() const { return m_picture; }
  int PictureWidth() const;
  int PictureHeight() const;
  const std::string& FileName() const { return m_fileName; }

  // Files. LoadWorkFile reads BMP or, for ".jpg", JPEG, in 24 bits; it makes the path the
  // current file and the newest recent file, and clears both lists. A file that cannot be
  // read leaves no picture. SaveWorkFile writes by extension (".jpg": JPEG): gray != 0 an
  // 8-bit gray copy; else, for a BMP with reduce != 0, 256 dithered colours; else 24 bits.
  int LoadWorkFile(const std::string& path);
  int SaveWorkFile(const std::string& path, int gray, int reduce);
  // Pictures from elsewhere (a decoder's picture), converted to 24 bits; the lists are
  // cleared and there is no current file. Adopt takes h over on success (the caller keeps
  // it on failure); Open copies h; OpenPacked reads a packed picture (GetDIB's form).
  int Adopt(HBITMAP h);
  int Open(HBITMAP h);
  int OpenPacked(const BITMAPINFO* packed);

  // Rotations: R90 left (counter-clockwise), R270 right (clockwise). Mirrors: HMirror left
  // to right, VMirror top to bottom. Invert: 255 - c on every channel.
  int R90();
  int R180();
  int R270();
  int HMirror();
  int VMirror();
  int Invert();
  // Dark strokes thinned to one pixel (the picture becomes black on white).
  int Thin();
  // Brightness and contrast of the pixels' values, hue and saturation kept (see Chsv).
  int Bright(int level);
  int Contrast(int level);
  // Sharpen (KUp) and soften (KDown) with a 3 x 3 kernel, 1 <= level <= kFilterLevels.
  int KUp(int level);
  int KDown(int level);
  // Cyclic shift left by x columns (taken modulo the width): column x becomes column 0.
  int DoSync(int x);
  // Slant correction: row y moves s pixels further left than row y - 1, cyclically;
  // s != 0, finite. factor >= 1 super-samples the shift (each pixel becomes factor^2).
  int DoSlant(double s, int factor);
  // DoSlant between two picture points of a slanted edge with the slant factor; 0 when
  // y1 == y2.
  int SlantBetween(int x1, int y1, int x2, int y2);
  // Resamples a FAX picture, read as one continuous scan, from its drum speed (inRpm, lines
  // per minute; its width stands for its module) to module outIoc at outRpm; the new width
  // is outIoc * pi, rounded. All four > 0 (inIoc is not otherwise used).
  int ModulConvert(double inIoc, double inRpm, double outIoc, double outRpm);
  // Scaled to w x h (both >= 1).
  int Resize(int w, int h);
  // The part w x h at (x, y), clipped to the picture; 0 when nothing of it is inside.
  int Crop(int x, int y, int w, int h);

  int Undo();
  int Redo();
  int CanUndo() const { return m_undo.empty() ? 0 : 1; }
  int CanRedo() const { return m_redo.empty() ? 0 : 1; }
  int UndoCount() const { return int(m_undo.size()); }
  int RedoCount() const { return int(m_redo.size()); }

  // View state kept for the window: zoom > 0 (initially 1), smooth drawing flag, and the
  // super-sampling factor of the interactive slant (>= 1, initially kSlantFactor).
  int Zoom(float factor);
  float GetZoom() const { return m_zoom; }
  void Nice(int flag) { m_nice = flag; }
  int GetNice() const { return m_nice; }
  int SetSlantFactor(int factor);
  int GetSlantFactor() const { return m_slantFactor; }

  // Recent files, oldest first, at most kRecentFiles, no two equal without regard to case.
  const std::vector<std::string>& RecentFiles() const { return m_recent; }
  // Replaces the list, applying the same rules in order (empty names skipped).
  void SetRecentFiles(const std::vector<std::string>& files);
  // The list under keys "File1" ... "File4" of the section "<title>_State"; 0 before Init.
  int LoadState(const ProfileRead& read);
  int SaveState(const ProfileWrite& write) const;

 private:
  // The picture through a 3 x 3 kernel (rows top first), each channel divided by its sum.
  int Filter(const int kernel[9]);
  int StoreHsv(const Chsv& hsv);
  // Makes next the picture after an edit; 0 (nothing changed) for null.
  int Replace(HBITMAP next);
  // A new 24-bit picture in the current picture's row order.
  HBITMAP NewPicture(int width, int height);
  void Report(int done, int total) const {
    if (m_progress) m_progress(done, total);
  }
  // Hands a resampling's rows (CDibSection's progress form, user = the engine) on.
  static int ForwardProgress(long user, long row);
  void AddRecent(const std::string& path);
  void ClearList(std::deque<HBITMAP>& list);
  // Puts h at the back of a history list, dropping the oldest beyond kUndoDepth; 0 when the
  // list cannot grow (h is then not on it).
  int PushLimited(std::deque<HBITMAP>& list, HBITMAP h);
  std::string Section() const { return m_title + "_State"; }

  HBITMAP m_picture = nullptr;
  std::deque<HBITMAP> m_undo, m_redo;  // newest at the back
  std::vector<std::string> m_recent;
  std::string m_fileName, m_title;
  float m_zoom = 1.0f;
  int m_nice = 0;
  int m_slantFactor = kSlantFactor;
  int m_progressBase = 0, m_progressTotal = 0;  // rows done before, and in all, of a resampling
  DibEditProgress m_progress;
};

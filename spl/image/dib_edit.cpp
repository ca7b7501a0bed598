// The picture editor's state: the picture and its undo and redo lists, files and the recent
// list, the profile state, and the edits that move pixels without computing new colours
// (rotations, mirrors, inversion, cropping, resizing).
#include "spl/image/dib_edit.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <new>

#include "spl/image/bit24.h"
#include "spl/image/dib_rows.h"

namespace {

constexpr int kMaxChannel = 255;
constexpr int kBytesPerPixel = 3;
constexpr int kDither = 1;  // reduced copies are saved with error diffusion

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Fills dst (w x h) with pixels of src: dst(c, r) = src(map(c, r)).
template <class Map>
void Remap(HBITMAP src, HBITMAP dst, Map map) {
  C24Bit from, to;
  from.Init(src);
  to.Init(dst);
  for (int r = 0; r < to.GetHeight(); ++r)
    for (int c = 0; c < to.GetWidth(); ++c) {
      int x = 0, y = 0;
      map(c, r, x, y);
      to.SetPixel(c, r, from.GetPixel(x, y));
    }
}

}  // namespace

CDibEdit::~CDibEdit() { Close(); }

int CDibEdit::Init(const std::string& title) {
  if (title.empty()) return 0;
  Close();
  m_title = title;
  m_zoom = 1.0f;
  m_nice = 0;
  m_slantFactor = kSlantFactor;
  return 1;
}

void CDibEdit::Close() {
  if (m_picture) DeleteObject(m_picture);
  m_picture = nullptr;
  ClearList(m_undo);
  ClearList(m_redo);
  m_fileName.clear();
}

int CDibEdit::PictureWidth() const { return m_picture ? m_picture->width : 0; }
int CDibEdit::PictureHeight() const { return m_picture ? DibRows(m_picture) : 0; }

void CDibEdit::ClearList(std::deque<HBITMAP>& list) {
  for (HBITMAP h : list) DeleteObject(h);
  list.clear();
}

int CDibEdit::PushLimited(std::deque<HBITMAP>& list, HBITMAP h) {
  try {
    list.push_back(h);
  } catch (const std::bad_alloc&) {
    return Fail(kDibMemory);
  }
  while (int(list.size()) > kUndoDepth) {
    DeleteObject(list.front());
    list.pop_front();
  }
  return 1;
}

int CDibEdit::Replace(HBITMAP next) {
  if (!next) return 0;
  if (!PushLimited(m_undo, m_picture)) {
    DeleteObject(next);
    return 0;
  }
  // A new edit starts a new line of history: what was undone cannot come back on top of it.
  ClearList(m_redo);
  m_picture = next;
  return 1;
}

HBITMAP CDibEdit::NewPicture(int width, int height) {
  return NewBitmap(width, m_picture && m_picture->height < 0 ? -height : height, 24);
}

int CDibEdit::ForwardProgress(long user, long row) {
  const auto* edit = reinterpret_cast<const CDibEdit*>(user);
  edit->Report(edit->m_progressBase + int(row) + 1, edit->m_progressTotal);
  return 1;
}

// Files and pictures from elsewhere.

int CDibEdit::LoadWorkFile(const std::string& path) {
  Close();
  HBITMAP h = LoadFile(path.c_str());
  if (!h) return 0;
  if (!Adopt(h)) {
    DeleteObject(h);
    return 0;
  }
  m_fileName = path;
  AddRecent(path);
  return 1;
}

int CDibEdit::SaveWorkFile(const std::string& path, int gray, int reduce) {
  if (!m_picture) return 0;
  HBITMAP out = m_picture;
  if (gray)
    out = ConvertToGray(m_picture);
  else if (reduce && !DibIsJpegName(path.c_str()))
    out = ConvertTo8(m_picture, kDither);
  if (!out) return 0;
  const int ok = SaveFileCompressed(path.c_str(), out);
  if (out != m_picture) DeleteObject(out);
  return ok;
}

int CDibEdit::Adopt(HBITMAP h) {
  bool converted = false;
  HBITMAP h24 = As24(h, converted);
  if (!h24) return 0;
  Close();
  if (converted) DeleteObject(h);
  m_picture = h24;
  return 1;
}

int CDibEdit::Open(HBITMAP h) {
  if (!Check(h)) return 0;
  HBITMAP copy = h->bits == 24 ? Copy(h) : Convert(h, 24);
  if (!copy) return 0;
  Close();
  m_picture = copy;
  return 1;
}

int CDibEdit::OpenPacked(const BITMAPINFO* packed) {
  if (!packed) return 0;
  HBITMAP h = PutDIB(packed);
  if (!h) return 0;
  if (!Adopt(h)) {
    DeleteObject(h);
    return 0;
  }
  return 1;
}

// Pixel moves.

int CDibEdit::R90() {
  if (!m_picture) return 0;
  const int w = PictureWidth(), h = PictureHeight();
  HBITMAP n = NewPicture(h, w);
  if (!n) return 0;
  Remap(m_picture, n, [w](int c, int r, int& x, int& y) { x = w - 1 - r, y = c; });
  return Replace(n);
}

int CDibEdit::R270() {
  if (!m_picture) return 0;
  const int w = PictureWidth(), h = PictureHeight();
  HBITMAP n = NewPicture(h, w);
  if (!n) return 0;
  Remap(m_picture, n, [h](int c, int r, int& x, int& y) { x = r, y = h - 1 - c; });
  return Replace(n);
}

int CDibEdit::R180() {
  if (!m_picture) return 0;
  const int w = PictureWidth(), h = PictureHeight();
  HBITMAP n = NewPicture(w, h);
  if (!n) return 0;
  Remap(m_picture, n, [w, h](int c, int r, int& x, int& y) { x = w - 1 - c, y = h - 1 - r; });
  return Replace(n);
}

int CDibEdit::HMirror() {
  if (!m_picture) return 0;
  const int w = PictureWidth(), h = PictureHeight();
  HBITMAP n = NewPicture(w, h);
  if (!n) return 0;
  Remap(m_picture, n, [w](int c, int r, int& x, int& y) { x = w - 1 - c, y = r; });
  return Replace(n);
}

int CDibEdit::VMirror() {
  if (!m_picture) return 0;
  const int w = PictureWidth(), h = PictureHeight();
  HBITMAP n = NewPicture(w, h);
  if (!n) return 0;
  Remap(m_picture, n, [h](int c, int r, int& x, int& y) { x = c, y = h - 1 - r; });
  return Replace(n);
}

int CDibEdit::Invert() {
  if (!m_picture) return 0;
  HBITMAP n = Copy(m_picture);
  if (!n) return 0;
  const size_t bytes = size_t(n->width) * kBytesPerPixel;
  for (int y = 0; y < DibRows(n); ++y) {
    uint8_t* row = DibRow(n, y);
    for (size_t i = 0; i < bytes; ++i) row[i] = uint8_t(kMaxChannel - row[i]);
  }
  return Replace(n);
}

int CDibEdit::Crop(int x, int y, int w, int h) {
  if (!m_picture || w < 1 || h < 1) return 0;
  const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
  const int64_t x1 = std::min<int64_t>(int64_t(x) + w, PictureWidth());
  const int64_t y1 = std::min<int64_t>(int64_t(y) + h, PictureHeight());
  if (x1 <= x0 || y1 <= y0) return 0;
  const int cw = int(x1 - x0), ch = int(y1 - y0);
  HBITMAP n = NewPicture(cw, ch);
  if (!n) return 0;
  if (!Blit(n, 0, 0, cw, ch, m_picture, int(x0), int(y0))) {
    DeleteObject(n);
    return 0;
  }
  return Replace(n);
}

int CDibEdit::Resize(int w, int h) {
  if (!m_picture || w < 1 || h < 1) return 0;
  m_progressBase = 0;
  m_progressTotal = h;
  return Replace(Scale(m_picture, w, h, ForwardProgress, reinterpret_cast<long>(this)));
}

// History.

int CDibEdit::Undo() {
  if (m_undo.empty()) return 0;
  if (!PushLimited(m_redo, m_picture)) return 0;
  m_picture = m_undo.back();
  m_undo.pop_back();
  return 1;
}

int CDibEdit::Redo() {
  if (m_redo.empty()) return 0;
  if (!PushLimited(m_undo, m_picture)) return 0;
  m_picture = m_redo.back();
  m_redo.pop_back();
  return 1;
}

// View state.

int CDibEdit::Zoom(float factor) {
  if (!(factor > 0.0f) || !std::isfinite(factor)) return 0;
  m_zoom = factor;
  return 1;
}

int CDibEdit::SetSlantFactor(int factor) {
  if (factor < 1) return 0;
  m_slantFactor = factor;
  return 1;
}

// Recent files and the profile.

void CDibEdit::AddRecent(const std::string& path) {
  m_recent.erase(std::remove_if(m_recent.begin(), m_recent.end(),
                                [&](const std::string& f) { return SameNoCase(f, path); }),
                 m_recent.end());
  m_recent.push_back(path);
  if (int(m_recent.size()) > kRecentFiles) m_recent.erase(m_recent.begin());
}

void CDibEdit::SetRecentFiles(const std::vector<std::string>& files) {
  m_recent.clear();
  for (const std::string& f : files)
    if (!f.empty()) AddRecent(f);
}

int CDibEdit::LoadState(const ProfileRead& read) {
  if (m_title.empty() || !read) return 0;
  std::vector<std::string> files;
  for (int i = 1; i <= kRecentFiles; ++i)
    files.push_back(read(Section(), "File" + std::to_string(i)));
  SetRecentFiles(files);
  return 1;
}

int CDibEdit::SaveState(const ProfileWrite& write) const {
  if (m_title.empty() || !write) return 0;
  // Every key is written, so that entries of a longer earlier list do not come back.
  for (int i = 1; i <= kRecentFiles; ++i)
    write(Section(), "File" + std::to_string(i),
          i <= int(m_recent.size()) ? m_recent[size_t(i) - 1] : "");
  return 1;
}

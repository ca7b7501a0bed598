// CFaxStore: what the FAX receive view shows while a chart arrives, without a display: the
// tall store of the last 2560 lines at full width (1:1), and the live preview of 480 x 256
// in which every preview row is the average of the 1 ... 6 lines that arrived since the
// previous one. Both scroll when full (the store by 128 rows, the preview by 8) and can be
// written from the bottom up (the vertical mirror). Pixels are gray bytes, 0 white ... 255
// black, rows top first.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kFaxStoreRows = 2560;
constexpr int kFaxStoreScroll = 128;  // rows given up when the store is full
constexpr int kFaxPreviewWidth = 480;
constexpr int kFaxPreviewRows = 256;
constexpr int kFaxPreviewScroll = 8;
constexpr int kFaxPreviewMaxLines = 6;  // lines averaged into one preview row at most
// Preview rows between arming the automatic synchronisation and taking the line's sync.
constexpr int kFaxSyncCountdown = 3;

class CFaxStore {
 public:
  // width pixels a line (1 ... ), written top down or (mirrored) bottom up; store and
  // preview start white. 1, or 0 for a bad width (the store is then empty).
  int Init(int width, int mirrored);
  // Adds one line (at most width pixels are taken; a shorter line is padded white). sync is
  // the decoder's sync value of the line. 1 when a preview row was made.
  int AddLine(const uint8_t* gray, int width, int sync);
  // Arms the automatic synchronisation: after kFaxSyncCountdown preview rows, TakeSyncPos
  // hands out the width minus that line's sync value, once.
  void ArmSync() { countdown_ = kFaxSyncCountdown; }
  int TakeSyncPos(int& delta);

  int Width() const { return width_; }
  int Mirrored() const { return mirrored_; }
  // The row the next line goes to (counting from the top of the store).
  int CurrentRow() const { return row_; }
  int PreviewRow() const { return preview_row_; }
  // Rows written so far: the top ones (mirrored: the bottom ones).
  int FilledRows() const { return mirrored_ ? kFaxStoreRows - 1 - row_ : row_; }
  const uint8_t* StoreRow(int y) const { return &store_[size_t(y) * size_t(width_)]; }
  const uint8_t* PreviewRowData(int y) const { return &preview_[size_t(y) * kFaxPreviewWidth]; }
  // Lines averaged into the last preview row.
  int LastPreviewLines() const { return last_lines_; }

 private:
  void MakePreviewRow(int lines);
  void ScrollStore();
  void ScrollPreview();

  int width_ = 0, mirrored_ = 0;
  std::vector<uint8_t> store_, preview_;
  int row_ = 0, preview_row_ = 0;
  double accumulator_ = 0.0, step_ = 0.0;
  int lines_ = 0, last_lines_ = 0;
  int countdown_ = 0, sync_ready_ = 0, sync_delta_ = 0;
};

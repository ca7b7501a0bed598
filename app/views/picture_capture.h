// The picture side of the receive views without a display: FAX lines gathered into pictures
// that start and end with the decoder's reception states, and the saving of FAX pictures as
// 8-bit BMP and SSTV pictures as JPEG into their folders, named by local time
// ("FAX_YYYY-MM-DD_HH-MM.BMP", "SSTV_YYYY-MM-DD_HH-MM.JPG"); a name already taken gets
// _2, _3 ... and nothing is ever overwritten.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "app/views/product_names.h"
#include "spl/platform/bitmap.h"

// A FAX picture shorter than this (rows) is a fragment and is not saved.
constexpr int kFaxMinPictureRows = 60;
// Lines of a tone drawn before its state change fired; they are not part of the picture.
constexpr int kFaxToneRows = 4;
// The tallest picture gathered (over two hours of chart at 120 lines a minute); a longer
// transmission continues in a new picture.
constexpr int kFaxMaxPictureRows = 16384;
// The small picture saved beside every FAX picture (its name ends in BMM), fitted into this.
constexpr int kFaxPreviewFileWidth = 160;
constexpr int kFaxPreviewFileHeight = 256;
constexpr int kSstvJpegQuality = 75;

class CFaxPictureCapture {
 public:
  // folder: where pictures go. 1, or 0 for an empty folder. Drops any picture begun.
  int Init(const std::string& folder);
  void SetFolder(const std::string& folder) { folder_ = folder; }
  void SetClock(std::function<time_t()> now) { clock_ = std::move(now); }
  // Off, lines running no longer begin a picture (one that runs is still ended and saved).
  void SetAutosave(int on) { autosave_ = on != 0; }
  // On, a picture slanted by a clock error is straightened before it is saved (FaxLineDrift).
  void SetAutoSlant(int on) { auto_slant_ = on != 0; }
  // On, a noisy picture is filtered as strongly as its measured noise asks before it is saved
  // (FaxNoiseLevel, FaxDenoise); a clean one is saved as received.
  void SetAutoDenoise(int on) { auto_denoise_ = on != 0; }
  // The clock error the last saved picture was straightened for, in ppm (0.0: none).
  double LastPpm() const { return last_ppm_; }
  // A reception state of the FAX decoder: lines running (7) begin a picture (ending one
  // that runs), start and stop tones (2, 3, 4) end it.
  void State(int code);
  // A decoded line (gray bytes, 0 white ... 255 black); kept while a picture runs.
  void Line(const uint8_t* gray, int width);
  // Ends the running picture (dropping its last dropRows rows) and saves it when long
  // enough. 1 when a file was written. Also what the station calls when it shuts down.
  int End(int dropRows = 0);
  int Running() const { return running_; }
  int Rows() const { return width_ > 0 ? int(rows_.size() / size_t(width_)) : 0; }
  const std::string& LastSaved() const { return last_saved_; }
  const std::string& LastError() const { return last_error_; }

 private:
  void Begin();
  std::string folder_;
  std::function<time_t()> clock_;
  bool running_ = false, autosave_ = true, auto_slant_ = false, auto_denoise_ = false;
  double last_ppm_ = 0.0;
  int width_ = 0;
  time_t start_ = 0;
  std::vector<uint8_t> rows_;
  std::string last_saved_, last_error_;
};

// Saves rows (height rows of width gray bytes, 0 white ... 255 black, top first) as an 8-bit
// BMP under the product name wanted, or STEM_2.BMP ... when it is taken. When the disk takes
// only part of the picture, the first rows that fit are saved as a shorter picture. 1 with path
// and savedRows set (savedRows < height: space ran out; error then says why), or 0 with error
// set ("PATH: the system's reason") and nothing left in the folder.
int SaveFaxPicture(const std::string& wanted, const uint8_t* rows, int width, int height,
                   std::string& path, int& savedRows, std::string& error);

// What "Save this now" of the FAX view saves: rows as SaveFaxPicture takes them, named by now
// in folder, with the preview beside. 1 with path set (error says why a preview is missing),
// or 0 with error set.
int SaveFaxNow(const std::string& folder, const uint8_t* rows, int width, int height, time_t now,
               std::string& path, std::string& error);

// The preview file of a saved picture: the name with the last letter changed to M when it
// ends in BMP (any case), else "".
std::string FaxPreviewName(const std::string& path);
// Writes the preview of rows (as SaveFaxPicture takes them) fitted into 160 x 256, keeping
// its aspect, as an 8-bit BMP at FaxPreviewName(picturePath), replacing an older one. 1, or
// 0 with error set (nothing is left half written).
int SaveFaxPreview(const std::string& picturePath, const uint8_t* rows, int width, int height,
                   std::string& error);

// Saves an SSTV picture (any depth the JPEG writer takes) as a JPEG in folder, named by now.
// 1 with path set, or 0 with error set and nothing left in the folder.
int SaveSstvPicture(const std::string& folder, HBITMAP picture, time_t now, std::string& path,
                    std::string& error);
// The same under the product name wanted (STEM_2.JPG ... when it is taken).
int SaveSstvPictureAs(const std::string& wanted, HBITMAP picture, std::string& path,
                      std::string& error);
// 1 when files can be made in folder (created when missing), else 0 with error set to
// "FOLDER: the system's reason": what a tool checks once before it receives anything.
int PictureFolderWritable(const std::string& folder, std::string& error);

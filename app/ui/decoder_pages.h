// CDecoderPages: the decoders' parameter pages of the main window, one tab per family: the
// teleprinter decoders (RTTY, RTTY sync, SITOR-B, SYNOP, NAVTEX), CW, PSK31, weather FAX and
// SSTV. The values
// live in the core's settings; a page shows them, writes them back when the user applies or
// chooses a decoder, and selects that decoder through the core. A failing selection is
// reported by the core; the page keeps what the user entered.
#pragma once
#include <QWidget>

class CStationCore;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QTabWidget;

class CDecoderPages : public QWidget {
 public:
  explicit CDecoderPages(CStationCore& core, QWidget* parent = nullptr);

  // Shows the settings and marks the current decoder (core.Decoder()) where a tab offers it.
  void Refresh();

 private:
  QWidget* BuildTeleprinter();
  QWidget* BuildCw();
  QWidget* BuildPsk31();
  QWidget* BuildFax();
  QWidget* BuildSstv();
  void ShowPictures();
  void ApplyFax();
  void ApplySstv();
  void ShowTeleprinter();
  void ShowShift();
  // The teleprinter tab's values into the settings (then the decoder selected).
  void WriteTeleprinter();
  void ApplyTeleprinter(int code);
  void ChooseTeleprinter(int code);
  void ApplyCw();

  enum { kTeleprinterTab, kCwTab, kPsk31Tab, kFaxTab, kSstvTab };
  CStationCore& core_;
  QTabWidget* tabs_ = nullptr;
  QButtonGroup* teleprinter_ = nullptr;
  QComboBox* baud_ = nullptr;
  QSpinBox* tone1_ = nullptr;
  QSpinBox* tone2_ = nullptr;
  QLabel* shift_ = nullptr;
  QCheckBox* inverted_ = nullptr;
  QComboBox* stop_bits_ = nullptr;
  QSpinBox* cw_center_ = nullptr;
  QSpinBox* cw_bandwidth_ = nullptr;
  QButtonGroup* psk31_ = nullptr;
  QComboBox* fax_ioc_ = nullptr;
  QComboBox* fax_lpm_ = nullptr;
  QSpinBox* fax_center_ = nullptr;
  QSpinBox* fax_shift_ = nullptr;
  QSpinBox* fax_width_ = nullptr;
  QComboBox* fax_demod_ = nullptr;
  QCheckBox* fax_am_filter_ = nullptr;
  QSpinBox* fax_sync_width_ = nullptr;
  QCheckBox* fax_sync_inverted_ = nullptr;
  QSpinBox* fax_burst1_ = nullptr;
  QSpinBox* fax_burst2_ = nullptr;
  QComboBox* sstv_mode_ = nullptr;
  QSpinBox* sstv_low_ = nullptr;
  QSpinBox* sstv_high_ = nullptr;
};

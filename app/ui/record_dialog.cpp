#include "app/ui/record_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>
#include <cstring>

#include "app/lists/frq_columns.h"
#include "app/lists/frq_list_file.h"
#include "app/lists/frq_tables.h"

namespace {

constexpr const char* kNewTitle = "New FrqListSet";
constexpr const char* kEditTitle = "Edit FrqListSet";
constexpr const char* kTimerTitle = "TimeManager entry";
constexpr const char* kStopBeforeStart = "ERROR : StopTime < StartTime";
constexpr const char* kNoSatellite = "non Satellite";
constexpr int kNoSatelliteId = -1;
constexpr int kModeCount = 14;
constexpr int kMinutesPerHour = 60;

// The labels the dialog shows for the columns.
struct ColumnLabel {
  const char* column;
  const char* label;
};
constexpr ColumnLabel kLabels[] = {
    {"RX-FRQ (KHz)", "RX frequency (kHz)"}, {"Name", "Name"}, {"Decoder", "Decoder"},
    {"Modulation", "Mode"}, {"CallSign", "Call sign"}, {"Country", "Country"},
    {"StationType", "Station type"}, {"Steps", "Tuning step (Hz)"}, {"IF", "IF bandwidth"},
    {"TX-FRQ (KHz)", "TX frequency (kHz)"}, {"ATT", "Attenuator"}, {"AGC", "AGC"},
    {"NB", "Noise blanker"}, {"Volume", "Volume (0-255)"}, {"Squelch", "Squelch (0-255)"},
    {"Startfrq", "Scan start (kHz)"}, {"Stopfrq", "Scan stop (kHz)"}, {"scansteps", "Scan step (Hz)"},
    {"wave_onoff", "Wave output on"}, {"line_onoff", "Line input on"}, {"dec_filter", "Decoder pre-filter"},
    {"equ_filter", "Equalizer"}, {"equ_filter_name", "Equalizer curve"},
    {"wave_out_vol", "Wave output volume"}, {"line_in_vol", "Line input volume"},
    {"line_out_vol", "Line output volume"}, {"audio_squelch", "Audio squelch"},
    {"RecOnSig", "Record on signal"}, {"StopOnSig", "Stop on signal"}, {"RecTime", "Record time"},
    {"WhileTime", "Dwell time (ms)"}, {"AudioORSqelch", "Audio level (else receiver squelch)"},
    {"assume_radio", "Apply ATT, AGC, NB, volume, squelch"},
    {"assume_audio", "Apply the audio and mixer settings"}, {"CW-center", "Centre (Hz)"},
    {"CW-mark", "Mark (Hz)"}, {"CW-width", "Width (Hz)"}, {"FAX-modul", "IOC"},
    {"FAX-speed", "Lines per minute"}, {"FAX-centerfrq", "Centre (Hz)"}, {"FAX-shift", "Shift (Hz)"},
    {"FAX-filtermode", "Filter mode"}, {"FAX-filterwidth", "Filter width (Hz)"},
    {"FAX-hmirror", "Mirror horizontally"}, {"FAX-vmirror", "Mirror vertically"}, {"FAX-amfm", "AM"},
    {"FAX-filteronoff", "Pre-filter"}, {"FAX-burst1", "Burst (Hz)"}, {"FAX-burst2", "Burst (pixel)"},
    {"FAX-syncwidth", "Sync width"}, {"FAX-invertsync", "Inverted sync"}, {"RTTY-mode", "Mode code"},
    {"RTTY-baud", "Baud"}, {"RTTY-mark", "Mark (Hz)"}, {"RTTY-space", "Space (Hz)"},
    {"RTTY-stopbits", "Stop bits"}, {"RTTY-polarity", "Inverted"}, {"SSTV-mode", "Mode (0-3)"},
    {"SSTV-filterlofrq", "Filter low (Hz)"}, {"SSTV-filterhifrq", "Filter high (Hz)"},
    {"SSTV-filterorder", "Filter order"}, {"SSTV-manual-filtemode", "Manual filter mode"},
    {"Commentary", "Commentary"}, {"ModulationType", "Emission class"}, {"SatID", "Satellite"}};

const char* LabelOf(const char* column) {
  for (const ColumnLabel& l : kLabels)
    if (std::strcmp(l.column, column) == 0) return l.label;
  return column;
}

// The decoder choices of the decoder column, in the order the list's users know them.
constexpr int kDecoderChoices[] = {0,     8480,  8768,  8544,  8459,  8382,  8523,  8573,
                                   8854,  12288, 12289, 12290, 12291, 12292, 12293, 12304,
                                   12306, 12545, 12546, 14336, 16384, 16385, 16386, 16387};

constexpr const char* kStationColumns[] = {"RX-FRQ (KHz)", "Name", "CallSign", "Country", "StationType",
                                           "ModulationType", "Decoder", "SatID", "Commentary", nullptr};
constexpr const char* kReceiverColumns[] = {"Modulation", "IF", "Steps", "TX-FRQ (KHz)", "ATT", "AGC", "NB",
                                            "Volume", "Squelch", "assume_radio", nullptr};
constexpr const char* kAudioColumns[] = {"wave_onoff", "line_onoff", "dec_filter", "equ_filter",
                                         "equ_filter_name", "wave_out_vol", "line_in_vol", "line_out_vol",
                                         "audio_squelch", "assume_audio", nullptr};
constexpr const char* kScannerColumns[] = {"Startfrq", "Stopfrq", "scansteps", "RecOnSig", "StopOnSig",
                                           "RecTime", "WhileTime", "AudioORSqelch", nullptr};
constexpr const char* kCwColumns[] = {"CW-center", "CW-mark", "CW-width", nullptr};
constexpr const char* kRttyColumns[] = {"RTTY-mode", "RTTY-baud", "RTTY-mark", "RTTY-space",
                                        "RTTY-stopbits", "RTTY-polarity", nullptr};
constexpr const char* kFaxColumns[] = {"FAX-modul", "FAX-speed", "FAX-centerfrq", "FAX-shift",
                                       "FAX-filtermode", "FAX-filterwidth", "FAX-burst1", "FAX-burst2",
                                       "FAX-syncwidth", "FAX-hmirror", "FAX-vmirror", "FAX-amfm",
                                       "FAX-filteronoff", "FAX-invertsync", nullptr};
constexpr const char* kSstvColumns[] = {"SSTV-mode", "SSTV-filterlofrq", "SSTV-filterhifrq", "SSTV-filterorder",
                                        "SSTV-manual-filtemode", nullptr};

// A yes/no column, or a number that can only be 0 or 1, is a check box.
bool IsSwitch(const FrqColumn& c) { return c.type == kColBool || (c.type == kColLong && c.lo == 0 && c.hi == 1); }

// Columns chosen from a table.
bool IsChoice(const std::string& name) {
  return name == "Decoder" || name == "Modulation" || name == "Country" || name == "StationType" ||
         name == "ModulationType" || name == "IF" || name == "SatID";
}

QTime TimeOfMinutes(int minutes) {
  minutes %= kTimerMinutesPerDay;
  return QTime(minutes / kMinutesPerHour, minutes % kMinutesPerHour);
}

int MinutesOf(const QTimeEdit* edit, const QCheckBox* nextDay) {
  const QTime t = edit->time();
  return t.hour() * kMinutesPerHour + t.minute() + (nextDay->isChecked() ? kTimerMinutesPerDay : 0);
}

}  // namespace

CRecordDialog::CRecordDialog(const CFrqRecord& record, Form form, QWidget* parent)
    : QDialog(parent), m_record(record), m_form(form) {
  setWindowTitle(form == kNew ? kNewTitle : form == kEdit ? kEditTitle : kTimerTitle);
  auto* layout = new QVBoxLayout(this);
  m_pages = new QTabWidget(this);
  layout->addWidget(m_pages);
  AddPage("Station", kStationColumns);
  AddPage("Receiver", kReceiverColumns);
  AddPage("Audio", kAudioColumns);
  AddPage("Scanner", kScannerColumns);
  AddDecoderPage();
  if (form == kTimerEntry) {
    AddTimerPage();
    m_pages->setCurrentIndex(m_pages->count() - 1);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
  connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
  layout->addWidget(buttons);
}

QWidget* CRecordDialog::MakeField(int column) {
  const FrqColumn& c = FrqColumns()[column];
  const std::string name = c.name;
  if (IsSwitch(c)) {
    auto* box = new QCheckBox(LabelOf(c.name));
    box->setChecked(FrqGetInt(m_record, c) != 0);
    return box;
  }
  if (IsChoice(name)) {
    auto* combo = new QComboBox;
    const int value = FrqGetInt(m_record, c);
    auto add = [combo](const QString& text, int v) { combo->addItem(text, v); };
    if (name == "Decoder") {
      bool known = false;
      for (int v : kDecoderChoices) {
        add(QString::fromStdString(FrqDecoderText(v, kNoSatelliteId, nullptr)), v);
        known = known || v == value;
      }
      if (!known) add(QString::fromStdString(FrqDecoderText(value, kNoSatelliteId, nullptr)), value);
    } else if (name == "Modulation") {
      for (int i = 0; i < kModeCount; ++i) add(QString::fromLatin1(FrqModeName(i)).trimmed(), i);
    } else if (name == "Country") {
      for (int i = 0; i < kFrqCountryCount; ++i) add(QString::fromUtf8(FrqCountryText(i)), i);
    } else if (name == "StationType") {
      for (int i = 0; i < kFrqStationTypeCount; ++i) add(QString::fromUtf8(FrqStationTypeText(i)), i);
    } else if (name == "ModulationType") {
      for (int i = 0; i < kFrqEmissionClassCount; ++i) add(QString::fromUtf8(FrqEmissionClassText(i)), i);
    } else if (name == "IF") {
      for (int i = 0; i < kFrqIfCount; ++i) add(QString::fromUtf8(FrqIfText(i)), i);
    } else {  // the satellite: the station keeps no element sets here, so only a given one
      add(kNoSatellite, kNoSatelliteId);
      if (value >= 0) add(QString("Satellite %1").arg(value), value);
    }
    const int at = combo->findData(value);
    combo->setCurrentIndex(at >= 0 ? at : 0);
    return combo;
  }
  auto* edit = new QLineEdit(QString::fromStdString(FormatFrqField(m_record, c)));
  if (c.type == kColText) edit->setMaxLength(int(c.size) - 1);
  return edit;
}

void CRecordDialog::AddPage(const char* title, const char* const* columns) {
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);
  AddFields(form, columns, m_pages->count());
  m_pages->addTab(page, title);
}

void CRecordDialog::AddFields(QFormLayout* form, const char* const* columns, int pageIndex) {
  for (const char* const* name = columns; *name; ++name) {
    const int column = FindFrqColumn(*name);
    if (column < 0) continue;
    QWidget* w = MakeField(column);
    form->addRow(qobject_cast<QCheckBox*>(w) ? QString() : LabelOf(*name), w);
    m_fields.push_back({column, pageIndex, w});
  }
}

void CRecordDialog::AddDecoderPage() {
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  const int pageIndex = m_pages->count();
  struct Group {
    const char* title;
    const char* const* columns;
    int row, col, rowSpan;
  };
  const Group groups[] = {{"CW", kCwColumns, 0, 0, 1},
                          {"RTTY / SITOR / PSK", kRttyColumns, 1, 0, 1},
                          {"SSTV", kSstvColumns, 2, 0, 1},
                          {"FAX", kFaxColumns, 0, 1, 3}};
  for (const Group& g : groups) {
    auto* box = new QGroupBox(g.title, page);
    auto* form = new QFormLayout(box);
    AddFields(form, g.columns, pageIndex);
    grid->addWidget(box, g.row, g.col, g.rowSpan, 1);
  }
  m_pages->addTab(page, "Decoders");
}

void CRecordDialog::AddTimerPage() {
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);
  auto make = [page](int minutes, QTimeEdit*& edit, QCheckBox*& nextDay) {
    edit = new QTimeEdit(TimeOfMinutes(minutes), page);
    edit->setDisplayFormat("HH:mm");
    nextDay = new QCheckBox("next day", page);
    nextDay->setChecked(minutes >= kTimerMinutesPerDay);
  };
  make(m_record.extension[0], m_start, m_startNextDay);
  make(m_record.extension[1], m_stop, m_stopNextDay);
  auto row = [page](QTimeEdit* edit, QCheckBox* nextDay) {
    auto* w = new QWidget(page);
    auto* l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(edit);
    l->addWidget(nextDay);
    l->addStretch(1);
    return w;
  };
  form->addRow("TimeManager  StartTime (UTC)", row(m_start, m_startNextDay));
  form->addRow("TimeManager  StopTime (UTC)", row(m_stop, m_stopNextDay));
  m_pages->addTab(page, "Timer");
}

QWidget* CRecordDialog::Field(const std::string& column) const {
  const int c = FindFrqColumn(column);
  for (const Bound& b : m_fields)
    if (b.column == c) return b.widget;
  return nullptr;
}

int CRecordDialog::Collect(std::string* error) {
  CFrqRecord r = m_record;
  for (const Bound& b : m_fields) {
    const FrqColumn& c = FrqColumns()[b.column];
    std::string why;
    int ok = 1;
    if (auto* box = qobject_cast<QCheckBox*>(b.widget)) {
      FrqSetInt(r, c, box->isChecked() ? 1 : 0);
    } else if (auto* combo = qobject_cast<QComboBox*>(b.widget)) {
      FrqSetInt(r, c, combo->currentData().toInt());
    } else if (auto* edit = qobject_cast<QLineEdit*>(b.widget)) {
      ok = ParseFrqField(r, c, edit->text().trimmed().toStdString(), &why);
    }
    if (!ok) {
      if (error) *error = std::string(LabelOf(c.name)) + ": " + why;
      m_pages->setCurrentIndex(b.page);
      b.widget->setFocus();
      return 0;
    }
  }
  if (m_form == kTimerEntry) {
    const int start = MinutesOf(m_start, m_startNextDay), stop = MinutesOf(m_stop, m_stopNextDay);
    if (stop < start) {
      if (error) *error = kStopBeforeStart;
      return 0;
    }
    r.extension[0] = start;
    r.extension[1] = stop;
  }
  std::string why;
  if (!CheckFrqRecord(r, 0, nullptr, &why)) {
    if (error) *error = why;
    return 0;
  }
  m_record = r;
  return 1;
}

void CRecordDialog::accept() {
  std::string why;
  if (!Collect(&why)) {
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(why));
    return;
  }
  QDialog::accept();
}

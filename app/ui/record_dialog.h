// CRecordDialog: one frequency record on pages (station, receiver, audio, scanner, decoders
// and, for a timer entry, its window of the day). Every field is checked as the list file
// checks its columns, so that OK only gives records the list can store.
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimeEdit>
#include <string>
#include <vector>

#include "app/lists/frq_record.h"

class QFormLayout;

class CRecordDialog : public QDialog {
 public:
  // kNew: a record about to be added; kTimerEntry also asks for the entry's start and stop.
  enum Form { kNew, kEdit, kTimerEntry };

  CRecordDialog(const CFrqRecord& record, Form form, QWidget* parent = nullptr);

  // The record as the fields give it after a successful Collect (or OK).
  const CFrqRecord& Record() const { return m_record; }
  // Reads and checks every field into the record: 1, or 0 with the reason in *error (the
  // record unchanged, the page of the faulty field shown and the field focused).
  int Collect(std::string* error);
  // The edit widget of a column ("Name", "RX-FRQ (KHz)" ...; brackets left out); null when the
  // dialog has none.
  QWidget* Field(const std::string& column) const;
  QTabWidget* Pages() const { return m_pages; }
  QTimeEdit* StartTime() const { return m_start; }
  QTimeEdit* StopTime() const { return m_stop; }
  QCheckBox* StopNextDay() const { return m_stopNextDay; }

  void accept() override;

 private:
  struct Bound {
    int column;
    int page;
    QWidget* widget;
  };
  QWidget* MakeField(int column);
  void AddPage(const char* title, const char* const* columns);
  // One field per named column into form, on the page of that index.
  void AddFields(QFormLayout* form, const char* const* columns, int pageIndex);
  void AddDecoderPage();
  void AddTimerPage();

  CFrqRecord m_record;
  Form m_form;
  QTabWidget* m_pages = nullptr;
  std::vector<Bound> m_fields;
  QTimeEdit* m_start = nullptr;
  QTimeEdit* m_stop = nullptr;
  QCheckBox* m_startNextDay = nullptr;
  QCheckBox* m_stopNextDay = nullptr;
};

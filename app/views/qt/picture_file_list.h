// CPictureFileList: the saved pictures of one folder (FAX or SSTV), newest first, under the
// compact date names ("991217 11:01.BMP"), with the path kept behind each entry. A double
// click (or Enter) hands the path to the opener, which shows it in the picture-work window.
#pragma once
#include <QStringList>
#include <QWidget>
#include <functional>

class QListWidget;

class CPictureFileList : public QWidget {
 public:
  // heading: the list's title; patterns: the file names it shows ("*.bmp", in any case).
  CPictureFileList(const QString& heading, const QStringList& patterns, QWidget* parent = nullptr);
  void SetFolder(const QString& folder);
  QString Folder() const { return m_folder; }
  void SetOpener(std::function<void(const QString&)> open) { m_open = std::move(open); }
  void Refresh();
  QListWidget* List() const { return m_list; }
  QString SelectedFile() const;

 private:
  void OpenSelected();
  void DeleteSelected();

  QListWidget* m_list = nullptr;
  QStringList m_patterns;
  QString m_folder;
  std::function<void(const QString&)> m_open;
};

// CColourManipulator: "Lumagraph Color Manipulator for %s". Colours a picture's gray values
// with a palette, shown on a preview as it is chosen: ready palettes, ".pal" files loaded
// and saved ("Load a Tessaly Palette", "Save a Tessaly Palette"), and Apply, which writes the
// coloured picture over its file (and its FAX preview) and tells the owner to load it again.
#pragma once
#include <QDialog>
#include <QImage>
#include <functional>

#include "app/views/palette_file.h"

class QComboBox;
class QLabel;

class CColourManipulator : public QDialog {
 public:
  // path: the picture file worked on; applied: called after the file was rewritten.
  CColourManipulator(const QString& path, std::function<void()> applied, QWidget* parent = nullptr);
  void SetPalette(const Palette& palette);
  const Palette& Current() const { return m_palette; }
  // Loads or saves a palette file (a failure is shown). 1 or 0.
  int LoadPalette(const QString& file);
  int SavePalette(const QString& file);
  // Colours the picture file. 1, or 0 (shown).
  int Apply();
  const QImage& Preview() const { return m_gray; }

 private:
  void ShowPreview();

  QString m_path;
  std::function<void()> m_applied;
  Palette m_palette;
  QImage m_gray;  // the picture's gray values, small, with the palette as its colour table
  QLabel* m_preview = nullptr;
  QLabel* m_strip = nullptr;
  QComboBox* m_ready = nullptr;
};

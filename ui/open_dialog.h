#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>

#include "ui/window_hooks.h"

namespace zumt {

// The window's one file dialog, shared by "Заполнить форму" and "Выбор
// файлов". It remembers the first file and the filter of the last confirmed
// opening and starts the next opening from them; a cancelled opening
// changes nothing.
class TOpenDialog {
 public:
  explicit TOpenDialog(QWidget* owner);

  // Shows the dialog through `run`; true when the user confirmed.
  bool Execute(const std::function<std::optional<FileChoice>(QFileDialog&)>& run);

  const QStringList& Files() const { return files_; }    // of the last confirmed opening
  const QString& FileName() const { return fileName_; }  // the first of them
  int FilterIndex() const { return filterIndex_; }       // 0: "*.xls", 1: "*.xlt"
  QFileDialog& Dialog() { return *dialog_; }

  static const QStringList& Filters();

 private:
  QFileDialog* dialog_;  // a child of the owner window
  QString fileName_;
  int filterIndex_ = 0;
  QStringList files_;
};

}  // namespace zumt

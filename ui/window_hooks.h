#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>

#include "platform/shell/shell_open.h"

class QFileDialog;
class QWidget;

namespace zumt {

// The application title: the caption of plain message boxes and error boxes.
inline const QString kApplicationTitle =
    QStringLiteral("Модуль проверки по формулам логического и арифметического контроля");

// What the user confirmed in the file dialog.
struct FileChoice {
  QStringList files;   // in the order the dialog returns them
  QString nameFilter;  // the filter chosen when confirming
};

// The window's ways out to the user and the desktop. An empty member means
// the real thing (DefaultHooks); tests put their own answers in.
struct WindowHooks {
  // A question box: Yes ("Да", the default button) and No ("Нет"), question
  // icon. True for Yes.
  std::function<bool(QWidget* owner, const QString& caption, const QString& text)> AskYesNo;
  // A box with one OK button and the given icon.
  std::function<void(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text)>
      ShowMessage;
  // Runs the prepared file dialog; the choice when confirmed, nothing when cancelled.
  std::function<std::optional<FileChoice>(QFileDialog& dialog)> RunFileDialog;
  // Hands a path to the desktop's "open" action.
  std::function<void(const std::string& path, ShowState state)> ShellOpen;
};

// Real message boxes, the real dialog and the real desktop opener in every
// member that `hooks` leaves empty.
WindowHooks WithDefaults(WindowHooks hooks);

}  // namespace zumt

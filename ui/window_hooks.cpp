#include "ui/window_hooks.h"

#include <QFileDialog>
#include <QPushButton>

namespace zumt {
namespace {

bool AskYesNoBox(QWidget* owner, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
  box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void MessageBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
}

std::optional<FileChoice> RunDialog(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return FileChoice{dialog.selectedFiles(), dialog.selectedNameFilter()};
}

}  // namespace

WindowHooks WithDefaults(WindowHooks hooks) {
  if (!hooks.AskYesNo) hooks.AskYesNo = AskYesNoBox;
  if (!hooks.ShowMessage) hooks.ShowMessage = MessageBox;
  if (!hooks.RunFileDialog) hooks.RunFileDialog = RunDialog;
  if (!hooks.ShellOpen)
    hooks.ShellOpen = [](const std::string& path, ShowState state) { zumt::ShellOpen(path, state); };
  return hooks;
}

}  // namespace zumt

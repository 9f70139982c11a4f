#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "editions/edition_profile.h"
#include "ui/check_list_box.h"
#include "ui/open_dialog.h"
#include "ui/window_hooks.h"
#include "verification/verification_core.h"

class QPushButton;

namespace zumt {

// The program's one window, frmMain: four command buttons on the left, the
// document list in the middle, five small picture buttons on the right,
// the file dialog, and the non-visual verification part (the connection,
// the query and their fields). Every command is a handler method below.
class TfrmMain : public QWidget {
  Q_OBJECT

 public:
  // The real window: workbooks through the edition's data source, the
  // report at `reportPath`.
  TfrmMain(const EditionProfile& edition, std::string reportPath, WindowHooks hooks = {},
           QWidget* parent = nullptr);
  // Any verification part (tests give one over in-memory workbooks).
  TfrmMain(std::unique_ptr<VerificationCore> core, WindowHooks hooks = {}, QWidget* parent = nullptr);
  ~TfrmMain() override;

  VerificationCore& Core() { return *core_; }
  TCheckListBox& CheckListBox1() { return *CheckListBox1_; }
  TOpenDialog& OpenDialog1() { return OpenDialog1_; }
  // True once files have been added, as long as the list is not emptied.
  bool FilesChosen = false;

  // Handlers of the window's events and commands.
  void FormCreate();
  void btnQuitClick();
  void btnFillFormClick();
  void btnVerificationDataClick();
  void btnHelpClick();
  void btnChoiceFileClick();
  void btnCheckAllClick();
  void btnUncheckAllClick();
  void btnInvertCheckClick();
  void btnCleanListClick();
  void CheckListBox1DblClick();

  // The path of the user manual beside the executable.
  static QString ManualPath();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Asks before closing; on Yes closes an open connection. True to close.
  bool FormClose();
  void BuildControls();
  QPushButton* AddButton(const char* name, const QString& picture, int x, int y, int w, int h);
  // Runs a handler; an error leaving it goes to the error box and the
  // window goes on.
  void Guarded(void (TfrmMain::*handler)());
  void ShowErrorBox(const std::string& message);

  std::unique_ptr<VerificationCore> core_;
  WindowHooks hooks_;
  TCheckListBox* CheckListBox1_ = nullptr;
  TOpenDialog OpenDialog1_;
  bool placed_ = false;
};

// Where a window of `frame` size goes: the middle of the whole desktop
// (all screens together), never at a negative position.
QPoint DesktopCentre(const QRect& desktop, const QSize& frame);

}  // namespace zumt

#include "ui/un_Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QIcon>
#include <QPushButton>
#include <QScreen>
#include <exception>

#include "verification/verification_run.h"

// Resources live in the static library: register them once (outside any
// namespace, as the macro requires).
static void InitUiResources() { Q_INIT_RESOURCE(zumt_ui); }

namespace zumt {
namespace {

const QString kCloseCaption = QStringLiteral("Сообщение");
const QString kCloseText = QStringLiteral("Вы действительно хотите выйти из программы?");
const QString kAddCaption = QStringLiteral("Добавить/Заменить файлы");
const QString kAddText = QStringLiteral(
    "Вы хотите добавить файлы к уже выбранным или произвести замену?\n\rДля замены нажмите кнопку Нет");
const QString kRemoveCaption = QStringLiteral("Удалить файлы из списка");
const QString kRemoveText =
    QStringLiteral("Удалить выделенные файлы из списка?\n\rДля удаления нажмите кнопку Да");
const QString kNothingCaption = QStringLiteral("Файлы не выбраны");
const QString kNothingText = QStringLiteral("Файлы для удаления не выбраны.");
const QString kManualName = QStringLiteral("Руководство пользователя.doc");

constexpr int kClientWidth = 662;
constexpr int kClientHeight = 187;

// The busy cursor of a verification run, lifted while a message box waits
// for the user and restored on every way out.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

  class Pause {
   public:
    Pause() { QApplication::restoreOverrideCursor(); }
    ~Pause() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;
  };
};

}  // namespace

QPoint DesktopCentre(const QRect& desktop, const QSize& frame) {
  const int x = desktop.left() + (desktop.width() - frame.width()) / 2;
  const int y = desktop.top() + (desktop.height() - frame.height()) / 2;
  return {std::max(x, 0), std::max(y, 0)};
}

TfrmMain::TfrmMain(const EditionProfile& edition, std::string reportPath, WindowHooks hooks, QWidget* parent)
    : TfrmMain(std::make_unique<VerificationCore>(edition, std::move(reportPath)), std::move(hooks), parent) {
}

TfrmMain::TfrmMain(std::unique_ptr<VerificationCore> core, WindowHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      core_(std::move(core)),
      hooks_(WithDefaults(std::move(hooks))),
      OpenDialog1_(this) {
  InitUiResources();
  setObjectName(QStringLiteral("frmMain"));
  // The caption is the edition's text and nothing else: no file path, no
  // "[*]" and no application display name is ever attached to it.
  setWindowTitle(QString::fromUtf8(core_->Edition().WindowCaption.data(),
                                   static_cast<qsizetype>(core_->Edition().WindowCaption.size())));
  setWindowIcon(QIcon(QStringLiteral(":/zumt/zumt.svg")));
  // A small sans-serif face 11 pixels high, so that the captions fit the
  // buttons; the first family installed wins.
  QFont face = font();
  face.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
  face.setPixelSize(11);
  setFont(face);
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  setFixedSize(kClientWidth, kClientHeight);
  BuildControls();
  FormCreate();
}

TfrmMain::~TfrmMain() = default;

QPushButton* TfrmMain::AddButton(const char* name, const QString& picture, int x, int y, int w, int h) {
  auto* button = new QPushButton(this);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(x, y, w, h);
  button->setIcon(QIcon(QStringLiteral(":/zumt/") + picture));
  button->setIconSize(QSize(24, 24));
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setFocusPolicy(Qt::StrongFocus);
  return button;
}

void TfrmMain::BuildControls() {
  struct Large {
    const char* name;
    const char* picture;
    const char* caption;
    int y;
    void (TfrmMain::*handler)();
  };
  const Large large[] = {
      {"btnFillForm", "fill_form.svg", "Заполнить форму", 8, &TfrmMain::btnFillFormClick},
      {"btnChoiceFile", "choice_file.svg", "Выбор файлов", 48, &TfrmMain::btnChoiceFileClick},
      {"btnVerificationData", "verification.svg", "Проверка по ЗУРВЕ", 88,
       &TfrmMain::btnVerificationDataClick},
      {"btnQuit", "quit.svg", "Завершить работу", 128, &TfrmMain::btnQuitClick},
  };
  struct Small {
    const char* name;
    const char* picture;
    const char* hint;
    int y;
    int h;
    void (TfrmMain::*handler)();
  };
  const Small small[] = {
      {"btnCheckAll", "check_all.svg", "Выбрать все", 8, 33, &TfrmMain::btnCheckAllClick},
      {"btnUncheckAll", "uncheck_all.svg", "Отменить все", 41, 36, &TfrmMain::btnUncheckAllClick},
      {"btnInvertCheck", "invert_check.svg", "Инвертировать выбранное", 77, 33,
       &TfrmMain::btnInvertCheckClick},
      {"btnCleanList", "clean_list.svg", "Удалить выделенные файлы из списка", 111, 33,
       &TfrmMain::btnCleanListClick},
      {"btnHelp", "help.svg", "Руководство пользователя", 144, 33, &TfrmMain::btnHelpClick},
  };

  QWidget* previous = nullptr;
  auto chain = [&](QWidget* next) {
    if (previous) setTabOrder(previous, next);
    previous = next;
  };
  for (const Large& b : large) {
    QPushButton* button = AddButton(b.name, QString::fromLatin1(b.picture), 8, b.y, 145, 33);
    button->setText(QString::fromUtf8(b.caption));
    connect(button, &QPushButton::clicked, this, [this, h = b.handler] { Guarded(h); });
    chain(button);
  }

  CheckListBox1_ = new TCheckListBox(this);
  CheckListBox1_->setObjectName(QStringLiteral("CheckListBox1"));
  CheckListBox1_->setGeometry(160, 9, 447, 169);
  connect(CheckListBox1_, &TCheckListBox::DblClick, this,
          [this] { Guarded(&TfrmMain::CheckListBox1DblClick); });
  chain(CheckListBox1_);

  for (const Small& b : small) {
    QPushButton* button = AddButton(b.name, QString::fromLatin1(b.picture), 616, b.y, 38, b.h);
    button->setToolTip(QString::fromUtf8(b.hint));
    connect(button, &QPushButton::clicked, this, [this, h = b.handler] { Guarded(h); });
    chain(button);
  }

  findChild<QPushButton*>(QStringLiteral("btnFillForm"))->setFocus();
}

void TfrmMain::FormCreate() { CheckListBox1_->setSelectionMode(QAbstractItemView::ExtendedSelection); }

void TfrmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (placed_) return;
  placed_ = true;
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(DesktopCentre(screen->virtualGeometry(), frameGeometry().size()));
}

void TfrmMain::Guarded(void (TfrmMain::*handler)()) {
  try {
    (this->*handler)();
  } catch (const std::exception& e) {
    ShowErrorBox(e.what());
  } catch (...) {
    ShowErrorBox("Неизвестная ошибка");
  }
}

void TfrmMain::ShowErrorBox(const std::string& message) {
  hooks_.ShowMessage(this, QMessageBox::Critical, kApplicationTitle,
                     QString::fromStdString(ErrorBoxText(message)));
}

bool TfrmMain::FormClose() {
  if (!hooks_.AskYesNo(this, kCloseCaption, kCloseText)) return false;
  if (core_->FormConnection().IsOpen()) core_->FormConnection().Close();
  return true;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  bool close = false;
  try {
    close = FormClose();
  } catch (const std::exception& e) {
    ShowErrorBox(e.what());
  }
  if (close)
    event->accept();
  else
    event->ignore();
}

void TfrmMain::btnQuitClick() { close(); }

void TfrmMain::btnFillFormClick() {
  if (!OpenDialog1_.Execute(hooks_.RunFileDialog)) return;
  hooks_.ShellOpen(ToFsPath(OpenDialog1_.FileName()), ShowState::Normal);
}

QString TfrmMain::ManualPath() {
  return QCoreApplication::applicationDirPath() + QLatin1Char('/') + kManualName;
}

void TfrmMain::btnHelpClick() { hooks_.ShellOpen(ToFsPath(ManualPath()), ShowState::Restore); }

void TfrmMain::btnVerificationDataClick() {
  BusyCursor busy;
  RunServices services;
  services.ShowMessage = [this](const std::string& text) {
    BusyCursor::Pause pause;
    hooks_.ShowMessage(this, QMessageBox::NoIcon, kApplicationTitle, QString::fromStdString(text));
  };
  services.ShellOpen = hooks_.ShellOpen;
  const CheckListDocuments documents(*CheckListBox1_);
  RunVerification(*core_, documents, services);
}

void TfrmMain::btnChoiceFileClick() {
  if (FilesChosen && !hooks_.AskYesNo(this, kAddCaption, kAddText)) {
    FilesChosen = false;
    CheckListBox1_->clear();
  }
  if (!OpenDialog1_.Execute(hooks_.RunFileDialog)) return;
  FilesChosen = true;
  CheckListBox1_->AddPaths(OpenDialog1_.Files());
}

void TfrmMain::btnCheckAllClick() {
  for (int row = 0; row < CheckListBox1_->count(); ++row) CheckListBox1_->SetChecked(row, true);
}

void TfrmMain::btnUncheckAllClick() {
  for (int row = 0; row < CheckListBox1_->count(); ++row) CheckListBox1_->SetChecked(row, false);
}

void TfrmMain::btnInvertCheckClick() {
  for (int row = 0; row < CheckListBox1_->count(); ++row)
    CheckListBox1_->SetChecked(row, !CheckListBox1_->Checked(row));
}

void TfrmMain::btnCleanListClick() {
  if (CheckListBox1_->SelectedCount() > 0) {
    if (hooks_.AskYesNo(this, kRemoveCaption, kRemoveText)) CheckListBox1_->RemoveSelected();
  } else {
    hooks_.ShowMessage(this, QMessageBox::Question, kNothingCaption, kNothingText);
  }
  FilesChosen = CheckListBox1_->count() > 0;
  // A non-empty list always has a current entry.
  if (CheckListBox1_->count() > 0 && !CheckListBox1_->currentItem())
    CheckListBox1_->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

void TfrmMain::CheckListBox1DblClick() {
  if (CheckListBox1_->count() == 0) return;
  const int row = CheckListBox1_->currentRow() >= 0 ? CheckListBox1_->currentRow() : 0;
  hooks_.ShellOpen(ToFsPath(CheckListBox1_->PathAt(row)), ShowState::Normal);
}

}  // namespace zumt

#include "ui/open_dialog.h"

#include <QFileInfo>

namespace zumt {
namespace {

// Qt's own dialog (the same everywhere) with multiple selection that, like
// the dialog the program was designed around, accepts a typed name of a file
// that does not exist instead of refusing it.
class PermissiveFileDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;

 protected:
  void accept() override {
    const QStringList files = selectedFiles();
    bool anyMissing = false;
    for (const QString& file : files) {
      const QFileInfo info(file);
      if (info.isDir()) return QFileDialog::accept();  // a typed folder is entered
      if (!info.exists()) anyMissing = true;
    }
    if (anyMissing && !files.isEmpty())
      QDialog::accept();  // no existence check
    else
      QFileDialog::accept();
  }
};

}  // namespace

const QStringList& TOpenDialog::Filters() {
  static const QStringList filters = {QStringLiteral("Файл MS Excel (*.xls)"),
                                      QStringLiteral("Шаблон MS Excel (*.xlt)")};
  return filters;
}

TOpenDialog::TOpenDialog(QWidget* owner) : dialog_(new PermissiveFileDialog(owner)) {
  dialog_->setObjectName(QStringLiteral("OpenDialog1"));
  dialog_->setOption(QFileDialog::DontUseNativeDialog);
  dialog_->setFileMode(QFileDialog::ExistingFiles);
  dialog_->setAcceptMode(QFileDialog::AcceptOpen);
  dialog_->setNameFilters(Filters());
  dialog_->setSizeGripEnabled(true);
  dialog_->setWindowModality(Qt::ApplicationModal);
}

bool TOpenDialog::Execute(const std::function<std::optional<FileChoice>(QFileDialog&)>& run) {
  // Every opening starts from the last confirmed file and filter, with
  // nothing else selected.
  dialog_->selectNameFilter(Filters().at(filterIndex_));
  dialog_->selectFile(fileName_);
  const std::optional<FileChoice> choice = run(*dialog_);
  if (!choice || choice->files.isEmpty()) return false;
  files_ = choice->files;
  fileName_ = files_.first();
  const qsizetype index = Filters().indexOf(choice->nameFilter);
  if (index >= 0) filterIndex_ = static_cast<int>(index);
  return true;
}

}  // namespace zumt

#include "ui/check_list_box.h"

#include <QFile>
#include <QMouseEvent>

namespace zumt {

TCheckListBox::TCheckListBox(QWidget* parent) : QListWidget(parent) {
  setSortingEnabled(false);
  // Scrolling by pixels lets the horizontal bar reach the exact end of the
  // widest entry (check box, margins and text all counted).
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TCheckListBox::AddPaths(const QStringList& paths) {
  for (const QString& path : paths) {
    auto* entry = new QListWidgetItem(path, this);
    entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    entry->setCheckState(Qt::Unchecked);
  }
}

QString TCheckListBox::PathAt(int row) const { return item(row)->text(); }

bool TCheckListBox::Checked(int row) const { return item(row)->checkState() == Qt::Checked; }

void TCheckListBox::SetChecked(int row, bool on) {
  item(row)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

int TCheckListBox::SelectedCount() const { return static_cast<int>(selectedItems().size()); }

void TCheckListBox::RemoveSelected() {
  for (int row = count() - 1; row >= 0; --row)
    if (item(row)->isSelected()) delete takeItem(row);
}

void TCheckListBox::mousePressEvent(QMouseEvent* event) {
  QListWidget::mousePressEvent(event);
  // The item delegate keeps a press on a check box to itself; the entry
  // still becomes the current one (without changing the selection), so
  // that a double click there opens that entry.
  const QModelIndex pressed = indexAt(event->position().toPoint());
  if (pressed.isValid() && pressed != currentIndex())
    selectionModel()->setCurrentIndex(pressed, QItemSelectionModel::NoUpdate);
}

void TCheckListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  // The view's own handling first: on a check box the second press is eaten,
  // so a double click there toggles the mark twice, leaving it as it was.
  QListWidget::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) Q_EMIT DblClick();
}

std::size_t CheckListDocuments::Count() const { return static_cast<std::size_t>(list_.count()); }

std::string CheckListDocuments::Path(std::size_t index) const {
  return ToFsPath(list_.PathAt(static_cast<int>(index)));
}

bool CheckListDocuments::Checked(std::size_t index) const { return list_.Checked(static_cast<int>(index)); }

std::string ToFsPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString FromFsPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace zumt

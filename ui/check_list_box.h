#pragma once

#include <QListWidget>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <string>

#include "verification/verification_run.h"

namespace zumt {

// The document list in the window: one entry per workbook path, each with a
// check mark, in the order added (never sorted; duplicates allowed). A press
// on an entry's check box or the space bar toggles its mark; a press on the
// text only selects. The list scrolls horizontally far enough to show the
// whole of its widest path.
class TCheckListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit TCheckListBox(QWidget* parent = nullptr);

  void AddPaths(const QStringList& paths);  // appended unchecked
  QString PathAt(int row) const;
  bool Checked(int row) const;
  void SetChecked(int row, bool on);
  int SelectedCount() const;
  void RemoveSelected();

 Q_SIGNALS:
  // A double click anywhere in the list, on an entry or on the blank area.
  void DblClick();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// The run's read-only view of the list.
class CheckListDocuments : public DocumentList {
 public:
  explicit CheckListDocuments(const TCheckListBox& list) : list_(list) {}
  std::size_t Count() const override;
  std::string Path(std::size_t index) const override;
  bool Checked(std::size_t index) const override;

 private:
  const TCheckListBox& list_;
};

// A path as the list shows it, in the file system's byte form and back.
std::string ToFsPath(const QString& path);
QString FromFsPath(const std::string& path);

}  // namespace zumt

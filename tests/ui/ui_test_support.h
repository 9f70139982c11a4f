#pragma once
// A main window whose boxes, file dialog and shell are answered by the test,
// over in-memory workbooks, and a helper that answers a real modal box.

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/un_Main.h"
#include "verification/fake_data.h"

namespace zumt::test {

// One box the window showed.
struct Shown {
  QMessageBox::Icon icon;  // Question for yes/no questions
  QString caption;
  QString text;
};

// Answers and records what the window asks of the user and the desktop.
struct Script {
  std::deque<bool> answers;                       // to the yes/no questions, in order
  std::deque<std::optional<FileChoice>> choices;  // to the file dialog, in order
  std::vector<Shown> questions, messages;
  std::vector<std::pair<QString, QString>> dialogStart;  // first preselected file, filter
  std::vector<const QFileDialog*> dialogs;
  std::vector<std::pair<std::string, ShowState>> opened;
  std::vector<bool> busyWhileOpening, busyWhileShowing;  // override cursor at those moments
  QStringList unexpected;                                // a box or dialog with no answer left

  static bool Busy() { return QApplication::overrideCursor() != nullptr; }

  WindowHooks Hooks() {
    WindowHooks h;
    h.AskYesNo = [this](QWidget*, const QString& caption, const QString& text) {
      questions.push_back({QMessageBox::Question, caption, text});
      if (answers.empty()) {
        unexpected << "question: " + caption;
        return false;
      }
      const bool a = answers.front();
      answers.pop_front();
      return a;
    };
    h.ShowMessage = [this](QWidget*, QMessageBox::Icon icon, const QString& caption, const QString& text) {
      messages.push_back({icon, caption, text});
      busyWhileShowing.push_back(Busy());
    };
    h.RunFileDialog = [this](QFileDialog& d) -> std::optional<FileChoice> {
      const QStringList start = d.selectedFiles();
      dialogStart.emplace_back(start.isEmpty() ? QString() : start.first(), d.selectedNameFilter());
      dialogs.push_back(&d);
      if (choices.empty()) {
        unexpected << "file dialog";
        return std::nullopt;
      }
      auto c = choices.front();
      choices.pop_front();
      return c;
    };
    h.ShellOpen = [this](const std::string& path, ShowState state) {
      opened.emplace_back(path, state);
      busyWhileOpening.push_back(Busy());
    };
    return h;
  }
};

// A library of in-memory workbooks by file name: "good.xls" (a recognised
// form with one failed check) and "nochecks.xls" (recognised, but without
// the failed-checks table, so writing its entry fails).
inline fake::Library& Workbooks() {
  static fake::Library library = [] {
    fake::Library lib;
    fake::Workbook form;
    form.results[queries::kFormCode] = fake::Result{{"Val"}, {{"0606024"}}};
    form.results[queries::kCaptions] =
        fake::Result{{"CaptionInForm", "ID_Element"}, {{"Форма", "P_FormName"}, {"Имя", "P_Name"}}};
    form.results[queries::kFailedChecks] =
        fake::Result{{"ID_Form", "ID_Section", "ID_Rule", "ID_Check", "Name", "Result"},
                     {{"1", "1", "1", "1", "Строка 01 не равна итогу", "1"}}};
    lib["good.xls"] = form;
    form.results.erase(queries::kFailedChecks);
    lib["nochecks.xls"] = form;
    return lib;
  }();
  return library;
}

inline std::unique_ptr<VerificationCore> FakeCore(const EditionProfile& edition, const std::string& report) {
  auto connection = std::make_unique<fake::FakeConnection>(Workbooks());
  auto query = std::make_unique<fake::FakeQuery>(*connection);
  return std::make_unique<VerificationCore>(edition, std::move(connection), std::move(query), report);
}

inline FileChoice Files(QStringList files, int filter = 0) {
  return FileChoice{std::move(files), TOpenDialog::Filters().at(filter)};
}

// Calls `act` on the next modal box (or dialog) as soon as it is shown, then
// returns; `seen` tells whether one was shown within the time limit.
inline void OnNextModal(std::function<void(QWidget*)> act, bool* seen) {
  *seen = false;
  auto* timer = new QTimer;
  auto started = std::make_shared<QElapsedTimer>();
  started->start();
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act), seen, started] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible()) {
      timer->stop();
      timer->deleteLater();
      *seen = true;
      act(modal);
    } else if (started->elapsed() > 10000) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start();
}

}  // namespace zumt::test

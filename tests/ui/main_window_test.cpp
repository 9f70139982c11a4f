// The main window: layout, caption, placement, closing, "Заполнить форму",
// the file dialog's memory, the manual and the verification button.
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <cstring>

#include "tests/ui/ui_test_support.h"
#include "verification/expected_report.h"
#include "verification/verification_run.h"

namespace zumt::test {

class MainWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  std::string report() const { return (dir_.path() + "/Errors.txt").toStdString(); }

  struct Window {
    Script script;
    std::unique_ptr<TfrmMain> w;
    // `real` names the hooks left to the real thing: 'b' the boxes, 'd' the file dialog.
    explicit Window(const std::string& report, const EditionProfile& edition = EditionA(),
                    const char* real = "") {
      WindowHooks hooks = script.Hooks();
      if (std::strchr(real, 'b')) hooks.AskYesNo = nullptr, hooks.ShowMessage = nullptr;
      if (std::strchr(real, 'd')) hooks.RunFileDialog = nullptr;
      w = std::make_unique<TfrmMain>(FakeCore(edition, report), hooks);
    }
    QPushButton* button(const char* name) { return w->findChild<QPushButton*>(name); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    bool shown() {
      w->show();
      return QTest::qWaitForWindowExposed(w.get());
    }
  };

 private Q_SLOTS:
  void init() { QFile::remove(QString::fromStdString(report())); }

  void layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<int>("tab");
    int tab = 0;
    auto row = [&tab](const char* n, QRect g, const char* c, const char* h) {
      QTest::newRow(n) << QString(n) << g << QString::fromUtf8(c) << QString::fromUtf8(h) << tab++;
    };
    // In tab order.
    row("btnFillForm", {8, 8, 145, 33}, "Заполнить форму", "");
    row("btnChoiceFile", {8, 48, 145, 33}, "Выбор файлов", "");
    row("btnVerificationData", {8, 88, 145, 33}, "Проверка по ЗУРВЕ", "");
    row("btnQuit", {8, 128, 145, 33}, "Завершить работу", "");
    row("CheckListBox1", {160, 9, 447, 169}, "", "");
    row("btnCheckAll", {616, 8, 38, 33}, "", "Выбрать все");
    row("btnUncheckAll", {616, 41, 38, 36}, "", "Отменить все");
    row("btnInvertCheck", {616, 77, 38, 33}, "", "Инвертировать выбранное");
    row("btnCleanList", {616, 111, 38, 33}, "", "Удалить выделенные файлы из списка");
    row("btnHelp", {616, 144, 38, 33}, "", "Руководство пользователя");
  }
  void layout() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    QFETCH(int, tab);
    Window win(report());
    QWidget* control = win.w->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), win.w.get());
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->toolTip(), hint);
    QVERIFY(control->focusPolicy() & Qt::TabFocus);
    if (auto* button = qobject_cast<QPushButton*>(control)) {
      QCOMPARE(button->text(), caption);
      QVERIFY(!button->icon().isNull());
      QCOMPARE(button->icon().pixmap(24, 24).size(), QSize(24, 24));
      QVERIFY(!button->autoDefault());
      QVERIFY(!button->isDefault());
      QVERIFY(!button->text().contains('&'));  // no accelerator
    } else {
      QVERIFY(qobject_cast<TCheckListBox*>(control));
    }
    // Its place in the tab order: the rows of the table, in order.
    int index = 0;
    QWidget* w = win.button("btnFillForm");
    for (; w != control && index < 10; ++index) {
      do w = w->nextInFocusChain();
      while (!(w->focusPolicy() & Qt::TabFocus) || w->isWindow());
    }
    QCOMPARE(index, tab);
  }

  void window_data() {
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("caption");
    QTest::newRow("A") << 0 << QString::fromUtf8("Программный модуль \"Тавелин\"");
    QTest::newRow("B") << 1 << QString::fromUtf8("Программный модуль \"Брусена\"");
  }
  void window() {
    QFETCH(int, edition);
    QFETCH(QString, caption);
    Window win(report(), edition == 0 ? EditionA() : EditionB());
    TfrmMain& w = *win.w;
    QCOMPARE(w.objectName(), QString("frmMain"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), caption);
    QCOMPARE(w.windowHandle()->title(), caption);
    QCOMPARE(w.size(), QSize(662, 187));
    QCOMPARE(w.minimumSize(), QSize(662, 187));
    QCOMPARE(w.maximumSize(), QSize(662, 187));
    QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    QCOMPARE(w.frameGeometry().topLeft(), DesktopCentre(desktop, w.frameGeometry().size()));
    QApplication::setActiveWindow(&w);
    QTRY_COMPARE(QApplication::focusWidget(), win.button("btnFillForm"));
  }

  void placement_data() {
    QTest::addColumn<QRect>("desktop");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("one screen") << QRect(0, 0, 1024, 768) << QPoint(181, 290);
    QTest::newRow("two screens side by side") << QRect(0, 0, 2048, 768) << QPoint(693, 290);
    QTest::newRow("a screen left of the primary") << QRect(-1280, 0, 2304, 768) << QPoint(0, 290);
    QTest::newRow("smaller than the window") << QRect(0, 0, 600, 150) << QPoint(0, 0);
    QTest::newRow("a screen above") << QRect(0, -768, 1024, 1536) << QPoint(181, 0);
  }
  void placement() {
    QFETCH(QRect, desktop);
    QFETCH(QPoint, expected);
    QCOMPARE(DesktopCentre(desktop, QSize(662, 187)), expected);
  }

  // Both ways of closing ask the same question; No keeps everything.
  void closingWithNoKeepsTheWindow_data() {
    QTest::addColumn<bool>("quitButton");
    QTest::newRow("close box") << false;
    QTest::newRow("Завершить работу") << true;
  }
  void closingWithNoKeepsTheWindow() {
    QFETCH(bool, quitButton);
    Window win(report());
    QVERIFY(win.shown());
    win.w->CheckListBox1().AddPaths({"/d/a.xls", "/d/b.xls"});
    win.w->CheckListBox1().SetChecked(1, true);
    win.w->FilesChosen = true;
    win.script.answers = {false, true};
    auto closeOnce = [&] { quitButton ? win.click("btnQuit") : void(win.w->close()); };
    closeOnce();
    QVERIFY(win.w->isVisible());
    QCOMPARE(win.w->CheckListBox1().count(), 2);
    QVERIFY(!win.w->CheckListBox1().Checked(0));
    QVERIFY(win.w->CheckListBox1().Checked(1));
    QVERIFY(win.w->FilesChosen);
    closeOnce();
    QVERIFY(!win.w->isVisible());
    QCOMPARE(win.script.questions.size(), 2u);
    for (const Shown& q : win.script.questions) {
      QCOMPARE(q.caption, QString("Сообщение"));
      QCOMPARE(q.text, QString("Вы действительно хотите выйти из программы?"));
    }
  }

  // A real question box: its buttons, its default, and Enter closing the
  // window after an aborted run left the connection open.
  void enterAtTheRealClosingBoxClosesTheConnection() {
    Window win(report(), EditionA(), "b");
    QVERIFY(win.shown());
    win.w->CheckListBox1().AddPaths({"/d/nochecks.xls"});
    win.w->CheckListBox1().SetChecked(0, true);
    bool seen = false;
    OnNextModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); }, &seen);
    win.click("btnVerificationData");  // fails while writing: the connection stays open
    QVERIFY(seen);
    QVERIFY(win.w->Core().FormConnection().IsOpen());

    QString text, yes, no, defaultText;
    QMessageBox::Icon icon{};
    OnNextModal(
        [&](QWidget* modal) {
          auto* box = qobject_cast<QMessageBox*>(modal);
          if (!box) return void(modal->close());
          text = box->windowTitle() + "|" + box->text();
          icon = box->icon();
          yes = box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)->text() : QString();
          no = box->button(QMessageBox::No) ? box->button(QMessageBox::No)->text() : QString();
          defaultText = box->defaultButton() ? box->defaultButton()->text() : QString();
          QTest::keyClick(box, Qt::Key_Return);
        },
        &seen);
    win.click("btnQuit");
    QVERIFY(seen);
    QCOMPARE(text, QString("Сообщение|Вы действительно хотите выйти из программы?"));
    QCOMPARE(icon, QMessageBox::Question);
    QCOMPARE(yes, QString("Да"));
    QCOMPARE(no, QString("Нет"));
    QCOMPARE(defaultText, QString("Да"));
    QVERIFY(!win.w->isVisible());
    QVERIFY(!win.w->Core().FormConnection().IsOpen());
  }

  void fillFormOpensOnlyTheFirstFile() {
    Window win(report());
    win.script.choices = {Files({"/d/one.xls", "/d/two.xls", "/d/three.xls"}), std::nullopt};
    win.click("btnFillForm");
    QCOMPARE(win.script.opened.size(), 1u);
    QCOMPARE(win.script.opened[0].first, std::string("/d/one.xls"));
    QCOMPARE(win.script.opened[0].second, ShowState::Normal);
    win.click("btnFillForm");  // cancelled: nothing opened
    QCOMPARE(win.script.opened.size(), 1u);
    QCOMPARE(win.w->CheckListBox1().count(), 0);
  }

  // One dialog for both commands; every opening starts from the first file
  // and the filter confirmed last; a cancelled opening changes nothing.
  void theDialogKeepsItsFileAndFilter() {
    QTemporaryDir files;
    const QString a = files.path() + "/форма а.xlt", b = files.path() + "/b.xlt";
    for (const QString& f : {a, b}) {
      QFile file(f);
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    Window win(report());
    win.script.choices = {Files({a, b}, 1), std::nullopt, Files({b}, 0), std::nullopt};
    win.click("btnChoiceFile");
    win.click("btnFillForm");  // cancelled
    win.script.answers = {true};
    win.click("btnChoiceFile");
    win.click("btnFillForm");
    const QString xls = QString("Файл MS Excel (*.xls)"), xlt = QString("Шаблон MS Excel (*.xlt)");
    QCOMPARE(win.script.dialogStart.size(), 4u);
    QCOMPARE(win.script.dialogStart[0].second, xls);
    QCOMPARE(win.script.dialogStart[1], qMakePair(a, xlt));
    QCOMPARE(win.script.dialogStart[2], qMakePair(a, xlt));
    QCOMPARE(win.script.dialogStart[3], qMakePair(b, xls));
    for (const QFileDialog* d : win.script.dialogs) QCOMPARE(d, win.script.dialogs[0]);
    const QFileDialog& d = *win.script.dialogs[0];
    QCOMPARE(d.nameFilters(), QStringList({xls, xlt}));
    QCOMPARE(d.fileMode(), QFileDialog::ExistingFiles);
    QVERIFY(d.isSizeGripEnabled());
    QVERIFY(!d.testOption(QFileDialog::ReadOnly));
    QCOMPARE(win.w->CheckListBox1().count(), 3);
  }

  // The real dialog accepts a typed name of a file that does not exist.
  void theRealDialogAcceptsAMissingFile() {
    Window win(report(), EditionA(), "d");
    QVERIFY(win.shown());
    const QString missing = dir_.path() + "/нет такой.xls";
    bool seen = false;
    OnNextModal(
        [&](QWidget* modal) {
          auto* dialog = qobject_cast<QFileDialog*>(modal);
          if (!dialog) return void(modal->close());
          auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
          if (!name) return void(dialog->reject());
          name->setText(missing);                   // what the user types
          static_cast<QDialog*>(dialog)->accept();  // the dialog's own "Open"
        },
        &seen);
    win.click("btnFillForm");
    QVERIFY(seen);
    QCOMPARE(win.script.opened.size(), 1u);
    QCOMPARE(QString::fromStdString(win.script.opened[0].first), missing);
  }

  void theManualOpensWithAnEmptyList() {
    Window win(report());
    win.click("btnHelp");
    const std::string manual =
        (QCoreApplication::applicationDirPath() + "/Руководство пользователя.doc").toStdString();
    QCOMPARE(win.script.opened.size(), 1u);
    QCOMPARE(win.script.opened[0].first, manual);
    QCOMPARE(win.script.opened[0].second, ShowState::Restore);
    QVERIFY(win.script.messages.empty());
    // The build puts the manual beside the programs.
    QVERIFY(QFile::exists(QString(ZUMT_BINARY_DIR) + "/Руководство пользователя.doc"));
  }

  void verificationOverAnEmptyListShowsTheMessage() {
    Window win(report());
    win.click("btnVerificationData");
    QCOMPARE(win.script.messages.size(), 1u);
    QCOMPARE(win.script.messages[0].icon, QMessageBox::NoIcon);
    QCOMPARE(win.script.messages[0].caption, kApplicationTitle);
    QCOMPARE(win.script.messages[0].text, QString("Выберите документ для проверки."));
    QCOMPARE(win.script.busyWhileShowing, std::vector<bool>{false});  // the box is not under the busy cursor
    QVERIFY(win.script.opened.empty());
    QVERIFY(!Script::Busy());
    QVERIFY(!QFile::exists(QString::fromStdString(report())));
  }

  void verificationWritesTheReportAndOpensIt() {
    Window win(report());
    win.w->CheckListBox1().AddPaths({"/d/good.xls", "/d/other.xls"});
    win.w->CheckListBox1().SetChecked(0, true);
    win.click("btnVerificationData");
    QVERIFY(win.script.messages.empty());
    QCOMPARE(win.script.opened.size(), 1u);
    QCOMPARE(win.script.opened[0].first, report());
    QCOMPARE(win.script.opened[0].second, ShowState::Normal);
    QCOMPARE(win.script.busyWhileOpening, std::vector<bool>{true});
    QVERIFY(!Script::Busy());
    QCOMPARE(expect::ReadReport(report()),
             expect::RecognisedEntry("/d/good.xls", {"Форма", "Имя", "Строка 01 не равна итогу"}));
    QCOMPARE(win.w->CheckListBox1().count(), 2);  // the run changes nothing in the list
    QVERIFY(win.w->CheckListBox1().Checked(0));
    QVERIFY(!win.w->CheckListBox1().Checked(1));
  }

  // An error leaving the run: the error box with the message and its full
  // stop, then the window goes on working.
  void anErrorGoesToTheErrorBox() {
    std::string message;
    {
      auto core = FakeCore(EditionA(), report());
      struct One : DocumentList {
        std::size_t Count() const override { return 1; }
        std::string Path(std::size_t) const override { return "/d/nochecks.xls"; }
        bool Checked(std::size_t) const override { return true; }
      } one;
      try {
        RunVerification(*core, one, {});
      } catch (const std::exception& e) {
        message = e.what();
      }
    }
    QVERIFY(!message.empty());

    Window win(report(), EditionA(), "b");
    QVERIFY(win.shown());
    win.w->CheckListBox1().AddPaths({"/d/good.xls", "/d/nochecks.xls"});
    win.w->CheckListBox1().SetChecked(1, true);
    bool seen = false;
    QString caption, text;
    QMessageBox::Icon icon{};
    QList<QAbstractButton*> buttons;
    bool busy = true;
    OnNextModal(
        [&](QWidget* modal) {
          auto* box = qobject_cast<QMessageBox*>(modal);
          if (!box) return void(modal->close());
          caption = box->windowTitle();
          text = box->text();
          icon = box->icon();
          buttons = box->buttons();
          busy = Script::Busy();
          QTest::keyClick(box, Qt::Key_Return);
        },
        &seen);
    win.click("btnVerificationData");
    QVERIFY(seen);
    QCOMPARE(caption, kApplicationTitle);
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(text, QString::fromStdString(ErrorBoxText(message)));
    QVERIFY(text.endsWith('.'));
    QCOMPARE(buttons.size(), 1);
    QVERIFY(!busy);
    QVERIFY(!Script::Busy());
    QVERIFY(win.script.opened.empty());
    QVERIFY(win.w->isVisible());

    // The window goes on: the next run works.
    win.w->CheckListBox1().SetChecked(0, true);
    win.w->CheckListBox1().SetChecked(1, false);
    win.click("btnVerificationData");
    QCOMPARE(win.script.opened.size(), 1u);
  }
};

}  // namespace zumt::test

QTEST_MAIN(zumt::test::MainWindowTest)
#include "main_window_test.moc"
